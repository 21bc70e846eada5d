// The grid's order of rows as the person chooses it: sorted by a column
// either way, or the server's. A large result sorts on a thread of its own
// while the window goes on answering (Esc cancels); the current cell and
// the selection stay on the same rows of data.
#include "grid/GridInternal.h"

#include <new>

namespace {

// Below this many rows a sort takes a few milliseconds: done at once.
const int32_t RowsSortedAtOnce = 50000;

} // namespace

struct GRIDSORTJOB {
    HWND Window;
    const GRIDBUFFER *Data;
    int32_t Rows, Column;
    bool Descending;
    uint32_t Serial;
    std::atomic<bool> Cancel{false};
    ROWORDER Order{};
    bool Sorted = false;
    HANDLE Thread = nullptr;
};

namespace {

DWORD WINAPI SortThread(void *parameter)
{
    GRIDSORTJOB *job = static_cast<GRIDSORTJOB *>(parameter);
    job->Sorted = SortRows(job->Data, job->Rows, job->Column, job->Descending, &job->Cancel, &job->Order);
    PostMessageA(job->Window, WM_GRID_SORTDONE, job->Serial, 0);
    return 0;
}

// The display row that shows a row of data in the order shown now.
int32_t ShownRowOf(const OUTPUTDATA *grid, int32_t dataRow)
{
    if (!grid->Order.Rows) return dataRow;
    if (grid->Order.Positions) return (int32_t)grid->Order.Positions[dataRow];
    for (int32_t i = 0; i < grid->Order.Count; i++)
        if ((int32_t)grid->Order.Rows[i] == dataRow) return i;
    return -1;
}

// Puts the new order in place. The cursor follows its row of data; a
// selection of one row does too, one of every row stays whole, and any
// other (rows now scattered) shrinks to the current cell.
void ApplyOrder(HWND window, OUTPUTDATA *grid, ROWORDER order, int32_t column, bool descending)
{
    int32_t rows = GridRowCount(grid);
    int32_t cursorData = grid->CursorRow >= 0 && grid->CursorRow < rows ? GridDataRow(grid, grid->CursorRow) : -1;
    GRIDRANGE selected = grid->Selection.Normalised();
    bool hadSelection = !grid->Selection.Empty();
    bool everyRow = hadSelection && selected.Top == 0 && selected.Bottom == rows - 1;
    bool oneRow = hadSelection && selected.Top == selected.Bottom && selected.Top < rows;
    int32_t selectedData = oneRow ? GridDataRow(grid, selected.Top) : -1;

    FreeRowOrder(&grid->Order);
    grid->Order = order;
    grid->SortColumn = column;
    grid->SortDescending = descending;

    if (cursorData >= 0) grid->CursorRow = ShownRowOf(grid, cursorData);
    if (oneRow) {
        int32_t row = ShownRowOf(grid, selectedData);
        GridSelection &s = grid->Selection;
        s.Set(row, s.AnchorCol, row, s.EndCol);
    } else if (hadSelection && !everyRow) {
        if (grid->CursorRow >= 0)
            grid->Selection.Set(grid->CursorRow, grid->CursorCol, grid->CursorRow, grid->CursorCol);
        else
            grid->Selection.Clear();
    }
    if (grid->CursorRow >= 0) GridShowCursor(window, grid);
    GridRepaint(window, true);
    NotifyParent(window, GN_SELCHANGED);
}

void EndJob(OUTPUTDATA *grid)
{
    GRIDSORTJOB *job = grid->SortJob;
    grid->SortJob = nullptr;
    WaitForSingleObject(job->Thread, INFINITE);
    CloseHandle(job->Thread);
    FreeRowOrder(&job->Order);
    delete job;
}

void RestoreCursor(HWND window)
{
    POINT point;
    GetCursorPos(&point);
    // The cursor the window's class would show, now that nothing runs.
    if (WindowFromPoint(point) == window) SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

} // namespace

bool GridComplete(const OUTPUTDATA *grid) { return grid->Data && !grid->Data->StillArriving; }

void GridSortBy(HWND window, OUTPUTDATA *grid, int32_t column, bool descending)
{
    // A search in progress reads the order it began with.
    if (!GridComplete(grid) || grid->SortJob || GridFindRunning(grid)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    if (column < 0) {
        // A result without rows sorts to no order at all but shows its arrow.
        if (grid->Order.Rows || grid->SortColumn >= 0) ApplyOrder(window, grid, ROWORDER{}, -1, false);
        return;
    }
    if (column >= GridColumnCount(grid)) return;
    int32_t rows = GridRowCount(grid);
    if (rows < RowsSortedAtOnce) {
        ROWORDER order{};
        if (SortRows(grid->Data, rows, column, descending, nullptr, &order))
            ApplyOrder(window, grid, order, column, descending);
        return;
    }
    GRIDSORTJOB *job = new (std::nothrow) GRIDSORTJOB;
    if (!job) return;
    job->Window = window;
    job->Data = grid->Data;
    job->Rows = rows;
    job->Column = column;
    job->Descending = descending;
    job->Serial = ++grid->SortSerial;
    job->Thread = CreateThread(nullptr, 0, SortThread, job, 0, nullptr);
    if (!job->Thread) {
        delete job;
        return;
    }
    grid->SortJob = job;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void GridSortByHeader(HWND window, OUTPUTDATA *grid, int32_t column)
{
    if (grid->SortColumn != column)
        GridSortBy(window, grid, column, false);
    else if (!grid->SortDescending)
        GridSortBy(window, grid, column, true);
    else
        GridSortBy(window, grid, -1, false);
}

void GridSortDone(HWND window, OUTPUTDATA *grid, uint32_t serial)
{
    GRIDSORTJOB *job = grid->SortJob;
    if (!job || job->Serial != serial) return; // a job cancelled and ended before
    WaitForSingleObject(job->Thread, INFINITE);
    bool sorted = job->Sorted && !job->Cancel.load();
    if (sorted) {
        ROWORDER order = job->Order;
        job->Order = ROWORDER{};
        int32_t column = job->Column;
        bool descending = job->Descending;
        EndJob(grid);
        ApplyOrder(window, grid, order, column, descending);
    } else {
        EndJob(grid);
    }
    RestoreCursor(window);
}

bool GridCancelSort(OUTPUTDATA *grid, bool wait)
{
    if (!grid->SortJob) return false;
    bool running = !grid->SortJob->Cancel.exchange(true);
    if (wait) EndJob(grid);
    return running;
}

void GridForgetOrder(OUTPUTDATA *grid)
{
    GridCancelSort(grid, true);
    FreeRowOrder(&grid->Order);
    grid->SortColumn = -1;
    grid->SortDescending = 0;
}
