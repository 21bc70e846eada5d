#include "query/BatchExecution.h"

#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/CodeMaxControl.h"
#include "grid/GridOutput.h"
#include "query/ResultSet.h"
#include "query/ServerInfo.h"
#include "query/ThreadStack.h"
#include "resources/resource.h"

namespace {

const int ElapsedBufferSize = 20;

bool IsActiveQueryWindow(CHILDDATA *child);

void SetExecuteEnabled(CHILDDATA *child, bool enabled)
{
    if (!child->Frame) return;
    SetToolbarButtonState(child->Frame, CMD_EXECUTE, enabled ? ButtonEnabled : ButtonGrayed);
    SetMenuItemEnabled(child->Frame->QueryPopup, CMD_EXECUTE, enabled);
}

// The selection, or the whole text when nothing is selected; null when out
// of memory.
char *TakeBatchText(CHILDDATA *child)
{
    EDITORRANGE range = {};
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 1, (LPARAM)&range);
    bool selected = range.Start.Line != range.End.Line || range.Start.Column != range.End.Column;
    WPARAM which = selected ? (WPARAM)&range : 0;
    LRESULT length = SendMessageA(child->Editor, WM_EDITOR_GETTEXTLENGTH, which, 1);
    char *text = static_cast<char *>(malloc((size_t)length + 1));
    if (!text) return nullptr;
    text[0] = 0;
    SendMessageA(child->Editor, WM_EDITOR_GETTEXT, which, (LPARAM)text);
    text[length] = 0;
    return text;
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

void RunBatch(CHILDDATA *child)
{
    MYSQL *handle = child->Connection->Handle;
    child->QueryStatus = mysql_query(handle, child->QueryText);
    free(child->QueryText);
    child->QueryText = nullptr;
    child->UnshownResults = 0;
    if (child->QueryStatus != 0) {
        child->Buffer = nullptr;
        child->ErrorNumber = mysql_errno(handle);
        child->ErrorText = mysql_error(handle);
        child->RowCount = 0;
        child->AffectedRows = 0;
        return;
    }
    MYSQL_RES *result = mysql_store_result(handle);
    if (!result) {
        child->Buffer = nullptr;
        child->HasResultSet = 0;
        child->RowCount = 0;
        child->AffectedRows = (int32_t)(uint32_t)mysql_affected_rows(handle);
    } else {
        child->Buffer = NewGridBuffer();
        if (child->Buffer && !CaptureResult(child->Buffer, result)) {
            FreeGridBuffer(child->Buffer);
            child->Buffer = nullptr;
        }
        child->HasResultSet = 1;
        child->RowCount = (int32_t)(uint32_t)mysql_num_rows(result);
        child->AffectedRows = (int32_t)(uint32_t)mysql_affected_rows(handle);
        mysql_free_result(result);
        if (!child->Buffer) {
            // Too big to copy: report it like a failed batch.
            child->QueryStatus = -1;
            child->ErrorNumber = 0;
            child->ErrorText = "Out of memory: the result set is too large to be shown.";
            child->RowCount = 0;
            child->AffectedRows = 0;
        }
    }
    child->UnshownResults = DropFurtherResults(handle);
    if (child->UnshownResults < 0) {
        // The rows read so far are not the batch's answer: its error is.
        FreeGridBuffer(child->Buffer);
        child->Buffer = nullptr;
        child->UnshownResults = 0;
        child->QueryStatus = 1;
        child->ErrorNumber = mysql_errno(handle);
        child->ErrorText = mysql_error(handle);
        child->RowCount = 0;
        child->AffectedRows = 0;
    }
}

// The window was closed during the batch: nobody else will ever read the
// record, so the worker frees it with the connection and the result.
void FreeAbandonedBatch(CHILDDATA *child)
{
    ReleaseBuffer(child->Buffer);
    FreeConnectionInfo(child->Connection);
    free(child);
}

void ShowBatchSuccess(CHILDDATA *child)
{
    char message[128];
    if (child->AffectedRows > 0)
        snprintf(message, sizeof message, "\r\n(%d row(s) affected)", child->AffectedRows);
    else
        snprintf(message, sizeof message, "The command(s) completed successfully.");
    if (child->UnshownResults > 0) {
        size_t used = strlen(message);
        snprintf(message + used, sizeof message - used, "\r\n(%d further result set(s) not shown)",
                 child->UnshownResults);
    }
    SetMessagePaneText(child->MessagePane, message, 0);
}

void ShowBatchError(CHILDDATA *child)
{
    // The error text belongs to the connection: format it before anything
    // else is asked of the connection.
    char number[16];
    int digits = snprintf(number, sizeof number, "%u", child->ErrorNumber);
    const char *errorText = child->ErrorText ? child->ErrorText : "";
    size_t size = (size_t)digits + 8 + strlen(errorText) + 1;
    char *message = static_cast<char *>(malloc(size));
    if (!message) return;
    snprintf(message, size, "Error %u: %s", child->ErrorNumber, errorText);
    SetMessagePaneText(child->MessagePane, message, 7 + digits);
    free(message);
}

void ShowTab(CHILDDATA *child, int tab)
{
    child->ActiveTab = tab;
    ShowWindow(child->Grid, tab == 0 ? SW_SHOW : SW_HIDE);
    ShowWindow(child->MessagePane, tab == 0 ? SW_HIDE : SW_SHOW);
    if (child->ResultsShown) SendMessageA(child->Tabs, TCM_SETCURSEL, tab, 0);
}

void HandBufferToGrid(CHILDDATA *child, GRIDBUFFER *previous)
{
    SendMessageA(child->Grid, WM_GRID_SETBUFFER, (WPARAM)child->Buffer, 0);
    InvalidateRect(child->Grid, nullptr, TRUE);
    UpdateWindow(child->Grid);
    // Only now is the old buffer nobody's.
    if (previous && previous != child->Buffer) ReleaseBuffer(previous);
}

void RefreshAfterSuccess(CHILDDATA *child)
{
    char text[ServerStatusSize];
    snprintf(text, sizeof text, "%d row(s)", child->RowCount);
    SetStatusText(child, 4, text);
    RefreshCurrentDatabase(child);
    if (IsActiveQueryWindow(child)) RefillDatabaseSelector(child);
    UpdateTitle(child);
    char version[ServerVersionSize] = "";
    GetServerVersion(child, version, sizeof version);
    FormatServerStatus(child->Connection->Host, version, text, sizeof text);
    SetStatusText(child, 1, text);
    SetStatusText(child, 2, child->Connection->Database);
    SetStatusText(child, 0, "Query batch completed.");
}

// The frame's Execute command and selector speak for the active window
// only: a batch that ends in a window behind it leaves them alone.
bool IsActiveQueryWindow(CHILDDATA *child)
{
    HWND client = GetParent(child->Window);
    return client && (HWND)SendMessageA(client, WM_MDIGETACTIVE, 0, 0) == child->Window;
}

GRIDBUFFER *BufferShownByGrid(CHILDDATA *child)
{
    OUTPUTDATA *grid = StateOf<OUTPUTDATA>(child->Grid);
    return grid ? grid->Data : nullptr;
}

} // namespace

volatile LONG BatchWorkersRunning = 0;

LONG RunningBatchWorkers() { return InterlockedCompareExchange(&BatchWorkersRunning, 0, 0); }

void StartBatch(CHILDDATA *child)
{
    if (child->Executing) return;
    child->StartTicks = GetTickCount();
    SendMessageA(child->Window, WM_TIMER, ElapsedTimerId, 0);
    SetTimer(child->Window, ElapsedTimerId, 1000, nullptr);
    child->Executing = 1;

    child->QueryText = TakeBatchText(child);
    SetExecuteEnabled(child, false);
    SetStatusText(child, 0, "Executing query batch...");

    InterlockedExchange(&child->WorkerState, WorkerRunning);
    InterlockedIncrement(&BatchWorkersRunning);
    HANDLE worker = child->QueryText ? CreateThread(nullptr, 0, BatchWorker, child, 0, nullptr) : nullptr;
    if (worker) {
        CloseHandle(worker);
        return;
    }
    InterlockedDecrement(&BatchWorkersRunning);
    // No text or no thread: end the batch as a failure at once.
    free(child->QueryText);
    child->QueryText = nullptr;
    InterlockedExchange(&child->WorkerState, WorkerFinished);
    child->QueryStatus = -1;
    child->ErrorNumber = 0;
    child->ErrorText = "Out of memory: the batch could not be started.";
    child->Buffer = nullptr;
    child->RowCount = child->AffectedRows = 0;
    PostMessageA(child->Window, WM_EXECUTE_DONE, 0, 0);
}

DWORD WINAPI BatchWorker(LPVOID parameter)
{
    AnnounceThreadStack();
    CHILDDATA *child = static_cast<CHILDDATA *>(parameter);
    ClientThreadStart();
    RunBatch(child);
    HWND window = child->Window;
    // The abandoned connection is closed here, so the thread's client
    // library state ends only after that.
    if (InterlockedCompareExchange(&child->WorkerState, WorkerFinished, WorkerRunning) == WorkerAbandoned)
        FreeAbandonedBatch(child);
    else
        PostMessageA(window, WM_EXECUTE_DONE, 0, 0);
    ClientThreadEnd();
    InterlockedDecrement(&BatchWorkersRunning);
    return 0;
}

bool AbandonBatch(CHILDDATA *child)
{
    return InterlockedCompareExchange(&child->WorkerState, WorkerAbandoned, WorkerRunning) == WorkerRunning;
}

void CompleteBatch(CHILDDATA *child)
{
    if (!child->Executing) return;
    GRIDBUFFER *previous = BufferShownByGrid(child);
    if (child->QueryStatus == 0) {
        ShowBatchSuccess(child);
        ShowTab(child, child->HasResultSet ? 0 : 1);
        HandBufferToGrid(child, previous);
        RefreshAfterSuccess(child);
    } else {
        ShowBatchError(child);
        ShowTab(child, 1);
        SetStatusText(child, 0, "Query batch completed with errors.");
        HandBufferToGrid(child, previous);
        // Activated during the batch, the window showed only its own
        // database in the selector.
        if (IsActiveQueryWindow(child)) RefillDatabaseSelector(child);
    }
    if (IsActiveQueryWindow(child)) SetExecuteEnabled(child, true);
    child->Executing = 0;
    InterlockedExchange(&child->WorkerState, WorkerIdle);
    ShowResultsPane(child);
    KillTimer(child->Window, ElapsedTimerId);
}

void ShowElapsedTime(CHILDDATA *child)
{
    child->LastTicks = GetTickCount();
    uint32_t seconds = (child->LastTicks - child->StartTicks) / 1000;
    uint32_t hours = seconds / 3600;
    uint32_t minutes = (seconds - hours * 3600) / 60;
    uint32_t rest = seconds - hours * 3600 - minutes * 60;
    char text[ElapsedBufferSize];
    snprintf(text, sizeof text, "%02u:%02u:%02u", hours, minutes, rest);
    SetStatusText(child, 5, text);
}

namespace {

void ColourRange(HWND pane, LONG start, LONG end, COLORREF colour)
{
    CHARRANGE saved;
    SendMessageA(pane, EM_EXGETSEL, 0, (LPARAM)&saved);
    CHARRANGE range = {start, end};
    SendMessageA(pane, EM_EXSETSEL, 0, (LPARAM)&range);
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    format.crTextColor = colour;
    SendMessageA(pane, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    SendMessageA(pane, EM_EXSETSEL, 0, (LPARAM)&saved);
    SendMessageA(pane, EM_EMPTYUNDOBUFFER, 0, 0);
}

} // namespace

void SetMessagePaneText(HWND pane, const char *text, int redPrefix)
{
    SetWindowTextA(pane, text);
    ColourRange(pane, 0, GetWindowTextLengthA(pane), RGB(0, 0, 0));
    if (redPrefix > 0) ColourRange(pane, 0, redPrefix, RGB(255, 0, 0));
}
