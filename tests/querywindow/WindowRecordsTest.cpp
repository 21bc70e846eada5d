// A query window's layout, status bar, results pane and title, with real
// tab control, status bar, toolbar and splitter inside a plain window that
// stands in for the query window.
#include "TestSupport.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "FrameStandIn.h"
#include "querywindow/SplitterWnd.h"
#include "querywindow/WindowRecords.h"

namespace {

// Hiding a top-level window makes Wine wait for a window manager that Xvfb
// does not have; the test windows therefore live as children (as query
// windows do in their MDI client) of one top-level window per suite.
HWND CreateDesk()
{
    return CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 1100, 1000, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

LRESULT CALLBACK QueryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CHILDDATA *child = StateOf<CHILDDATA>(window);
    if (child && message == WM_SIZE) LayoutWindow(child, 1);
    if (child && message == WM_NOTIFY && reinterpret_cast<NMHDR *>(lParam)->idFrom == IDC_SPLITTER)
        LayoutWindow(child, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND Create(const char *className, DWORD style, HWND parent, int id)
{
    return CreateWindowExA(0, className, "", style, 0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

RECT ScreenRect(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

// A window's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

std::string StatusText(HWND statusBar, int part)
{
    char text[256] = "";
    SendMessageA(statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string TabText(HWND tabs, int index)
{
    char text[64] = "";
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
    return std::string(text) + "/" + std::to_string(item.iImage);
}

class QueryWindowRecords : public testing::Test {
protected:
    static HWND desk;
    static void SetUpTestSuite() { desk = CreateDesk(); }
    static void TearDownTestSuite() { DestroyWindow(desk); }
    HWND window = nullptr;
    CHILDDATA *child = nullptr;
    HFONT statusFont = nullptr;

    void SetUp() override
    {
        ASSERT_NE(0, RegisterSplitterClass());
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = QueryWindowProc;
        windowClass.cbWndExtra = sizeof(void *);
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = "RecordsTestQueryWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "RecordsTestQueryWindow", "", WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME, 30, 30,
                                 640, 520, desk, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(window);

        child = static_cast<CHILDDATA *>(calloc(1, sizeof(CHILDDATA)));
        child->Window = window;
        child->Tabs = Create("SysTabControl32",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TCS_FOCUSNEVER | TCS_BOTTOM,
                             window, IDC_TABS);
        child->Editor = Create("STATIC", WS_CHILD | WS_VISIBLE | SS_WHITERECT, child->Tabs, IDC_EDITOR);
        child->Grid = Create("STATIC", WS_CHILD | WS_VISIBLE | SS_GRAYRECT, child->Tabs, IDC_GRID);
        child->MessagePane = Create("STATIC", WS_CHILD | SS_BLACKRECT, child->Tabs, IDC_MESSAGEPANE);
        child->StatusBar = Create(STATUSCLASSNAMEA, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, window, IDC_CHILDSTATUS);
        child->Splitter = Create("Splitter", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, window, IDC_SPLITTER);
        child->Connection = NewConnectionInfo("h", "u", "p");
        ReplaceConnectionText(&child->Connection->Database, "d");
        child->Connection->ServerUser = static_cast<char *>(calloc(1, ServerUserSize));
        strcpy(child->Connection->ServerUser, "a");
        strcpy(child->FileName, "Untitled1");
        statusFont = CreateFontA(13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
        SendMessageA(child->StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont), FALSE);
        SendMessageA(child->StatusBar, SB_SETPARTS, StatusPartCount, reinterpret_cast<LPARAM>(child->StatusParts));
        AttachState(window, child);
        LayoutWindow(child, 1);
        UpdateWindow(window);
        PumpMessages(20);
    }
    void TearDown() override
    {
        AttachState(window, nullptr);
        DestroyWindow(window);
        FreeConnectionInfo(child->Connection);
        free(child);
        DeleteObject(statusFont);
        PumpMessages();
    }

    SPLITTERPLACE Splitter()
    {
        SPLITTERPLACE place = {};
        SendMessageA(child->Splitter, WM_SPLITTER_GETPLACE, 0, reinterpret_cast<LPARAM>(&place));
        return place;
    }
    int Position() { return Splitter().Position; }

    // A pane as a person sees it: inside the tab control, clear of its row
    // of tabs (at the bottom), and reaching the tab control's sides, and its
    // top or its tabs as asked, but for a border.
    enum Reach { ReachTop = 1, ReachTabs = 2 };
    void ExpectOnThePage(HWND pane, int reach, const char *what)
    {
        RECT place = ScreenRect(pane), tabs = ScreenRect(child->Tabs), both;
        ASSERT_FALSE(IsRectEmpty(&place)) << what;
        IntersectRect(&both, &place, &tabs);
        EXPECT_TRUE(EqualRect(&both, &place)) << what << " inside the tab control, above the status bar";
        int count = static_cast<int>(SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
        int above = tabs.bottom; // the tab row's top, or the control's bottom without tabs
        for (int index = 0; index < count; index++) {
            RECT item;
            SendMessageA(child->Tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
            MapWindowPoints(child->Tabs, nullptr, reinterpret_cast<POINT *>(&item), 2);
            EXPECT_FALSE(IntersectRect(&both, &place, &item)) << what << " clear of tab " << index;
            if (item.top < above) above = item.top;
        }
        int gaps[] = {place.left - tabs.left, tabs.right - place.right, reach & ReachTop ? place.top - tabs.top : 0,
                      reach & ReachTabs ? above - place.bottom : 0};
        for (int gap : gaps) EXPECT_LE(gap, 6) << what << ": a border, no more";
    }
    // The editor above the bar above the results: no gap, no overlap, all as
    // wide; the editor as tall as the bar's position says.
    void ExpectPanesAround(int position)
    {
        RECT editor = ScreenRect(child->Editor), bar = ScreenRect(child->Splitter), grid = ScreenRect(child->Grid);
        RECT pane = ScreenRect(child->MessagePane);
        EXPECT_EQ(position, editor.bottom - editor.top);
        EXPECT_EQ(editor.bottom, bar.top) << "the bar right below the editor";
        EXPECT_EQ(3, bar.bottom - bar.top);
        EXPECT_EQ(bar.bottom, grid.top) << "the results right below the bar";
        EXPECT_TRUE(EqualRect(&grid, &pane)) << "the message pane where the grid is";
        for (const RECT &below : {bar, grid}) {
            EXPECT_EQ(editor.left, below.left);
            EXPECT_EQ(editor.right, below.right);
        }
        ExpectOnThePage(child->Editor, ReachTop, "editor");
        ExpectOnThePage(child->Grid, ReachTabs, "grid");
    }
    void ExpectEditorAlone()
    {
        ExpectOnThePage(child->Editor, ReachTop | ReachTabs, "editor");
        RECT grid = PlaceOf(child->Grid), pane = PlaceOf(child->MessagePane);
        EXPECT_TRUE(IsRectEmpty(&grid)) << "the grid takes no room";
        EXPECT_TRUE(IsRectEmpty(&pane)) << "the message pane takes no room";
    }
    void DragSplitterBy(int pixels)
    {
        RECT bar;
        GetWindowRect(child->Splitter, &bar);
        SetCursorPos(bar.left + 20, bar.top + 1);
        SendMessageA(child->Splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 1));
        SetCursorPos(bar.left + 20, bar.top + 1 + pixels);
        SendMessageA(child->Splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 1));
        SendMessageA(child->Splitter, WM_LBUTTONUP, 0, MAKELPARAM(20, 1));
    }
};

HWND QueryWindowRecords::desk = nullptr;

TEST_F(QueryWindowRecords, HiddenPaneGivesTheEditorTheWholeArea)
{
    EXPECT_EQ(0, child->ResultsShown);
    EXPECT_EQ(0, SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    ExpectEditorAlone();

    RECT client, tabs = PlaceOf(child->Tabs), status = PlaceOf(child->StatusBar);
    GetClientRect(window, &client);
    EXPECT_EQ(client.bottom, status.bottom) << "the status bar sits at the bottom";
    EXPECT_EQ(status.top, tabs.bottom) << "the tab control fills the rest";
    EXPECT_EQ(client.right, tabs.right);
}

TEST_F(QueryWindowRecords, ShownPaneSplitsAtHalfTheAreasBottom)
{
    ShowResultsPane(child);
    EXPECT_EQ(1, child->ResultsShown);
    ASSERT_EQ(2, SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("Results/0", TabText(child->Tabs, 0));
    EXPECT_EQ("Messages/1", TabText(child->Tabs, 1));
    EXPECT_EQ(0, SendMessageA(child->Tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(50, Splitter().Percent);
    ExpectPanesAround(Position());

    ShowResultsPane(child);
    EXPECT_EQ(2, SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0)) << "showing twice adds no tabs";
}

TEST_F(QueryWindowRecords, HidingRemovesTheTabsAndShowingSelectsTheBatchsTab)
{
    ShowResultsPane(child);
    HideResultsPane(child);
    EXPECT_EQ(0, child->ResultsShown);
    EXPECT_EQ(0, SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    ExpectEditorAlone();
    HideResultsPane(child);
    EXPECT_EQ(0, child->ResultsShown);

    child->ActiveTab = 1;
    ShowResultsPane(child);
    EXPECT_EQ(1, SendMessageA(child->Tabs, TCM_GETCURSEL, 0, 0));
}

TEST_F(QueryWindowRecords, DraggedBarMovesThePanesAndKeepsItsPercentageOnResize)
{
    ShowResultsPane(child);
    int before = Position();
    DragSplitterBy(-60);
    EXPECT_EQ(before - 60, Position());
    ExpectPanesAround(Position());
    int percent = Splitter().Percent;

    SetWindowPos(window, nullptr, 0, 0, 700, 760, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(20);
    EXPECT_EQ(percent, Splitter().Percent);
    EXPECT_GT(Position(), before - 60) << "the bar moved down with the larger window";
    ExpectPanesAround(Position());
}

TEST_F(QueryWindowRecords, StatusPartsFitTheirTextsAndPartZeroTakesTheRest)
{
    const char *texts[StatusPartCount] = {"Ready", "localhost (10.11.6-MariaDB)", "sales", "vintrel@localhost",
                                          "12 row(s)", "", "Ln 3, Col 14"};
    for (int part = 0; part < StatusPartCount; part++) SetStatusText(child, part, texts[part]);
    for (int part = 0; part < StatusPartCount; part++) EXPECT_EQ(texts[part], StatusText(child->StatusBar, part));

    // Every text fits its part whole with a margin, no part but the first
    // is much wider than its text, and the parts reach the right edge.
    int edges[StatusPartCount] = {0};
    EXPECT_EQ(StatusPartCount, SendMessageA(child->StatusBar, SB_GETPARTS, StatusPartCount, reinterpret_cast<LPARAM>(edges)));
    RECT client;
    GetClientRect(child->StatusBar, &client);
    EXPECT_EQ(client.right, edges[StatusPartCount - 1]);
    HDC dc = GetDC(child->StatusBar);
    HGDIOBJ old = SelectObject(dc, statusFont);
    for (int part = 0; part < StatusPartCount; part++) {
        SIZE extent = {0, 0};
        GetTextExtentPoint32A(dc, texts[part], static_cast<int>(strlen(texts[part])), &extent);
        RECT rect = {};
        SendMessageA(child->StatusBar, SB_GETRECT, part, reinterpret_cast<LPARAM>(&rect));
        int width = rect.right - rect.left;
        EXPECT_GE(width, extent.cx + 8) << "part " << part << " holds \"" << texts[part] << "\"";
        if (part > 0) {
            EXPECT_LE(width, extent.cx + 30) << "part " << part << " is sized to its text";
        }
    }
    SelectObject(dc, old);
    ReleaseDC(child->StatusBar, dc);
    EXPECT_GT(edges[5] - edges[4], 8) << "an empty part keeps its padding";

    // A wider window gives part 0 the difference.
    int partZero = child->StatusParts[0];
    SetWindowPos(window, nullptr, 0, 0, 740, 520, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(20);
    EXPECT_EQ(partZero + 100, child->StatusParts[0]);
}

TEST_F(QueryWindowRecords, TitleNamesHostDatabaseAccountAndFile)
{
    char title[256];
    BuildTitle(child, title, sizeof(title));
    EXPECT_STREQ("Query - h.d.a - Untitled1", title);
    child->Modified = 1;
    BuildTitle(child, title, sizeof(title));
    EXPECT_STREQ("Query - h.d.a - Untitled1*", title);

    char cut[12];
    memset(cut, 'x', sizeof(cut));
    BuildTitle(child, cut, 10);
    EXPECT_STREQ("Query - h", cut);
    EXPECT_EQ('x', cut[10]) << "nothing written past the given size";

    std::string host(700, 'w');
    ReplaceConnectionText(&child->Connection->Host, host.c_str());
    UpdateTitle(child);
    char shown[1024] = "";
    GetWindowTextA(window, shown, sizeof(shown));
    EXPECT_EQ("Query - " + host + ".d.a - Untitled1*", std::string(shown));
}

// Not an MDI child, so never the active query window: the results button
// is left to the active one.
TEST_F(QueryWindowRecords, APaneShownInAWindowBehindLeavesTheResultsButtonAlone)
{
    FrameStandIn frame(window);
    child->Frame = frame.Window;
    ShowResultsPane(child);
    HideResultsPane(child);
    EXPECT_TRUE(frame.Checks.empty());
    EXPECT_EQ(0, child->ResultsShown);
    child->Frame = nullptr;
}

TEST(AppDirectory, IsTheProgramsDirectoryWithoutATrailingBackslash)
{
    ComputeAppDirectory();
    size_t length = strlen(AppDirectory);
    ASSERT_GT(length, 0u);
    EXPECT_NE('\\', AppDirectory[length - 1]);
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(0, strncmp(path, AppDirectory, length));
    EXPECT_EQ('\\', path[length]);
    EXPECT_EQ(nullptr, strchr(path + length + 1, '\\'));
    DWORD attributes = GetFileAttributesA(AppDirectory);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace
