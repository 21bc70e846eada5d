// Copying a client-library result into a GRIDBUFFER, and freeing a buffer
// off the user-interface thread.
#pragma once

#include "grid/GridOutputClass.h"
#include "server/mysql.h"

// Width in pixels of a text of length bytes: 8 per byte plus a 4-pixel margin.
inline int32_t TextPixelWidth(size_t length) { return (int32_t)(length * 8 + 4); }

enum { MinColumnWidth = 12, MaxColumnWidth = 324, NullTextWidth = 36 };

// A new, empty buffer (null when out of memory).
GRIDBUFFER *NewGridBuffer();

// Fills an empty buffer from a stored result: names, rows (SQL NULL as
// "NULL"), ColWidths capped at 324 and TextWidths uncapped. Reads the result
// to its end but does not free it. Returns false when memory ran out; the
// buffer is then left empty.
bool CaptureResult(GRIDBUFFER *buffer, MYSQL_RES *result);

// Frees the buffer and everything it owns on a thread of its own; returns at
// once. The caller must not touch the buffer afterwards.
void ReleaseBuffer(GRIDBUFFER *buffer);

// Frees the buffer on the calling thread (the release thread's own work).
void FreeGridBuffer(GRIDBUFFER *buffer);
