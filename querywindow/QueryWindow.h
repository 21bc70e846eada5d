// The query window (class "vn_child"): one per server connection, with the
// SQL editor, the splitter, the results pane (grid and message pane) and a
// status bar of seven parts. It owns its CONNECTIONINFO from creation on.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

#define QUERYWINDOW_CLASS "vn_child"

// The window procedure; called with a null window and WM_USER it registers
// the class and returns its atom.
LRESULT CALLBACK MdiChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Enables or grays the frame's edit commands from the editor's state.
void UpdateEditorCommands(CHILDDATA *child);
// Enables or grays the frame's and the grid menu's commands from the grid's
// selection.
void UpdateGridCommands(CHILDDATA *child);
// "Ln %d, Col %d" of the caret into status part 6.
void ShowCaretPosition(CHILDDATA *child);

// The active query window of the MDI client, or null.
HWND ActiveQueryWindow();
// True when the MDI client has an active query window and it is maximized.
bool ActiveQueryWindowMaximized();
// Creates a query window in the MDI client for an open connection, maximized
// when asked. From this call on the query window owns the record, even when
// the window cannot be made (null is returned and the record is freed).
HWND CreateQueryWindow(CONNECTIONINFO *connection, bool maximized);
