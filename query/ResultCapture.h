// Copying a client-library result into a GRIDBUFFER, row by row as the rows
// arrive.
#pragma once

#include "results/ResultBuffer.h"
#include "server/ClientLibrary.h"

// Starts a capture into an empty buffer: the column names, their widths
// and which columns hold numbers. False when memory ran out.
bool BeginCapture(GRIDBUFFER *buffer, MYSQL_RES *result);
// Appends one row (SQL NULL as the buffer's shared "NULL" text) and widens
// the columns to fit it. lengths are the library's lengths of the values
// (mysql_fetch_lengths); a row with a value holding a zero byte keeps every
// cell's length (CellLength). Without lengths a value ends at its first
// zero byte. False when memory ran out; the rows taken so far stay.
bool CaptureRow(GRIDBUFFER *buffer, MYSQL_ROW row, const unsigned long *lengths);
// Ends a capture: TextWidths are the natural widths, ColWidths capped at
// 324. False when memory ran out.
bool FinishCapture(GRIDBUFFER *buffer);
// Gives back everything a capture put in the buffer, leaving it empty.
void ClearBuffer(GRIDBUFFER *buffer);

// The whole capture of a result (stored or not), read to its end but not
// freed. Returns false when memory ran out; the buffer is then left empty.
bool CaptureResult(GRIDBUFFER *buffer, MYSQL_RES *result);
