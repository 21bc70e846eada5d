// Geometry of the result grid: scroll ranges and pages, resizing, the hit
// test, the fully visible rows and columns and the column-border regions.
#include "grid/GridInternal.h"

#include <cstdio>

int32_t GridRowCount(const OUTPUTDATA *grid) { return grid->Data ? grid->Data->Rows.Length() : 0; }
int32_t GridColumnCount(const OUTPUTDATA *grid) { return grid->Data ? grid->Data->Fields.Length() : 0; }

int32_t GridVisibleRowsFor(const OUTPUTDATA *grid, int32_t clientHeight)
{
    int32_t rows = (clientHeight - grid->HeaderHeight) / GridRowHeight(grid);
    return rows > 0 ? rows : 0;
}

int32_t GridVisibleRows(HWND window, const OUTPUTDATA *grid)
{
    RECT client;
    GetClientRect(window, &client);
    return GridVisibleRowsFor(grid, client.bottom);
}

DWORD GridHitTest(const OUTPUTDATA *grid, int32_t x, int32_t y)
{
    int32_t column = -2;
    if (x < grid->RowNumWidth) {
        column = -1;
    } else if (grid->Data) {
        int32_t edge = grid->RowNumWidth - grid->ScrollX;
        for (int32_t c = 0; c < grid->Data->ColWidths.Length(); c++) {
            int32_t width = GridColumnWidth(grid, c);
            // Both ends count, and the later column wins on a shared edge.
            if (edge <= x && x <= edge + width) column = c;
            else if (edge > x) break;
            edge += width;
        }
    }
    int32_t slot = y < grid->HeaderHeight ? -1 : (y - grid->HeaderHeight) / GridRowHeight(grid);
    return MAKELONG((WORD)(int16_t)column, (WORD)(int16_t)slot);
}

GRIDRANGE GridSelectedCells(const OUTPUTDATA *grid)
{
    GRIDRANGE cells = grid->Selection.Normalised();
    if (cells.Top < 0) cells.Top = 0;
    if (cells.Left < 0) cells.Left = 0;
    if (cells.Bottom > GridRowCount(grid) - 1) cells.Bottom = GridRowCount(grid) - 1;
    if (cells.Right > GridColumnCount(grid) - 1) cells.Right = GridColumnCount(grid) - 1;
    return cells;
}

namespace {

// Beyond any screen: the far columns of a very wide result.
LONG Coordinate(int64_t value) { return value < -1000000000 ? -1000000000 : value > 1000000000 ? 1000000000 : (LONG)value; }

} // namespace

bool GridCellRect(const OUTPUTDATA *grid, int32_t row, int32_t column, RECT *cell)
{
    if (row < -1 || row >= GridRowCount(grid) || column < -1 || column >= GridColumnCount(grid)) return false;
    int64_t left = 0, right = grid->RowNumWidth;
    if (column >= 0) {
        left = (int64_t)grid->RowNumWidth - grid->ScrollX;
        for (int32_t c = 0; c < column; c++) left += GridColumnWidth(grid, c);
        right = left + GridColumnWidth(grid, column);
    }
    int64_t top = 0, bottom = grid->HeaderHeight;
    if (row >= 0) {
        top = grid->HeaderHeight + ((int64_t)row - GridTopRow(grid)) * GridRowHeight(grid);
        bottom = top + GridRowHeight(grid);
    }
    *cell = RECT{Coordinate(left), Coordinate(top), Coordinate(right), Coordinate(bottom)};
    return true;
}

void GridFullyVisibleColumns(const OUTPUTDATA *grid, int32_t clientWidth, int32_t *first, int32_t *last)
{
    *first = *last = -1;
    if (!grid->Data) return;
    int64_t left = grid->ScrollX, right = (int64_t)grid->ScrollX + clientWidth - grid->RowNumWidth;
    int64_t start = 0;
    for (int32_t c = 0; c < grid->Data->ColWidths.Length(); c++) {
        int32_t width = GridColumnWidth(grid, c);
        if (start >= left && start + width <= right) {
            if (*first < 0) *first = c;
            *last = c;
        }
        start += width;
    }
}

int32_t GridBorderAt(const OUTPUTDATA *grid, int32_t x, int32_t y)
{
    for (int32_t c = 0; c < grid->BorderRegions.Length(); c++)
        if (PtInRegion(grid->BorderRegions[c], x, y)) return c;
    return -1;
}

void GridUpdateBorderRegions(OUTPUTDATA *grid)
{
    if (!grid->Data) return;
    int64_t border = (int64_t)grid->RowNumWidth - grid->ScrollX;
    for (int32_t c = 0; c < grid->BorderRegions.Length() && c < grid->Data->ColWidths.Length(); c++) {
        border += GridColumnWidth(grid, c);
        // Far-away borders are parked outside any client area.
        int32_t b = border < -100000 ? -100000 : border > 1000000000 ? 1000000000 : (int32_t)border;
        SetRectRgn(grid->BorderRegions[c], b - 5, 0, b + 5, grid->HeaderHeight);
    }
}

namespace {

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

} // namespace

UINT GridVerticalPage(const OUTPUTDATA *grid, int32_t clientHeight)
{
    const SCROLLINFO &vert = grid->VertScroll;
    return (UINT)Clamp(GridVisibleRowsFor(grid, clientHeight), vert.nMin + 1, vert.nMax + 1);
}

UINT GridHorizontalPage(const OUTPUTDATA *grid, int32_t clientWidth)
{
    const SCROLLINFO &horz = grid->HorzScroll;
    return (UINT)Clamp(clientWidth - grid->RowNumWidth, horz.nMin + 1, horz.nMax + 1);
}

void GridUpdatePages(HWND window, OUTPUTDATA *grid, int32_t clientWidth, int32_t clientHeight)
{
    // Setting an unchanged page would only redraw the bar on every paint.
    SCROLLINFO &vert = grid->VertScroll;
    UINT page = GridVerticalPage(grid, clientHeight);
    if (page != vert.nPage) {
        vert.nPage = page;
        GridApplyVertical(window, grid, SIF_PAGE | SIF_DISABLENOSCROLL, TRUE);
    }
    SCROLLINFO &horz = grid->HorzScroll;
    page = GridHorizontalPage(grid, clientWidth);
    if (page != horz.nPage) {
        horz.nPage = page;
        GridApplyHorizontal(window, grid, SIF_PAGE, TRUE);
    }
}

// A hidden grid (a result tab not shown) draws its bars when it is shown:
// drawing them now would cost as much under Wine, for every tab of a
// script's results.
void GridApplyVertical(HWND window, OUTPUTDATA *grid, UINT mask, BOOL redraw)
{
    grid->VertScroll.fMask = mask;
    SetScrollInfo(window, SB_VERT, &grid->VertScroll, redraw && IsWindowVisible(window));
}

void GridApplyHorizontal(HWND window, OUTPUTDATA *grid, UINT mask, BOOL redraw)
{
    grid->HorzScroll.fMask = mask;
    SetScrollInfo(window, SB_HORZ, &grid->HorzScroll, redraw && IsWindowVisible(window));
}

void GridRepaint(HWND window, bool erase)
{
    InvalidateRect(window, nullptr, erase);
    UpdateWindow(window);
}

void GridSetRowNumberWidth(OUTPUTDATA *grid)
{
    char digits[16];
    int count = snprintf(digits, sizeof digits, "%d", GridRowCount(grid));
    int32_t wanted = count * grid->Metrics.tmAveCharWidth + MulDiv(10, grid->Dpi, 96);
    int32_t least = MulDiv(30, grid->Dpi, 96);
    grid->RowNumWidth = wanted > least ? wanted : least;
}

int64_t GridColumnsWidth(const OUTPUTDATA *grid)
{
    int64_t total = 0;
    if (grid->Data)
        for (int32_t c = 0; c < grid->Data->ColWidths.Length(); c++) total += GridColumnWidth(grid, c);
    return total;
}

void GridResize(HWND window, OUTPUTDATA *grid, int32_t width, int32_t height)
{
    SCROLLINFO &vert = grid->VertScroll;
    int32_t visible = (height - GridRowHeight(grid)) / GridRowHeight(grid);
    if (visible > 0 && vert.nMax < visible + vert.nPos - 1) {
        vert.nPos = vert.nMax + 1 < visible ? vert.nMin : vert.nMax - visible + 1;
        vert.nPos = Clamp(vert.nPos, vert.nMin, vert.nMax);
        GridApplyVertical(window, grid, SIF_POS | SIF_DISABLENOSCROLL, FALSE);
    }
    SCROLLINFO &horz = grid->HorzScroll;
    int32_t area = width - grid->RowNumWidth;
    if (area > 0 && area <= horz.nMax && area - 1 + horz.nPos > horz.nMax) {
        horz.nPos = Clamp(horz.nMax - area + 1, horz.nMin, horz.nMax);
        grid->ScrollX = horz.nPos;
        GridApplyHorizontal(window, grid, SIF_POS, FALSE);
    }
    if (horz.nMax < area) {
        horz.nPos = Clamp(0, horz.nMin, horz.nMax);
        grid->ScrollX = horz.nPos;
        GridApplyHorizontal(window, grid, SIF_POS, FALSE);
    }
}
