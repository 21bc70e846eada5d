#include "query/BatchWorker.h"

#include <cstdlib>

#include "base/ThreadStack.h"
#include "query/ResultCapture.h"

namespace {

volatile LONG BatchWorkersRunning = 0;

// Every way a batch fails leaves the same outcome: no rows, no counts, an
// error number and text.
void RecordFailure(BATCHJOB *job, int32_t status, uint32_t number, const char *text)
{
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

// A CALL answers with its result sets and a final status. Reading only the
// first would leave the connection out of sync, so the rest are read and
// dropped; returns how many of them held rows, or -1 when the server
// reported an error in one of them (the batch then failed part-way).
int32_t DropFurtherResults(MYSQL *handle)
{
    int32_t dropped = 0;
    if (!mysql_more_results || !mysql_next_result) return 0;
    while (mysql_more_results(handle)) {
        int status = mysql_next_result(handle);
        if (status > 0) return -1;
        if (status != 0) break;
        MYSQL_RES *result = mysql_store_result(handle);
        if (result) {
            dropped++;
            mysql_free_result(result);
        }
    }
    return dropped;
}

// Rows between two updates of the progress count: often enough for a few
// updates a second, rarely enough to cost nothing.
const int32_t ProgressStep = 4096;

// Reads the result row by row as the server sends it, copying each row into
// a new buffer, so that the library never holds the whole result and the
// copy overlaps the transfer. When memory runs out the rest is still read
// (and dropped), so that the connection stays usable.
void StreamResult(BATCHJOB *job, MYSQL *handle, MYSQL_RES *result)
{
    GRIDBUFFER *buffer = NewGridBuffer();
    bool keeping = buffer && BeginCapture(buffer, result);
    int32_t rows = 0;
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        if (rows < INT32_MAX) rows++;
        if (keeping && !CaptureRow(buffer, row)) {
            // What was read so far is given back at once.
            keeping = false;
            ClearBuffer(buffer);
        }
        if (rows % ProgressStep == 0) InterlockedExchange(&job->RowsReceived, rows);
    }
    InterlockedExchange(&job->RowsReceived, rows);
    job->HasResultSet = 1;
    job->Buffer = buffer;
    if (mysql_errno(handle) != 0) {
        // The stream broke off (the server went away, the connection was
        // killed): its error is the batch's answer, not the rows.
        RecordServerError(job, handle);
    } else if (!keeping || !FinishCapture(buffer)) {
        RecordFailure(job, -1, 0, "Out of memory: the result set is too large to be shown.");
    } else {
        // A stored result would count its rows as affected: so does the
        // stream, which the library does not count.
        job->RowCount = rows;
        job->AffectedRows = rows;
    }
    mysql_free_result(result);
}

void RunBatch(BATCHJOB *job)
{
    MYSQL *handle = job->Connection->Handle;
    job->QueryStatus = mysql_query(handle, job->QueryText);
    free(job->QueryText);
    job->QueryText = nullptr;
    if (job->QueryStatus != 0) {
        RecordServerError(job, handle);
        return;
    }
    MYSQL_RES *result = mysql_use_result(handle);
    if (result) {
        StreamResult(job, handle, result);
        if (job->QueryStatus != 0) return;
    } else if (mysql_errno(handle) != 0) {
        RecordServerError(job, handle);
        return;
    } else {
        job->HasResultSet = 0;
        job->RowCount = 0;
        job->AffectedRows = (int32_t)(uint32_t)mysql_affected_rows(handle);
    }
    int32_t dropped = DropFurtherResults(handle);
    // The rows read so far are not the batch's answer: its error is.
    if (dropped < 0)
        RecordServerError(job, handle);
    else if (job->QueryStatus == 0)
        job->UnshownResults = dropped;
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
    free(job);
}
