// The result grid's window procedure: class registration, the state record's
// life, buffer attachment and the dispatch of every message to its handler.
#include "grid/GridInternal.h"

#include <cstring>
#include <new>

#include <commctrl.h>

#include "base/Dpi.h"
#include "base/WindowState.h"
#include "grid/GridExport.h"
#include "resources/resource.h"

namespace {

ATOM RegisterClassOfGrid()
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = GridOutputProc;
    wc.cbWndExtra = sizeof(void *);
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = GRID_CLASS_NAME; // no background brush: every pixel is painted
    return RegisterClassExA(&wc);
}

void InitScrollBar(SCROLLINFO &bar)
{
    memset(&bar, 0, sizeof bar);
    bar.cbSize = sizeof bar;
    bar.nPage = 1;
}

void InitSaveDialog(HWND window, OUTPUTDATA *grid)
{
    OPENFILENAMEA &dialog = grid->SaveDialog;
    memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    strcpy(grid->FileName, "Untitled");
    dialog.lpstrFile = grid->FileName;
    dialog.nMaxFile = GridFileNameSize;
    dialog.lpstrFileTitle = grid->FileTitle;
    dialog.nMaxFileTitle = GridFileTitleSize;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    dialog.lpstrFilter = ExportFilter;
    dialog.nFilterIndex = ExportTabSeparated;
    dialog.lpstrDefExt = "txt";
}

void DeleteBorderRegions(OUTPUTDATA *grid)
{
    for (HRGN region : grid->BorderRegions) DeleteObject(region);
    delete[] grid->BorderRegions.Items;
    grid->BorderRegions = TDynArray<HRGN>();
}

// Shared by a failed creation and WM_DESTROY; the buffer is not the grid's.
void DestroyGrid(HWND window, OUTPUTDATA *grid)
{
    if (!grid) return;
    if (grid->Font) DeleteObject(grid->Font);
    if (grid->ShadowPen) DeleteObject(grid->ShadowPen);
    if (grid->HighlightPen) DeleteObject(grid->HighlightPen);
    if (grid->GridPen) DeleteObject(grid->GridPen);
    DeleteBorderRegions(grid);
    if (grid->ContextMenu) DestroyMenu(grid->ContextMenu);
    GridForgetOrder(grid);
    GridDestroyFind(grid);
    AttachState(window, nullptr);
    delete grid;
}

} // namespace

void GridApplyScale(HWND window, OUTPUTDATA *grid, int dpi)
{
    HFONT font = CreateFontA(ScaleForDpi(16, dpi), 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "courier new");
    if (!font) return;
    if (grid->Font) DeleteObject(grid->Font);
    grid->Font = font;
    grid->Dpi = dpi;
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, grid->Font);
    GetTextMetricsA(dc, &grid->Metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    grid->Metrics.tmHeight += ScaleForDpi(4, dpi); // from now on the row height
    grid->HeaderHeight = GridRowHeight(grid);
    GridSetRowNumberWidth(grid);
}

namespace {

// The window moved to a monitor of another scale (dpi; 0: ask the
// window's): the columns keep their proportion, and so does the place
// scrolled to sideways.
void FollowScale(HWND window, OUTPUTDATA *grid, int dpi)
{
    if (dpi <= 0) dpi = WindowDpi(window);
    if (dpi == grid->Dpi) return;
    int from = grid->Dpi;
    GridApplyScale(window, grid, dpi);
    if (grid->Data && grid->Data->Fields.Length() > 0) {
        int64_t total = GridColumnsWidth(grid);
        grid->TotalWidth = total > INT32_MAX ? INT32_MAX : (int32_t)total;
        SCROLLINFO &horz = grid->HorzScroll;
        horz.nMax = grid->TotalWidth - 1;
        grid->ScrollX = horz.nPos = RescaleForDpi(grid->ScrollX, from, dpi);
        GridApplyHorizontal(window, grid, SIF_RANGE | SIF_POS, FALSE);
    }
    RECT client;
    GetClientRect(window, &client);
    GridResize(window, grid, client.right, client.bottom);
    GridUpdateBorderRegions(grid);
    InvalidateRect(window, nullptr, TRUE);
}

LRESULT CreateGrid(HWND window)
{
    OUTPUTDATA *grid = new (std::nothrow) OUTPUTDATA();
    if (!grid) return -1;
    AttachState(window, grid);
    GridApplyScale(window, grid, WindowDpi(window));

    InitScrollBar(grid->VertScroll);
    GridApplyVertical(window, grid, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, FALSE);
    InitScrollBar(grid->HorzScroll);
    GridApplyHorizontal(window, grid, SIF_RANGE | SIF_PAGE | SIF_POS, FALSE);

    grid->ShadowPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    grid->HighlightPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    grid->GridPen = CreatePen(PS_SOLID, 1, RGB(212, 208, 200));

    grid->PressedCol = grid->CursorRow = grid->CursorCol = grid->HotBorder = -1;
    grid->PressedRow = -2;
    grid->SortColumn = -1;
    InitSaveDialog(window, grid);
    grid->ContextMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_GRIDMENU));
    if (!grid->Font || !grid->ShadowPen || !grid->HighlightPen || !grid->GridPen || !grid->ContextMenu) {
        DestroyGrid(window, grid);
        return -1;
    }
    return 0;
}

void ClearSelectionAndCursor(OUTPUTDATA *grid)
{
    grid->Selection.Clear();
    grid->CursorRow = grid->CursorCol = -1;
}

void SetBuffer(HWND window, OUTPUTDATA *grid, GRIDBUFFER *data)
{
    // A press or drag begun on the previous buffer means nothing on this one,
    // nor does its order or a search through it.
    GridCancelMouseModes(window, grid);
    GridForgetOrder(grid);
    GridStopWork(window, grid);
    grid->Data = data;
    DeleteBorderRegions(grid);
    grid->ScrollX = 0;
    ClearSelectionAndCursor(grid);
    SCROLLINFO &vert = grid->VertScroll, &horz = grid->HorzScroll;
    if (data) {
        int32_t columns = data->Fields.Length();
        grid->BorderRegions.Items = new (std::nothrow) HRGN[columns > 0 ? columns : 1];
        grid->BorderRegions.Count = grid->BorderRegions.Items ? columns : 0;
        for (HRGN &region : grid->BorderRegions) region = CreateRectRgn(0, 0, 0, 0);
        GridSetRowNumberWidth(grid);
        int64_t total = GridColumnsWidth(grid);
        grid->TotalWidth = total > INT32_MAX ? INT32_MAX : (int32_t)total;
        if (columns > 0) {
            horz.nMin = 0;
            horz.nMax = grid->TotalWidth - 1;
            horz.nPos = 0;
            GridApplyHorizontal(window, grid, SIF_RANGE | SIF_POS, FALSE);
        }
        if (data->Rows.Length() > 0) {
            vert.nMin = 0;
            vert.nMax = data->Rows.Length() - 1;
            vert.nPos = 0;
            GridApplyVertical(window, grid, SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL, FALSE);
        }
    } else {
        // Nothing to scroll sideways either: the bar hides as at creation.
        grid->TotalWidth = 0;
        horz.nMin = horz.nMax = horz.nPos = 0;
        horz.nPage = 1;
        GridApplyHorizontal(window, grid, SIF_RANGE | SIF_PAGE | SIF_POS, FALSE);
    }
    if (!data || data->Rows.Length() == 0) {
        vert.nMin = vert.nMax = vert.nPos = 0;
        vert.nPage = 1;
        GridApplyVertical(window, grid, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, FALSE);
    }
    // The bars may have shortened their pages to the new ranges.
    SCROLLINFO actual = {};
    actual.cbSize = sizeof actual;
    actual.fMask = SIF_PAGE;
    GetScrollInfo(window, SB_VERT, &actual);
    vert.nPage = actual.nPage;
    GetScrollInfo(window, SB_HORZ, &actual);
    horz.nPage = actual.nPage;
}

// The result shown has grown: its new rows join the scroll range, and only
// rows that come into view, or wider columns, are painted.
void GrowBuffer(HWND window, OUTPUTDATA *grid, GRIDBUFFER *data)
{
    if (!grid->Data || !data || data->Fields.Length() != grid->Data->Fields.Length()) {
        SetBuffer(window, grid, data);
        InvalidateRect(window, nullptr, TRUE);
        return;
    }
    int32_t rowsBefore = GridRowCount(grid);
    int32_t numbersBefore = grid->RowNumWidth;
    // A sort's thread reads the buffer it began with; an order is of as
    // many rows as it was made for.
    if (data != grid->Data) GridCancelSort(grid, true);
    if (grid->Order.Rows && grid->Order.Count != data->Rows.Length()) GridForgetOrder(grid);
    grid->Data = data;
    GridSetRowNumberWidth(grid);
    int64_t total = GridColumnsWidth(grid);
    int32_t totalWidth = total > INT32_MAX ? INT32_MAX : (int32_t)total;
    bool wider = totalWidth != grid->TotalWidth || numbersBefore != grid->RowNumWidth;
    grid->TotalWidth = totalWidth;
    // Range and page in one call: under Wine each call redraws its bar,
    // which for a wide grid costs more than the rows' paint.
    SCROLLINFO &vert = grid->VertScroll, &horz = grid->HorzScroll;
    RECT client;
    GetClientRect(window, &client);
    if (wider && data->Fields.Length() > 0) {
        horz.nMax = grid->TotalWidth - 1;
        horz.nPage = GridHorizontalPage(grid, client.right);
        GridApplyHorizontal(window, grid, SIF_RANGE | SIF_PAGE, TRUE);
    }
    if (data->Rows.Length() > 0 && (vert.nMin != 0 || vert.nMax != data->Rows.Length() - 1)) {
        vert.nMin = 0;
        vert.nMax = data->Rows.Length() - 1;
        vert.nPage = GridVerticalPage(grid, client.bottom);
        GridApplyVertical(window, grid, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, TRUE);
    }
    // A bar that appeared took room from the rows.
    GetClientRect(window, &client);
    GridUpdatePages(window, grid, client.right, client.bottom);
    if (wider || rowsBefore <= GridTopRow(grid) + GridVisibleRowsFor(grid, client.bottom))
        InvalidateRect(window, nullptr, FALSE);
}

void ClearSelection(HWND window, OUTPUTDATA *grid)
{
    ClearSelectionAndCursor(grid);
    GridRepaint(window, false);
}

void ChangeFocus(HWND window, OUTPUTDATA *grid, bool focused)
{
    NotifyParent(window, focused ? NM_SETFOCUS : NM_KILLFOCUS);
    grid->Focused = focused;
    GridRepaint(window, false);
}

void Paint(HWND window, OUTPUTDATA *grid, HDC target)
{
    RECT client;
    GetClientRect(window, &client);
    if (target) {
        GridOutputDrawingProc(window, grid, target, client.right, client.bottom);
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    GridOutputDrawingProc(window, grid, dc, client.right, client.bottom);
    EndPaint(window, &ps);
}

LRESULT GetSelection(const OUTPUTDATA *grid, GRIDRANGE *cells)
{
    if (grid->Selection.Empty()) return FALSE;
    if (cells) *cells = GridSelectedCells(grid);
    return TRUE;
}

LRESULT GetCellRect(const OUTPUTDATA *grid, int32_t row, RECT *cell)
{
    return cell && GridCellRect(grid, row, cell->left, cell);
}

LRESULT Command(HWND window, OUTPUTDATA *grid, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case CMD_SAVE: SendMessageA(window, WM_COMMAND, CMD_SAVEAS, 0); return 0;
    case CMD_SAVEAS: GridSaveAs(window, grid); return 0;
    case CMD_COPY: GridCopy(window, grid, false); return 0;
    case CMD_COPYWITHNAMES: GridCopy(window, grid, true); return 0;
    case CMD_SELECTALL: GridSelectAll(window, grid); return 0;
    case CMD_SORTASCENDING: GridSortBy(window, grid, grid->CursorCol, false); return 0;
    case CMD_SORTDESCENDING: GridSortBy(window, grid, grid->CursorCol, true); return 0;
    case CMD_ORIGINALORDER: GridSortBy(window, grid, -1, false); return 0;
    case CMD_FIND: GridShowFindDialog(window, grid); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Keys that act whether or not there is a cell cursor: Esc stops a sort or
// a search, the Menu key opens the context menu (Wine makes no
// WM_CONTEXTMENU of it), F3 and Shift+F3 find again.
bool CommandKey(HWND window, OUTPUTDATA *grid, WPARAM key)
{
    switch (key) {
    case VK_ESCAPE: return GridStopWork(window, grid);
    case VK_APPS: GridContextMenu(window, grid, -1, -1); return true;
    case VK_F3: GridFindAgain(window, grid, GetKeyState(VK_SHIFT) < 0); return true;
    default: return false;
    }
}

// The right button opens the menu where it was pressed; the keyboard's
// WM_CONTEXTMENU comes at (-1, -1), and the one that follows a right click
// is the click's, already answered.
void ContextMenuAtPointer(HWND window, OUTPUTDATA *grid)
{
    POINT point;
    GetCursorPos(&point);
    GridContextMenu(window, grid, point.x, point.y);
}

BOOL SetCursorOfGrid(HWND window, OUTPUTDATA *grid, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool working = grid->SortJob || (grid->Find && GridFindRunning(grid));
    if (working && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
    }
    return (BOOL)DefWindowProcA(window, message, wParam, lParam);
}

LRESULT Dispatch(HWND window, OUTPUTDATA *grid, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == GridFindMessageId()) {
        GridFindMessage(window, grid, reinterpret_cast<FINDREPLACEA *>(lParam));
        return 0;
    }
    int32_t x = (int16_t)LOWORD(lParam), y = (int16_t)HIWORD(lParam);
    switch (message) {
    case WM_DESTROY: DestroyGrid(window, grid); return 0;
    case WM_SIZE: GridResize(window, grid, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_DPICHANGED_AFTERPARENT: FollowScale(window, grid, (int)wParam); return 0;
    case WM_SETFOCUS: ChangeFocus(window, grid, true); return 0;
    case WM_KILLFOCUS: ChangeFocus(window, grid, false); return 0;
    case WM_ERASEBKGND: return 1; // the paint covers every pixel
    case WM_PAINT: Paint(window, grid, nullptr); return 0;
    case WM_PRINTCLIENT: Paint(window, grid, reinterpret_cast<HDC>(wParam)); return 0;
    case WM_KEYDOWN:
        if (!CommandKey(window, grid, wParam)) GridKeyDown(window, grid, wParam);
        return 0;
    case WM_SETCURSOR: return SetCursorOfGrid(window, grid, message, wParam, lParam);
    case WM_CONTEXTMENU:
        if (lParam == MAKELPARAM(-1, -1) || lParam == -1) GridContextMenu(window, grid, -1, -1);
        return 0;
    case WM_GRID_SORTDONE: GridSortDone(window, grid, (uint32_t)wParam); return 0;
    case WM_GRID_FINDSTEP: GridFindStep(window, grid); return 0;
    case WM_COMMAND: return Command(window, grid, message, wParam, lParam);
    case WM_HSCROLL: GridHorizontalScroll(window, grid, LOWORD(wParam)); return 0;
    case WM_VSCROLL: GridVerticalScroll(window, grid, LOWORD(wParam)); return 0;
    case WM_MOUSEMOVE: GridMouseMove(window, grid, x, y); return 0;
    case WM_LBUTTONDOWN: GridButtonDown(window, grid, x, y, wParam); return 0;
    case WM_LBUTTONUP: GridButtonUp(window, grid, x, y); return 0;
    case WM_CAPTURECHANGED:
        if ((HWND)lParam != window) GridCaptureLost(window, grid);
        return 0;
    case WM_CANCELMODE: GridCaptureLost(window, grid); return 0;
    case WM_LBUTTONDBLCLK:
        GridDoubleClick(window, grid, x, y, wParam);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_RBUTTONDOWN: ContextMenuAtPointer(window, grid); return 0;
    case WM_MOUSEWHEEL: GridMouseWheel(window, GET_WHEEL_DELTA_WPARAM(wParam)); return 0;
    case WM_GRID_SETBUFFER:
        if (lParam == GridKeepsPlace)
            GrowBuffer(window, grid, reinterpret_cast<GRIDBUFFER *>(wParam));
        else
            SetBuffer(window, grid, reinterpret_cast<GRIDBUFFER *>(wParam));
        return 0;
    case WM_GRID_CLEARSELECTION: ClearSelection(window, grid); return 0;
    case WM_GRID_GETBUFFER: return reinterpret_cast<LRESULT>(grid->Data);
    case WM_GRID_GETSELECTION: return GetSelection(grid, reinterpret_cast<GRIDRANGE *>(lParam));
    case WM_GRID_GETCELLRECT: return GetCellRect(grid, (int32_t)wParam, reinterpret_cast<RECT *>(lParam));
    case WM_GRID_GETCONTEXTMENU: return reinterpret_cast<LRESULT>(grid->ContextMenu);
    case WM_GETFONT: return reinterpret_cast<LRESULT>(grid->Font);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK GridOutputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterClassOfGrid() : 0;
    try {
        if (message == WM_CREATE) return CreateGrid(window);
        OUTPUTDATA *grid = StateOf<OUTPUTDATA>(window);
        if (!grid) return DefWindowProcA(window, message, wParam, lParam);
        return Dispatch(window, grid, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

ATOM RegisterGridOutputClass() { return (ATOM)GridOutputProc(nullptr, WM_USER, 0, 0); }
