// A query window's batches in the history (history/HistoryStore.h): what
// is noted when a batch starts, and the entry handed to the recorder when
// it ends.
#pragma once

#include "query/BatchWorker.h"
#include "querywindow/WindowRecords.h"

// The batch's text (length bytes, as the editor gave it), its start, and
// the window's server, user and database. Nothing when no history is kept.
void BeginBatchHistory(CHILDDATA *child, const char *text, size_t length);
// The batch has ended with job's outcome: its entry goes to the recorder.
void EndBatchHistory(CHILDDATA *child, const BATCHJOB *job);
// The batch's entry is dropped (its window went away while it ran).
void ForgetBatchHistory(CHILDDATA *child);
