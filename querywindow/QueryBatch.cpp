#include "querywindow/QueryBatch.h"

#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "query/ServerInfo.h"
#include "querywindow/DatabaseSelector.h"
#include "resources/resource.h"

namespace {

const int ElapsedBufferSize = 20;
// A few updates of the row count a second while a result arrives.
const UINT ProgressPeriod = 250;

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

// The outcome the worker left in its record, copied into the window's own.
void TakeOutcome(CHILDDATA *child, BATCHJOB *job)
{
    child->QueryStatus = job->QueryStatus;
    child->Buffer = job->Buffer;
    child->ErrorNumber = job->ErrorNumber;
    child->ErrorText = job->ErrorText;
    if (job->QueryStatus == 0) child->HasResultSet = job->HasResultSet;
    child->RowCount = job->RowCount;
    child->AffectedRows = job->AffectedRows;
}

void ShowBatchSuccess(CHILDDATA *child, int32_t unshownResults)
{
    char message[128];
    if (child->AffectedRows > 0)
        snprintf(message, sizeof message, "\r\n(%d row(s) affected)", child->AffectedRows);
    else
        snprintf(message, sizeof message, "The command(s) completed successfully.");
    if (unshownResults > 0) {
        size_t used = strlen(message);
        snprintf(message + used, sizeof message - used, "\r\n(%d further result set(s) not shown)", unshownResults);
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
    RefreshCurrentDatabase(child->Connection);
    if (IsActiveQueryWindow(child)) RefillDatabaseSelector(child);
    UpdateTitle(child);
    char version[ServerVersionSize] = "";
    GetServerVersion(child->Connection, version, sizeof version);
    FormatServerStatus(child->Connection->Host, version, text, sizeof text);
    SetStatusText(child, 1, text);
    SetStatusText(child, 2, child->Connection->Database);
    SetStatusText(child, 0, "Query batch completed.");
}

void ShowOutcome(CHILDDATA *child, int32_t unshownResults)
{
    GRIDBUFFER *previous = BufferShownByGrid(child);
    if (child->QueryStatus == 0) {
        ShowBatchSuccess(child, unshownResults);
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
}

} // namespace

void StartBatch(CHILDDATA *child)
{
    if (child->Executing) return;
    child->StartTicks = GetTickCount();
    SendMessageA(child->Window, WM_TIMER, ElapsedTimerId, 0);
    SetTimer(child->Window, ElapsedTimerId, 1000, nullptr);
    child->Executing = 1;
    child->RowCount = 0;

    // The text is the worker's from here on.
    child->QueryText = TakeBatchText(child);
    BATCHJOB *job = NewBatchJob(child->Connection, child->Window, child->QueryText);
    child->QueryText = nullptr;
    SetExecuteEnabled(child, false);
    SetStatusText(child, 0, "Executing query batch...");
    if (!job) {
        child->QueryStatus = -1;
        child->ErrorNumber = 0;
        child->ErrorText = "Out of memory: the batch could not be started.";
        child->Buffer = nullptr;
        child->RowCount = child->AffectedRows = 0;
        PostMessageA(child->Window, WM_EXECUTE_DONE, 0, 0);
        return;
    }
    child->Batch = job;
    SetTimer(child->Window, ProgressTimerId, ProgressPeriod, nullptr);
    StartBatchWorker(job);
}

void CompleteBatch(CHILDDATA *child)
{
    if (!child->Executing) return;
    BATCHJOB *job = child->Batch;
    child->Batch = nullptr;
    int32_t unshownResults = 0;
    if (job) {
        TakeOutcome(child, job);
        unshownResults = job->UnshownResults;
    }
    ShowOutcome(child, unshownResults);
    FreeBatchJob(job);
    if (IsActiveQueryWindow(child)) SetExecuteEnabled(child, true);
    child->Executing = 0;
    ShowResultsPane(child);
    KillTimer(child->Window, ElapsedTimerId);
    KillTimer(child->Window, ProgressTimerId);
}

bool HandOverRunningBatch(CHILDDATA *child)
{
    BATCHJOB *job = child->Batch;
    if (!child->Executing || !job) return false;
    child->Batch = nullptr;
    if (AbandonBatchJob(job)) return true;
    // The worker has finished; its completion message dies with the window.
    ReleaseBuffer(job->Buffer);
    FreeBatchJob(job);
    return false;
}

void ShowBatchProgress(CHILDDATA *child)
{
    if (!child->Executing || !child->Batch) return;
    LONG rows = InterlockedCompareExchange(&child->Batch->RowsReceived, 0, 0);
    if (rows <= 0 || rows == child->RowCount) return;
    child->RowCount = rows;
    char text[32];
    snprintf(text, sizeof text, "%d row(s)", (int)rows);
    SetStatusText(child, 4, text);
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
