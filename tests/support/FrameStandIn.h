// A frame for query-window code tested without the real frame: while it
// lives, the query windows' calls of FrameServices.h reach it. It keeps a
// real combo box as the database selector, a count of query windows that a
// test sets, and the check-button calls it received.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "querywindow/FrameServices.h"

class FrameStandIn {
public:
    // The stand-in's window is a child of parent (the test's own window).
    explicit FrameStandIn(HWND parent);
    // Gives the frame's own functions back.
    ~FrameStandIn();
    FrameStandIn(const FrameStandIn &) = delete;
    FrameStandIn &operator=(const FrameStandIn &) = delete;

    HWND Window = nullptr;   // what a record names as its frame
    HWND Selector = nullptr; // the database selector
    int WindowCount = 1;
    std::vector<std::pair<UINT, bool>> Checks;

private:
    const FRAMESERVICES *previous = nullptr;
};
