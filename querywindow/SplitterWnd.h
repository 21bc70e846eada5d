// The horizontal bar between a query window's editor and its results pane.
// The owner hands it the area it divides; the bar keeps its place there as a
// percentage, so that a resized owner keeps its proportions, and tells the
// owner (WM_NOTIFY, code 0) when the user has dropped it somewhere new.
#pragma once

#include <windows.h>

#include <cstdint>

// wParam = RECT * (or 0 for an empty area) in the owner's client coordinates.
enum { WM_SPLITTER_SETAREA = WM_USER + 1 };
// The notification code sent to the owner when a drag has ended.
enum { SPLITTER_MOVED = 0 };

extern const char SplitterWndClass[]; // "Splitter"

struct SPLITTERDATA {
    HWND Window;
    uint8_t Dragging;
    int32_t DragY;      // ghost bar's top, owner's window coordinates
    int32_t BarHeight;
    int32_t GrabOffset; // where in the bar the button went down
    int32_t Position;   // bar's top, pixels below Area.top
    int32_t Percent;    // Position as a percentage of Area's height
    int32_t MinPercent; // margin kept free above and below the bar
    int32_t MinPixels;
    RECT Area;          // owner's client coordinates
};

LRESULT CALLBACK SplitterWndFunc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the "Splitter" class (WM_USER with no window); returns its atom.
ATOM RegisterSplitterClass();
