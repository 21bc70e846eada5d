// What the server's answers look like in a query window and in the frame's
// database selector: the account in the status bar, the database lists.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

// "select user()" into status part 3.
void ShowServerUser(CHILDDATA *child);
// Adds every database name to the frame's DatabaseSelector (CB_ADDSTRING),
// without emptying it first.
void FillDatabaseSelector(CHILDDATA *child);
// Adds every database name to listBox (LB_ADDSTRING).
void FillDatabaseList(CHILDDATA *child, HWND listBox);

// The database selector picks names by their whole text, case included: with
// databases a and ab a prefix search finds ab for a, and on a server with
// case-sensitive names Test and test are different databases.

// The index of the entry whose text is exactly name, or CB_ERR.
int FindExactEntry(HWND comboBox, const char *name);
// Selects that entry; no entry when none matches. Returns the index or CB_ERR.
int SelectExactEntry(HWND comboBox, const char *name);
// Makes name the current database of the window's session. A session the
// server dropped is made anew first (once), and the message pane says so.
// False, with "Error %u: %s" of the server in error, when it failed.
bool UseDatabase(CHILDDATA *child, const char *name, char *error, size_t errorSize);

// Empties the frame's DatabaseSelector, lists the server's databases in it
// and selects the window's Database.
void RefillDatabaseSelector(CHILDDATA *child);
