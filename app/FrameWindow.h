// The frame window (class "mdivn"): main menu, toolbar band with the
// database selector, the MDI client of the query windows and the status bar.
// It carries out the connection, window, template, help and database-switch
// commands itself and passes every other command to the active query window.
// Its record is its own; the query windows reach the frame through the
// functions it hands them when its class is registered (FrameServices.h).
#pragma once

#include <windows.h>

#include <cstdint>

#define FRAME_CLASS "mdivn"

// Control ids inside the frame and inside the toolbar (the database
// selector); the toolbar's own is in ToolbarHost.h.
enum { IDC_TOOLBARHOST = 1, IDC_FRAMESTATUS = 2, IDC_DATABASESELECTOR = 3 };

// The window procedure; called with a null window and WM_USER it registers
// the class, hands the frame's functions to the query windows and returns
// the class atom.
LRESULT CALLBACK MdiFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Status bar edges of the frame for a client width.
void FrameStatusEdges(int clientWidth, int32_t edges[3], int dpi = 96);
