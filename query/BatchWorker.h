// Running one batch on a worker thread. The worker works on a connection
// and a plain record, BATCHJOB: the caller fills its inputs, starts the
// worker, and reads the outcome once the worker has posted WM_EXECUTE_DONE
// to the window named in the record. The worker calls no window function
// but PostMessage.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "results/ResultBuffer.h"
#include "server/ClientLibrary.h"

// Posted by the worker to the record's NotifyWindow when the batch has
// ended (wParam 0, lParam 0).
enum { WM_EXECUTE_DONE = WM_USER + 1 };
// Posted when a result set's columns are known, before its rows: wParam its
// place among the batch's result sets and the statement that returned it
// (ResultBegunPlace, ResultBegunStatement), lParam its GRIDBUFFER, which
// the job owns. The window may read it (Fields, and the rows up to
// RowsPublished) until it takes the job's buffers after WM_EXECUTE_DONE;
// the worker never frees a buffer while the job is the window's.
enum { WM_RESULT_BEGUN = WM_USER + 4 };
// Both halves are 32 bits: a script may hold more than 65,535 statements.
static_assert(sizeof(WPARAM) >= 8, "WM_RESULT_BEGUN packs two 32-bit numbers into wParam");
inline WPARAM ResultBegunParam(int32_t place, int32_t statement)
{
    return (WPARAM)(uint32_t)place | (WPARAM)(uint32_t)statement << 32;
}
// From 0 among the batch's result sets.
inline int32_t ResultBegunPlace(WPARAM wParam) { return (int32_t)(uint32_t)wParam; }
// From 0 among the batch's statements; -1 when the job was not told them.
inline int32_t ResultBegunStatement(WPARAM wParam) { return (int32_t)(uint32_t)(wParam >> 32); }

// Who frees the record: changed only with interlocked operations.
enum BatchJobState : LONG { BatchRunning = 1, BatchAbandoned = 2, BatchFinished = 3 };

// What one result of the batch gave.
enum BatchOutcomeKind : uint8_t { OutcomeShown, OutcomeAffected };
struct BATCHOUTCOME {
    uint8_t Kind;   // a BatchOutcomeKind
    int32_t Rows;   // rows returned, or rows affected
    int32_t Result; // OutcomeShown: which result set it is, counted from 1
};

// What a job shares with the requests to stop it (defined in the worker).
struct BATCHGATE;

struct BATCHJOB {
    // Inputs, set before the worker starts.
    CONNECTIONINFO *Connection; // used by the worker alone while it runs; owned by the job once abandoned
    HWND NotifyWindow;          // receives WM_EXECUTE_DONE
    char *QueryText;            // owned; the worker frees it right after sending it
    // One byte per statement of the text, 1 for a CALL (whose result sets
    // and status are several answers of one statement), so that each result
    // can name its statement as it begins; owned (SetBatchStatements). Null
    // when the statements could not be told apart.
    uint8_t *StatementIsCall;
    int32_t StatementCount;

    // The outcome, read after WM_EXECUTE_DONE.
    int32_t QueryStatus;        // 0 = success
    // The first captured result set, or null; owned by the reader from then
    // on. A failed batch keeps its buffers too (the window may be showing
    // them): the reader gives them back.
    GRIDBUFFER *Buffer;
    // The result sets after the first, in the server's order (allocated
    // array; the buffers are the reader's, as Buffer is).
    GRIDBUFFER **MoreBuffers;
    int32_t MoreBufferCount;
    uint32_t ErrorNumber;
    const char *ErrorText;      // points into ErrorBuffer (or at a constant text): valid as long as the job
    uint8_t HasResultSet;
    int32_t RowCount;
    int32_t AffectedRows;
    // One entry per result the server answered, in order (a statement of a
    // script, or one of a CALL's result sets and its status); allocated.
    struct BATCHOUTCOME *Outcomes;
    int32_t OutcomeCount;
    int32_t FailedOutcome;      // 1-based: the result that failed or was stopped, 0 none
    uint8_t Cancelled;          // the server stopped the batch because the user asked, or it was never sent
    uint8_t Unsent;             // cancelled before it was sent: nothing ran
    uint8_t Incomplete;         // Buffer holds the rows of a result stopped half-way
    uint8_t Reconnected;        // the server had gone away: a new session ran the batch
    uint8_t DatabaseTracked;    // SessionDatabase holds the schema the server last reported switching to
    char SessionDatabase[260];
    char ErrorBuffer[600];      // the error text (ErrorText points here)

    // Shared while the worker runs.
    volatile LONG State;        // a BatchJobState value
    volatile LONG RowsReceived; // rows of the result read so far, updated every few thousand
    struct BATCHGATE *Gate;     // shared with the job's cancel requests, which may outlive it

    // The worker's own: the statement the next answer belongs to (from 0).
    int32_t CurrentStatement;
};

// A new record for a batch of text (taken over: freed by the worker, or
// here when no record can be made). Null when out of memory.
BATCHJOB *NewBatchJob(CONNECTIONINFO *connection, HWND notifyWindow, char *text);
// Tells a job not yet started which of its statements are CALLs (copied).
// False when out of memory: its results then name no statement.
bool SetBatchStatements(BATCHJOB *job, const std::vector<bool> &isCall);
// Starts the worker. When no thread can be had the batch ends at once as a
// failure: the outcome says so and WM_EXECUTE_DONE is posted all the same.
void StartBatchWorker(BATCHJOB *job);
// The worker thread's routine; its parameter is the BATCHJOB.
DWORD WINAPI BatchWorker(LPVOID parameter);
// Worker threads that have not ended yet, those of abandoned jobs included.
LONG RunningBatchWorkers();

// The window that started the job is going away while the job may still
// run: hands the job and its connection over to the worker, which frees
// both (and the rows it read) when it ends. Returns false when the worker
// has already finished (its completion message is lost with the window):
// the caller then frees the job itself with FreeBatchJob.
bool AbandonBatchJob(BATCHJOB *job);
// Asks the server to stop the job's batch: marks the job (a batch not yet
// sent is then never sent), then, on a thread of its own (the user-interface
// thread never waits for a server), sends KILL QUERY for the job's session
// over a second short connection made with the connection's host, user and
// password. The KILL is sent only while this job's batch runs, never once
// it has ended: a late request cannot stop the next batch. The job's own
// connection stays open. When the statement could not be stopped, failed is
// posted to the job's window with an allocated error text in lParam (free
// it); the batch goes on and may be cancelled again. Returns false when no
// thread could be started. A second request for a job already asked does
// nothing.
bool CancelBatchJob(BATCHJOB *job, UINT failed);
// The same for a job whose window is going away: nothing is reported.
void StopJobOnServer(BATCHJOB *job);
// Threads sending KILL QUERY that have not ended yet.
LONG RunningCancelRequests();

// Frees a finished job's record and its text; its connection and its
// buffer, which the reader has taken, are not touched.
void FreeBatchJob(BATCHJOB *job);

// The message pane's line after a new session replaced one the server had
// dropped: "Reconnected to HOST." and what the new session lacks.
void FormatReconnected(const char *host, char *text, size_t textSize);
// Why a batch was not run: the session it was meant for died inside a
// transaction, which the server rolled back.
void FormatLostTransaction(const char *host, char *text, size_t textSize);

// A test seam: called, when set, on the worker right after it made a new
// session (before it decides to send the batch), and on the cancel thread
// right before it sends KILL. Null in the program.
enum BatchSeamPoint { SeamReconnected, SeamBeforeKill };
extern void (*BatchTestSeam)(BatchSeamPoint point);
