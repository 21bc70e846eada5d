// The horizontal bar between a query window's editor and its results pane.
// The owner hands it the area it divides; the bar keeps its place there as a
// percentage, so that a resized owner keeps its proportions, and tells the
// owner (WM_NOTIFY, code 0) when the user has dropped it somewhere new; the
// owner asks where it lies with WM_SPLITTER_GETPLACE.
#pragma once

#include <windows.h>

#include <cstdint>

// Where the bar lies, as the owner lays out from it.
struct SPLITTERPLACE {
    int32_t Position;  // the bar's top, pixels below the area's top
    int32_t BarHeight;
    int32_t Percent;   // Position as a percentage of the area's height, kept when the area changes
};

enum {
    // wParam = RECT * (or 0 for an empty area) in the owner's client coordinates.
    WM_SPLITTER_SETAREA = WM_USER + 1,
    // lParam = SPLITTERPLACE * to fill; returns the bar's position.
    WM_SPLITTER_GETPLACE = WM_USER + 2,
    // wParam = the bar's height in pixels (it follows the display scale);
    // the bar keeps its percentage.
    WM_SPLITTER_SETBARHEIGHT = WM_USER + 3,
};
// The notification code sent to the owner when a drag has ended.
enum { SPLITTER_MOVED = 0 };

extern const char SplitterWndClass[]; // "Splitter"

LRESULT CALLBACK SplitterWndFunc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the "Splitter" class (WM_USER with no window); returns its atom.
ATOM RegisterSplitterClass();
