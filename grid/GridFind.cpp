// Finding text in the grid's cells: the common find dialog (what, Match
// case, Up or Down), F3 and Shift+F3. A search looks at the cells as they
// are shown (NULL as "NULL", a binary value as its 0x... text), row by row
// in the order shown, from the cell after the current one, wrapping, and
// makes the cell it finds the current one. Millions of cells are searched
// in slices between which the window handles its messages; Esc stops.
#include "grid/GridInternal.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/ModelessDialogs.h"

namespace {

// How long one slice of a search may hold the window, in milliseconds.
const DWORD SliceTime = 30;

} // namespace

struct GRIDFIND {
    FINDREPLACEA Request{};
    char What[256] = "";
    HWND Dialog = nullptr;
    DWORD Flags = FR_DOWN;  // Match case and the direction, kept for F3
    CELLSEARCH *Search = nullptr; // the search in progress, or null
    bool Up = false;
    int64_t Next = 0, Left = 0; // the cell looked at next (row * columns + column), cells still to look at
    // In a sorted result the rows are read in the buffer's order, which
    // memory follows, each match placed by its row's position shown: the
    // first one after the start wins.
    int64_t Start = 0;          // the first cell to look at, as Next began
    int32_t DataRow = 0;        // the buffer's row read next
    int64_t Best = -1;          // the nearest match's distance from Start, -1 none
};

namespace {

GRIDFIND *FindState(OUTPUTDATA *grid)
{
    if (!grid->Find) grid->Find = new (std::nothrow) GRIDFIND;
    return grid->Find;
}

void EndSearch(GRIDFIND *find)
{
    delete find->Search;
    find->Search = nullptr;
}

void NotFound(HWND window, GRIDFIND *find)
{
    if (find->Dialog && IsWindowVisible(find->Dialog)) {
        char message[320];
        snprintf(message, sizeof message, "Cannot find \"%s\"", find->What);
        GridDialogFunctions.MessageBox(find->Dialog, message, "Find", MB_OK | MB_ICONINFORMATION);
    } else {
        MessageBeep(MB_OK);
    }
}

void FoundAt(HWND window, OUTPUTDATA *grid, int32_t row, int32_t column)
{
    grid->CursorRow = row;
    grid->CursorCol = column;
    grid->Selection.Set(row, column, row, column);
    GridShowCursor(window, grid);
    GridRepaint(window, true);
    NotifyParent(window, GN_SELCHANGED);
}

void SearchEnded(HWND window, OUTPUTDATA *grid, GRIDFIND *find, int64_t found)
{
    EndSearch(find);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (found < 0) return NotFound(window, find);
    int32_t columns = GridColumnCount(grid);
    FoundAt(window, grid, (int32_t)(found / columns), (int32_t)(found % columns));
}

// One slice of a search through a sorted result (see GRIDFIND).
void ScanSortedStep(HWND window, OUTPUTDATA *grid, GRIDFIND *find)
{
    int32_t columns = GridColumnCount(grid), rows = GridRowCount(grid);
    int64_t total = (int64_t)rows * columns;
    DWORD start = GetTickCount();
    for (; find->DataRow < rows; find->DataRow++) {
        const TFieldList &cells = grid->Data->Rows[find->DataRow];
        int64_t shown = (int64_t)grid->Order.Positions[find->DataRow] * columns;
        for (int32_t c = 0; c < columns; c++) {
            if (!find->Search->Matches(cells, c)) continue;
            int64_t distance = find->Up ? find->Start - (shown + c) : (shown + c) - find->Start;
            distance = (distance % total + total) % total;
            if (find->Best < 0 || distance < find->Best) find->Best = distance;
        }
        if ((find->DataRow & 0x3FF) == 0x3FF && GetTickCount() - start >= SliceTime) {
            find->DataRow++;
            PostMessageA(window, WM_GRID_FINDSTEP, 0, 0);
            return;
        }
    }
    int64_t found = -1;
    if (find->Best >= 0) found = ((find->Up ? find->Start - find->Best : find->Start + find->Best) % total + total) % total;
    SearchEnded(window, grid, find, found);
}

void StartSearch(HWND window, OUTPUTDATA *grid, bool up)
{
    GRIDFIND *find = FindState(grid);
    if (!find || !find->What[0]) return;
    if (!GridComplete(grid) || grid->SortJob) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    EndSearch(find);
    int64_t columns = GridColumnCount(grid), total = (int64_t)GridRowCount(grid) * columns;
    if (total == 0) return NotFound(window, find);
    find->Search = new (std::nothrow) CELLSEARCH(find->What, (find->Flags & FR_MATCHCASE) != 0);
    if (!find->Search) return;
    find->Up = up;
    bool current = grid->CursorRow >= 0 && grid->CursorCol >= 0;
    int64_t at = current ? (int64_t)grid->CursorRow * columns + grid->CursorCol : (up ? 0 : total - 1);
    // The current cell itself comes last, after every other.
    find->Next = ((up ? at - 1 : at + 1) % total + total) % total;
    find->Left = total;
    find->Start = find->Next;
    find->DataRow = 0;
    find->Best = -1;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    GridFindStep(window, grid);
}

} // namespace

UINT GridFindMessageId()
{
    static UINT id = RegisterWindowMessageA(FINDMSGSTRINGA);
    return id;
}

void GridFindStep(HWND window, OUTPUTDATA *grid)
{
    GRIDFIND *find = grid->Find;
    if (!find || !find->Search || !grid->Data) return;
    int32_t columns = GridColumnCount(grid);
    int64_t total = (int64_t)GridRowCount(grid) * columns;
    DWORD start = GetTickCount();
    int32_t row = (int32_t)(find->Next / columns), column = (int32_t)(find->Next % columns);
    if (grid->Order.Positions) return ScanSortedStep(window, grid, find);
    for (int64_t looked = 1; find->Left > 0; looked++) {
        const TFieldList &cells = grid->Data->Rows[GridDataRow(grid, row)];
        find->Left--;
        if (find->Search->Matches(cells, column)) {
            EndSearch(find);
            FoundAt(window, grid, row, column);
            SetCursor(LoadCursor(nullptr, IDC_ARROW));
            return;
        }
        if (find->Up) {
            if (--column < 0) column = columns - 1, row = row > 0 ? row - 1 : (int32_t)(total / columns) - 1;
        } else if (++column == columns) {
            column = 0, row = (int64_t)row + 1 < total / columns ? row + 1 : 0;
        }
        if ((looked & 0x3FF) == 0 && GetTickCount() - start >= SliceTime) {
            find->Next = (int64_t)row * columns + column;
            PostMessageA(window, WM_GRID_FINDSTEP, 0, 0);
            return;
        }
    }
    EndSearch(find);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    NotFound(window, find);
}

void GridShowFindDialog(HWND window, OUTPUTDATA *grid)
{
    GRIDFIND *find = FindState(grid);
    if (!find) return;
    if (find->Dialog && IsWindow(find->Dialog)) {
        SetActiveWindow(find->Dialog);
        return;
    }
    find->Request = FINDREPLACEA{};
    find->Request.lStructSize = sizeof find->Request;
    find->Request.hwndOwner = window;
    find->Request.Flags = (find->Flags & (FR_MATCHCASE | FR_DOWN)) | FR_HIDEWHOLEWORD;
    find->Request.lpstrFindWhat = find->What;
    find->Request.wFindWhatLen = sizeof find->What;
    find->Dialog = FindTextA(&find->Request);
    if (find->Dialog) TrackModelessDialog(find->Dialog, true);
}

void GridFindAgain(HWND window, OUTPUTDATA *grid, bool up)
{
    GRIDFIND *find = FindState(grid);
    if (!find) return;
    if (!find->What[0]) return GridShowFindDialog(window, grid);
    StartSearch(window, grid, up);
}

void GridFindMessage(HWND window, OUTPUTDATA *grid, FINDREPLACEA *request)
{
    GRIDFIND *find = FindState(grid);
    if (!find || !request) return;
    if (request->Flags & FR_DIALOGTERM) {
        if (find->Dialog) TrackModelessDialog(find->Dialog, false);
        find->Dialog = nullptr;
        return;
    }
    if (request->lpstrFindWhat && request->lpstrFindWhat != find->What)
        snprintf(find->What, sizeof find->What, "%s", request->lpstrFindWhat);
    find->Flags = request->Flags & (FR_MATCHCASE | FR_DOWN);
    if (request->Flags & FR_FINDNEXT) StartSearch(window, grid, !(request->Flags & FR_DOWN));
}

bool GridStopWork(HWND window, OUTPUTDATA *grid)
{
    bool stopped = false;
    if (grid->Find && grid->Find->Search) {
        EndSearch(grid->Find);
        stopped = true;
    }
    if (GridCancelSort(grid, false)) stopped = true;
    if (stopped) SetCursor(LoadCursor(nullptr, IDC_ARROW));
    (void)window;
    return stopped;
}

bool GridFindRunning(const OUTPUTDATA *grid) { return grid->Find && grid->Find->Search; }

void GridDestroyFind(OUTPUTDATA *grid)
{
    GRIDFIND *find = grid->Find;
    if (!find) return;
    EndSearch(find);
    if (find->Dialog) {
        TrackModelessDialog(find->Dialog, false);
        if (IsWindow(find->Dialog)) DestroyWindow(find->Dialog);
    }
    delete find;
    grid->Find = nullptr;
}
