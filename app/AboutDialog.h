// Help > About: the program's icon, name and version.
#pragma once

#include <windows.h>

// Runs the About box modally, owned by the frame.
void ShowAboutDialog(HWND frame);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
