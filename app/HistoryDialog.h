// Query > History...: the modal window that lists the batches run, newest
// first, narrows them as the search text is typed and by server and
// database, and puts the chosen batch's text into the active query window.
#pragma once

#include <windows.h>

// Opens the window over the frame for the active query window; returns when
// it closes. Enter (the first match while the focus is in the search box)
// or a double click inserts the chosen text at the query window's caret.
void ShowHistoryDialog(HWND frame);

// The dialog procedure (for tests that drive the dialog).
INT_PTR CALLBACK HistoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
