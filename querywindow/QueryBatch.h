// A batch as the query window sees it: taking the editor's text, starting
// the worker, the elapsed-time display while it runs, and showing its
// outcome when the worker posts WM_EXECUTE_DONE.
#pragma once

#include <windows.h>

#include "querywindow/WindowRecords.h"

enum { ElapsedTimerId = 0, ProgressTimerId = 1, BegunResultsTimerId = 3 };
// Posted by the thread that asks the server to stop a statement when it
// could not: lParam is its error text, which the window frees.
enum { WM_CANCEL_FAILED = WM_USER + 3 };

// Takes the selection (or the whole text), grays Execute and starts the
// worker. Does nothing while a batch of this window runs.
void StartBatch(CHILDDATA *child);
// WM_EXECUTE_DONE: message pane, grid, status texts, selector and title
// (once the tabs of every result begun are made).
void OnBatchDone(CHILDDATA *child);
void CompleteBatch(CHILDDATA *child);
// WM_TIMER of the elapsed-time display: status part 5 as "%02u:%02u:%02u".
void ShowElapsedTime(CHILDDATA *child);
// WM_TIMER of the progress display: while rows arrive, status part 4 counts
// them ("%d row(s)") and the grids show them.
void ShowBatchProgress(CHILDDATA *child);
// WM_RESULT_BEGUN: the result set's grid (the first, or one in a new tab)
// shows its rows from now on as they arrive; the first one replaces the
// last batch's results. Its tab's tooltip names the statement (from 0; -1
// unknown) at once.
void ShowResultBegun(CHILDDATA *child, int32_t index, int32_t statement, GRIDBUFFER *source);
// WM_RESULT_BEGUN: the first result at once; the others in turn, a slice
// at each tick of BegunResultsTimerId (ShowBegunResults), so that a script
// of many quick results leaves the window answering while their tabs are
// made.
void OnResultBegun(CHILDDATA *child, int32_t index, int32_t statement, GRIDBUFFER *source);
void ShowBegunResults(CHILDDATA *child);
// Brings the grids of the results still arriving up to date.
void ShowArrivingRows(CHILDDATA *child);
// Whether the grid shows a result of the running batch.
bool ShowsArrivingRows(CHILDDATA *child, HWND grid);
// Cancel Query: asks the server to stop the running statement (over a
// second connection, off this thread); the batch then ends as cancelled.
void CancelBatch(CHILDDATA *child);
// WM_CANCEL_FAILED: says why the statement could not be stopped.
void ReportCancelFailure(CHILDDATA *child, char *error);
// The window is being destroyed: a running batch is handed over to its
// worker with the window's connection (the worker closes it when it ends).
// Returns true when the worker took the connection.
bool HandOverRunningBatch(CHILDDATA *child);

// Replaces the message pane's text, all of it black, the first redPrefix
// characters red.
void SetMessagePaneText(HWND pane, const char *text, int redPrefix);
// Colours characters start to end of the message pane.
void ColourMessagePaneRange(HWND pane, LONG start, LONG end, COLORREF colour);
