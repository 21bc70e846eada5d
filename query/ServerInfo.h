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
