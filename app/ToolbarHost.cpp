#include "app/ToolbarHost.h"

#include <commctrl.h>

#include <cstdint>
#include <new>

#include "base/Dpi.h"
#include "base/WindowState.h"
#include "resources/resource.h"

namespace {

struct VNREBARDATA {
    HWND Toolbar;
    HIMAGELIST Images; // the buttons' images at Dpi, owned
    int32_t Dpi;
};

const int ToolbarImageCount = 36;
// The artwork's image size and the toolbar's inset in the band, at 96 DPI.
const int ImageWidth = 16, ImageHeight = 15, ToolbarInset = 4, ToolbarHeight = 22;

struct ButtonSpec {
    int Image;
    int Command;
    BYTE Style;
    const char *Tooltip;
};

// The 32 buttons in order; Image -1 marks a separator. The run of
// separators 14 to 30 is where the frame lays the database selector.
const ButtonSpec Buttons[ToolbarButtonCount] = {
    {0, CMD_NEWBLANK, BTNS_DROPDOWN, "New Query (Ctrl+N)"},
    {1, CMD_OPEN, BTNS_BUTTON, "Load SQL Script (Ctrl+Shift+P)"},
    {2, CMD_SAVE, BTNS_BUTTON, "Save Query/Result (Ctrl+S)"},
    {21, CMD_INSERTFROMFILE, BTNS_DROPDOWN, "Insert Template (Ctrl+Shift+Ins)"},
    {-1, 0, BTNS_SEP, nullptr},
    {4, CMD_CUT, BTNS_BUTTON, "Cut (Ctrl+X)"},
    {5, CMD_COPY, BTNS_BUTTON, "Copy (Ctrl+C)"},
    {6, CMD_PASTE, BTNS_BUTTON, "Paste (Ctrl+V)"},
    {3, CMD_CLEARWINDOW, BTNS_BUTTON, "Clear Window (Ctrl+Shift+Del)"},
    {7, CMD_FIND, BTNS_BUTTON, "Find (Ctrl+F)"},
    {-1, 0, BTNS_SEP, nullptr},
    {8, CMD_UNDO, BTNS_BUTTON, "Undo (Ctrl+Z)"},
    {-1, 0, BTNS_SEP, nullptr},
    {12, CMD_EXECUTE, BTNS_BUTTON, "Execute Query (Ctrl+E / F5)"},
    {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr},
    {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr},
    {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr},
    {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr},
    {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr},
    {-1, 0, BTNS_SEP, nullptr}, {-1, 0, BTNS_SEP, nullptr},
    {19, CMD_SHOWRESULTS, BTNS_CHECK, "Show Results Pane (Ctrl+R)"},
};

ATOM RegisterVnRebar()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = VnRebarProc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = VNREBAR_CLASS;
    return RegisterClassExA(&windowClass);
}

void PlaceToolbar(VNREBARDATA *host, int width)
{
    if (!host->Toolbar) return;
    int inset = ScaleForDpi(ToolbarInset, host->Dpi);
    MoveWindow(host->Toolbar, inset, inset, width - inset - ScaleForDpi(2, host->Dpi),
               ScaleForDpi(ToolbarHeight, host->Dpi), TRUE);
}

// The buttons' images drawn for dpi from the one 96-DPI artwork (smoothed
// at 150 %, pixel for pixel at 200 %), in an image list of the toolbar's.
void InstallImages(VNREBARDATA *host, int dpi)
{
    COLORREF mask = CLR_DEFAULT;
    HBITMAP strip = LoadBitmapForDpi(MAKEINTRESOURCEA(IDB_TOOLBAR), dpi, &mask);
    if (!strip) return;
    int width = ScaleForDpi(ImageWidth, dpi), height = ScaleForDpi(ImageHeight, dpi);
    HIMAGELIST images = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, ToolbarImageCount, 0);
    if (images) ImageList_AddMasked(images, strip, mask);
    DeleteObject(strip);
    if (!images) return;
    SendMessageA(host->Toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(width, height));
    SendMessageA(host->Toolbar, TB_SETIMAGELIST, 0, (LPARAM)images);
    // Buttons as high as the band leaves them, as wide as their image needs.
    SendMessageA(host->Toolbar, TB_SETBUTTONSIZE, 0,
                 MAKELONG(width + ScaleForDpi(7, dpi), ScaleForDpi(ToolbarHeight, dpi)));
    if (host->Images) ImageList_Destroy(host->Images);
    host->Images = images;
    host->Dpi = dpi;
}

// A dark outline with a light line inside its top and left edges and
// outside its bottom and right edges: an etched band.
void PaintEtchedFrame(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return;
    HDC windowDc = GetDC(window);
    HDC dc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, w, h);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));

    HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_APPWORKSPACE));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOW));
    HGDIOBJ oldPen = SelectObject(dc, dark);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, 0, 0, w - 1, h - 1);
    SelectObject(dc, light);
    MoveToEx(dc, w - 1, 0, nullptr);
    LineTo(dc, w - 1, h - 1);
    LineTo(dc, 0, h - 1);
    MoveToEx(dc, 1, h - 3, nullptr);
    LineTo(dc, 1, 1);
    LineTo(dc, w - 2, 1);
    BitBlt(windowDc, 0, 0, w, h, dc, 0, 0, SRCCOPY);

    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBitmap);
    DeleteObject(dark);
    DeleteObject(light);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(window, windowDc);
}

void SupplyTooltip(NMHDR *header)
{
    const char *text = ToolbarTooltip((UINT)header->idFrom);
    if (!text) return;
    if (header->code == TTN_NEEDTEXTA) {
        reinterpret_cast<NMTTDISPINFOA *>(header)->lpszText = const_cast<char *>(text);
    } else if (header->code == TTN_NEEDTEXTW) {
        NMTTDISPINFOW *info = reinterpret_cast<NMTTDISPINFOW *>(header);
        MultiByteToWideChar(CP_UTF8, 0, text, -1, info->szText, sizeof info->szText / sizeof(WCHAR));
        info->lpszText = info->szText;
    }
}

LRESULT OnNotify(HWND window, NMHDR *header, WPARAM wParam, LPARAM lParam)
{
    if (header->code == TTN_NEEDTEXTA || header->code == TTN_NEEDTEXTW) SupplyTooltip(header);
    return SendMessageA(GetParent(window), WM_NOTIFY, wParam, lParam);
}

VNREBARDATA *NewHostRecord() { return new (std::nothrow) VNREBARDATA(); }

void FreeHostRecord(VNREBARDATA *host)
{
    if (host->Images) ImageList_Destroy(host->Images);
    delete host;
}

LRESULT OnCreate(HWND window)
{
    VNREBARDATA *host = NewHostRecord();
    if (!host) return -1;
    host->Dpi = WindowDpi(window);
    AttachState(window, host);
    return 0;
}

void OnDestroy(HWND window)
{
    FreeHostRecord(StateOf<VNREBARDATA>(window));
    AttachState(window, nullptr);
}

} // namespace

const char *ToolbarTooltip(UINT command)
{
    for (const ButtonSpec &button : Buttons)
        if (button.Tooltip && (UINT)button.Command == command) return button.Tooltip;
    return nullptr;
}

LRESULT CALLBACK VnRebarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterVnRebar() : 0;
    VNREBARDATA *host = StateOf<VNREBARDATA>(window);
    if (message == WM_CREATE) return OnCreate(window);
    if (!host) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_REBAR_SETTOOLBAR: {
        host->Toolbar = (HWND)wParam;
        RECT client;
        GetClientRect(window, &client);
        PlaceToolbar(host, client.right);
        return 0;
    }
    case WM_SIZE:
        PlaceToolbar(host, LOWORD(lParam));
        return 0;
    case WM_REBAR_SETDPI: {
        InstallImages(host, (int)wParam);
        RECT client;
        GetClientRect(window, &client);
        PlaceToolbar(host, client.right);
        return 0;
    }
    case WM_PAINT:
        PaintEtchedFrame(window);
        return 0;
    case WM_NOTIFY:
        OnNotify(window, reinterpret_cast<NMHDR *>(lParam), wParam, lParam);
        return 0;
    case WM_COMMAND:
        SendMessageA(GetParent(window), WM_COMMAND, wParam, lParam);
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateFrameToolbar(HWND host)
{
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                                   WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                       CCS_NODIVIDER | CCS_NORESIZE,
                                   0, 0, 0, 0, host, (HMENU)(INT_PTR)IDC_TOOLBAR, GetModuleHandleA(nullptr), nullptr);
    if (!toolbar) return nullptr;
    SendMessageA(toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON buttons[ToolbarButtonCount] = {};
    for (int i = 0; i < ToolbarButtonCount; i++) {
        TBBUTTON &button = buttons[i];
        bool separator = Buttons[i].Image < 0;
        button.iBitmap = separator ? 0 : Buttons[i].Image;
        button.idCommand = Buttons[i].Command;
        button.fsState = separator ? 0 : TBSTATE_INDETERMINATE;
        button.fsStyle = Buttons[i].Style;
    }
    SendMessageA(toolbar, TB_ADDBUTTONSA, ToolbarButtonCount, (LPARAM)buttons);
    SendMessageA(host, WM_REBAR_SETTOOLBAR, (WPARAM)toolbar, 0);
    SendMessageA(host, WM_REBAR_SETDPI, WindowDpi(host), 0);
    return toolbar;
}
