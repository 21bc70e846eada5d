// The select-database dialog: the user picks the current database of a query
// window from the server's list. The switch is the query window's own
// (SwitchQueryWindowDatabase), the same as a choice in the frame's database
// selector, so that the selector, the connection, the title and the status
// bar change in one place.
#pragma once

#include <windows.h>

struct CHILDDATA;

// Runs dialog 1000 modally for the query window of the record.
void ShowChangeDatabaseDialog(CHILDDATA *child);

INT_PTR CALLBACK ChangeDatabaseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
