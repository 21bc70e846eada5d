// The grid's commands: Copy puts the selected cells on the clipboard (with
// or without a line of column names), Select All selects every cell, Save As
// writes the whole result to a file in the format chosen, and the right
// button offers them in a context menu.
#include "grid/GridInternal.h"

#include <cstdio>
#include <cstring>

#include "base/Clipboard.h"
#include "grid/GridExport.h"
#include "resources/resource.h"

GridDialogs GridDialogFunctions = {GetSaveFileNameA, MessageBoxA, TrackPopupMenu};

namespace {

// A zero-filled moveable block, locked; null when memory ran out.
HGLOBAL NewTextBlock(size_t size, char **text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    *text = block ? static_cast<char *>(GlobalLock(block)) : nullptr;
    if (block && !*text) {
        GlobalFree(block);
        return nullptr;
    }
    return block;
}

// Text as it is; a binary value (not UTF-8, or with a zero byte, which
// the clipboard's text cannot hold) as 0x and its bytes in hexadecimal,
// which can be pasted back into a statement.
size_t CopiedCellSize(const TFieldList &line, int32_t column)
{
    size_t length = CellLength(line, column);
    return IsTextValue(line[column], length) ? length : 2 + 2 * length;
}

char *AppendCell(char *out, const TFieldList &line, int32_t column)
{
    size_t length = CellLength(line, column);
    if (!IsTextValue(line[column], length)) return WriteHex(out, line[column], length);
    memcpy(out, line[column], length);
    return out + length;
}

size_t CopyLineSize(const TFieldList &line, GRIDRANGE cells)
{
    size_t size = 0;
    for (int32_t c = cells.Left; c <= cells.Right; c++) size += CopiedCellSize(line, c) + (c > cells.Left);
    return size;
}

char *AppendCopyLine(char *out, const TFieldList &line, GRIDRANGE cells)
{
    for (int32_t c = cells.Left; c <= cells.Right; c++) {
        if (c > cells.Left) *out++ = '\t';
        out = AppendCell(out, line, c);
    }
    return out;
}

// The copy's text in UTF-8: lines joined by CR LF, cells by TAB, nothing
// after the last cell; with names, the selected columns' names come first.
// The rows come in the order shown.
HGLOBAL BuildCopyText(const OUTPUTDATA *grid, GRIDRANGE cells, bool withNames)
{
    const GRIDBUFFER *data = grid->Data;
    size_t size = 1;
    if (withNames) size += CopyLineSize(data->Fields, cells) + 2;
    for (int32_t r = cells.Top; r <= cells.Bottom; r++) size += CopyLineSize(data->Rows[GridDataRow(grid, r)], cells) + 2;
    char *text;
    HGLOBAL block = NewTextBlock(size, &text);
    if (!block) return nullptr;
    char *out = text;
    if (withNames) out = AppendCopyLine(out, data->Fields, cells);
    for (int32_t r = cells.Top; r <= cells.Bottom; r++) {
        if (withNames || r > cells.Top) *out++ = '\r', *out++ = '\n';
        out = AppendCopyLine(out, data->Rows[GridDataRow(grid, r)], cells);
    }
    GlobalUnlock(block);
    return block;
}

// The one place where copied text reaches the clipboard; the block holds
// UTF-8 and is freed here.
void PlaceOnClipboard(HWND window, HGLOBAL text)
{
    // As Unicode text, which other programs read in their own code page
    // (UTF-8 bytes as CF_TEXT would read as CP1252 there).
    if (const char *bytes = static_cast<const char *>(GlobalLock(text))) {
        CopyUtf8ToClipboard(window, bytes, strnlen(bytes, GlobalSize(text)));
        GlobalUnlock(text);
    }
    GlobalFree(text);
}

// The directory part of a path, "." when it has none.
void DirectoryOf(const char *path, char *directory, size_t size)
{
    const char *slash = strrchr(path, '\\');
    const char *other = strrchr(path, '/');
    if (!slash || (other && other > slash)) slash = other;
    if (!slash) {
        snprintf(directory, size, ".");
        return;
    }
    size_t length = (size_t)(slash - path) + (slash == path || slash[-1] == ':');
    snprintf(directory, size, "%.*s", (int)length, path);
}

enum SaveOutcome { Saved, NoMemory, NotSaved };

// Writes the export beside the chosen file first and moves it into place
// only when all of it was written, so a failed save never leaves a
// half-written file where a good one was.
SaveOutcome WriteExportFile(const GRIDBUFFER *data, const ROWORDER *order, const char *path, ExportFormat format)
{
    // The chosen file itself must be writable (not read-only, not locked),
    // whatever the directory allows.
    HANDLE target = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) return NotSaved;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    CloseHandle(target);

    SaveOutcome outcome = NotSaved;
    char directory[MAX_PATH + GridFileNameSize], temporary[MAX_PATH + GridFileNameSize];
    DirectoryOf(path, directory, sizeof directory);
    if (GetTempFileNameA(directory, "vtl", 0, temporary)) {
        HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ExportOutcome written = file != INVALID_HANDLE_VALUE ? WriteExport(file, data, format, order) : ExportWriteFailed;
        if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && written == ExportWritten) written = ExportWriteFailed;
        if (written == ExportWritten && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            outcome = Saved;
        else
            DeleteFileA(temporary);
        if (written == ExportNoMemory) outcome = NoMemory;
    }
    if (outcome != Saved && !existed) DeleteFileA(path);
    return outcome;
}

void Report(HWND window, const char *format, const char *path)
{
    char text[GridFileNameSize + 160];
    snprintf(text, sizeof text, format, path);
    GridDialogFunctions.MessageBox(window, text, "Vintrel", MB_OK | MB_ICONEXCLAMATION);
}

} // namespace

void GridCopy(HWND window, OUTPUTDATA *grid, bool withNames)
{
    if (!grid->Data || grid->Selection.Empty()) return;
    HGLOBAL text = BuildCopyText(grid, GridSelectedCells(grid), withNames);
    if (!text) {
        GridDialogFunctions.MessageBox(window, "There is not enough memory to copy the selected cells.", "Vintrel",
                                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    PlaceOnClipboard(window, text);
}

void GridSelectAll(HWND window, OUTPUTDATA *grid)
{
    if (!grid->Data) return;
    grid->Selection.Set(0, 0, GridRowCount(grid) - 1, GridColumnCount(grid) - 1);
    GridRepaint(window, true);
    NotifyParent(window, GN_SELCHANGED);
}

void GridSaveAs(HWND window, OUTPUTDATA *grid)
{
    if (!grid->Data) return;
    // A result is saved whole, once all of it has come.
    if (grid->Data->StillArriving) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    char previous[GridFileNameSize];
    memcpy(previous, grid->FileName, sizeof previous);
    DWORD previousFilter = grid->SaveDialog.nFilterIndex;
    if (!GridDialogFunctions.GetSaveFileName(&grid->SaveDialog)) {
        memcpy(grid->FileName, previous, sizeof previous);
        grid->SaveDialog.nFilterIndex = previousFilter;
        return;
    }
    char path[GridFileNameSize];
    memcpy(path, grid->FileName, sizeof path);
    // A large result takes seconds to write, during which no message is
    // handled: the cursor says so.
    HCURSOR cursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const ROWORDER *order = grid->Order.Rows ? &grid->Order : nullptr;
    SaveOutcome outcome = WriteExportFile(grid->Data, order, path, ExportFormatFor(path, grid->SaveDialog.nFilterIndex));
    SetCursor(cursor);
    if (outcome == Saved) return;
    // Nothing was saved: the next Save As proposes what it proposed before.
    memcpy(grid->FileName, previous, sizeof previous);
    grid->SaveDialog.nFilterIndex = previousFilter;
    if (outcome == NoMemory) Report(window, "There is not enough memory to save the result to %s.", path);
    else Report(window, "The result could not be saved to %s.\nThe file was not changed.", path);
}

void GridContextMenu(HWND window, OUTPUTDATA *grid, int32_t x, int32_t y)
{
    SetFocus(window);
    HMENU items = GetSubMenu(grid->ContextMenu, 0);
    bool saveable = grid->Data && !grid->Data->StillArriving;
    EnableMenuItem(items, CMD_SAVEAS, MF_BYCOMMAND | (saveable ? MF_ENABLED : MF_GRAYED));
    // The sort acts on the current cell's column.
    bool sortable = GridComplete(grid) && grid->CursorCol >= 0 && !grid->SortJob;
    for (UINT item : {CMD_SORTASCENDING, CMD_SORTDESCENDING})
        EnableMenuItem(items, item, MF_BYCOMMAND | (sortable ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(items, CMD_ORIGINALORDER, MF_BYCOMMAND | ((grid->Order.Rows || grid->SortColumn >= 0) && !grid->SortJob ? MF_ENABLED : MF_GRAYED));
    POINT point = {x, y};
    if (x == -1 && y == -1) {
        // From the keyboard: below the current cell, or at the data's corner.
        RECT cell = {grid->CursorCol, 0, 0, 0};
        if (grid->CursorRow >= 0 && GridCellRect(grid, grid->CursorRow, grid->CursorCol, &cell)) {
            point = {cell.left, cell.bottom};
        } else {
            point = {grid->RowNumWidth, grid->HeaderHeight};
        }
        ClientToScreen(window, &point);
    }
    GridDialogFunctions.TrackPopupMenu(items, TPM_LEFTBUTTON, point.x, point.y, 0, window, nullptr);
}