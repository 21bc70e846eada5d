// The select-database dialog: the user picks the current database of a query
// window from the server's list. The dialog only selects the name in the
// frame's database selector and asks the frame to switch, so that the
// selector, the connection, the title and the status bar change in one place.
#pragma once

#include <windows.h>

struct CHILDDATA;

// Runs dialog 1000 modally for the query window of the record.
void ShowChangeDatabaseDialog(CHILDDATA *child);

INT_PTR CALLBACK ChangeDatabaseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
