// The frame window (class "mdivn"): main menu, toolbar band with the
// database selector, the MDI client of the query windows and the status bar.
// It carries out the connection, window, template, help and database-switch
// commands itself and passes every other command to the active query window.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

#define FRAME_CLASS "mdivn"

LRESULT CALLBACK MdiFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The active query window, or null.
HWND ActiveQueryWindow();

// Opens a new query window on a new connection with the active window's
// host, user, password and database. Returns the new window, or null when
// there is no active window or the connect failed.
HWND cloneConnection(FRAMEDATA *frame, char *error = nullptr, size_t errorSize = 0);

// Status bar edges of the frame for a client width.
void FrameStatusEdges(int clientWidth, int32_t edges[3]);
