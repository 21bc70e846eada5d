#include "query/ResultCapture.h"

#include <cstring>

namespace {

// The types whose values the server sends as the digits of a number. BIT is
// not among them: its values are raw bytes.
ColumnKind KindOf(const MYSQL_FIELD *field)
{
    if (!field) return TextColumn;
    switch (field->type) {
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
    case MYSQL_TYPE_LONGLONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_YEAR:
    case MYSQL_TYPE_NEWDECIMAL: return NumberColumn;
    default: return TextColumn;
    }
}

} // namespace

bool BeginCapture(GRIDBUFFER *buffer, MYSQL_RES *result)
{
    GridStorage &storage = buffer->Storage;
    int32_t columns = (int32_t)mysql_num_fields(result);
    if (!storage.AllocateArray(buffer->ColWidths, columns) || !storage.AllocateArray(buffer->Fields, columns) ||
        !storage.AllocateArray(buffer->ColumnKinds, columns))
        return false;
    for (int32_t c = 0; c < columns; c++) {
        buffer->ColWidths[c] = MinColumnWidth;
        MYSQL_FIELD *field = mysql_fetch_field(result);
        buffer->ColumnKinds[c] = KindOf(field);
        const char *name = field && field->name ? field->name : "";
        size_t length = strlen(name);
        if (TextPixelWidth(length) > buffer->ColWidths[c]) buffer->ColWidths[c] = TextPixelWidth(length);
        buffer->Fields[c] = storage.CopyText(name, length);
        if (!buffer->Fields[c]) return false;
    }
    return storage.GrowArray(buffer->Rows, 0);
}

namespace {

// A value holding a zero byte (a BINARY(16) id, UNHEX('00FF'), a BIT
// value) would be cut there as a NUL-terminated text: its row keeps the
// length of every cell instead. Rows without one cost nothing more.
bool RowHasZeroByte(MYSQL_ROW row, const unsigned long *lengths, int32_t columns)
{
    if (!lengths) return false;
    for (int32_t c = 0; c < columns; c++)
        if (row[c] && memchr(row[c], 0, lengths[c])) return true;
    return false;
}

} // namespace

bool CaptureRow(GRIDBUFFER *buffer, MYSQL_ROW row, const unsigned long *lengths)
{
    GridStorage &storage = buffer->Storage;
    int32_t columns = buffer->Fields.Length();
    int32_t index = buffer->Rows.Length();
    if (index == INT32_MAX) return false;
    TFieldList cells;
    if (!storage.AllocateArray(cells, columns)) return false;
    cells.LengthsKept = RowHasZeroByte(row, lengths, columns);
    int32_t *widths = buffer->ColWidths.Items;
    for (int32_t c = 0; c < columns; c++) {
        const char *value = row[c];
        if (value) {
            size_t length = lengths ? lengths[c] : strlen(value);
            if (TextPixelWidth(length) > widths[c]) widths[c] = TextPixelWidth(length);
            cells[c] = cells.LengthsKept ? storage.CopyTextWithLength(value, length) : storage.CopyText(value, length);
            if (!cells[c]) return false;
        } else {
            if (NullTextWidth > widths[c]) widths[c] = NullTextWidth;
            if (!buffer->NullText) buffer->NullText = storage.CopyTextWithLength("NULL", 4);
            if (!buffer->NullText) return false;
            cells[c] = const_cast<char *>(buffer->NullText);
        }
    }
    if (!storage.GrowArray(buffer->Rows, index + 1)) return false;
    buffer->Rows[index] = cells;
    // A plain store on x86: publishing every row costs the stream nothing.
    buffer->RowsPublished.store(index + 1, std::memory_order_release);
    return true;
}

bool FinishCapture(GRIDBUFFER *buffer)
{
    int32_t columns = buffer->Fields.Length();
    if (!buffer->Storage.AllocateArray(buffer->TextWidths, columns)) return false;
    for (int32_t c = 0; c < columns; c++) {
        buffer->TextWidths[c] = buffer->ColWidths[c];
        if (buffer->ColWidths[c] > MaxColumnWidth) buffer->ColWidths[c] = MaxColumnWidth;
    }
    return true;
}

void ClearBuffer(GRIDBUFFER *buffer)
{
    buffer->Storage.FreeAll();
    buffer->Fields = TFieldList();
    buffer->Rows = TDynArray<TFieldList>();
    buffer->ColWidths = TDynArray<int32_t>();
    buffer->TextWidths = TDynArray<int32_t>();
    buffer->NullText = nullptr;
    buffer->ColumnKinds = TDynArray<uint8_t>();
    buffer->RowsPublished.store(0, std::memory_order_release);
}

bool CaptureResult(GRIDBUFFER *buffer, MYSQL_RES *result)
{
    if (!result) return true;
    bool captured = BeginCapture(buffer, result);
    // Every row is read even after memory ran out, so that the result is
    // left at its end as the caller expects.
    while (MYSQL_ROW row = mysql_fetch_row(result))
        if (captured) captured = CaptureRow(buffer, row, mysql_fetch_lengths ? mysql_fetch_lengths(result) : nullptr);
    if (captured) captured = FinishCapture(buffer);
    if (!captured) ClearBuffer(buffer);
    return captured;
}
