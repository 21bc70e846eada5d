#include "querywindow/ScriptFiles.h"

#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Text.h"
#include "querywindow/FrameServices.h"
#include "querywindow/ScriptRecovery.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"

namespace {

const char QueryFileFilter[] = "Query Files (*.sql)\0*.sql\0";
const DWORD FileDialogFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT;

// The editor numbers columns from 1.
const int32_t FirstColumn = 1;

bool WriteEditorText(CHILDDATA *child, const char *path)
{
    return SendMessageA(child->Editor, WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(path)) == EDITOR_OK;
}

void ReportSaveFailure(CHILDDATA *child, const char *path)
{
    char text[FileNameSize + 256];
    snprintf(text, sizeof text,
             "The text could not be saved to %s.\n\n"
             "Check that the folder exists, that the file is not read-only and that the disk has room. "
             "The text is still in the window.",
             path);
    MessageBoxA(child->Window, text, "Vintrel", MB_OK | MB_ICONERROR);
}

void ReportOpenFailure(CHILDDATA *child, const char *path)
{
    char text[FileNameSize + 128];
    snprintf(text, sizeof text, "The file %s could not be opened. The window keeps its text.", path);
    MessageBoxA(child->Window, text, "Vintrel", MB_OK | MB_ICONERROR);
}

// The saved text needs no recovery copy any more.
void MarkSaved(CHILDDATA *child)
{
    child->Modified = 0;
    UpdateTitle(child);
    ScheduleRecoveryCopy(child);
}

void InsertAtSelectionEnd(CHILDDATA *child, const char *text, EDITORRANGE &selection)
{
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 1, reinterpret_cast<LPARAM>(&selection));
    SendMessageA(child->Editor, WM_EDITOR_INSERTTEXT, reinterpret_cast<WPARAM>(&selection.End),
                 reinterpret_cast<LPARAM>(text));
}

} // namespace

const char *TemplateForCommand(UINT command)
{
    switch (command) {
    case CMD_NEWDATABASE: case CMD_INSERTDATABASE: return TEMPLATE_CREATEDATABASE;
    case CMD_NEWTABLE: case CMD_INSERTTABLE: return TEMPLATE_CREATETABLE;
    case CMD_NEWINDEX: case CMD_INSERTINDEX: return TEMPLATE_CREATEINDEX;
    case CMD_NEWFUNCTION: case CMD_INSERTFUNCTION: return TEMPLATE_CREATEFUNCTION;
    case CMD_NEWPROCEDURE: case CMD_INSERTPROCEDURE: return TEMPLATE_CREATEPROCEDURE;
    }
    return nullptr;
}

void PrepareFileDialog(CHILDDATA *child)
{
    OPENFILENAMEA &dialog = child->FileDialog;
    memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = child->Window;
    dialog.lpstrFilter = QueryFileFilter;
    dialog.lpstrFile = child->FileName;
    dialog.nMaxFile = FileNameSize;
    dialog.Flags = FileDialogFlags;
    dialog.lpstrDefExt = "sql";
}

void SetUntitledName(CHILDDATA *child)
{
    snprintf(child->FileName, FileNameSize, "Untitled%d", child->Frame ? CountQueryWindows(child->Frame, 0) : 1);
}

bool SaveScript(CHILDDATA *child)
{
    if (child->HasFileName) {
        if (!WriteEditorText(child, child->FileName)) {
            ReportSaveFailure(child, child->FileName);
            return false;
        }
        MarkSaved(child);
        return true;
    }

    SetUntitledName(child);
    char proposed[FileNameSize];
    memcpy(proposed, child->FileName, FileNameSize);
    if (!GetSaveFileNameA(&child->FileDialog)) return false;
    if (!WriteEditorText(child, child->FileName)) {
        ReportSaveFailure(child, child->FileName);
        memcpy(child->FileName, proposed, FileNameSize);
        return false;
    }
    child->HasFileName = 1;
    MarkSaved(child);
    return true;
}

bool SaveScriptAs(CHILDDATA *child)
{
    uint8_t hadFileName = child->HasFileName;
    char previous[FileNameSize];
    memcpy(previous, child->FileName, FileNameSize);
    child->HasFileName = 0;
    if (SaveScript(child)) return true;
    if (hadFileName) {
        memcpy(child->FileName, previous, FileNameSize);
        child->HasFileName = 1;
    }
    return false;
}

void OpenScript(CHILDDATA *child)
{
    char path[FileNameSize] = "";
    OPENFILENAMEA dialog = child->FileDialog;
    dialog.lpstrFile = path;
    dialog.nMaxFile = FileNameSize;
    if (!GetOpenFileNameA(&dialog)) return;
    if (SendMessageA(child->Window, WM_QUERYENDSESSION, 0, 0) != 1) return;

    // The editor keeps its text when it cannot read the file; the window
    // then keeps its file name too.
    if (SendMessageA(child->Editor, WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(path)) != EDITOR_OK) {
        ReportOpenFailure(child, path);
        return;
    }
    memcpy(child->FileName, path, FileNameSize);
    child->HasFileName = 1;
    // Loading raises the editor's change notification; the loaded text is
    // nevertheless what the file holds.
    child->Modified = 0;
    UpdateTitle(child);
}

char *ReadTemplate(const char *name)
{
    char path[FileNameSize];
    int length = snprintf(path, sizeof path, "%s%s", AppDirectory, name);
    if (length < 0 || length >= static_cast<int>(sizeof path)) return nullptr;
    return ReadWholeFile(path);
}

EDITORPOSITION PositionAfterText(EDITORPOSITION start, const char *text)
{
    int32_t lineBreaks = 0;
    const char *lastLine = text;
    for (const char *p = text; *p; p++) {
        if (*p == '\n') {
            lineBreaks++;
            lastLine = p + 1;
        }
    }
    int32_t lastLength = static_cast<int32_t>(strlen(lastLine));
    if (lineBreaks == 0) return {start.Line, start.Column + lastLength};
    return {start.Line + lineBreaks, FirstColumn + lastLength};
}

void InsertTemplate(CHILDDATA *child, const char *name)
{
    char *text = ReadTemplate(name);
    if (!text) return;
    EDITORRANGE selection = {};
    InsertAtSelectionEnd(child, text, selection);
    EDITORPOSITION caret = PositionAfterText(selection.End, text);
    EDITORRANGE empty = {caret, caret};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, reinterpret_cast<LPARAM>(&empty));
    free(text);
}

char *AskForTemplateFile(HWND owner)
{
    char path[FileNameSize] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = QueryFileFilter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = FileNameSize;
    dialog.lpstrTitle = "Open Template";
    dialog.Flags = FileDialogFlags;
    dialog.lpstrDefExt = "sql";
    if (!GetOpenFileNameA(&dialog)) return nullptr;
    return ReadWholeFile(path);
}

void InsertTemplateFile(CHILDDATA *child)
{
    char *text = AskForTemplateFile(child->Window);
    if (!text) return;
    EDITORRANGE selection = {};
    InsertAtSelectionEnd(child, text, selection);
    free(text);
}
