// Modeless dialogs (the find dialogs of the editor and the grid) get their
// keyboard navigation (Tab, Enter, Esc) without the program's message loop
// knowing them: a message hook of the thread passes them their keys.
#pragma once

#include <windows.h>

// Starts (open) or stops passing keys to the dialog.
void TrackModelessDialog(HWND dialog, bool open);
