// What the grid's own source files share: the grid's record, the handlers the
// window procedure calls and the small steps they are made of. Nothing
// outside grid/ reads the record; the grid's own tests may.
#pragma once

#include "base/PaintBuffer.h"
#include "base/WindowState.h"
#include "grid/GridSort.h"
#include "grid/GridWindow.h"

enum { GridFileNameSize = 516, GridFileTitleSize = 256 };

// The selected rectangle of cells: the cell where it began (the anchor,
// which Shift and a drag keep) and the opposite corner, which moves.
struct GridSelection {
    int32_t AnchorRow = -1, AnchorCol = -1; // -1: nothing selected
    int32_t EndRow = -1, EndCol = -1;

    bool Empty() const { return AnchorRow < 0; }
    void Clear() { AnchorRow = AnchorCol = EndRow = EndCol = -1; }
    void Set(int32_t anchorRow, int32_t anchorCol, int32_t endRow, int32_t endCol)
    {
        AnchorRow = anchorRow, AnchorCol = anchorCol;
        EndRow = endRow, EndCol = endCol;
    }
    // Moves the opposite corner (Shift with a key, a drag).
    void Extend(int32_t row, int32_t col) { EndRow = row, EndCol = col; }
    // The corners top-left and bottom-right, whichever way it was made.
    GRIDRANGE Normalised() const
    {
        return GRIDRANGE{AnchorRow < EndRow ? AnchorRow : EndRow, AnchorRow < EndRow ? EndRow : AnchorRow,
                         AnchorCol < EndCol ? AnchorCol : EndCol, AnchorCol < EndCol ? EndCol : AnchorCol};
    }
};

struct OUTPUTDATA {
    GRIDBUFFER *Data;        // shown, never owned; null = nothing to show
    SCROLLINFO VertScroll;   // rows; nPos is the first row shown (TopRow)
    SCROLLINFO HorzScroll;   // pixels; nPos equals ScrollX
    TEXTMETRICA Metrics;     // of Font, tmHeight raised by 4: the row height
    int32_t RowNumWidth;
    int32_t HeaderHeight;
    HFONT Font;
    HPEN ShadowPen;
    HPEN HighlightPen;
    HPEN GridPen;
    PaintBuffer Painted;     // the painting is drawn there, then copied
    GridSelection Selection;
    int32_t PressedCol;      // header held down, -1 none
    uint8_t PressedToSelect; // the header was pressed with Ctrl: it selects rather than sorts
    int32_t PressedRow;      // row-number slot held down, -1 the corner, -2 none
    int32_t ScrollX;
    int32_t TotalWidth;
    int32_t CursorRow;       // -1: no cell cursor
    int32_t CursorCol;
    uint8_t Selecting;
    uint8_t Focused;
    TDynArray<HRGN> BorderRegions; // header hit area of each column's right border
    int32_t HotBorder;
    uint8_t Resizing;
    int32_t ResizeStartX;
    int32_t ResizeStartWidth;
    OPENFILENAMEA SaveDialog; // lpstrFile is FileName, lpstrFileTitle is FileTitle
    HMENU ContextMenu;
    char FileName[GridFileNameSize];
    char FileTitle[GridFileTitleSize];
    // The order shown: none (the server's), or the rows sorted by
    // SortColumn. Display rows map to the buffer's rows through GridDataRow.
    ROWORDER Order;
    int32_t SortColumn;          // -1: the server's order
    uint8_t SortDescending;
    struct GRIDSORTJOB *SortJob; // a sort running on its own thread, or null
    uint32_t SortSerial;         // names the latest job, for its late notice
    struct GRIDFIND *Find;       // the find dialog and a search in progress; null until the first Ctrl+F
    int32_t Dpi;                 // the display scale Font and the sizes are made for
};

// Sent by a sort's thread when it ends; wParam: the job's serial.
enum { WM_GRID_SORTDONE = WM_USER + 40, WM_GRID_FINDSTEP = WM_USER + 41 };

// The buffer's row shown at a display row.
inline int32_t GridDataRow(const OUTPUTDATA *grid, int32_t shown)
{
    return grid->Order.Rows ? (int32_t)grid->Order.Rows[shown] : shown;
}

// ---- Geometry (GridGeometry.cpp) ----

inline int32_t GridRowHeight(const OUTPUTDATA *grid) { return grid->Metrics.tmHeight; }
// The buffer keeps column widths in its own unit, 8 to a character
// (TextPixelWidth), as measured and as a person dragged them: shown in the
// width of the grid's font at its scale, so that a text fits whatever the
// font's width (at 150 % it is 13 pixels, not 12) and a dragged column keeps
// its proportion when the scale changes.
enum { BufferCharWidth = 8 };
inline int32_t GridCharWidth(const OUTPUTDATA *grid)
{
    return grid->Metrics.tmAveCharWidth > 0 ? grid->Metrics.tmAveCharWidth : BufferCharWidth;
}
inline int32_t GridColumnWidth(const OUTPUTDATA *grid, int32_t column)
{
    return MulDiv(grid->Data->ColWidths[column], GridCharWidth(grid), BufferCharWidth);
}
// The sum of the columns' widths as shown.
int64_t GridColumnsWidth(const OUTPUTDATA *grid);
// Font, row height, header and row numbers made for dpi (at creation, and
// when the window moves to a monitor of another scale).
void GridApplyScale(HWND window, OUTPUTDATA *grid, int dpi);
inline int32_t GridTopRow(const OUTPUTDATA *grid) { return grid->VertScroll.nPos; }
int32_t GridRowCount(const OUTPUTDATA *grid);
int32_t GridColumnCount(const OUTPUTDATA *grid);
// Whole data rows below the header band in a client area of that height.
int32_t GridVisibleRowsFor(const OUTPUTDATA *grid, int32_t clientHeight);
// The scroll bars' pages for a client of that size and the ranges set now.
UINT GridVerticalPage(const OUTPUTDATA *grid, int32_t clientHeight);
UINT GridHorizontalPage(const OUTPUTDATA *grid, int32_t clientWidth);
int32_t GridVisibleRows(HWND window, const OUTPUTDATA *grid);

// Column (low half) and visible slot (high half) under a client point, each
// a signed 16-bit value: column -1 the row numbers, -2 right of the last
// column; slot -1 the header band.
DWORD GridHitTest(const OUTPUTDATA *grid, int32_t x, int32_t y);
inline int32_t HitColumn(DWORD hit) { return (int16_t)LOWORD(hit); }
inline int32_t HitSlot(DWORD hit) { return (int16_t)HIWORD(hit); }
// The selection limited to the rows and columns the buffer has: empty (Top
// above Bottom) when the corner selected a result without rows.
GRIDRANGE GridSelectedCells(const OUTPUTDATA *grid);
// WM_GRID_GETCELLRECT: the rectangle of a cell (row or column -1 for the
// header band and the row numbers); false when there is no such cell.
bool GridCellRect(const OUTPUTDATA *grid, int32_t row, int32_t column, RECT *cell);

// Lowest and highest column wholly inside the data area, -1 if none.
void GridFullyVisibleColumns(const OUTPUTDATA *grid, int32_t clientWidth, int32_t *first, int32_t *last);
// The column whose border region holds the point, -1 if none.
int32_t GridBorderAt(const OUTPUTDATA *grid, int32_t x, int32_t y);
void GridUpdateBorderRegions(OUTPUTDATA *grid);
// Sets both page sizes for the client area (done before every paint).
void GridUpdatePages(HWND window, OUTPUTDATA *grid, int32_t clientWidth, int32_t clientHeight);

// Applies the record's scroll values to the bar with the given mask.
void GridApplyVertical(HWND window, OUTPUTDATA *grid, UINT mask, BOOL redraw);
void GridApplyHorizontal(HWND window, OUTPUTDATA *grid, UINT mask, BOOL redraw);
// Invalidates the whole client area and paints it at once.
void GridRepaint(HWND window, bool erase);
void GridSetRowNumberWidth(OUTPUTDATA *grid);
void GridResize(HWND window, OUTPUTDATA *grid, int32_t width, int32_t height);

// ---- Painting (GridPaint.cpp) ----

int32_t GridColumnCapacity(const OUTPUTDATA *grid, int32_t width);
// Paints the whole client area (width x height) into target at (0, 0)
// through one off-screen bitmap; also sets the page sizes and the border
// regions, as every paint does.
void GridOutputDrawingProc(HWND window, OUTPUTDATA *grid, HDC target, int32_t width, int32_t height);

// ---- Navigation and selection (GridNavigation.cpp) ----

void GridVerticalScroll(HWND window, OUTPUTDATA *grid, int code);
void GridHorizontalScroll(HWND window, OUTPUTDATA *grid, int code);
void GridMouseWheel(HWND window, int distance);
void GridKeyDown(HWND window, OUTPUTDATA *grid, WPARAM key);
// keys: the MK_ flags of the message (Ctrl on a header selects its column).
void GridButtonDown(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y, WPARAM keys);
void GridMouseMove(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y);
// A header pressed and released where it was sorts by its column; pressed
// with Ctrl, or dragged, it selects columns.
void GridButtonUp(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y);
void GridDoubleClick(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y, WPARAM keys);
// Ends a press, drag or border drag, as when the buffer is replaced under it.
void GridCancelMouseModes(HWND window, OUTPUTDATA *grid);
// Another window took the mouse (a message box, Alt+Tab) during a gesture:
// the gesture ends where it was, so that hovering does not go on with it.
void GridCaptureLost(HWND window, OUTPUTDATA *grid);

// ---- Commands (GridCommands.cpp) ----

// With names, the copy's first line holds the selected columns' names.
void GridCopy(HWND window, OUTPUTDATA *grid, bool withNames);
void GridSelectAll(HWND window, OUTPUTDATA *grid);
void GridSaveAs(HWND window, OUTPUTDATA *grid);
// Opens the context menu at a screen point; (-1, -1): at the current cell,
// as Shift+F10 and the Menu key ask.
void GridContextMenu(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y);

// ---- Order (GridSortView.cpp) ----

// Sorts by the current cell's column (descending or not), or restores the
// server's order with column -1. Large results sort on a thread of their
// own; the window stays responsive and Esc cancels.
void GridSortBy(HWND window, OUTPUTDATA *grid, int32_t column, bool descending);
// A click on a header: ascending, then descending, then the server's order.
void GridSortByHeader(HWND window, OUTPUTDATA *grid, int32_t column);
void GridSortDone(HWND window, OUTPUTDATA *grid, uint32_t serial);
// Stops a running sort, leaving the order as it was; with wait, ends its
// thread before returning (the buffer goes). True when one was running.
bool GridCancelSort(OUTPUTDATA *grid, bool wait);
// Back to the server's order, with nothing running (a new buffer).
void GridForgetOrder(OUTPUTDATA *grid);
// Whether the result can be sorted and searched now: all of it has come.
bool GridComplete(const OUTPUTDATA *grid);

// ---- Find (GridFind.cpp) ----

void GridShowFindDialog(HWND window, OUTPUTDATA *grid);
// F3 (down) and Shift+F3 (up): the last search again, or the dialog.
void GridFindAgain(HWND window, OUTPUTDATA *grid, bool up);
void GridFindMessage(HWND window, OUTPUTDATA *grid, FINDREPLACEA *request);
void GridFindStep(HWND window, OUTPUTDATA *grid);
// Esc: stops a sort or a search; true when one was running.
bool GridStopWork(HWND window, OUTPUTDATA *grid);
bool GridFindRunning(const OUTPUTDATA *grid);
void GridDestroyFind(OUTPUTDATA *grid);
UINT GridFindMessageId();

// ---- Navigation shared with the find and the sort ----

// Scrolls the cell cursor into view both ways.
void GridShowCursor(HWND window, OUTPUTDATA *grid);
