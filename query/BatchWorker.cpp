#include "query/BatchWorker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/Text.h"
#include "base/ThreadStack.h"
#include "query/ResultCapture.h"
#include "server/SshTunnel.h"

void (*BatchTestSeam)(BatchSeamPoint point) = nullptr;

// Where a job's batch stands, as the requests to stop it see it.
enum BatchPhase : uint8_t { PhaseNotSent, PhaseSent, PhaseEnded };

// The part of a job that its cancel requests share. The worker changes the
// phase, and a request sends KILL QUERY, only under Lock, which the request
// holds until the server has answered the KILL: so a KILL reaches the
// server only before the worker has taken the batch's last answer (and may
// start the next), never after. One that finds the session idle, its batch
// answered but the answer not yet read, is ignored by the server. The job and
// each request hold a reference, so a request that outlives its job still
// finds that job's batch ended.
struct BATCHGATE {
    CRITICAL_SECTION Lock;
    volatile LONG References;
    volatile LONG CancelRequested; // the user asked: a batch not yet sent never is
    uint8_t Phase;                 // a BatchPhase
    uint8_t KillDelivered;         // the server took a KILL QUERY while the batch ran
    unsigned long ServerThreadId;  // the session the batch was sent on
};

namespace {

volatile LONG BatchWorkersRunning = 0;
volatile LONG CancelRequestsRunning = 0;

// The second connection that carries KILL QUERY gives up soon, whether
// connecting or waiting for an answer: the user is waiting for the stop,
// and a stalled server must not hold the thread for ever.
const unsigned int CancelTimeoutSeconds = 5;
// A KILL that reaches the session before the batch's text does finds it
// idle, and the server ignores it: it is sent again while the batch runs,
// this often, at most this many times.
const DWORD KillRepeatMilliseconds = 200;
const int KillAttempts = 10;

BATCHGATE *NewBatchGate()
{
    BATCHGATE *gate = static_cast<BATCHGATE *>(calloc(1, sizeof(BATCHGATE)));
    if (!gate) return nullptr;
    InitializeCriticalSection(&gate->Lock);
    gate->References = 1;
    gate->Phase = PhaseNotSent;
    return gate;
}

void ReleaseGate(BATCHGATE *gate)
{
    if (!gate || InterlockedDecrement(&gate->References) != 0) return;
    DeleteCriticalSection(&gate->Lock);
    free(gate);
}

uint8_t PhaseOf(BATCHGATE *gate)
{
    EnterCriticalSection(&gate->Lock);
    uint8_t phase = gate->Phase;
    LeaveCriticalSection(&gate->Lock);
    return phase;
}

// What the thread sending KILL QUERY needs, copied, since the job and its
// connection may be freed while it runs; the gate is held.
struct CANCELREQUEST {
    CONNECTIONROUTE Route; // its TLS and tunnel, which the cancel shares
    char *Host;
    char *User;
    char *Password;
    BATCHGATE *Gate;
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
    ReleaseGate(request->Gate);
    free(request);
}

enum KillResult { KillNotNeeded, KillDelivered, KillFailed };

// One KILL QUERY for the gate's session, if its batch runs.
KillResult KillWhileRunning(BATCHGATE *gate, MYSQL *handle, char *error, size_t errorSize)
{
    KillResult result = KillNotNeeded;
    EnterCriticalSection(&gate->Lock);
    if (gate->Phase == PhaseSent) {
        char sql[48];
        snprintf(sql, sizeof sql, "KILL QUERY %lu", gate->ServerThreadId);
        result = mysql_query(handle, sql) == 0 ? KillDelivered : KillFailed;
        if (result == KillDelivered) gate->KillDelivered = 1;
        else snprintf(error, errorSize, "%s", mysql_error(handle));
    }
    LeaveCriticalSection(&gate->Lock);
    return result;
}

KillResult KillUntilEnded(BATCHGATE *gate, MYSQL *handle, char *error, size_t errorSize)
{
    KillResult result = KillNotNeeded;
    for (int attempt = 0; attempt < KillAttempts; attempt++) {
        if (attempt > 0) Sleep(KillRepeatMilliseconds);
        KillResult sent = KillWhileRunning(gate, handle, error, errorSize);
        if (sent == KillNotNeeded) break;
        result = sent;
        if (sent == KillFailed) break;
    }
    return result;
}

DWORD WINAPI CancelRequestThread(LPVOID parameter)
{
    AnnounceThreadStack();
    CANCELREQUEST *request = static_cast<CANCELREQUEST *>(parameter);
    BATCHGATE *gate = request->Gate;
    ClientThreadStart();
    char error[512] = "";
    bool failed = false;
    // A batch not sent yet will not be (the worker sees the request); one
    // that has ended is left alone.
    if (PhaseOf(gate) == PhaseSent) {
        CONNECTIONINFO *connection = NewConnectionInfo(request->Host, request->User, request->Password);
        if (connection) connection->Route = request->Route;
        char reason[480] = "";
        if (!connection) {
            failed = true;
            snprintf(error, sizeof error, "Out of memory.");
        } else if (!OpenConnectionWithin(connection, CancelTimeoutSeconds, reason, sizeof reason,
                                         CancelTimeoutSeconds)) {
            failed = true;
            snprintf(error, sizeof error, "No second connection to the server could be made: %s", reason);
        } else {
            if (BatchTestSeam) BatchTestSeam(SeamBeforeKill);
            failed = KillUntilEnded(gate, connection->Handle, error, sizeof error) == KillFailed;
        }
        FreeConnectionInfo(connection);
    }
    ClientThreadEnd();
    if (failed) {
        // The user may ask again; a batch that ended meanwhile needs no word.
        InterlockedExchange(&gate->CancelRequested, 0);
        if (request->NotifyWindow && PhaseOf(gate) != PhaseEnded) {
            char *text = DuplicateText(error);
            if (!text || !PostMessageA(request->NotifyWindow, request->FailedMessage, 0, (LPARAM)text)) free(text);
        }
    }
    FreeCancelRequest(request);
    InterlockedDecrement(&CancelRequestsRunning);
    return 0;
}

bool SendCancelRequest(BATCHJOB *job, HWND notifyWindow, UINT failedMessage)
{
    BATCHGATE *gate = job->Gate;
    if (InterlockedCompareExchange(&gate->CancelRequested, 1, 0) != 0) return true;
    CANCELREQUEST *request = static_cast<CANCELREQUEST *>(calloc(1, sizeof(CANCELREQUEST)));
    if (!request) {
        InterlockedExchange(&gate->CancelRequested, 0);
        return false;
    }
    CONNECTIONINFO *connection = job->Connection;
    request->Route = connection->Route;
    request->Host = DuplicateText(connection->Host);
    request->User = DuplicateText(connection->User);
    request->Password = DuplicateText(connection->Password);
    InterlockedIncrement(&gate->References);
    request->Gate = gate;
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
    InterlockedExchange(&gate->CancelRequested, 0);
    return false;
}

// Whether the batch goes to the server: not when a cancel came first. From
// here a cancel request may stop it there, on the session it is sent on (a
// new one after a reconnect).
bool BeginSending(BATCHJOB *job)
{
    BATCHGATE *gate = job->Gate;
    EnterCriticalSection(&gate->Lock);
    bool send = gate->CancelRequested == 0;
    gate->Phase = send ? PhaseSent : PhaseEnded;
    gate->ServerThreadId = mysql_thread_id(job->Connection->Handle);
    LeaveCriticalSection(&gate->Lock);
    return send;
}

// The server has answered the whole batch, or it was never sent: no KILL
// for it is sent from now on, and one under way is waited for. True when
// the server took one of the user's KILLs while the batch ran.
bool EndSending(BATCHJOB *job)
{
    BATCHGATE *gate = job->Gate;
    EnterCriticalSection(&gate->Lock);
    gate->Phase = PhaseEnded;
    bool killed = gate->KillDelivered != 0;
    LeaveCriticalSection(&gate->Lock);
    return killed;
}

// Every way a batch fails leaves the same outcome: no rows, no counts, an
// error number and a copy of its text, which lives as long as the job (the
// library's own text would not outlive the next call on the connection,
// nor the connection itself).
void RecordFailure(BATCHJOB *job, int32_t status, uint32_t number, const char *text)
{
    // The results before the failure stay listed; the rows are not the
    // batch's answer any more, but the window may be showing them: it gives
    // them back.
    job->Incomplete = 0;
    job->QueryStatus = status;
    job->ErrorNumber = number;
    if (text != job->ErrorBuffer) snprintf(job->ErrorBuffer, sizeof job->ErrorBuffer, "%s", text ? text : "");
    job->ErrorText = job->ErrorBuffer;
    job->RowCount = 0;
    job->AffectedRows = 0;
}

void RecordServerError(BATCHJOB *job, MYSQL *handle)
{
    RecordFailure(job, 1, mysql_errno(handle), mysql_error(handle));
}

bool AddOutcome(BATCHJOB *job, BatchOutcomeKind kind, int32_t rows, int32_t result = 0)
{
    if (job->OutcomeCount % 16 == 0) {
        void *grown = realloc(job->Outcomes, sizeof(BATCHOUTCOME) * (size_t)(job->OutcomeCount + 16));
        if (!grown) return false;
        job->Outcomes = static_cast<BATCHOUTCOME *>(grown);
    }
    job->Outcomes[job->OutcomeCount++] = {kind, rows, result};
    // A CALL's result sets are answers of one statement, which its status ends.
    int32_t statement = job->CurrentStatement;
    bool call = statement < job->StatementCount && job->StatementIsCall[statement];
    if (!call || kind == OutcomeAffected) job->CurrentStatement++;
    return true;
}

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
    bool keeping = buffer != nullptr;
    bool outOfMemory = !keeping;
    *rows = 0;
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        if (*rows < INT32_MAX) ++*rows;
        if (keeping && !CaptureRow(buffer, row, mysql_fetch_lengths ? mysql_fetch_lengths(result) : nullptr)) {
            // The window may be showing the rows read so far: they are
            // given back with the batch's outcome.
            keeping = false;
            outOfMemory = true;
        }
        if (*rows % ProgressStep == 0) InterlockedExchange(&job->RowsReceived, *rows);
    }
    InterlockedExchange(&job->RowsReceived, *rows);
    if (mysql_errno(handle) != 0) return StreamBroken;
    if (outOfMemory || (keeping && !FinishCapture(buffer))) return StreamOutOfMemory;
    return StreamComplete;
}

// Each result that has columns is kept: the first as the job's Buffer,
// the others after it in MoreBuffers.
bool KeepResult(BATCHJOB *job, GRIDBUFFER *buffer)
{
    if (!job->HasResultSet) {
        job->Buffer = buffer;
        job->HasResultSet = 1;
        return true;
    }
    if (job->MoreBufferCount % 16 == 0) {
        void *grown = realloc(job->MoreBuffers, sizeof(GRIDBUFFER *) * (size_t)(job->MoreBufferCount + 16));
        if (!grown) return false;
        job->MoreBuffers = static_cast<GRIDBUFFER **>(grown);
    }
    job->MoreBuffers[job->MoreBufferCount++] = buffer;
    return true;
}

int32_t ResultsKept(const BATCHJOB *job) { return job->HasResultSet ? 1 + job->MoreBufferCount : 0; }

// A new result set's buffer, kept by the job and announced to the window
// once its columns are known; null when out of memory.
GRIDBUFFER *BeginResult(BATCHJOB *job, MYSQL_RES *result)
{
    GRIDBUFFER *buffer = NewGridBuffer();
    if (buffer && BeginCapture(buffer, result) && KeepResult(job, buffer)) {
        int32_t statement = job->CurrentStatement < job->StatementCount ? job->CurrentStatement : -1;
        PostMessageA(job->NotifyWindow, WM_RESULT_BEGUN, ResultBegunParam(ResultsKept(job) - 1, statement),
                     (LPARAM)buffer);
        return buffer;
    }
    FreeGridBuffer(buffer);
    return nullptr;
}

bool TakeResultSet(BATCHJOB *job, MYSQL *handle, MYSQL_RES *result)
{
    bool first = !job->HasResultSet;
    GRIDBUFFER *buffer = BeginResult(job, result);
    int32_t rows = 0;
    StreamEnd end = ReadRows(job, handle, result, buffer, &rows);
    bool interrupted = end == StreamBroken && mysql_errno(handle) == ErrorQueryInterrupted;
    mysql_free_result(result);
    if (interrupted && buffer && FinishCapture(buffer)) {
        // Stopped on the server: the rows that came are kept, marked
        // incomplete, for a batch the user cancelled (RunBatch decides).
        job->Incomplete = 1;
        if (first) job->RowCount = job->AffectedRows = rows;
        return false;
    }
    if (end != StreamComplete) {
        // The buffer, announced, stays the job's.
        if (end == StreamBroken) return false;
        RecordFailure(job, -1, 0, "Out of memory: the result set is too large to be shown.");
        return false;
    }
    // A stored result would count its rows as affected: so does the
    // stream, which the library does not count.
    if (first) job->RowCount = job->AffectedRows = rows;
    return AddOutcome(job, OutcomeShown, rows, ResultsKept(job));
}

// A statement that switched the current database (USE) says so in its OK
// packet: kept for a session that dies before it can be asked.
void TrackSchemaChange(BATCHJOB *job, MYSQL *handle)
{
    const char *name = nullptr;
    size_t length = 0;
    if (!mysql_session_track_get_first || mysql_session_track_get_first(handle, SessionTrackSchema, &name, &length) != 0 ||
        !name || length >= sizeof job->SessionDatabase)
        return;
    memcpy(job->SessionDatabase, name, length);
    job->SessionDatabase[length] = 0;
    job->DatabaseTracked = 1;
}

// One result of the batch; false when the batch ends with it.
bool TakeResult(BATCHJOB *job, MYSQL *handle)
{
    bool more;
    if (MYSQL_RES *result = mysql_use_result(handle)) {
        more = TakeResultSet(job, handle, result);
    } else if (mysql_errno(handle) != 0) {
        return false;
    } else {
        TrackSchemaChange(job, handle);
        int32_t affected = (int32_t)(uint32_t)mysql_affected_rows(handle);
        if (job->OutcomeCount == 0) job->AffectedRows = affected;
        more = AddOutcome(job, OutcomeAffected, affected);
    }
    // Each answer tells whether the session is inside a transaction now.
    if (mysql_errno(handle) == 0) NoteSessionStatus(job->Connection);
    return more;
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

// A connection that the last batch found dropped, or that no longer
// answers, gets a new session before the batch is sent; the statement is
// never sent twice. A session that died inside a transaction took it with
// it (the server rolled it back): the batch, meant to run inside it, is not
// run on the new session, which the next batch then uses.
bool EnsureConnected(BATCHJOB *job)
{
    CONNECTIONINFO *connection = job->Connection;
    if (!connection->Lost && connection->Handle && mysql_ping(connection->Handle) == 0) return true;
    bool transactionLost = connection->InTransaction != 0;
    if (!ReconnectConnection(connection, job->ErrorBuffer, sizeof job->ErrorBuffer)) {
        RecordFailure(job, 1, ErrorServerGone, job->ErrorBuffer);
        job->FailedOutcome = 1;
        return false;
    }
    if (BatchTestSeam) BatchTestSeam(SeamReconnected);
    if (transactionLost) {
        FormatLostTransaction(connection->Host, job->ErrorBuffer, sizeof job->ErrorBuffer);
        RecordFailure(job, 1, ErrorServerGone, job->ErrorBuffer);
        job->FailedOutcome = 1;
        return false;
    }
    job->Reconnected = 1;
    return true;
}

// The server answers a batch with one result per statement (a CALL with one
// per result set and its status) and stops at the first error, or at a
// statement that KILL QUERY stopped.
void RunBatch(BATCHJOB *job)
{
    char *text = job->QueryText;
    job->QueryText = nullptr;
    if (!EnsureConnected(job)) {
        free(text);
        EndSending(job);
        return;
    }
    if (!BeginSending(job)) {
        free(text);
        RecordFailure(job, 1, 0, "");
        job->Cancelled = job->Unsent = 1;
        return;
    }
    MYSQL *handle = job->Connection->Handle;
    int status = mysql_query(handle, text);
    free(text);
    if (status == 0) {
        job->QueryStatus = 0;
        while (TakeResult(job, handle) && mysql_next_result && mysql_next_result(handle) == 0) {
        }
    }
    bool killed = EndSending(job);
    if (job->ErrorText) {
        // Out of memory, already recorded: the rest of the batch is read
        // and dropped, or the connection would be out of step.
        DropRemainingResults(handle);
        return;
    }
    unsigned int error = mysql_errno(handle);
    if (error == 0 && status == 0) return;
    // The next batch will need a new session first.
    if (IsConnectionLostError(error)) job->Connection->Lost = 1;
    // Through a tunnel that has ended the server's words ("Lost connection")
    // would blame the server; ssh's say what happened. The next batch
    // makes a new tunnel.
    SSHTUNNEL *tunnel = job->Connection->Tunnel;
    if (IsConnectionLostError(error) && tunnel && TunnelEnds(tunnel, TunnelEndWaitMilliseconds)) {
        job->FailedOutcome = status != 0 ? 1 : job->OutcomeCount + 1;
        std::string text = TunnelEndedText(tunnel) + "\n\nThe next batch connects through a new tunnel.";
        RecordFailure(job, 1, error, text.c_str());
        return;
    }
    job->FailedOutcome = status != 0 ? 1 : job->OutcomeCount + 1;
    // What the server did decides, not what was asked: a batch that ended
    // before the KILL reached it keeps its own outcome.
    job->Cancelled = killed && error == ErrorQueryInterrupted;
    if (job->Cancelled && job->Incomplete) return; // the rows that came are the answer
    RecordServerError(job, handle);
}

// Nobody will read an abandoned job: the worker frees it with the
// connection and the rows.
void FreeAbandonedJob(BATCHJOB *job)
{
    ReleaseBuffer(job->Buffer);
    for (int32_t i = 0; i < job->MoreBufferCount; i++) ReleaseBuffer(job->MoreBuffers[i]);
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
    job->Gate = NewBatchGate();
    if (!job->Gate) {
        free(job);
        free(text);
        return nullptr;
    }
    job->Connection = connection;
    job->NotifyWindow = notifyWindow;
    job->QueryText = text;
    job->State = BatchRunning;
    return job;
}

bool SetBatchStatements(BATCHJOB *job, const std::vector<bool> &isCall)
{
    int32_t count = isCall.size() < (size_t)INT32_MAX ? (int32_t)isCall.size() : 0;
    free(job->StatementIsCall);
    job->StatementIsCall = count > 0 ? static_cast<uint8_t *>(malloc((size_t)count)) : nullptr;
    job->StatementCount = job->StatementIsCall ? count : 0;
    for (int32_t i = 0; i < job->StatementCount; i++) job->StatementIsCall[i] = isCall[i];
    return job->StatementIsCall || count <= 0;
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
    free(job->StatementIsCall);
    free(job->Outcomes);
    free(job->MoreBuffers);
    ReleaseGate(job->Gate);
    free(job);
}

void FormatReconnected(const char *host, char *text, size_t textSize)
{
    snprintf(text, textSize, "Reconnected to %s. Session settings and temporary tables were reset.", host ? host : "");
}

void FormatLostTransaction(const char *host, char *text, size_t textSize)
{
    snprintf(text, textSize,
             "The connection to %s was lost inside a transaction; the server rolled it back. The next batch runs on "
             "a new session.",
             host ? host : "");
}
