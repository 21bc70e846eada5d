// The program at Wine's display scale: CTest runs these cases as
// app_tests_scale_96, _144 and _192 (scripts/at-scale.sh sets LogPixels and
// VINTREL_TEST_DPI). Sizes follow the scale, no text is clipped by its
// control, a move to a monitor of another scale (WM_DPICHANGED, which Wine 8
// never sends) is followed, and screenshots are kept for a person to see.
#include "QueryWindowFixture.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "TestFiles.h"
#include "app/AboutDialog.h"
#include "app/ConnectionDialog.h"
#include "app/FrameWindow.h"
#include "app/ObjectBrowser.h"
#include "app/ToolbarHost.h"
#include "base/Dpi.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "querywindow/SplitterWnd.h"
#include "resources/resource.h"

namespace {

int Dpi() { return WindowDpi(nullptr); }
int Scaled(int size96, int dpi = Dpi()) { return ScaleForDpi(size96, dpi); }

int FontHeight(HFONT font)
{
    LOGFONTA face = {};
    GetObjectA(font, sizeof face, &face);
    return face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
}

HFONT FontOf(HWND window)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The extent of text in window's font; wrapped at width when width > 0.
SIZE TextExtent(HWND window, const std::string &text, int width = 0)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], (int)wide.size()) - 1);
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, FontOf(window));
    RECT box = {0, 0, width > 0 ? width : 10000, 0};
    DrawTextW(dc, wide.c_str(), (int)wide.size(), &box, DT_CALCRECT | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return SIZE{box.right, box.bottom};
}

// Every label, check box and button of a dialog shows its whole text, and
// no two of them overlap.
void ExpectEveryTextWhole(HWND dialog)
{
    std::vector<std::pair<HWND, RECT>> placed;
    for (HWND item = GetWindow(dialog, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT)) {
        if (!IsWindowVisible(item)) continue;
        LONG style = GetWindowLongA(item, GWL_STYLE);
        char kind[16] = "";
        GetClassNameA(item, kind, sizeof kind);
        bool label = strcasecmp(kind, "Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
        bool button = strcasecmp(kind, "Button") == 0 && (style & BS_TYPEMASK) != BS_GROUPBOX;
        if (!label && !button) continue;
        std::string text = WindowText(item);
        RECT client, place;
        GetClientRect(item, &client);
        GetWindowRect(item, &place);
        for (auto &other : placed) {
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &place, &other.second))
                << "\"" << text << "\" overlaps \"" << WindowText(other.first) << "\" at " << Dpi() << " DPI";
        }
        placed.push_back({item, place});
        if (text.empty()) continue;
        // A label wraps within its width; a check box has its box and gap,
        // a push button its edges.
        bool check = (style & BS_TYPEMASK) == BS_AUTOCHECKBOX || (style & BS_TYPEMASK) == BS_CHECKBOX;
        SIZE extent = TextExtent(item, text, label ? client.right : 0);
        int room = client.right - (label ? 0 : check ? GetSystemMetrics(SM_CXMENUCHECK) + Scaled(4) : Scaled(4));
        EXPECT_LE(extent.cx, room) << "\"" << text << "\" is cut off at " << Dpi() << " DPI";
        EXPECT_LE(extent.cy, client.bottom) << "\"" << text << "\" is cut off below at " << Dpi() << " DPI";
    }
}

// A copy of what the screen shows of window, as a 24-bit BMP file in the
// folder VINTREL_SCREENSHOTS names, named by the scale and name.
void KeepScreenshot(HWND window, const char *name)
{
    const char *folder = getenv("VINTREL_SCREENSHOTS");
    if (!folder) return; // kept by the runs at each scale only
    CreateDirectoryA(folder, nullptr);
    char path[512];
    snprintf(path, sizeof path, "%s/scale-%d-%s.bmp", folder, Dpi(), name);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages(50);
    RECT place;
    GetWindowRect(window, &place);
    int width = place.right - place.left, height = place.bottom - place.top;
    HDC screen = GetDC(nullptr), copy = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB};
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, width, height, screen, place.left, place.top, SRCCOPY);
    GdiFlush();
    DWORD size = (DWORD)(((width * 3 + 3) & ~3) * height);
    DWORD header = sizeof(BITMAPFILEHEADER) + sizeof info.bmiHeader;
    BITMAPFILEHEADER file = {0x4D42, header + size, 0, 0, header};
    WriteBytes(path, std::string((char *)&file, sizeof file) + std::string((char *)&info.bmiHeader, header - sizeof file) +
                         std::string((char *)bits, size));
    SelectObject(copy, old);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(nullptr, screen);
}

// Where a click first lands on the second line, as a person finds it.
int EditorLineHeight(HWND editor)
{
    RECT client;
    GetClientRect(editor, &client);
    int firstLine = -1;
    for (int y = 0; y < client.bottom; y++) {
        SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right / 2, y));
        SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 2, y));
        EDITORRANGE caret = {};
        SendMessageA(editor, WM_EDITOR_GETSEL, 0, (LPARAM)&caret);
        if (firstLine < 0) firstLine = caret.End.Line;
        if (caret.End.Line != firstLine) return y;
    }
    return 0;
}

int HeaderWidth(CHILDDATA *child, int column)
{
    RECT cell = {column, 0, 0, 0};
    SendMessageA(child->Grid, WM_GRID_GETCELLRECT, (WPARAM)-1, (LPARAM)&cell);
    return cell.right - cell.left;
}

// The sizes of the frame and of a query window that follow the scale dpi.
void ExpectFrameAndWindowAt(HWND frame, CHILDDATA *child, int dpi)
{
    RECT host;
    GetWindowRect(GetDlgItem(frame, IDC_TOOLBARHOST), &host);
    EXPECT_EQ(Scaled(30, dpi), host.bottom - host.top);
    int width = 0, height = 0;
    ImageList_GetIconSize((HIMAGELIST)SendMessageA(FrameToolbar(frame), TB_GETIMAGELIST, 0, 0), &width, &height);
    EXPECT_EQ(Scaled(16, dpi), width);
    EXPECT_EQ(Scaled(15, dpi), height);
    EXPECT_EQ(Scaled(13, dpi), FontHeight(FontOf(FrameSelector(frame))));
    HWND browser = FindWindowExA(frame, nullptr, OBJECTBROWSER_CLASS, nullptr);
    EXPECT_EQ(Scaled(12, dpi), FontHeight(FontOf(GetDlgItem(browser, IDC_BROWSERFILTER))));

    // A grid row holds a line of the grid's font, and a column its text.
    RECT cell = {1, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(child->Grid, WM_GRID_GETCELLRECT, 0, (LPARAM)&cell));
    EXPECT_NEAR(Scaled(20, dpi), cell.bottom - cell.top, 1);
    EXPECT_LE(TextExtent(child->Grid, "a text of some length").cx, cell.right - cell.left);

    // The editor's lines are as high as its font, which grows with the scale.
    EXPECT_EQ(Scaled(16, dpi), FontHeight(FontOf(child->Editor)));
    int lineHeight = EditorLineHeight(child->Editor);
    EXPECT_LE(TextExtent(child->Editor, "Ág").cy, lineHeight);
    EXPECT_NEAR(Scaled(16, dpi), lineHeight, 2);

    EXPECT_EQ(Scaled(13, dpi), FontHeight(child->TabFont));
    EXPECT_EQ(Scaled(16, dpi), FontHeight(child->MessageFont));
    SPLITTERPLACE place = {};
    SendMessageA(child->Splitter, WM_SPLITTER_GETPLACE, 0, (LPARAM)&place);
    EXPECT_EQ(Scaled(3, dpi), place.BarHeight);
    // Each tab shows its image and its whole name.
    RECT tab;
    SendMessageA(child->Tabs, TCM_GETITEMRECT, 1, (LPARAM)&tab);
    EXPECT_LE(TextExtent(child->Tabs, "Messages").cx + Scaled(16, dpi), tab.right - tab.left);
    // Each status part is as wide as its text.
    for (int part = 1; part < StatusPartCount; part++) {
        RECT box;
        SendMessageA(child->StatusBar, SB_GETRECT, part, (LPARAM)&box);
        EXPECT_LE(TextExtent(child->StatusBar, StatusText(child, part)).cx, box.right - box.left)
            << "status part " << part << " \"" << StatusText(child, part) << "\" at " << dpi << " DPI";
    }
}

TEST(DisplayScale, FrameAndQueryWindowFollowTheScaleAndAMoveToAnotherMonitor)
{
    if (const char *asked = getenv("VINTREL_TEST_DPI")) {
        EXPECT_EQ(atoi(asked), Dpi());
    }
    HWND frame = TestFrame();
    HWND window = OpenQueryWindow();
    ASSERT_NE(nullptr, window);
    SendMessageA(MdiClientWindow, WM_MDIMAXIMIZE, (WPARAM)window, 0);
    FrameCommand(CMD_OBJECTBROWSER);
    HWND browser = FindWindowExA(frame, nullptr, OBJECTBROWSER_CLASS, nullptr);
    ASSERT_TRUE(browser && IsWindowVisible(browser));
    CHILDDATA *child = ChildOf(window);
    ASSERT_TRUE(RunBatch(child, "select 1 as n, 'a text of some length' as t,\r\n  now() as `when`"));
    ExpectFrameAndWindowAt(frame, child, Dpi());
    // The frame status bar's count, in its font.
    RECT part;
    SendMessageA(FrameStatusBar(frame), SB_GETRECT, 1, (LPARAM)&part);
    EXPECT_LE(TextExtent(FrameStatusBar(frame), FrameStatusText(frame)).cx, part.right - part.left);
    KeepScreenshot(frame, "frame");

    // A person drags the first column's right border 40 pixels to the right.
    RECT cell = {0, 0, 0, 0};
    SendMessageA(child->Grid, WM_GRID_GETCELLRECT, (WPARAM)-1, (LPARAM)&cell);
    int border = cell.right, middle = (cell.top + cell.bottom) / 2, dragged = cell.right - cell.left + 40;
    POINT to = {border + 40, middle};
    ClientToScreen(child->Grid, &to);
    SendMessageA(child->Grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(border, middle));
    SetCursorPos(to.x, to.y);
    SendMessageA(child->Grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(border + 40, middle));
    SendMessageA(child->Grid, WM_LBUTTONUP, 0, MAKELPARAM(border + 40, middle));
    EXPECT_NEAR(dragged, HeaderWidth(child, 0), 1);
    double proportion = (double)HeaderWidth(child, 0) / HeaderWidth(child, 1);
    RECT pane;
    GetClientRect(browser, &pane);
    int paneWidth = pane.right;

    // To a monitor of twice the scale, and back: the splitter and the
    // dragged column keep their proportion.
    SPLITTERPLACE before = {}, after = {};
    SendMessageA(child->Splitter, WM_SPLITTER_GETPLACE, 0, (LPARAM)&before);
    RECT place;
    GetWindowRect(frame, &place);
    for (int dpi : {Dpi() * 2, Dpi()}) {
        SendMessageA(frame, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), (LPARAM)&place);
        PumpMessages(20);
        ExpectFrameAndWindowAt(frame, child, dpi);
        SendMessageA(child->Splitter, WM_SPLITTER_GETPLACE, 0, (LPARAM)&after);
        EXPECT_EQ(before.Percent, after.Percent);
        EXPECT_NEAR(proportion, (double)HeaderWidth(child, 0) / HeaderWidth(child, 1), 0.02) << dpi << " DPI";
        GetClientRect(browser, &pane);
        EXPECT_NEAR(RescaleForDpi(paneWidth, Dpi(), dpi), pane.right, 2);
    }
    FrameCommand(CMD_OBJECTBROWSER);
    CloseAllQueryWindows();
}

TEST(DisplayScale, ConnectDialogAndAboutBoxShowEveryTextWhole)
{
    HWND frame = TestFrame();
    DialogDriver driver;
    driver.Then([](HWND dialog) {
        ExpectEveryTextWhole(dialog);
        KeepScreenshot(dialog, "connect");
        PressItem(dialog, IDCANCEL);
    });
    ShowConnectionDialog(frame);
    driver.Then([](HWND dialog) {
        ExpectEveryTextWhole(dialog);
        KeepScreenshot(dialog, "about");
        PressItem(dialog, IDOK);
    });
    ShowAboutDialog(frame);
    EXPECT_EQ(0u, driver.Pending());
    EXPECT_TRUE(driver.Unexpected.empty());
}

} // namespace
