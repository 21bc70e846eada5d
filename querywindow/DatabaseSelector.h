// What the server's answers look like in a query window and in the frame's
// database selector: the account in the status bar, the database lists, and
// the switch of the window's current database.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

// "select user()" into status part 3.
void ShowServerUser(CHILDDATA *child);
// Adds every database name to the frame's database selector, without
// emptying it first. Returns how many names were added.
int FillDatabaseSelector(CHILDDATA *child);
// Adds every database name to listBox (LB_ADDSTRING).
void FillDatabaseList(CHILDDATA *child, HWND listBox);

// Makes name the current database of the window's session. A session the
// server dropped is made anew first (once), and the message pane says so.
// False, with "Error %u: %s" of the server in error, when it failed.
bool UseDatabase(CHILDDATA *child, const char *name, char *error, size_t errorSize);

// Empties the frame's database selector, lists the server's databases in it
// and selects the window's Database. False when no entry names it.
bool RefillDatabaseSelector(CHILDDATA *child);
// Makes name the selector's current entry, adding it when the selector does
// not list it (a database made by another connection since the selector
// was filled). Only for the active window: the selector speaks for it alone.
void ShowDatabaseInSelector(CHILDDATA *child, const char *name);
