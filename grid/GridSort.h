// The grid's order of rows and its search through cells, apart from the
// window: the benchmark and the tests call them on a buffer directly.
//
// A sort is a view: an array of row numbers in the order shown, never a
// copy of the data. Numbers compare by value (exactly, whatever their
// digits), text by simple case folding with ties broken by the bytes, SQL
// NULL before everything ascending and after everything descending; rows
// that compare equal keep the server's order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "results/ResultBuffer.h"

// The row numbers in the order shown, 4 bytes a row. Owned by whoever the
// sort handed it to; FreeRowOrder releases it.
// Positions is the inverse: the display row of each of the buffer's rows
// (4 bytes more; null when there was no memory for it).
struct ROWORDER {
    uint32_t *Rows;
    int32_t Count;
    uint32_t *Positions;
};

// Orders the first rows of the buffer by one column. Returns false (order
// untouched) when cancel became true meanwhile or memory ran out; cancel
// may be set by another thread. At most 8 bytes a row are held while it
// runs and once it is done.
bool SortRows(const GRIDBUFFER *data, int32_t rows, int32_t column, bool descending, const std::atomic<bool> *cancel,
              ROWORDER *order);
void FreeRowOrder(ROWORDER *order);

// -1, 0 or 1: two decimal numbers as the server writes them ("-12.50",
// "1e+20"), exactly when neither has an exponent.
int CompareNumberTexts(const char *a, size_t aLength, const char *b, size_t bLength);

// A cell as the grid shows it and Copy writes it: text as it is, NULL as
// "NULL", a binary value as 0x and its bytes in hexadecimal. Returns a view
// of the cell itself or of scratch.
std::string_view ShownCellText(const TFieldList &row, int32_t column, std::string &scratch);

// What a search looks for: the text as typed, or folded when case does not
// matter.
struct CELLSEARCH {
    std::string Needle;
    bool MatchCase;
    bool NeedleAscii;
    std::string Scratch, Shown; // reused between cells

    CELLSEARCH(const std::string &what, bool matchCase);
    bool Matches(const TFieldList &row, int32_t column);
};
