// A query window's script files and the stock statement templates: the file
// dialog record, the "Untitled%d" names, Open, Save and Save As, reading
// files whole and inserting templates at the caret.
#pragma once

#include <windows.h>

#include "editor/CodeMaxControl.h"

struct CHILDDATA;

// Template files, each relative to AppDirectory.
#define TEMPLATE_CREATEDATABASE "\\templates\\createdatabase.sql"
#define TEMPLATE_CREATETABLE "\\templates\\createtable.sql"
#define TEMPLATE_CREATEINDEX "\\templates\\createindex.sql"
#define TEMPLATE_CREATEFUNCTION "\\templates\\createfunction.sql"
#define TEMPLATE_CREATEPROCEDURE "\\templates\\createprocedure.sql"

// The template of an Insert Template command (178 to 182) or of a frame's
// New command (171 to 175); null for any other command.
const char *TemplateForCommand(UINT command);

// Sets up the window's FileDialog once, at creation: owner the query window,
// the .sql filter, FileName as its file buffer.
void PrepareFileDialog(CHILDDATA *child);

// Sets FileName to "Untitled%d" with the frame's count of query windows (1
// outside a frame).
void SetUntitledName(CHILDDATA *child);

// Save: under FileName when the window has a file, otherwise through the save
// dialog. Returns true when the text was written; a failed write is shown to
// the user and leaves the text marked as changed. Cancelling the dialog
// returns false and changes nothing but the proposed name.
bool SaveScript(CHILDDATA *child);

// Save As: always asks for a name. When the user cancels, or the text cannot
// be written, the window keeps the file it had.
bool SaveScriptAs(CHILDDATA *child);

// Open: asks for a file, asks the window whether it may drop its text
// (WM_QUERYENDSESSION), then loads the file. The loaded text counts as
// unchanged.
void OpenScript(CHILDDATA *child);

// ReadWholeFile of AppDirectory followed by a template name.
char *ReadTemplate(const char *name);

// Inserts a template at the end of the selection and puts the caret right
// after the inserted text. A template that cannot be read inserts nothing.
void InsertTemplate(CHILDDATA *child, const char *name);

// Asks for any file ("Open Template") and inserts it at the end of the
// selection; the caret stays where the editor leaves it.
void InsertTemplateFile(CHILDDATA *child);

// The "Open Template" dialog owned by owner, then the chosen file's whole
// text (the caller frees it); null when cancelled or unreadable.
char *AskForTemplateFile(HWND owner);

// Where the caret goes after text was inserted at a position: line breaks
// are CR LF pairs or single line feeds.
EDITORPOSITION PositionAfterText(EDITORPOSITION start, const char *text);
