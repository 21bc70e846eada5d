// The band under the main menu: a host window of class "VnRebar" that
// draws an etched frame around the frame's toolbar, supplies the buttons'
// tooltips and passes the toolbar's commands and notifications to the frame.
#pragma once

#include <windows.h>

#define VNREBAR_CLASS "VnRebar"

enum { ToolbarButtonCount = 32 };
// The toolbar's control id inside the host.
enum { IDC_TOOLBAR = 2 };

// WM_USER+1 to the host: wParam is the toolbar, which the host sizes from
// then on.
enum { WM_REBAR_SETTOOLBAR = WM_USER + 1 };
// WM_USER+2: wParam is the DPI to draw the toolbar at (its images, button
// and band sizes), after the toolbar was set and when the scale changes.
enum { WM_REBAR_SETDPI = WM_USER + 2 };

LRESULT CALLBACK VnRebarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the toolbar in the host with the frame's 32 buttons, every one
// grayed, and hands it to the host.
HWND CreateFrameToolbar(HWND host);

// The tooltip of a toolbar command, or null.
const char *ToolbarTooltip(UINT command);
