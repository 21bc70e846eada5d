// Moving through the grid and selecting: scroll bars, wheel, the keyboard's
// cell cursor, mouse selection and column-border drags.
#include "grid/GridInternal.h"

namespace {

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

// Keeps a bar position within the range, never leaving the last page
// scrolled past the end.
int32_t ClampPosition(const SCROLLINFO &bar, int64_t position)
{
    int64_t page = bar.nPage;
    if (page != 0 && bar.nMax < page + position - 1) position = bar.nMax - page + 1;
    if (position > bar.nMax) position = bar.nMax;
    if (position < bar.nMin) position = bar.nMin;
    return (int32_t)position;
}

int32_t TrackPosition(HWND window, int bar)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(window, bar, &info);
    return info.nTrackPos;
}

int32_t ClientWidth(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return client.right;
}

int32_t ColumnStart(const OUTPUTDATA *grid, int32_t column)
{
    int64_t start = 0;
    for (int32_t c = 0; c < column; c++) start += grid->Data->ColWidths[c];
    return (int32_t)start;
}

int32_t SmallestColumnWidth(const OUTPUTDATA *grid) { return grid->Metrics.tmAveCharWidth + 4; }

bool IsDataCell(const OUTPUTDATA *grid, int32_t column, int32_t slot)
{
    return slot >= 0 && column >= 0 && column < GridColumnCount(grid) &&
           (int64_t)GridTopRow(grid) + slot < GridRowCount(grid);
}

void SelectionMadeByMouse(HWND window)
{
    GridRepaint(window, true);
    NotifyParent(window, GN_SELCHANGED);
}

enum Alignment { AlignNone, AlignLeft, AlignRight, AlignTop, AlignBottom };

void SetScrollX(HWND window, OUTPUTDATA *grid, int32_t scrollX)
{
    // The bar cannot show a position past its last page, so neither does the view.
    int32_t page = (int32_t)grid->HorzScroll.nPage;
    int32_t last = grid->TotalWidth - (page > 0 ? page : 1);
    grid->ScrollX = Clamp(scrollX, 0, last > 0 ? last : 0);
    grid->HorzScroll.nPos = grid->ScrollX;
    GridApplyHorizontal(window, grid, SIF_POS, FALSE);
}

void Align(HWND window, OUTPUTDATA *grid, Alignment alignment)
{
    if (alignment == AlignLeft || alignment == AlignRight) {
        int32_t width = ClientWidth(window), first, last;
        GridFullyVisibleColumns(grid, width, &first, &last);
        if (grid->CursorCol >= first && grid->CursorCol <= last && first >= 0) return;
        if (alignment == AlignLeft)
            SetScrollX(window, grid, ColumnStart(grid, grid->CursorCol));
        else
            SetScrollX(window, grid, grid->RowNumWidth + ColumnStart(grid, grid->CursorCol + 1) - width);
        return;
    }
    SCROLLINFO &vert = grid->VertScroll;
    int32_t page = (int32_t)vert.nPage;
    bool shown = grid->CursorRow >= vert.nPos && grid->CursorRow <= vert.nPos + page - 1;
    if (!shown && alignment == AlignTop) vert.nPos = ClampPosition(vert, grid->CursorRow);
    if (!shown && alignment == AlignBottom) {
        int32_t top = grid->CursorRow - GridVisibleRows(window, grid) + 1;
        vert.nPos = top > 0 ? top : 0;
    }
    GridApplyVertical(window, grid, SIF_POS | SIF_DISABLENOSCROLL, FALSE);
}

} // namespace

void GridShowCursor(HWND window, OUTPUTDATA *grid)
{
    if (grid->CursorRow < 0 || grid->CursorCol < 0) return;
    Align(window, grid, AlignLeft);
    Align(window, grid, AlignRight);
    // Found far away, the row comes to the top; near the view, it scrolls in
    // from the nearer side.
    Align(window, grid, grid->CursorRow < GridTopRow(grid) ? AlignTop : AlignBottom);
}

void GridVerticalScroll(HWND window, OUTPUTDATA *grid, int code)
{
    SCROLLINFO &bar = grid->VertScroll;
    int64_t position = bar.nPos;
    switch (code) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= bar.nPage; break;
    case SB_PAGEDOWN: position += bar.nPage; break;
    case SB_THUMBTRACK: position = TrackPosition(window, SB_VERT); break;
    case SB_TOP: position = bar.nMin; break;
    case SB_BOTTOM: position = bar.nMax; break;
    default: break;
    }
    bar.nPos = ClampPosition(bar, position);
    GridApplyVertical(window, grid, SIF_POS, TRUE);
    GridRepaint(window, true);
}

void GridHorizontalScroll(HWND window, OUTPUTDATA *grid, int code)
{
    SCROLLINFO &bar = grid->HorzScroll;
    int64_t position = bar.nPos;
    switch (code) {
    case SB_LINELEFT: position -= 1; break;
    case SB_LINERIGHT: position += 1; break;
    case SB_PAGELEFT: position -= bar.nPage; break;
    case SB_PAGERIGHT: position += bar.nPage; break;
    // The 16-bit position of the message wraps beyond 65,535 pixels.
    case SB_THUMBTRACK: position = TrackPosition(window, SB_HORZ); break;
    default: break;
    }
    bar.nPos = ClampPosition(bar, position);
    grid->ScrollX = bar.nPos;
    GridApplyHorizontal(window, grid, SIF_POS, TRUE);
    GridRepaint(window, true);
}

void GridMouseWheel(HWND window, int distance)
{
    if (distance > 0) SendMessageA(window, WM_VSCROLL, SB_LINEUP, 0);
    if (distance < 0) SendMessageA(window, WM_VSCROLL, SB_LINEDOWN, 0);
}

void GridKeyDown(HWND window, OUTPUTDATA *grid, WPARAM key)
{
    int32_t rows = GridRowCount(grid), columns = GridColumnCount(grid);
    if (grid->CursorRow < 0 || grid->CursorCol < 0 || rows == 0 || columns == 0) return;
    int32_t row = grid->CursorRow, col = grid->CursorCol;
    // With fewer than two whole rows in view a page is still one row.
    int32_t pageStep = GridVisibleRows(window, grid) - 1;
    if (pageStep < 1) pageStep = 1;
    bool control = GetKeyState(VK_CONTROL) < 0;
    Alignment first = AlignNone, second = AlignNone;
    switch (key) {
    case VK_LEFT:
        if (col - 1 < 0) return;
        col--, first = AlignLeft;
        break;
    case VK_RIGHT:
        if (col + 1 >= columns) return;
        col++, first = AlignRight;
        break;
    case VK_UP:
        if (row - 1 < 0) return;
        row--, first = AlignTop;
        break;
    case VK_DOWN:
        if (row + 1 >= rows) return;
        row++, first = AlignBottom;
        break;
    case VK_PRIOR:
        row = row - pageStep > 0 ? row - pageStep : 0, first = AlignTop;
        break;
    case VK_NEXT:
        row = (int64_t)row + pageStep >= rows ? rows - 1 : row + pageStep, first = AlignBottom;
        break;
    case VK_HOME:
        col = 0, first = AlignLeft;
        if (control) row = 0, second = AlignTop;
        break;
    case VK_END:
        col = columns - 1, first = AlignRight;
        if (control) row = rows - 1, second = AlignBottom;
        break;
    default: return;
    }
    grid->CursorRow = row;
    grid->CursorCol = col;
    if (GetKeyState(VK_SHIFT) >= 0)
        grid->Selection.Set(row, col, row, col);
    else
        grid->Selection.Extend(row, col);
    Align(window, grid, first);
    if (second != AlignNone) Align(window, grid, second);
    GridRepaint(window, true);
}

void GridButtonDown(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y, WPARAM keys)
{
    if (!grid->Data) return;
    SetFocus(window);
    // The columns may have moved under a still pointer (keyboard scrolling):
    // the border under the press is the one that counts.
    GridUpdateBorderRegions(grid);
    grid->HotBorder = GridBorderAt(grid, x, y);
    if (grid->HotBorder >= 0 && grid->HotBorder < GridColumnCount(grid)) {
        grid->Resizing = true;
        SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
        SetCapture(window);
        grid->ResizeStartX = x;
        grid->ResizeStartWidth = grid->Data->ColWidths[grid->HotBorder];
        return;
    }
    DWORD hit = GridHitTest(grid, x, y);
    int32_t column = HitColumn(hit), slot = HitSlot(hit);
    int32_t row = GridTopRow(grid) + slot;
    if (IsDataCell(grid, column, slot)) {
        grid->Selection.Set(row, column, row, column);
        grid->CursorRow = row;
        grid->CursorCol = column;
        SelectionMadeByMouse(window);
        SetCapture(window);
        grid->Selecting = true;
    } else if (slot == -1 && column == -1) {
        grid->PressedRow = -1;
        SetCapture(window);
        GridRepaint(window, true);
    } else if (slot == -1 && column >= 0 && column < GridColumnCount(grid)) {
        grid->PressedCol = column;
        grid->PressedToSelect = (keys & MK_CONTROL) != 0;
        SetCapture(window);
        GridRepaint(window, true);
    } else if (slot >= 0 && column == -1 && row < GridRowCount(grid)) {
        grid->PressedRow = slot;
        SetCapture(window);
        GridRepaint(window, true);
    }
}

namespace {

// Column widths changed: the range follows, and a bar that showed
// everything keeps showing everything.
void ApplyColumnWidths(HWND window, OUTPUTDATA *grid)
{
    int64_t total = 0;
    for (int32_t width : grid->Data->ColWidths) total += width;
    grid->TotalWidth = total > INT32_MAX ? INT32_MAX : (int32_t)total;
    SCROLLINFO &horz = grid->HorzScroll;
    if ((int64_t)horz.nPage == (int64_t)horz.nMax + 1) horz.nPage = (UINT)grid->TotalWidth;
    horz.nMax = grid->TotalWidth - 1;
    GridApplyHorizontal(window, grid, SIF_RANGE | SIF_PAGE, FALSE);
    // Narrower columns must not leave the view scrolled past their end.
    int32_t last = grid->TotalWidth - (int32_t)horz.nPage;
    if (grid->ScrollX > last) SetScrollX(window, grid, last);
    GridRepaint(window, false);
}

POINT PointerInClient(HWND window)
{
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    return point;
}

} // namespace

void GridMouseMove(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y)
{
    if (!grid->Data) return;
    if (grid->Selecting) {
        POINT point = PointerInClient(window);
        DWORD hit = GridHitTest(grid, point.x, point.y);
        int32_t column = HitColumn(hit), slot = HitSlot(hit);
        if (!IsDataCell(grid, column, slot)) return;
        int32_t row = GridTopRow(grid) + slot;
        if (row == grid->Selection.EndRow && column == grid->Selection.EndCol) return;
        grid->Selection.Extend(row, column);
        GridRepaint(window, false);
    } else if (grid->Resizing) {
        POINT point = PointerInClient(window);
        int64_t width = (int64_t)grid->ResizeStartWidth + point.x - grid->ResizeStartX;
        if (width < SmallestColumnWidth(grid)) width = SmallestColumnWidth(grid);
        if (width > INT32_MAX / 2) width = INT32_MAX / 2;
        grid->Data->ColWidths[grid->HotBorder] = (int32_t)width;
        ApplyColumnWidths(window, grid);
    } else {
        grid->HotBorder = GridBorderAt(grid, x, y);
        if (grid->HotBorder != -1) SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
    }
}

void GridButtonUp(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y)
{
    // Each gesture is ended before the capture is released: the release
    // sends WM_CAPTURECHANGED, which would otherwise cancel it.
    if (grid->Resizing) {
        grid->Resizing = false;
        ReleaseCapture();
        return;
    }
    int32_t lastRow = GridRowCount(grid) - 1, lastCol = GridColumnCount(grid) - 1;
    if (grid->PressedCol >= 0) {
        int32_t column = grid->PressedCol;
        grid->PressedCol = -1;
        ReleaseCapture();
        DWORD hit = GridHitTest(grid, x, y);
        bool onHeader = HitSlot(hit) == -1 && HitColumn(hit) >= 0 && HitColumn(hit) <= lastCol;
        if (onHeader && HitColumn(hit) == column && !grid->PressedToSelect) {
            GridRepaint(window, true); // the header no longer pressed
            GridSortByHeader(window, grid, column);
            return;
        }
        // Dragged along the header band, the columns from the pressed one
        // to the one under the pointer; released elsewhere, the pressed one.
        int32_t end = onHeader ? HitColumn(hit) : column;
        // A result without rows has no cell for the cursor to stand on.
        if (lastRow >= 0) grid->CursorRow = 0, grid->CursorCol = column;
        grid->Selection.Set(0, column, lastRow, end);
        SelectionMadeByMouse(window);
    }
    if (grid->PressedRow >= 0) {
        int32_t row = GridTopRow(grid) + grid->PressedRow;
        grid->PressedRow = -2;
        ReleaseCapture();
        // The wheel may have scrolled the pressed number past the last row.
        if (row <= lastRow) {
            grid->CursorRow = row;
            grid->CursorCol = 0;
            grid->Selection.Set(row, 0, row, lastCol);
        }
        SelectionMadeByMouse(window);
    }
    if (grid->PressedRow == -1) {
        grid->PressedRow = -2;
        ReleaseCapture();
        grid->Selection.Set(0, 0, lastRow, lastCol);
        SelectionMadeByMouse(window);
    }
    if (grid->Selecting) {
        grid->Selecting = false;
        ReleaseCapture();
    }
}

void GridDoubleClick(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y, WPARAM keys)
{
    SetFocus(window);
    if (!grid->Data) return;
    // Away from a border the second press of a double-click is a press like
    // the first: two quick clicks on a header sort one way, then the other.
    if (grid->HotBorder < 0 || grid->HotBorder >= GridColumnCount(grid)) {
        GridButtonDown(window, grid, x, y, keys);
        return;
    }
    // A result still arriving has no natural widths yet.
    if (grid->HotBorder >= grid->Data->TextWidths.Length()) return;
    grid->Data->ColWidths[grid->HotBorder] = grid->Data->TextWidths[grid->HotBorder];
    ApplyColumnWidths(window, grid);
}

void GridCaptureLost(HWND window, OUTPUTDATA *grid)
{
    bool active = grid->Resizing || grid->Selecting || grid->PressedCol >= 0 || grid->PressedRow != -2;
    if (!active) return;
    GridCancelMouseModes(window, grid);
    GridRepaint(window, false);
}

void GridCancelMouseModes(HWND window, OUTPUTDATA *grid)
{
    bool captured = grid->Resizing || grid->Selecting || grid->PressedCol >= 0 || grid->PressedRow != -2;
    grid->Resizing = false;
    grid->Selecting = false;
    grid->PressedCol = -1;
    grid->PressedRow = -2;
    grid->HotBorder = -1;
    if (captured && GetCapture() == window) ReleaseCapture();
}
