#include "querywindow/WindowRecords.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "grid/GridWindow.h"
#include "querywindow/FrameServices.h"
#include "querywindow/SplitterWnd.h"
#include "resources/resource.h"

namespace {

// The pixel width of a status part's current text in the font the status
// bar draws with.
int StatusTextWidth(HWND statusBar, HDC dc, int part)
{
    int length = LOWORD(SendMessageA(statusBar, SB_GETTEXTLENGTHA, part, 0));
    if (length == 0) return 0;
    char *text = static_cast<char *>(malloc(length + 1));
    if (!text) return 0;
    text[0] = '\0';
    SendMessageA(statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
    text[length] = '\0';
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &extent);
    free(text);
    return extent.cx;
}

// The status bar draws with the font it was given, or else with the
// system's status font: measure with the same one.
HFONT StatusBarFont(HWND statusBar, HFONT *created)
{
    *created = nullptr;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(statusBar, WM_GETFONT, 0, 0));
    if (font) return font;
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        *created = CreateFontIndirectA(&metrics.lfStatusFont);
    return *created;
}

const char *TextOrEmpty(const char *text) { return text ? text : ""; }

void MoveTo(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    if (window) MoveWindow(window, x, y, width, height, repaint);
}

void InsertTab(HWND tabs, int index, const char *text, int image)
{
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = const_cast<char *>(text);
    item.iImage = image;
    SendMessageA(tabs, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
}

std::string TabName(int32_t index, int32_t results)
{
    if (index == results) return "Messages";
    if (results == 1) return "Results";
    return "Result " + std::to_string(index + 1);
}

// Whether the tabs read as they should already: a batch's end keeps the
// tabs its results arrived in, and filling them again would only repaint
// the tab row and everything below it.
bool TabsAsNamed(HWND tabs, int32_t results)
{
    if (SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0) != results + 1) return false;
    for (int32_t i = 0; i <= results; i++) {
        char text[32] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        if (!SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item)) || TabName(i, results) != text)
            return false;
    }
    return true;
}

// "Results" for a batch of one result set, else one numbered tab for each,
// then "Messages".
void FillTabs(CHILDDATA *child, int32_t selected)
{
    HWND tabs = child->Tabs;
    if (!tabs) return;
    int32_t results = MessagesTab(child);
    if (TabsAsNamed(tabs, results)) {
        if (SendMessageA(tabs, TCM_GETCURSEL, 0, 0) != selected) SendMessageA(tabs, TCM_SETCURSEL, selected, 0);
        return;
    }
    // A result begun while a long script runs adds its tab before
    // "Messages": renaming every tab each time would cost as many tabs again.
    if (results > 2 && SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0) == results) {
        InsertTab(tabs, results - 1, TabName(results - 1, results).c_str(), 0);
        SendMessageA(tabs, TCM_SETCURSEL, selected, 0);
        return;
    }
    SendMessageA(tabs, TCM_DELETEALLITEMS, 0, 0);
    for (int32_t i = 0; i <= results; i++) InsertTab(tabs, i, TabName(i, results).c_str(), i == results ? 1 : 0);
    SendMessageA(tabs, TCM_SETCURSEL, selected, 0);
}

// The button speaks for the active window: a pane shown or hidden in a
// window behind it leaves the button alone.
void CheckResultsButton(CHILDDATA *child, bool checked)
{
    if (IsActiveQueryWindow(child)) CheckFrameButton(child->Frame, CMD_SHOWRESULTS, checked);
}

// The grid of the tab shown when it is one of a script's further results;
// null for the first grid or the Messages tab.
HWND ShownMoreGrid(const CHILDDATA *child)
{
    HWND shown = ShownGrid(child);
    return shown != child->Grid ? shown : nullptr;
}

// Where the first grid is (laid out always), for a grid about to show.
void PlaceLikeFirstGrid(CHILDDATA *child, HWND grid)
{
    RECT place;
    GetWindowRect(child->Grid, &place);
    MapWindowPoints(HWND_DESKTOP, child->Tabs, reinterpret_cast<POINT *>(&place), 2);
    MoveWindow(grid, place.left, place.top, place.right - place.left, place.bottom - place.top, FALSE);
}

} // namespace

// The caret's position changes at every keystroke: a part whose text stays
// is left alone, and the parts are laid out anew only when a width changes
// (under Wine each costs the status bar a repaint of milliseconds).
void SetStatusText(CHILDDATA *child, int part, const char *text)
{
    if (!child || !child->StatusBar) return;
    text = TextOrEmpty(text);
    char shown[256];
    int length = LOWORD(SendMessageA(child->StatusBar, SB_GETTEXTLENGTHA, part, 0));
    if (length < (int)sizeof shown && (int)strlen(text) == length) {
        SendMessageA(child->StatusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(shown));
        if (memcmp(shown, text, length) == 0) return;
    }
    SendMessageA(child->StatusBar, SB_SETTEXTA, part, reinterpret_cast<LPARAM>(text));
    FitStatusParts(child);
}

void FitStatusParts(CHILDDATA *child)
{
    if (!child || !child->StatusBar) return;
    HWND statusBar = child->StatusBar;
    HDC dc = GetDC(statusBar);
    HFONT created;
    HFONT font = StatusBarFont(statusBar, &created);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    int widths[StatusPartCount] = {0};
    int sum = 0;
    for (int part = 1; part < StatusPartCount; part++) {
        int padding = part == StatusPartCount - 1 ? 20 : 10;
        widths[part] = StatusTextWidth(statusBar, dc, part) + 5 + padding;
        sum += widths[part];
    }
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(statusBar, dc);
    if (created) DeleteObject(created);

    RECT client;
    GetClientRect(statusBar, &client);
    int32_t parts[StatusPartCount];
    parts[0] = client.right - sum;
    for (int part = 1; part < StatusPartCount; part++) parts[part] = parts[part - 1] + widths[part];
    int partsNow = static_cast<int>(SendMessageA(statusBar, SB_GETPARTS, 0, 0));
    if (partsNow == StatusPartCount && memcmp(parts, child->StatusParts, sizeof parts) == 0) return;
    memcpy(child->StatusParts, parts, sizeof parts);
    SendMessageA(statusBar, SB_SETPARTS, StatusPartCount, reinterpret_cast<LPARAM>(child->StatusParts));
}

void BuildTitle(CHILDDATA *child, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0) return;
    buffer[0] = '\0';
    if (!child) return;
    const CONNECTIONINFO *connection = child->Connection;
    snprintf(buffer, bufferSize, "Query - %s.%s.%s - %s%s", ConnectionLabel(connection),
             connection ? TextOrEmpty(connection->Database) : "", connection ? TextOrEmpty(connection->ServerUser) : "",
             child->FileName, child->Modified ? "*" : "");
}

void UpdateTitle(CHILDDATA *child)
{
    if (!child || !child->Window) return;
    // Room for every part, so that a long host or file name is never cut.
    size_t size = sizeof("Query - .. - *") + strnlen(child->FileName, FileNameSize);
    if (const CONNECTIONINFO *connection = child->Connection)
        size += strlen(ConnectionLabel(connection)) + strlen(TextOrEmpty(connection->Database)) +
                strlen(TextOrEmpty(connection->ServerUser));
    char *title = static_cast<char *>(malloc(size));
    if (!title) return;
    BuildTitle(child, title, static_cast<int>(size));
    // Setting an MDI child's title makes the MDI client redraw the frame's
    // menu and caption (about 30 ms under Wine): leave an unchanged title be.
    int length = GetWindowTextLengthA(child->Window);
    char *current = static_cast<char *>(malloc((size_t)length + 1));
    bool same = current && GetWindowTextA(child->Window, current, length + 1) == length && strcmp(current, title) == 0;
    if (!same) SetWindowTextA(child->Window, title);
    free(current);
    free(title);
}

void LayoutWindow(CHILDDATA *child, int full)
{
    if (!child || !child->Window) return;
    RECT client;
    GetClientRect(child->Window, &client);
    int clientHeight = client.bottom;
    if (child->StatusBar) {
        RECT statusRect;
        GetWindowRect(child->StatusBar, &statusRect);
        client.bottom -= statusRect.bottom - statusRect.top;
    }
    MoveTo(child->Tabs, client.left, client.top, client.right, client.bottom, TRUE);

    RECT display = client;
    if (child->Tabs) SendMessageA(child->Tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    RECT area = {display.left - 1, display.top - 1, display.right, display.bottom - 2};

    if (full && child->Splitter) SendMessageA(child->Splitter, WM_SPLITTER_SETAREA, reinterpret_cast<WPARAM>(&area), 0);
    SPLITTERPLACE splitter = {};
    if (child->Splitter) SendMessageA(child->Splitter, WM_SPLITTER_GETPLACE, 0, reinterpret_cast<LPARAM>(&splitter));
    int position = splitter.Position, bar = splitter.BarHeight;
    int width = area.right - area.left;

    if (child->ResultsShown) {
        int paneTop = area.top + position + bar;
        int paneHeight = area.bottom - paneTop;
        // The grids of the tabs not shown are placed when their tab is
        // (ShowPaneOfTab): a script's 500 tabs would otherwise cost 500
        // moves at every change of the window's size.
        MoveTo(child->Grid, area.left, paneTop, width, paneHeight, TRUE);
        if (HWND shown = ShownMoreGrid(child)) MoveTo(shown, area.left, paneTop, width, paneHeight, TRUE);
        MoveTo(child->MessagePane, area.left, paneTop, width, paneHeight, TRUE);
        MoveTo(child->Editor, area.left, area.top, width, position, TRUE);
        MoveTo(child->Splitter, area.left, area.top + position, width, bar, TRUE);
    } else {
        MoveTo(child->Editor, area.left, area.top, width, area.bottom - area.top, TRUE);
        MoveTo(child->Grid, 0, 0, 0, 0, TRUE);
        if (HWND shown = ShownMoreGrid(child)) MoveTo(shown, 0, 0, 0, 0, TRUE);
        MoveTo(child->MessagePane, 0, 0, 0, 0, TRUE);
        MoveTo(child->Splitter, area.left, area.top + position, width, bar, FALSE);
    }

    if (child->StatusBar) {
        SendMessageA(child->StatusBar, WM_SIZE, 0, MAKELONG(client.left, clientHeight));
        FitStatusParts(child);
        InvalidateRect(child->StatusBar, nullptr, TRUE);
        UpdateWindow(child->StatusBar);
    }
}

void ShowResultsPane(CHILDDATA *child)
{
    if (!child || child->ResultsShown) return;
    child->ResultsShown = 1;
    FillTabs(child, child->ActiveTab);
    ShowPaneOfTab(child, child->ActiveTab);
    LayoutWindow(child, 1);
    CheckResultsButton(child, true);
}

void HideResultsPane(CHILDDATA *child)
{
    if (!child || !child->ResultsShown) return;
    if (child->Tabs) SendMessageA(child->Tabs, TCM_DELETEALLITEMS, 0, 0);
    child->ResultsShown = 0;
    LayoutWindow(child, 1);
    CheckResultsButton(child, false);
}

bool IsActiveQueryWindow(CHILDDATA *child)
{
    HWND client = child && child->Window ? GetParent(child->Window) : nullptr;
    return client && (HWND)SendMessageA(client, WM_MDIGETACTIVE, 0, 0) == child->Window;
}

GRIDBUFFER *BufferShownByGrid(CHILDDATA *child)
{
    return reinterpret_cast<GRIDBUFFER *>(SendMessageA(child->Grid, WM_GRID_GETBUFFER, 0, 0));
}

int32_t MessagesTab(const CHILDDATA *child) { return 1 + (int32_t)child->MoreGrids.size(); }

HWND ResultGrid(const CHILDDATA *child, int32_t tab)
{
    if (tab == 0) return child->Grid;
    return tab > 0 && tab < MessagesTab(child) ? child->MoreGrids[(size_t)tab - 1] : nullptr;
}

int32_t TabShown(const CHILDDATA *child)
{
    return child->ResultsShown ? (int32_t)SendMessageA(child->Tabs, TCM_GETCURSEL, 0, 0) : child->ActiveTab;
}

HWND ShownGrid(const CHILDDATA *child) { return ResultGrid(child, TabShown(child)); }

bool IsResultGrid(const CHILDDATA *child, HWND window)
{
    if (!window) return false;
    if (window == child->Grid) return true;
    for (HWND grid : child->MoreGrids)
        if (grid == window) return true;
    return false;
}

void ShowPaneOfTab(CHILDDATA *child, int32_t tab)
{
    int32_t messages = MessagesTab(child);
    HWND shown = ResultGrid(child, tab);
    if (shown && shown != child->Grid) PlaceLikeFirstGrid(child, shown);
    for (int32_t i = 0; i < messages; i++) {
        HWND grid = ResultGrid(child, i);
        if (i == tab)
            ShowWindow(grid, SW_SHOW);
        else if (GetWindowLongPtrA(grid, GWL_STYLE) & WS_VISIBLE)
            ShowWindow(grid, SW_HIDE);
    }
    ShowWindow(child->MessagePane, tab == messages ? SW_SHOW : SW_HIDE);
}

void ShowTab(CHILDDATA *child, int32_t tab)
{
    int32_t messages = MessagesTab(child);
    if (tab < 0 || tab > messages) tab = messages;
    child->ActiveTab = tab;
    ShowPaneOfTab(child, tab);
    if (child->ResultsShown) SendMessageA(child->Tabs, TCM_SETCURSEL, tab, 0);
}

void TrackTabTip(CHILDDATA *child, int32_t x, int32_t y)
{
    if (!child->TabTips) return;
    TCHITTESTINFO hit = {{x, y}, 0};
    int32_t tab = (int32_t)SendMessageA(child->Tabs, TCM_HITTEST, 0, (LPARAM)&hit);
    if (tab == child->TipTab) return;
    child->TipTab = tab;
    const char *text = tab >= 0 && tab < MessagesTab(child) && (size_t)tab < child->ResultTips.size()
                           ? child->ResultTips[(size_t)tab].c_str()
                           : "";
    TTTOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = child->Window;
    tool.uId = (UINT_PTR)child->Tabs;
    tool.lpszText = const_cast<char *>(text);
    // A tip shown for the tab left behind goes; the new one shows after the
    // usual pause.
    SendMessageA(child->TabTips, TTM_POP, 0, 0);
    SendMessageA(child->TabTips, TTM_UPDATETIPTEXTA, 0, (LPARAM)&tool);
}

void StepTab(CHILDDATA *child, int32_t step)
{
    if (!child->ResultsShown) return;
    int32_t count = MessagesTab(child) + 1;
    HWND focus = GetFocus();
    bool focusInPane = focus == child->MessagePane || IsResultGrid(child, focus);
    int32_t tab = ((TabShown(child) + step) % count + count) % count;
    SendMessageA(child->Tabs, TCM_SETCURSEL, tab, 0);
    ShowPaneOfTab(child, tab);
    if (!focusInPane) return;
    HWND shown = ShownGrid(child);
    SetFocus(shown ? shown : child->MessagePane);
}

namespace {

// Hidden until its tab is chosen, as the first grid's siblings are.
HWND CreateResultGrid(CHILDDATA *child)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, GRID_CLASS_NAME, "", WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL,
                           0, 0, 0, 0, child->Tabs, (HMENU)(INT_PTR)IDC_GRID, GetModuleHandleA(nullptr), nullptr);
}

} // namespace

bool AddMoreResult(CHILDDATA *child, GRIDBUFFER *buffer)
{
    HWND grid = CreateResultGrid(child);
    if (!grid) {
        ReleaseBuffer(buffer);
        return false;
    }
    int32_t shown = TabShown(child);
    bool messagesShown = shown == MessagesTab(child);
    child->MoreGrids.push_back(grid);
    SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)buffer, 0);
    // In the first grid's place: the others stay where they are, so a script
    // of many results costs one move per result, not one per tab.
    PlaceLikeFirstGrid(child, grid);
    if (child->ResultsShown) FillTabs(child, messagesShown ? MessagesTab(child) : shown);
    return true;
}

void ReplaceMoreResults(CHILDDATA *child, GRIDBUFFER *const *buffers, int32_t count, bool keepPlace)
{
    // The tab shown stays shown, "Messages" included, as tabs come and go.
    int32_t shown = TabShown(child);
    bool messagesShown = shown == MessagesTab(child);
    for (int32_t i = 0; i < count; i++) {
        if ((size_t)i < child->MoreGrids.size()) {
            HWND grid = child->MoreGrids[(size_t)i];
            GRIDBUFFER *old = reinterpret_cast<GRIDBUFFER *>(SendMessageA(grid, WM_GRID_GETBUFFER, 0, 0));
            SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)buffers[i], keepPlace ? GridKeepsPlace : 0);
            if (old != buffers[i]) ReleaseBuffer(old);
            continue;
        }
        HWND grid = CreateResultGrid(child);
        if (!grid) {
            ReleaseBuffer(buffers[i]);
            continue;
        }
        child->MoreGrids.push_back(grid);
        SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)buffers[i], 0);
    }
    while (child->MoreGrids.size() > (size_t)(count > 0 ? count : 0)) {
        HWND grid = child->MoreGrids.back();
        child->MoreGrids.pop_back();
        if (child->FocusPane == grid) child->FocusPane = child->Grid;
        GRIDBUFFER *old = reinterpret_cast<GRIDBUFFER *>(SendMessageA(grid, WM_GRID_GETBUFFER, 0, 0));
        SendMessageA(grid, WM_GRID_SETBUFFER, 0, 0);
        DestroyWindow(grid);
        ReleaseBuffer(old);
    }
    if (child->ActiveTab > MessagesTab(child)) child->ActiveTab = MessagesTab(child);
    if (messagesShown || shown > MessagesTab(child)) shown = MessagesTab(child);
    if (child->ResultsShown) {
        FillTabs(child, shown);
        ShowPaneOfTab(child, shown);
        LayoutWindow(child, 0);
    }
}
