// A whole result as the bytes of a file: tab-separated text, CSV or JSON.
#pragma once

#include <windows.h>

#include "results/ResultBuffer.h"

// The formats in the order of the Save As dialog's type list, numbered as
// its filter index counts.
enum ExportFormat { ExportTabSeparated = 1, ExportCsv = 2, ExportJson = 3 };

// The Save As dialog's type list (lpstrFilter), one entry per format.
extern const char ExportFilter[];

// A name ending in .csv or .json is written in that format whatever the
// filter; any other name in the filter's format.
ExportFormat ExportFormatFor(const char *path, DWORD filterIndex);

enum ExportOutcome { ExportWritten, ExportNoMemory, ExportWriteFailed };

// Writes the whole result (names and every row) to an open file:
// - tab-separated: the names, then each row, every cell followed by TAB and
//   every line by CR LF; values and NULL's "NULL" as they are;
// - CSV: a UTF-8 byte-order mark, then records of comma-separated fields
//   ended by CR LF, the names first; a field holding a comma, a quote, CR
//   or LF is quoted with its quotes doubled, empty text is "" and NULL an
//   empty field without quotes;
// - JSON: an array of one object per row keyed by the column names (a name
//   met before gets "_2", "_3", ...), NULL as null, the values of number
//   columns as the server's digits when they make a JSON number, all else
//   as strings.
// In CSV and JSON a value that is not UTF-8 (the bytes of a binary column)
// is written as "0x" and its bytes in hexadecimal, so that the file is
// UTF-8 throughout and the bytes can be had back.
// The rows go in the order given (the grid's sort), or the buffer's.
struct ROWORDER;
ExportOutcome WriteExport(HANDLE file, const GRIDBUFFER *data, ExportFormat format, const ROWORDER *order = nullptr);

// Whether a value reads as text: UTF-8 with no zero byte. Others (a
// BINARY(16) id, UNHEX('00FF'), a BIT value) are copied, and written to
// CSV and JSON, as "0x" followed by their bytes in hexadecimal.
bool IsTextValue(const char *value, size_t length);
// Writes "0x" and the hexadecimal digits of length bytes into out (room
// for 2 + 2 * length bytes); returns the end.
char *WriteHex(char *out, const char *value, size_t length);
