// Copying a client-library result into a GRIDBUFFER.
#pragma once

#include "grid/ResultBuffer.h"
#include "server/ClientLibrary.h"

// Fills an empty buffer from a stored result: names, rows (SQL NULL as
// "NULL"), ColWidths capped at 324 and TextWidths uncapped. Reads the result
// to its end but does not free it. Returns false when memory ran out; the
// buffer is then left empty.
bool CaptureResult(GRIDBUFFER *buffer, MYSQL_RES *result);
