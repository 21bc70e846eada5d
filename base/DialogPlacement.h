// Where the program's dialogs appear: centred over the frame window.
#pragma once

#include <windows.h>

// Moves the dialog so that its centre lies on the frame's centre, keeping
// its size and without repainting it. A dialog that would then stick out of
// the frame's monitor (the frame partly off screen or minimized) is pushed
// back inside the monitor's work area, so its buttons stay reachable.
void CenterOverFrame(HWND dialog, HWND frame);
