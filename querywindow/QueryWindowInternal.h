// What the query window's procedure (QueryWindowProc.cpp) needs of its
// helpers (QueryWindow.cpp); nobody else includes this.
#pragma once

#include "querywindow/WindowRecords.h"

// Creation after the record exists and holds the window and its connection:
// panes, fonts, image list, status parts, the frame's count, the file name.
// False when memory ran out; the teardown then releases what was made.
bool CreateQueryWindowPanes(CHILDDATA *child);
// The one teardown of failed creation and WM_DESTROY. The record is gone
// (freed, or handed to a running batch's worker) when it returns.
void ReleaseQueryWindow(CHILDDATA *child);

void ActivateQueryWindow(CHILDDATA *child);
void DeactivateQueryWindow(CHILDDATA *child);

// Enables or grays the frame's edit commands from the editor's state.
void UpdateEditorCommands(CHILDDATA *child);
// Enables or grays the frame's and the grid menu's commands from the grid's
// selection.
void UpdateGridCommands(CHILDDATA *child);
// "Ln %d, Col %d" of the caret into status part 6.
void ShowCaretPosition(CHILDDATA *child);

// The frame's edit commands when the editor, the grid or the message pane
// loses the focus, and when the message pane gets it.
void GrayEditorCommands(CHILDDATA *child);
void GrayResultPaneCommands(CHILDDATA *child);
void UpdateMessagePaneCommands(CHILDDATA *child);

enum CloseAnswer { CloseRefused = 0, CloseAllowed = 1 };
// The changed-text prompt; Yes saves first, and a save that did not happen
// keeps the window.
CloseAnswer AskToClose(CHILDDATA *child);
