#include "query/BatchWorker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/Text.h"
#include "base/ThreadStack.h"
#include "query/ResultCapture.h"

namespace {

volatile LONG BatchWorkersRunning = 0;
volatile LONG CancelRequestsRunning = 0;

// The second connection that carries KILL QUERY gives up soon: the user is
// waiting for the stop.
const unsigned int CancelConnectTimeoutSeconds = 5;

// What the thread sending KILL QUERY needs, copied, since the job and its
// connection may be freed while it runs.
struct CANCELREQUEST {
    char *Host;
    char *User;
    char *Password;
    unsigned long ServerThreadId;
    HWND NotifyWindow; // null: nothing is reported
    UINT FailedMessage;
};

void FreeCancelRequest(CANCELREQUEST *request)
{
    if (!request) return;
    free(request->Host);
    free(request->User);
    if (request->Password) SecureZeroMemory(request->Password, strlen(request->Password));
    free(request->Password);
    free(request);
}

DWORD WINAPI CancelRequestThread(LPVOID parameter)
{
    AnnounceThreadStack();
    CANCELREQUEST *request = static_cast<CANCELREQUEST *>(parameter);
    ClientThreadStart();
    char error[512] = "";
    CONNECTIONINFO *connection = NewConnectionInfo(request->Host, request->User, request->Password);
    bool sent = false;
    if (!connection) {
        snprintf(error, sizeof error, "Out of memory.");
    } else if (OpenConnectionWithin(connection, CancelConnectTimeoutSeconds, error, sizeof error)) {
        char sql[48];
        snprintf(sql, sizeof sql, "KILL QUERY %lu", request->ServerThreadId);
        sent = mysql_query(connection->Handle, sql) == 0;
        if (!sent) snprintf(error, sizeof error, "%s", mysql_error(connection->Handle));
    }
    FreeConnectionInfo(connection);
    ClientThreadEnd();
    if (!sent && request->NotifyWindow) {
        char *text = DuplicateText(error);
        if (!text || !PostMessageA(request->NotifyWindow, request->FailedMessage, 0, (LPARAM)text)) free(text);
    }
    FreeCancelRequest(request);
    InterlockedDecrement(&CancelRequestsRunning);
    return 0;
}

bool SendCancelRequest(BATCHJOB *job, HWND notifyWindow, UINT failedMessage)
{
    InterlockedExchange(&job->CancelRequested, 1);
    CANCELREQUEST *request = static_cast<CANCELREQUEST *>(calloc(1, sizeof(CANCELREQUEST)));
    if (!request) return false;
    CONNECTIONINFO *connection = job->Connection;
    request->Host = DuplicateText(connection->Host);
    request->User = DuplicateText(connection->User);
    request->Password = DuplicateText(connection->Password);
    request->ServerThreadId = (unsigned long)InterlockedCompareExchange64(&job->ServerThreadId, 0, 0);
    request->NotifyWindow = notifyWindow;
    request->FailedMessage = failedMessage;
    InterlockedIncrement(&CancelRequestsRunning);
    HANDLE thread = request->Host && request->User && request->Password
                        ? CreateThread(nullptr, 0, CancelRequestThread, request, 0, nullptr)
                        : nullptr;
    if (thread) {
        CloseHandle(thread);
        return true;
    }
    InterlockedDecrement(&CancelRequestsRunning);
    FreeCancelRequest(request);
    return false;
}

// Every way a batch fails leaves the same outcome: no rows, no counts, an
// error number and text.
void RecordFailure(BATCHJOB *job, int32_t status, uint32_t number, const char *text)
{
    // The results before the failure stay listed; the rows are not the
    // batch's answer any more.
    FreeGridBuffer(job->Buffer);
    job->Buffer = nullptr;
    job->QueryStatus = status;
    job->ErrorNumber = number;
    job->ErrorText = text;
    job->RowCount = 0;
    job->AffectedRows = 0;
    job->UnshownResults = 0;
}

void RecordServerError(BATCHJOB *job, MYSQL *handle)
{
    RecordFailure(job, 1, mysql_errno(handle), mysql_error(handle));
}

bool AddOutcome(BATCHJOB *job, BatchOutcomeKind kind, int32_t rows)
{
    if (job->OutcomeCount % 16 == 0) {
        void *grown = realloc(job->Outcomes, sizeof(BATCHOUTCOME) * (size_t)(job->OutcomeCount + 16));
        if (!grown) return false;
        job->Outcomes = static_cast<BATCHOUTCOME *>(grown);
    }
    job->Outcomes[job->OutcomeCount++] = {kind, rows};
    return true;
}

bool CancelAsked(BATCHJOB *job) { return InterlockedCompareExchange(&job->CancelRequested, 0, 0) != 0; }

// Rows between two updates of the progress count: often enough for a few
// updates a second, rarely enough to cost nothing.
const int32_t ProgressStep = 4096;

enum StreamEnd { StreamComplete, StreamBroken, StreamOutOfMemory };

// Reads the result row by row as the server sends it, copying each row into
// buffer (when there is one), so that the library never holds the whole
// result and the copy overlaps the transfer. When memory runs out the rest
// is still read and dropped, so that the connection stays usable.
StreamEnd ReadRows(BATCHJOB *job, MYSQL *handle, MYSQL_RES *result, GRIDBUFFER *buffer, int32_t *rows)
{
    bool keeping = buffer && BeginCapture(buffer, result);
    bool outOfMemory = buffer && !keeping;
    if (outOfMemory) ClearBuffer(buffer);
    *rows = 0;
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        if (*rows < INT32_MAX) ++*rows;
        if (keeping && !CaptureRow(buffer, row, mysql_fetch_lengths ? mysql_fetch_lengths(result) : nullptr)) {
            // What was read so far is given back at once.
            keeping = false;
            outOfMemory = true;
            ClearBuffer(buffer);
        }
        if (buffer && *rows % ProgressStep == 0) InterlockedExchange(&job->RowsReceived, *rows);
    }
    if (buffer) InterlockedExchange(&job->RowsReceived, *rows);
    if (mysql_errno(handle) != 0) return StreamBroken;
    if (outOfMemory || (keeping && !FinishCapture(buffer))) return StreamOutOfMemory;
    return StreamComplete;
}

// The first result that has columns goes to the grid; the rest are read
// and counted.
bool TakeResultSet(BATCHJOB *job, MYSQL *handle, MYSQL_RES *result)
{
    bool shown = !job->HasResultSet;
    GRIDBUFFER *buffer = shown ? NewGridBuffer() : nullptr;
    int32_t rows = 0;
    StreamEnd end = shown && !buffer ? StreamOutOfMemory : ReadRows(job, handle, result, buffer, &rows);
    mysql_free_result(result);
    if (end == StreamBroken && CancelAsked(job) && shown && buffer && buffer->Fields.Length() > 0 &&
        FinishCapture(buffer)) {
        // Stopped by the user: the rows that came are kept, marked incomplete.
        job->Buffer = buffer;
        job->HasResultSet = 1;
        job->RowCount = job->AffectedRows = rows;
        AddOutcome(job, OutcomeShown, rows);
        return false;
    }
    if (end != StreamComplete) {
        FreeGridBuffer(buffer);
        if (end == StreamBroken) return false;
        RecordFailure(job, -1, 0, "Out of memory: the result set is too large to be shown.");
        return false;
    }
    if (shown) {
        // A stored result would count its rows as affected: so does the
        // stream, which the library does not count.
        job->Buffer = buffer;
        job->HasResultSet = 1;
        job->RowCount = job->AffectedRows = rows;
    } else {
        job->UnshownResults++;
    }
    return AddOutcome(job, shown ? OutcomeShown : OutcomeNotShown, rows);
}

// One result of the batch; false when the batch ends with it.
bool TakeResult(BATCHJOB *job, MYSQL *handle)
{
    MYSQL_RES *result = mysql_use_result(handle);
    if (result) return TakeResultSet(job, handle, result);
    if (mysql_errno(handle) != 0) return false;
    int32_t affected = (int32_t)(uint32_t)mysql_affected_rows(handle);
    if (job->OutcomeCount == 0) job->AffectedRows = affected;
    return AddOutcome(job, OutcomeAffected, affected);
}

void DropRemainingResults(MYSQL *handle)
{
    while (mysql_more_results && mysql_next_result && mysql_more_results(handle) && mysql_next_result(handle) == 0) {
        if (MYSQL_RES *result = mysql_use_result(handle)) {
            while (mysql_fetch_row(result)) {
            }
            mysql_free_result(result);
        }
    }
}

// The server answers a batch with one result per statement (a CALL with one
// per result set and its status) and stops at the first error.
// A connection that the last batch found dropped, or that no longer
// answers, gets a new session before the batch is sent; the statement is
// never sent twice.
bool EnsureConnected(BATCHJOB *job)
{
    CONNECTIONINFO *connection = job->Connection;
    if (!connection->Lost && connection->Handle && mysql_ping(connection->Handle) == 0) return true;
    if (ReconnectConnection(connection, job->ErrorBuffer, sizeof job->ErrorBuffer)) {
        job->Reconnected = 1;
        LONG64 id = (LONG64)mysql_thread_id(connection->Handle), old;
        do old = job->ServerThreadId;
        while (InterlockedCompareExchange64(&job->ServerThreadId, id, old) != old);
        return true;
    }
    RecordFailure(job, 1, ErrorServerGone, job->ErrorBuffer);
    job->FailedOutcome = 1;
    return false;
}

void RunBatch(BATCHJOB *job)
{
    if (!EnsureConnected(job)) {
        free(job->QueryText);
        job->QueryText = nullptr;
        return;
    }
    MYSQL *handle = job->Connection->Handle;
    int status = mysql_query(handle, job->QueryText);
    free(job->QueryText);
    job->QueryText = nullptr;
    if (status != 0) {
        job->FailedOutcome = 1;
        if (CancelAsked(job)) job->Cancelled = 1;
        RecordServerError(job, handle);
        return;
    }
    job->QueryStatus = 0;
    while (TakeResult(job, handle)) {
        int next = mysql_next_result ? mysql_next_result(handle) : -1;
        if (next != 0) break;
    }
    if (job->ErrorText) {
        // Out of memory, already recorded: the rest of the batch is read
        // and dropped, or the connection would be out of step.
        DropRemainingResults(handle);
        return;
    }
    if (CancelAsked(job)) job->Cancelled = 1;
    if (mysql_errno(handle) != 0) {
        job->FailedOutcome = job->OutcomeCount + 1;
        if (job->Cancelled && job->Buffer) return; // the rows that came are the answer
        RecordServerError(job, handle);
    }
}

// Nobody will read an abandoned job: the worker frees it with the
// connection and the rows.
void FreeAbandonedJob(BATCHJOB *job)
{
    ReleaseBuffer(job->Buffer);
    FreeConnectionInfo(job->Connection);
    FreeBatchJob(job);
}

} // namespace

LONG RunningBatchWorkers() { return InterlockedCompareExchange(&BatchWorkersRunning, 0, 0); }

LONG RunningCancelRequests() { return InterlockedCompareExchange(&CancelRequestsRunning, 0, 0); }

bool CancelBatchJob(BATCHJOB *job, UINT failed) { return SendCancelRequest(job, job->NotifyWindow, failed); }

void StopJobOnServer(BATCHJOB *job) { SendCancelRequest(job, nullptr, 0); }

BATCHJOB *NewBatchJob(CONNECTIONINFO *connection, HWND notifyWindow, char *text)
{
    BATCHJOB *job = static_cast<BATCHJOB *>(calloc(1, sizeof(BATCHJOB)));
    if (!job) {
        free(text);
        return nullptr;
    }
    job->Connection = connection;
    job->NotifyWindow = notifyWindow;
    job->QueryText = text;
    job->State = BatchRunning;
    // Read at the start of every batch: a new connection has a new id.
    job->ServerThreadId = connection && connection->Handle ? (LONG64)mysql_thread_id(connection->Handle) : 0;
    return job;
}

void StartBatchWorker(BATCHJOB *job)
{
    InterlockedIncrement(&BatchWorkersRunning);
    HANDLE worker = job->QueryText ? CreateThread(nullptr, 0, BatchWorker, job, 0, nullptr) : nullptr;
    if (worker) {
        CloseHandle(worker);
        return;
    }
    InterlockedDecrement(&BatchWorkersRunning);
    free(job->QueryText);
    job->QueryText = nullptr;
    RecordFailure(job, -1, 0, "Out of memory: the batch could not be started.");
    InterlockedExchange(&job->State, BatchFinished);
    PostMessageA(job->NotifyWindow, WM_EXECUTE_DONE, 0, 0);
}

DWORD WINAPI BatchWorker(LPVOID parameter)
{
    AnnounceThreadStack();
    BATCHJOB *job = static_cast<BATCHJOB *>(parameter);
    ClientThreadStart();
    RunBatch(job);
    // The next batch will need a new session first.
    if (job->QueryStatus != 0 && IsConnectionLostError(job->ErrorNumber)) job->Connection->Lost = 1;
    HWND window = job->NotifyWindow;
    // The abandoned connection is closed here, so the thread's client
    // library state ends only after that.
    if (InterlockedCompareExchange(&job->State, BatchFinished, BatchRunning) == BatchAbandoned)
        FreeAbandonedJob(job);
    else
        PostMessageA(window, WM_EXECUTE_DONE, 0, 0);
    ClientThreadEnd();
    InterlockedDecrement(&BatchWorkersRunning);
    return 0;
}

bool AbandonBatchJob(BATCHJOB *job)
{
    return InterlockedCompareExchange(&job->State, BatchAbandoned, BatchRunning) == BatchRunning;
}

void FreeBatchJob(BATCHJOB *job)
{
    if (!job) return;
    free(job->QueryText);
    free(job->Outcomes);
    free(job);
}
