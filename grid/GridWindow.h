// The result grid: a custom-drawn window showing one GRIDBUFFER with column
// headers, row numbers, a cell cursor and a rectangular selection.
//
// The query window attaches buffers with WM_GRID_SETBUFFER, clears the
// selection with WM_GRID_CLEARSELECTION, listens for GN_SELCHANGED and reads
// SelAnchorRow and ContextMenu of the grid's record through StateOf.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <cstdint>

#include "results/ResultBuffer.h"

#define GRID_CLASS_NAME "GridOutput"

enum {
    WM_GRID_SETBUFFER = WM_USER + 1,      // wParam: GRIDBUFFER * or 0; the sender repaints
    WM_GRID_CLEARSELECTION = WM_USER + 2, // drops the selection and the cell cursor
};
enum { GN_SELCHANGED = 501 };

enum { GridFileNameSize = 516, GridFileTitleSize = 256 };

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
    int32_t SelAnchorRow;    // -1: no selection
    int32_t SelAnchorCol;
    int32_t SelEndRow;
    int32_t SelEndCol;
    int32_t PressedCol;      // header held down, -1 none
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
};

// The window procedure; called with a null window and WM_USER it registers
// the class and returns its atom.
LRESULT CALLBACK GridOutputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers "GridOutput" through GridOutputProc's own convention.
ATOM RegisterGridOutputClass();

// The dialogs a save may show. Tests answer them without a person by
// replacing these pointers; the program never changes them.
struct GridDialogs {
    BOOL(WINAPI *GetSaveFileName)(LPOPENFILENAMEA);
    int(WINAPI *MessageBox)(HWND, LPCSTR, LPCSTR, UINT);
};
extern GridDialogs GridDialogFunctions;

// ---- Geometry (GridGeometry.cpp) ----

inline int32_t GridRowHeight(const OUTPUTDATA *grid) { return grid->Metrics.tmHeight; }
inline int32_t GridTopRow(const OUTPUTDATA *grid) { return grid->VertScroll.nPos; }
int32_t GridRowCount(const OUTPUTDATA *grid);
int32_t GridColumnCount(const OUTPUTDATA *grid);
// Whole data rows below the header band in a client area of that height.
int32_t GridVisibleRowsFor(const OUTPUTDATA *grid, int32_t clientHeight);
int32_t GridVisibleRows(HWND window, const OUTPUTDATA *grid);

// Column (low half) and visible slot (high half) under a client point, each
// a signed 16-bit value: column -1 the row numbers, -2 right of the last
// column; slot -1 the header band.
DWORD GridHitTest(const OUTPUTDATA *grid, int32_t x, int32_t y);
inline int32_t HitColumn(DWORD hit) { return (int16_t)LOWORD(hit); }
inline int32_t HitSlot(DWORD hit) { return (int16_t)HIWORD(hit); }

// Lowest and highest column wholly inside the data area, -1 if none.
void GridFullyVisibleColumns(const OUTPUTDATA *grid, int32_t clientWidth, int32_t *first, int32_t *last);
// The column whose border region holds the point, -1 if none.
int32_t GridBorderAt(const OUTPUTDATA *grid, int32_t x, int32_t y);
void GridUpdateBorderRegions(OUTPUTDATA *grid);
// Sets both page sizes for the client area (done before every paint).
void GridUpdatePages(HWND window, OUTPUTDATA *grid, int32_t clientWidth, int32_t clientHeight);

// ---- Painting (GridPaint.cpp) ----

// How much of a text fits a column: the leading bytes kept and the dots
// that follow them. Counted in bytes; a cut never splits a UTF-8 character.
struct GridFit {
    size_t Kept;
    int Dots;
};
// A cell text fitted to a limit of n characters.
GridFit FitCellText(const char *text, int32_t limit);
// The same for a value of length bytes, zero bytes included.
GridFit FitCellBytes(const char *text, size_t length, int32_t limit);
// A column name in a column of that capacity: fitted to at least 4, then
// cut to the capacity; nothing when the capacity is negative.
GridFit FitHeaderText(const char *name, int32_t capacity);
int32_t GridColumnCapacity(const OUTPUTDATA *grid, int32_t width);

// Paints the whole client area (width x height) into target at (0, 0)
// through one off-screen bitmap; also sets the page sizes and the border
// regions, as every paint does.
void GridOutputDrawingProc(HWND window, OUTPUTDATA *grid, HDC target, int32_t width, int32_t height);
