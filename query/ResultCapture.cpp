#include "query/ResultCapture.h"

#include <cstring>

namespace {

bool CaptureNames(GRIDBUFFER *buffer, MYSQL_RES *result, int32_t columns)
{
    GridStorage &storage = buffer->Storage;
    if (!storage.AllocateArray(buffer->ColWidths, columns) || !storage.AllocateArray(buffer->Fields, columns))
        return false;
    for (int32_t c = 0; c < columns; c++) {
        buffer->ColWidths[c] = MinColumnWidth;
        MYSQL_FIELD *field = mysql_fetch_field(result);
        const char *name = field && field->name ? field->name : "";
        size_t length = strlen(name);
        if (TextPixelWidth(length) > buffer->ColWidths[c]) buffer->ColWidths[c] = TextPixelWidth(length);
        buffer->Fields[c] = storage.CopyText(name, length);
        if (!buffer->Fields[c]) return false;
    }
    return true;
}

bool CaptureRows(GRIDBUFFER *buffer, MYSQL_RES *result, int32_t columns, int32_t rows)
{
    GridStorage &storage = buffer->Storage;
    if (!storage.AllocateArray(buffer->Rows, rows)) return false;
    int32_t *widths = buffer->ColWidths.Items;
    for (int32_t r = 0; r < rows; r++) {
        TFieldList &cells = buffer->Rows[r];
        if (!storage.AllocateArray(cells, columns)) return false;
        MYSQL_ROW row = mysql_fetch_row(result);
        for (int32_t c = 0; c < columns; c++) {
            const char *value = row ? row[c] : nullptr;
            if (value) {
                size_t length = strlen(value);
                if (TextPixelWidth(length) > widths[c]) widths[c] = TextPixelWidth(length);
                cells[c] = storage.CopyText(value, length);
            } else {
                if (NullTextWidth > widths[c]) widths[c] = NullTextWidth;
                cells[c] = storage.CopyText("NULL", 4);
            }
            if (!cells[c]) return false;
        }
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
}

} // namespace

bool CaptureResult(GRIDBUFFER *buffer, MYSQL_RES *result)
{
    if (!result) return true;
    int32_t columns = (int32_t)mysql_num_fields(result);
    int32_t rows = (int32_t)(uint32_t)mysql_num_rows(result);
    if (rows < 0) rows = 0;

    bool captured = CaptureNames(buffer, result, columns) && CaptureRows(buffer, result, columns, rows) &&
                    buffer->Storage.AllocateArray(buffer->TextWidths, columns);
    if (!captured) {
        ClearBuffer(buffer);
        return false;
    }
    for (int32_t c = 0; c < columns; c++) {
        buffer->TextWidths[c] = buffer->ColWidths[c];
        if (buffer->ColWidths[c] > MaxColumnWidth) buffer->ColWidths[c] = MaxColumnWidth;
    }
    return true;
}

