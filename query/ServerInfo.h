// The fixed questions asked of a server on behalf of a query window: the
// account, the server version, the current database and the list of
// databases. None reports a failure: a failed question leaves its target as
// it was.
#pragma once

#include "server/ClientLibrary.h"

// Sizes of the version text and of the "%s (%s)" server status text.
enum { ServerVersionSize = 64, ServerStatusSize = 64 };

// "select user()" into buffer (cut to fit bufferSize bytes); false when
// the question failed and the buffer is untouched.
bool AskServerUser(CONNECTIONINFO *connection, char *buffer, int bufferSize);
// "select user()" into the connection's ServerUser (ServerUserSize bytes;
// a longer answer is cut).
void GetServerUser(CONNECTIONINFO *connection);
// "select version()" into buffer (cut to fit bufferSize bytes).
void GetServerVersion(CONNECTIONINFO *connection, char *buffer, int bufferSize = ServerVersionSize);
// "select database()" replaces the connection's Database; no current
// database (NULL) gives an empty name.
void RefreshCurrentDatabase(CONNECTIONINFO *connection);
// Calls add(name, context) for each database, in the order the server
// lists them.
void ForEachDatabase(CONNECTIONINFO *connection, void (*add)(const char *name, void *context), void *context);
// "%s (%s)" with the host and the version, "%s (%s, TLS)" for a session
// over TLS, "%s (%s, TLS verified)" when the server's certificate was
// checked, cut to fit bufferSize bytes.
void FormatServerStatus(const char *host, const char *version, char *buffer, int bufferSize = ServerStatusSize,
                        bool encrypted = false, bool verified = false);
