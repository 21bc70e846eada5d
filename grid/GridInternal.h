// What the grid's own source files share: the handlers the window procedure
// calls and the small steps they are made of.
#pragma once

#include "base/WindowState.h"
#include "grid/GridWindow.h"

// Applies the record's scroll values to the bar with the given mask.
void GridApplyVertical(HWND window, OUTPUTDATA *grid, UINT mask, BOOL redraw);
void GridApplyHorizontal(HWND window, OUTPUTDATA *grid, UINT mask, BOOL redraw);
// Invalidates the whole client area and paints it at once.
void GridRepaint(HWND window, bool erase);
void GridSetRowNumberWidth(OUTPUTDATA *grid);
void GridResize(HWND window, OUTPUTDATA *grid, int32_t width, int32_t height);

// Navigation and selection (GridNavigation.cpp).
void GridVerticalScroll(HWND window, OUTPUTDATA *grid, int code);
void GridHorizontalScroll(HWND window, OUTPUTDATA *grid, int code);
void GridMouseWheel(HWND window, int distance);
void GridKeyDown(HWND window, OUTPUTDATA *grid, WPARAM key);
void GridButtonDown(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y);
void GridMouseMove(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y);
void GridButtonUp(HWND window, OUTPUTDATA *grid);
void GridDoubleClick(HWND window, OUTPUTDATA *grid);
// Ends a press, drag or border drag, as when the buffer is replaced under it.
void GridCancelMouseModes(HWND window, OUTPUTDATA *grid);
// Another window took the mouse (a message box, Alt+Tab) during a gesture:
// the gesture ends where it was, so that hovering does not go on with it.
void GridCaptureLost(HWND window, OUTPUTDATA *grid);

// Commands (GridCommands.cpp).
// With names, the copy's first line holds the selected columns' names.
void GridCopy(HWND window, OUTPUTDATA *grid, bool withNames);
void GridSelectAll(HWND window, OUTPUTDATA *grid);
void GridSaveAs(HWND window, OUTPUTDATA *grid);
void GridContextMenu(HWND window, OUTPUTDATA *grid);
