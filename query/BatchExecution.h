// Running the editor's text as one batch on a worker thread, and completing
// it on the query window when the worker posts WM_EXECUTE_DONE.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

enum { WM_EXECUTE_DONE = WM_USER + 1 };
enum { ElapsedTimerId = 0 };

// Takes the selection (or the whole text), grays Execute and starts the
// worker. Does nothing while a batch of this window runs.
void StartBatch(CHILDDATA *child);
// The worker thread's routine; its parameter is the window's CHILDDATA.
DWORD WINAPI BatchWorker(LPVOID parameter);
// Worker threads that have not ended yet, those of closed windows included.
LONG RunningBatchWorkers();
// WM_EXECUTE_DONE: message pane, grid, status texts, selector and title.
void CompleteBatch(CHILDDATA *child);
// WM_TIMER of the elapsed-time display: status part 5 as "%02u:%02u:%02u".
void ShowElapsedTime(CHILDDATA *child);

// The window is being destroyed while its batch runs: hands the CHILDDATA,
// the connection and the worker's result over to the worker, which frees
// them when it ends. Returns false when the worker has already finished (its
// completion message is lost with the window): the caller then frees
// everything itself, the worker's result included.
bool AbandonBatch(CHILDDATA *child);

// Replaces the message pane's text, all of it black, the first redPrefix
// characters red.
void SetMessagePaneText(HWND pane, const char *text, int redPrefix);
