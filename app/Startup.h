// The start-up sequence and the message loop, apart from WinMain so that
// tests can run them in-process.
#pragma once

#include <windows.h>

// Common controls, the rich-text library, the editor control and the five
// window classes (frame, query window, grid, toolbar host, splitter).
void RegisterProgramClasses();

// Creates the frame and shows it (maximized, or minimized without
// activation when the process was started that way), reports a missing
// client library, then runs the connect dialog once and, once it has
// connected, offers the scripts an earlier run left (RecoveryStartup.h).
// Returns the frame.
HWND StartVintrel(HINSTANCE instance);

// The show command for the frame from a start-up show state.
int FrameShowCommandFor(bool useShowWindow, WORD showWindow);

// Offers one message to the MDI keys and the accelerator table; true when
// it was taken.
bool TranslateProgramMessage(HWND frame, HACCEL accelerators, MSG *message);

// Loads accelerator table 1003 and runs the loop until WM_QUIT; returns its
// exit code.
int RunMessageLoop(HWND frame);
