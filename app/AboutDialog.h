// Help > About: the program's icon, name and version (the version
// resource's product version, so that it is the one Windows shows).
#pragma once

#include <windows.h>

// Runs the About box modally, owned by the frame.
void ShowAboutDialog(HWND frame);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
