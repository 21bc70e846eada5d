// Recovery copies of the query windows' unsaved scripts, kept while the
// program runs: a moment after a change the window's text is copied and a
// thread of its own writes it to the run's recovery set (RecoveryFiles.h),
// off the user-interface thread. A window whose text is saved, or that is
// closed on purpose, takes its copy away again; copies outlive the program
// only when it does not end normally. And the way back: a recovered script
// put into a query window.
#pragma once

#include <windows.h>

#include <string>

#include "querywindow/RecoveryFiles.h"

struct CHILDDATA;

// The copy is written this long after a change: changes within it make one
// write, and typing never waits for one.
enum { RecoveryDelayMs = 1000, RecoveryTimerId = 2 };

// Starts the writer for the run's set folder; from now on query windows
// keep copies there. False when the writer could not start (the windows then
// keep none).
bool StartRecoveryCopies(const std::string &folder);
// The normal end: waits (a few seconds at most) for the writes and removals
// under way, then stops the writer.
void StopRecoveryCopies();
// The end of the user's session (WM_ENDSESSION), or a run that must leave
// its copies for the next one: every window's latest text is written now,
// then the writer stops; windows destroyed later leave their copies.
void KeepRecoveryCopies();
// Writes now the copies that are due and waits until they are on disk
// (true) or the time runs out.
bool FlushRecoveryCopies(DWORD timeoutMs = 10000);

// The query window's part. A window made while the writer runs gets its
// record at creation; the others stay without copies.
void AttachRecoveryCopy(CHILDDATA *child);
// After a change of the text or of its saved state: the copy is brought up
// to date (written, or removed for a text without unsaved changes)
// RecoveryDelayMs after the first change since the last copy.
void ScheduleRecoveryCopy(CHILDDATA *child);
// The window's timer RecoveryTimerId.
void UpdateRecoveryCopy(CHILDDATA *child);
// The window is being destroyed: its copy is removed (unless the copies are
// being kept) and its record freed.
void DropRecoveryCopy(CHILDDATA *child);

// What the copy of an editor holds, taken on the user-interface thread: its
// text, caret and encoding. False when the text does not fit in memory.
bool CopyEditorScript(HWND editor, RECOVERYSCRIPT *script);
// Hands a copy to the writer, to be written as the file name in the set;
// a copy of the same name still waiting is replaced by it.
void QueueRecoveryWrite(const std::string &name, RECOVERYSCRIPT script);

// Puts a recovered script into a query window: its text, file name,
// modified mark, caret and file encoding. False for a window that is no
// query window.
bool RestoreScript(HWND window, const RECOVERYSCRIPT &script);
// Shows a note in the window's message pane, with the pane on view.
void ShowRecoveryNote(HWND window, const char *text);
