// The result grid: a custom-drawn window showing one GRIDBUFFER with column
// headers, row numbers, a cell cursor and a rectangular selection.
//
// Its interface is its messages: the query window attaches buffers with
// WM_GRID_SETBUFFER, clears the selection with WM_GRID_CLEARSELECTION,
// listens for GN_SELCHANGED and asks for what it reads (the buffer shown,
// the selection, the context menu whose items it keeps in step with the
// frame's commands). The grid's record is its own (grid/GridInternal.h).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <cstdint>

#include "results/ResultBuffer.h"

#define GRID_CLASS_NAME "GridOutput"

// Cells from row Top to row Bottom and from column Left to column Right,
// both ends included; indices into the buffer's Rows and Fields.
struct GRIDRANGE {
    int32_t Top, Bottom, Left, Right;
};

enum {
    // wParam: GRIDBUFFER * or 0; the sender repaints. lParam GridKeepsPlace:
    // the same result grown (more rows, wider columns), so the selection,
    // the cell cursor and the scroll position stay, and the grid repaints
    // what changed itself.
    WM_GRID_SETBUFFER = WM_USER + 1,
    WM_GRID_CLEARSELECTION = WM_USER + 2, // drops the selection and the cell cursor
    // Returns the GRIDBUFFER * shown, 0 when none.
    WM_GRID_GETBUFFER = WM_USER + 3,
    // lParam: GRIDRANGE * or 0, given the selected cells whichever way they
    // were selected (no rows, Top above Bottom, when the corner selected a
    // result without rows). Returns TRUE when there is a selection.
    WM_GRID_GETSELECTION = WM_USER + 4,
    // wParam: a row (-1 the header band); lParam: RECT * whose left names a
    // column on input (-1 the row numbers). Gives the cell's rectangle in
    // client coordinates as it is drawn now (outside the client area when
    // scrolled away); returns FALSE, leaving the rectangle, when there is
    // no such cell.
    WM_GRID_GETCELLRECT = WM_USER + 5,
    // Returns the HMENU whose first popup the right button shows.
    WM_GRID_GETCONTEXTMENU = WM_USER + 6,
};
enum { GN_SELCHANGED = 501 };
enum { GridKeepsPlace = 1 };

// The window procedure; called with a null window and WM_USER it registers
// the class and returns its atom. WM_PRINTCLIENT paints into the given
// device context what WM_PAINT paints on the screen.
LRESULT CALLBACK GridOutputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers "GridOutput" through GridOutputProc's own convention.
ATOM RegisterGridOutputClass();

// The dialogs a save may show. Tests answer them without a person by
// replacing these pointers; the program never changes them.
struct GridDialogs {
    BOOL(WINAPI *GetSaveFileName)(LPOPENFILENAMEA);
    int(WINAPI *MessageBox)(HWND, LPCSTR, LPCSTR, UINT);
    BOOL(WINAPI *TrackPopupMenu)(HMENU, UINT, int, int, int, HWND, const RECT *);
};
extern GridDialogs GridDialogFunctions;

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
