// The band under the main menu: a host window of class "VnRebar" that
// draws an etched frame around the frame's toolbar, supplies the buttons'
// tooltips and passes the toolbar's commands and notifications to the frame.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

#define VNREBAR_CLASS "VnRebar"

// WM_USER+1 to the host: wParam is the toolbar, which the host sizes from
// then on.
enum { WM_REBAR_SETTOOLBAR = WM_USER + 1 };

LRESULT CALLBACK VnRebarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the toolbar in the host with the frame's 32 button descriptions,
// and hands it to the host.
HWND CreateFrameToolbar(FRAMEDATA *frame, HWND host);

// The tooltip of a toolbar command, or null.
const char *ToolbarTooltip(UINT command);
