// What a query window asks of the frame it lives in: the state of its
// commands on the menu and the toolbar, the database selector, and the
// count of query windows in the frame's status bar. The frame is in the
// layer above and keeps its record to itself; it hands these functions over
// once, when its class is registered. A query window finds its frame as the
// parent of its MDI client.
#pragma once

#include <windows.h>

// Each function takes the frame window and does nothing for a window that
// is not a frame.
struct FRAMESERVICES {
    // The command's menu item, enabled or grayed.
    void (*EnableMenuItem)(HWND frame, UINT command, bool enabled);
    // The command's toolbar button, enabled or grayed; a grayed check
    // button loses its check.
    void (*EnableButton)(HWND frame, UINT command, bool enabled);
    // Checks or clears the command's check button.
    void (*CheckButton)(HWND frame, UINT command, bool checked);
    // The database selector: enabled or disabled, emptied, a name added at
    // the end, and the entry whose text is exactly name made the current
    // one (no entry when none is: false).
    void (*EnableSelector)(HWND frame, bool enabled);
    void (*EmptySelector)(HWND frame);
    void (*AddToSelector)(HWND frame, const char *name);
    bool (*SelectInSelector)(HWND frame, const char *name);
    // Adds change to the frame's count of query windows (1 for a window
    // made, -1 for one destroyed, 0 only to read it) and shows the count in
    // the status bar. Returns the count.
    int (*CountQueryWindows)(HWND frame, int change);
};

// Hands the frame's functions to the query windows; returns those handed
// over before (null at first), so that a test can stand in for the frame
// and give the frame its functions back.
const FRAMESERVICES *ProvideFrameServices(const FRAMESERVICES *services);

// The query window's calls. Each does nothing (false, 0) while no frame
// has handed over its functions, or when frame is null.
void EnableFrameMenuItem(HWND frame, UINT command, bool enabled);
void EnableFrameButton(HWND frame, UINT command, bool enabled);
void CheckFrameButton(HWND frame, UINT command, bool checked);
void EnableDatabaseSelector(HWND frame, bool enabled);
void EmptyDatabaseSelector(HWND frame);
void AddToDatabaseSelector(HWND frame, const char *name);
bool SelectInDatabaseSelector(HWND frame, const char *name);
int CountQueryWindows(HWND frame, int change);
