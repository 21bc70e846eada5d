// The fixed questions a query window asks its server on the user-interface
// thread: the account, the server version, the current database and the
// list of databases. None reports a failure: a failed question leaves its
// target as it was.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

// Sizes of the version text and of the "%s (%s)" server status text.
enum { ServerVersionSize = 64, ServerStatusSize = 64 };

// "select user()" into status part 3.
void ShowServerUser(CHILDDATA *child);
// "select user()" into the connection's ServerUser (ServerUserSize bytes;
// a longer answer is cut).
void GetServerUser(CHILDDATA *child);
// "select version()" into buffer (cut to fit bufferSize bytes).
void GetServerVersion(CHILDDATA *child, char *buffer, int bufferSize = ServerVersionSize);
// "select database()" replaces the connection's Database; no current
// database (NULL) gives an empty name.
void RefreshCurrentDatabase(CHILDDATA *child);
// Adds every database name to the frame's DatabaseSelector (CB_ADDSTRING),
// without emptying it first.
void FillDatabaseSelector(CHILDDATA *child);
// Adds every database name to listBox (LB_ADDSTRING).
void FillDatabaseList(CHILDDATA *child, HWND listBox);
// "%s (%s)" with the host and the version, cut to fit bufferSize bytes.
void FormatServerStatus(const char *host, const char *version, char *buffer, int bufferSize = ServerStatusSize);

// The database selector picks names by their whole text, case included: with
// databases a and ab a prefix search finds ab for a, and on a server with
// case-sensitive names Test and test are different databases.

// The index of the entry whose text is exactly name, or CB_ERR.
int FindExactEntry(HWND comboBox, const char *name);
// Selects that entry; no entry when none matches. Returns the index or CB_ERR.
int SelectExactEntry(HWND comboBox, const char *name);
// Empties the frame's DatabaseSelector, lists the server's databases in it
// and selects the window's Database.
void RefillDatabaseSelector(CHILDDATA *child);
