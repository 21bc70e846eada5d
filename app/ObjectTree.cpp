#include "app/ObjectTree.h"

#include <windowsx.h>

#include <algorithm>
#include <new>

#include "base/ActionFailure.h"
#include "base/Dpi.h"
#include "base/PaintBuffer.h"
#include "base/Utf8.h"
#include "base/WindowState.h"

namespace {

struct TREEDATA {
    HWND Window;
    BROWSERMODEL *Model;
    HFONT Font;
    int RowHeight;
    int Dpi;                      // the scale Font and the sizes below are made for
    int Indent, Expander, Gap;    // IndentWidth, ExpanderSize and TextGap at Dpi
    size_t Selected;
    size_t Top;
    SCROLLINFO Shown; // what the scroll bar shows now
    PaintBuffer Painted;
};

// At 96 DPI; a tree has them at its scale.
const int IndentWidth = 16, ExpanderSize = 9, TextGap = 4, FontHeight = 12, LeastRowHeight = 16;

size_t RowCount(const TREEDATA *tree) { return tree->Model ? tree->Model->Rows.size() : 0; }

int VisibleRows(const TREEDATA *tree)
{
    RECT client;
    GetClientRect(tree->Window, &client);
    return std::max(1, (int)(client.bottom / tree->RowHeight));
}

// Only when it changed: redrawing the scroll bar costs more than drawing
// the rows, and a filter keystroke must stay quick.
void UpdateScrollBar(TREEDATA *tree)
{
    SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL};
    info.nMax = (int)std::min<size_t>(RowCount(tree), 0x7fffffff) - 1;
    info.nPage = (UINT)VisibleRows(tree);
    info.nPos = (int)tree->Top;
    if (info.nMax == tree->Shown.nMax && info.nPage == tree->Shown.nPage && info.nPos == tree->Shown.nPos) return;
    tree->Shown = info;
    SetScrollInfo(tree->Window, SB_VERT, &info, TRUE);
}

void ScrollTo(TREEDATA *tree, long top)
{
    long last = (long)RowCount(tree) - VisibleRows(tree);
    top = std::max(0L, std::min(top, last));
    if ((size_t)top == tree->Top) return;
    tree->Top = (size_t)top;
    UpdateScrollBar(tree);
    InvalidateRect(tree->Window, nullptr, FALSE);
}

void Select(TREEDATA *tree, long row)
{
    size_t count = RowCount(tree);
    if (count == 0) return;
    row = std::max(0L, std::min(row, (long)count - 1));
    tree->Selected = (size_t)row;
    int visible = VisibleRows(tree);
    if (tree->Selected < tree->Top) ScrollTo(tree, (long)tree->Selected);
    else if (tree->Selected >= tree->Top + visible) ScrollTo(tree, (long)tree->Selected - visible + 1);
    InvalidateRect(tree->Window, nullptr, FALSE);
}

void Refresh(TREEDATA *tree)
{
    size_t count = RowCount(tree);
    if (tree->Selected >= count) tree->Selected = count ? count - 1 : 0;
    long last = std::max(0L, (long)count - VisibleRows(tree));
    if ((long)tree->Top > last) tree->Top = (size_t)last;
    UpdateScrollBar(tree);
    InvalidateRect(tree->Window, nullptr, FALSE);
}

void Toggle(TREEDATA *tree, size_t row)
{
    if (!tree->Model || row >= RowCount(tree)) return;
    ToggleRow(*tree->Model, row);
    Refresh(tree);
}

void DrawText16(HDC dc, int x, int y, const std::string &text)
{
    std::u16string wide = utf8::ToUtf16(text);
    ExtTextOutW(dc, x, y, 0, nullptr, reinterpret_cast<const WCHAR *>(wide.c_str()), (UINT)wide.size(), nullptr);
}

int TextWidth16(HDC dc, const std::string &text)
{
    std::u16string wide = utf8::ToUtf16(text);
    SIZE size = {};
    GetTextExtentPoint32W(dc, reinterpret_cast<const WCHAR *>(wide.c_str()), (int)wide.size(), &size);
    return size.cx;
}

void DrawExpander(HDC dc, int x, int top, int height, int size, bool expanded)
{
    int y = top + (height - size) / 2;
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, x, y, x + size, y + size);
    SelectObject(dc, oldBrush);
    int middle = y + size / 2;
    MoveToEx(dc, x + 2, middle, nullptr);
    LineTo(dc, x + size - 2, middle);
    if (!expanded) {
        MoveToEx(dc, x + size / 2, y + 2, nullptr);
        LineTo(dc, x + size / 2, y + size - 2);
    }
}

void PaintRow(TREEDATA *tree, HDC dc, size_t index, int top, int width)
{
    const BrowserRow &row = tree->Model->Rows[index];
    RECT line = {0, top, width, top + tree->RowHeight};
    bool selected = index == tree->Selected;
    bool focused = GetFocus() == tree->Window;
    FillRect(dc, &line, GetSysColorBrush(selected ? (focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW));
    int x = 2 + row.Depth * tree->Indent;
    if (row.Expandable) DrawExpander(dc, x, top, tree->RowHeight, tree->Expander, row.Expanded);
    x += tree->Expander + tree->Gap;
    COLORREF ink = GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    SetTextColor(dc, row.Kind == RowMessage ? GetSysColor(COLOR_GRAYTEXT) : ink);
    std::string text = RowText(*tree->Model, index);
    DrawText16(dc, x, top + 1, text);
    std::string detail = RowDetail(*tree->Model, index);
    if (detail.empty()) return;
    SetTextColor(dc, selected && focused ? ink : GetSysColor(COLOR_GRAYTEXT));
    DrawText16(dc, x + TextWidth16(dc, text) + 2 * tree->Gap, top + 1, detail);
}

// Drawn off screen first: a tree repainted at every keystroke of the
// filter must not flicker.
void Paint(TREEDATA *tree, HDC target)
{
    RECT client;
    GetClientRect(tree->Window, &client);
    HDC dc = CreateCompatibleDC(target);
    HGDIOBJ oldBitmap = SelectObject(dc, tree->Painted.For(target, client.right, client.bottom));
    HGDIOBJ oldFont = SelectObject(dc, tree->Font);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    size_t count = RowCount(tree);
    for (size_t i = tree->Top, y = 0; i < count && (long)y < client.bottom; i++, y += tree->RowHeight)
        PaintRow(tree, dc, i, (int)y, client.right);
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
}

void ReadRow(TREEDATA *tree, size_t row, std::string *text)
{
    if (!text || row >= RowCount(tree)) return;
    *text = std::string(2 * tree->Model->Rows[row].Depth, ' ') + RowText(*tree->Model, row);
    std::string detail = RowDetail(*tree->Model, row);
    if (!detail.empty()) *text += "  " + detail;
}

void OnPaint(TREEDATA *tree)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(tree->Window, &paint);
    Paint(tree, dc);
    EndPaint(tree->Window, &paint);
}

void OpenMenu(TREEDATA *tree, POINT screen)
{
    TREEMENU menu = {{tree->Window, (UINT_PTR)GetDlgCtrlID(tree->Window), (UINT)TREEN_MENU}, screen};
    SendMessageA(GetParent(tree->Window), WM_NOTIFY, menu.Header.idFrom, (LPARAM)&menu);
}

// Shift+F10 and the Menu key: the menu opens at the selected row.
void OnContextMenu(TREEDATA *tree, LPARAM lParam)
{
    POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        at.x = 2 * tree->Indent;
        at.y = (int)(tree->Selected - tree->Top + 1) * tree->RowHeight;
        ClientToScreen(tree->Window, &at);
    }
    if (RowCount(tree)) OpenMenu(tree, at);
}

void OnKey(TREEDATA *tree, WPARAM key)
{
    if (!tree->Model) return;
    const std::vector<BrowserRow> &rows = tree->Model->Rows;
    long selected = (long)tree->Selected;
    int page = VisibleRows(tree);
    bool control = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
    case VK_UP: Select(tree, selected - 1); break;
    case VK_DOWN: Select(tree, selected + 1); break;
    case VK_PRIOR: Select(tree, selected - page + 1); break;
    case VK_NEXT: Select(tree, selected + page - 1); break;
    case VK_HOME: Select(tree, 0); break;
    case VK_END: Select(tree, (long)rows.size() - 1); break;
    case VK_RIGHT:
        if (tree->Selected >= rows.size()) break;
        if (rows[tree->Selected].Expandable && !rows[tree->Selected].Expanded) Toggle(tree, tree->Selected);
        else Select(tree, selected + 1);
        break;
    case VK_LEFT:
        if (tree->Selected >= rows.size()) break;
        if (rows[tree->Selected].Expanded && rows[tree->Selected].Expandable) Toggle(tree, tree->Selected);
        else Select(tree, (long)ParentRow(*tree->Model, tree->Selected));
        break;
    case VK_RETURN:
        if (RowCount(tree)) NotifyParent(tree->Window, control ? TREEN_RUN : TREEN_ACT);
        break;
    case VK_APPS:
        // Wine makes no WM_CONTEXTMENU of the Menu key (it does of Shift+F10).
        OnContextMenu(tree, (LPARAM)-1);
        break;
    }
}

size_t RowAt(TREEDATA *tree, int y) { return tree->Top + (size_t)std::max(0, y) / (size_t)tree->RowHeight; }

bool OnExpander(TREEDATA *tree, size_t row, int x)
{
    int left = 2 + tree->Model->Rows[row].Depth * tree->Indent;
    return tree->Model->Rows[row].Expandable && x >= left - 2 && x < left + tree->Expander + 2;
}

void OnButtonDown(TREEDATA *tree, UINT message, LPARAM lParam)
{
    SetFocus(tree->Window);
    size_t row = RowAt(tree, GET_Y_LPARAM(lParam));
    if (row >= RowCount(tree)) return;
    Select(tree, (long)row);
    if (message == WM_LBUTTONDOWN && OnExpander(tree, row, GET_X_LPARAM(lParam))) Toggle(tree, row);
    if (message == WM_LBUTTONDBLCLK) {
        // A double-click on a name opens its folder or puts the name in the
        // editor.
        const BrowserRow &clicked = tree->Model->Rows[row];
        if (clicked.Kind == RowDatabase || clicked.Kind == RowFolder || clicked.Kind == RowIndexes) Toggle(tree, row);
        else NotifyParent(tree->Window, TREEN_ACT);
    }
}

void OnVerticalScroll(TREEDATA *tree, WPARAM wParam)
{
    SCROLLINFO info = {sizeof info, SIF_TRACKPOS};
    GetScrollInfo(tree->Window, SB_VERT, &info);
    long top = (long)tree->Top, page = VisibleRows(tree);
    switch (LOWORD(wParam)) {
    case SB_LINEUP: top--; break;
    case SB_LINEDOWN: top++; break;
    case SB_PAGEUP: top -= page; break;
    case SB_PAGEDOWN: top += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: top = info.nTrackPos; break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = (long)RowCount(tree); break;
    }
    ScrollTo(tree, top);
}

// Font, rows and indents for dpi (at creation, and when the window moves to
// a monitor of another scale; 0 asks the window's).
void ApplyScale(TREEDATA *tree, int dpi)
{
    if (dpi <= 0) dpi = WindowDpi(tree->Window);
    if (dpi == tree->Dpi) return;
    HFONT font = CreateFontA(-ScaleForDpi(FontHeight, dpi), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                             "Tahoma");
    if (!font) return;
    if (tree->Font) DeleteObject(tree->Font);
    tree->Font = font;
    tree->Dpi = dpi;
    tree->Indent = ScaleForDpi(IndentWidth, dpi);
    tree->Expander = ScaleForDpi(ExpanderSize, dpi) | 1; // odd: the plus sign has a middle
    tree->Gap = ScaleForDpi(TextGap, dpi);
    HDC dc = GetDC(tree->Window);
    HGDIOBJ old = SelectObject(dc, tree->Font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(tree->Window, dc);
    tree->RowHeight = std::max(ScaleForDpi(LeastRowHeight, dpi), (int)(metrics.tmHeight + ScaleForDpi(3, dpi)));
}

LRESULT OnCreate(HWND window)
{
    TREEDATA *tree = new (std::nothrow) TREEDATA();
    if (!tree) return -1;
    tree->Window = window;
    tree->Shown.nMax = -2; // nothing shown yet
    ApplyScale(tree, WindowDpi(window));
    AttachState(window, tree);
    return 0;
}

void OnDestroy(HWND window, TREEDATA *tree)
{
    DeleteObject(tree->Font);
    AttachState(window, nullptr);
    delete tree;
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) return OnCreate(window);
    TREEDATA *tree = StateOf<TREEDATA>(window);
    if (!tree) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_TREE_SETMODEL: tree->Model = reinterpret_cast<BROWSERMODEL *>(lParam); Refresh(tree); return 0;
    case WM_TREE_REFRESH: Refresh(tree); return 0;
    case WM_TREE_SELECT: Select(tree, (long)wParam); return 0;
    case WM_TREE_GETSELECTED: return RowCount(tree) ? (LRESULT)tree->Selected : (LRESULT)RowCount(tree);
    case WM_TREE_GETROWCOUNT: return (LRESULT)RowCount(tree);
    case WM_TREE_GETROWTEXT: ReadRow(tree, (size_t)wParam, reinterpret_cast<std::string *>(lParam)); return 0;
    case WM_PAINT: OnPaint(tree); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: Refresh(tree); return 0;
    case WM_DPICHANGED_AFTERPARENT:
        ApplyScale(tree, (int)wParam);
        Refresh(tree);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN: OnKey(tree, wParam); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: OnButtonDown(tree, message, lParam); return 0;
    case WM_CONTEXTMENU: OnContextMenu(tree, lParam); return 0;
    case WM_VSCROLL: OnVerticalScroll(tree, wParam); return 0;
    case WM_MOUSEWHEEL: ScrollTo(tree, (long)tree->Top - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
        InvalidateRect(window, nullptr, FALSE);
        NotifyParent(window, TREEN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_DESTROY: OnDestroy(window, tree); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterTree()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ObjectTreeProc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = OBJECTTREE_CLASS;
    return RegisterClassExA(&windowClass);
}

} // namespace

LRESULT CALLBACK ObjectTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterTree() : 0;
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        ReportFailedAction(window);
        return message == WM_CREATE ? -1 : 0;
    }
}
