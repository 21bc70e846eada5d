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

void CaptureStoredResult(BATCHJOB *job, MYSQL *handle, MYSQL_RES *result)
{
    job->Buffer = NewGridBuffer();
    if (job->Buffer && !CaptureResult(job->Buffer, result)) {
        FreeGridBuffer(job->Buffer);
        job->Buffer = nullptr;
    }
    job->HasResultSet = 1;
    job->RowCount = (int32_t)(uint32_t)mysql_num_rows(result);
    job->AffectedRows = (int32_t)(uint32_t)mysql_affected_rows(handle);
    mysql_free_result(result);
    // Too big to copy: reported like a failed batch.
    if (!job->Buffer) RecordFailure(job, -1, 0, "Out of memory: the result set is too large to be shown.");
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
    MYSQL_RES *result = mysql_store_result(handle);
    if (result) {
        CaptureStoredResult(job, handle, result);
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
