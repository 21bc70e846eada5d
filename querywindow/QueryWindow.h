// The query window (class "vn_child"): one per server connection, with the
// SQL editor, the splitter, the results pane (grid and message pane) and a
// status bar of seven parts. It owns its CONNECTIONINFO from creation on.
// Its record is its own: the frame and the dialogs reach a query window
// through these functions and its messages.
#pragma once

#include <windows.h>

#include <cstddef>

#include "server/ClientLibrary.h"

#define QUERYWINDOW_CLASS "vn_child"

// The window procedure; called with a null window and WM_USER it registers
// the class and returns its atom.
LRESULT CALLBACK MdiChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True for a query window that is set up (its record made), false for any
// other window, such as the icon titles the MDI client holds.
bool IsQueryWindow(HWND window);
// The active query window of the MDI client, or null.
HWND ActiveQueryWindow();
// True when the MDI client has an active query window and it is maximized.
bool ActiveQueryWindowMaximized();
// Creates a query window in the MDI client for an open connection, maximized
// when asked. From this call on the query window owns the record, even when
// the window cannot be made (null is returned and the record is freed).
HWND CreateQueryWindow(CONNECTIONINFO *connection, bool maximized);
// Opens a new query window on a new connection with the source window's
// host, user, password and database, maximized when the source is, with
// text (if any) in its editor. Null when source is no query window or the
// connect failed (error then says why).
HWND CloneQueryWindow(HWND source, const char *text, char *error = nullptr, size_t errorSize = 0);
// Makes name the window's current database: its session, title, status
// part 2 and, while it is the active window, the frame's database selector.
// Refused with a beep while a batch of the window runs, and with a message
// saying why when the server refuses; the window then keeps its database
// and the selector shows it. True when the switch was made.
bool SwitchQueryWindowDatabase(HWND window, const char *name);
// The window's connection (read-only: the window owns it and its worker
// may be using the handle), or null for any other window.
const CONNECTIONINFO *QueryWindowConnection(HWND window);
// Inserts text at the caret of the window's editor (the selection, if any,
// stays in the text), leaves the caret after it and puts the focus into
// the editor. False for any other window.
bool InsertAtQueryWindowCaret(HWND window, const char *text);
// Puts text (UTF-8) in place of the editor's selection, at its caret when
// nothing is selected, as one undo step, and gives the editor the focus.
// False when window is no query window.
bool InsertIntoQueryWindow(HWND window, const char *text);
