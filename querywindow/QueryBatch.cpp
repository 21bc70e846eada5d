#include "querywindow/QueryBatch.h"

#include <richedit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalog/NameCache.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "query/ServerInfo.h"
#include "base/Text.h"
#include "querywindow/BatchHistory.h"
#include "querywindow/DatabaseSelector.h"
#include "querywindow/FrameServices.h"
#include "querywindow/ScriptStatements.h"
#include "resources/resource.h"

#include <atomic>
#include <new>
#include <string>
#include <vector>

namespace {

const int ElapsedBufferSize = 20;
// Updates of the row count and of the rows shown while a result arrives:
// often enough that new rows show within a tenth of a second.
const UINT ProgressPeriod = 50;

// Execute and Cancel Query take turns: one is enabled exactly while the
// other is not.
void SetExecuteEnabled(CHILDDATA *child, bool enabled)
{
    EnableFrameButton(child->Frame, CMD_EXECUTE, enabled);
    EnableFrameMenuItem(child->Frame, CMD_EXECUTE, enabled);
    EnableFrameMenuItem(child->Frame, CMD_CANCELQUERY, !enabled);
}

// The selection, or the whole text when nothing is selected; null when out
// of memory. firstLine is the editor line where the text starts.
char *TakeBatchText(CHILDDATA *child, int32_t *firstLine, bool *selected)
{
    EDITORRANGE range = {};
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 1, (LPARAM)&range);
    *selected = range.Start.Line != range.End.Line || range.Start.Column != range.End.Column;
    if (*selected && (range.End.Line < range.Start.Line ||
                      (range.End.Line == range.Start.Line && range.End.Column < range.Start.Column)))
        *firstLine = range.End.Line;
    else
        *firstLine = *selected ? range.Start.Line : 1;
    WPARAM which = *selected ? (WPARAM)&range : 0;
    LRESULT length = SendMessageA(child->Editor, WM_EDITOR_GETTEXTLENGTH, which, 1);
    char *text = static_cast<char *>(malloc((size_t)length + 1));
    if (!text) return nullptr;
    text[0] = 0;
    SendMessageA(child->Editor, WM_EDITOR_GETTEXT, which, (LPARAM)text);
    text[length] = 0;
    return text;
}

// The tabs' tooltips name each result's statement by its first line, as the
// editor had it when the batch began.
void KeepFirstLines(CHILDDATA *child, const char *text, size_t length, const SCRIPTSTATEMENTS &statements)
{
    const size_t longest = 200;
    child->StatementFirstLines.clear();
    for (size_t start : statements.StartOffsets) {
        size_t end = start;
        while (end < length && end - start < longest && text[end] != '\r' && text[end] != '\n') end++;
        // A cut never splits a UTF-8 character.
        while (end < length && end > start && end - start >= longest && ((unsigned char)text[end] & 0xC0) == 0x80) end--;
        child->StatementFirstLines.emplace_back(text + start, end - start);
    }
}

// What goes to the server: the text without a UTF-8 byte-order mark (the
// editor keeps it, so that the file saves unchanged), rewritten in place
// when it carries DELIMITER lines. The statements found are kept for the
// lines of the errors.
char *PrepareBatchText(CHILDDATA *child, char *text)
{
    if (!text) return nullptr;
    size_t length = strlen(text);
    if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        memmove(text, text + 3, length - 2);
        length -= 3;
    }
    SCRIPTSTATEMENTS *statements;
    try {
        statements = new SCRIPTSTATEMENTS(ScanStatements(text, length));
    } catch (const std::bad_alloc &) {
        return text; // sent as it is, with no lines placed
    }
    child->Statements = statements;
    KeepFirstLines(child, text, length, *statements);
    text[RewriteForServer(text, length, *statements)] = 0;
    std::vector<SCRIPTEDIT>().swap(statements->Edits);
    return text;
}

void ForgetStatements(CHILDDATA *child)
{
    delete child->Statements;
    child->Statements = nullptr;
}

// The message pane's text with the red part marked: the "Error %u:" prefix
// of an error line. Positions count characters; the text before the error
// is ASCII, so bytes are characters.
struct PaneText {
    std::string Text;
    size_t RedStart = 0;
    size_t RedLength = 0;

    void Line(const std::string &line)
    {
        if (!Text.empty()) Text += "\r\n";
        Text += line;
    }
    void Prepend(const std::string &line)
    {
        Text.insert(0, line + "\r\n");
        if (RedLength > 0) RedStart += line.size() + 2;
    }
    void ErrorLine(uint32_t number, const char *errorText)
    {
        if (!Text.empty()) Text += "\r\n";
        RedStart = Text.size();
        Text += "Error " + std::to_string(number) + ":";
        RedLength = Text.size() - RedStart;
        Text += " ";
        Text += errorText ? errorText : "";
    }
};

std::string Printed(const char *format, int a, int b = 0)
{
    char line[96];
    snprintf(line, sizeof line, format, a, b);
    return line;
}

// One result: its error, the rows it changed or that it completed, and a
// note of the result sets that were not shown.
void DescribeSingleOutcome(const BATCHJOB *job, PaneText &pane)
{
    if (job->QueryStatus != 0) {
        pane.ErrorLine(job->ErrorNumber, job->ErrorText);
        return;
    }
    if (job->AffectedRows > 0)
        pane.Text = Printed("\r\n(%d row(s) affected)", job->AffectedRows);
    else
        pane.Text = "The command(s) completed successfully.";
}

// The outcomes of one statement: one, or for a CALL its result sets and the
// status that ends it.
struct StatementOutcomes {
    int32_t First, Last; // indices into the job's outcomes, both included
    bool Open;           // a CALL whose status has not come (it failed or was stopped)
};

// The job's outcomes statement by statement. A CALL is told by the script's
// scan; without a scan each outcome counts as a statement of its own.
std::vector<StatementOutcomes> GroupOutcomes(const BATCHJOB *job, const SCRIPTSTATEMENTS *statements)
{
    std::vector<StatementOutcomes> groups;
    bool known = statements && statements->Certain;
    for (int32_t i = 0; i < job->OutcomeCount;) {
        size_t statement = groups.size();
        bool call = known && statement < statements->IsCall.size() && statements->IsCall[statement];
        StatementOutcomes group = {i, i, false};
        if (call) {
            while (i < job->OutcomeCount && job->Outcomes[i].Kind == OutcomeShown) i++;
            group.Open = i == job->OutcomeCount;
            if (!group.Open) i++; // the status
            group.Last = i - 1;
        } else {
            i++;
        }
        groups.push_back(group);
    }
    return groups;
}

// The statement (from 1) that failed or was stopped: the open CALL, or the
// one after the last that completed.
int32_t FailedStatement(const BATCHJOB *job, const std::vector<StatementOutcomes> &groups)
{
    for (size_t g = 0; g < groups.size(); g++)
        if (job->FailedOutcome - 1 <= groups[g].Last || groups[g].Open) return (int32_t)g + 1;
    return (int32_t)groups.size() + 1;
}

// A line for each statement that completed; with several result sets,
// each names the tab (or the tabs of a CALL) that shows it.
void ListStatements(const BATCHJOB *job, const SCRIPTSTATEMENTS *statements, PaneText &pane)
{
    int32_t results = 0;
    for (int32_t i = 0; i < job->OutcomeCount; i++)
        if (job->Outcomes[i].Kind == OutcomeShown) results++;
    std::vector<StatementOutcomes> groups = GroupOutcomes(job, statements);
    for (size_t g = 0; g < groups.size(); g++) {
        int32_t rows = 0, first = 0, last = 0;
        for (int32_t i = groups[g].First; i <= groups[g].Last; i++) {
            const BATCHOUTCOME &outcome = job->Outcomes[i];
            if (outcome.Kind != OutcomeShown) continue;
            rows += outcome.Rows;
            if (!first) first = outcome.Result;
            last = outcome.Result;
        }
        if (!first) {
            // A CALL without result sets has its status alone.
            pane.Line(Printed("Statement %d: %d row(s) affected", (int)g + 1, job->Outcomes[groups[g].Last].Rows));
            continue;
        }
        std::string line = Printed("Statement %d: %d row(s) returned", (int)g + 1, rows);
        if (results > 1) line += first == last ? Printed(" (Result %d)", first) : Printed(" (Results %d-%d)", first, last);
        pane.Line(line);
    }
}

// The pane's line that names the failed statement, from 0; -1 when none.
int32_t FailedLineOf(const PaneText &pane)
{
    size_t at = pane.Text.find(" failed.\r\n");
    if (at == std::string::npos) return -1;
    int32_t line = 0;
    for (size_t i = 0; i < at; i++)
        if (pane.Text[i] == '\n') line++;
    return line;
}

// Several statements: a line for each, then the failure.
void DescribeStatements(const BATCHJOB *job, const SCRIPTSTATEMENTS *statements, PaneText &pane)
{
    ListStatements(job, statements, pane);
    if (job->QueryStatus != 0) {
        if (job->FailedOutcome > 0)
            pane.Line(Printed("Statement %d failed.", FailedStatement(job, GroupOutcomes(job, statements))));
        pane.ErrorLine(job->ErrorNumber, job->ErrorText);
    }
}

// A script answered with several results is shown statement by statement;
// one statement (a CALL's several result sets included) as one result.
bool ShowsStatements(CHILDDATA *child, const BATCHJOB *job)
{
    int32_t results = job->OutcomeCount + (job->FailedOutcome > job->OutcomeCount ? 1 : 0);
    if (results <= 1) return false;
    const SCRIPTSTATEMENTS *statements = child->Statements;
    return !(statements && statements->Certain && statements->StartLines.size() == 1);
}

// The editor line that the error's "at line N" names, or 0 when its place is
// not certain: N counts from the start of the statement that failed.
int32_t ErrorEditorLine(CHILDDATA *child, const BATCHJOB *job)
{
    int32_t line = ErrorLineOf(job->ErrorText);
    const SCRIPTSTATEMENTS *statements = child->Statements;
    if (line <= 0 || !statements || !statements->Certain || statements->StartLines.empty()) return 0;
    size_t failed = statements->StartLines.size() == 1 ? 0 : (size_t)(job->FailedOutcome > 0 ? job->FailedOutcome - 1 : 0);
    if (failed >= statements->StartLines.size()) return 0;
    // A CALL before it answers with several results: counting results no
    // longer counts statements.
    for (size_t i = 0; i < failed; i++)
        if (statements->IsCall[i]) return 0;
    int32_t textLine = TextLineOf(*statements, failed, line);
    return textLine < 0 ? 0 : child->BatchFirstLine + textLine;
}

// The whole text ran: the caret goes to the start of the error's line. A
// selection ran: it stays (F5 runs it again) and the pane names the line.
void PointAtErrorLine(CHILDDATA *child, const BATCHJOB *job, PaneText &pane)
{
    int32_t line = ErrorEditorLine(child, job);
    if (line <= 0) return;
    if (child->BatchWasSelection) {
        pane.Text += Printed("\r\n(line %d of the editor)", line);
        return;
    }
    EDITORRANGE caret = {{line, 1}, {line, 1}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&caret);
}

// The statements that ran before the stop are listed: they were applied.
void DescribeCancel(CHILDDATA *child, const BATCHJOB *job, PaneText &pane)
{
    if (job->Unsent) {
        pane.Line("Query cancelled: the batch was not sent.");
        return;
    }
    if (ShowsStatements(child, job)) {
        ListStatements(job, child->Statements, pane);
        pane.Line(Printed("Statement %d cancelled.", FailedStatement(job, GroupOutcomes(job, child->Statements))));
    }
    if (job->Incomplete && job->RowCount > 0)
        pane.Line(Printed("Query cancelled after %d row(s): the result is incomplete.", job->RowCount));
    else
        pane.Line("Query cancelled.");
}

void HandBufferToGrid(CHILDDATA *child, GRIDBUFFER *previous)
{
    // A result shown while it arrived is there already, with the person's
    // place in it: its last rows are painted when the window next paints,
    // with everything else the batch's end changed.
    if (previous == child->Buffer && child->Buffer) {
        InvalidateRect(child->Grid, nullptr, FALSE);
    } else {
        SendMessageA(child->Grid, WM_GRID_SETBUFFER, (WPARAM)child->Buffer, 0);
        InvalidateRect(child->Grid, nullptr, TRUE);
        UpdateWindow(child->Grid);
    }
    // Only now is the old buffer nobody's.
    if (previous && previous != child->Buffer) ReleaseBuffer(previous);
}

void RefreshAfterSuccess(CHILDDATA *child, const BATCHJOB *job)
{
    char text[ServerStatusSize];
    snprintf(text, sizeof text, "%d row(s)", job->RowCount);
    SetStatusText(child, 4, text);
    RefreshCurrentDatabase(child->Connection);
    if (IsActiveQueryWindow(child)) RefillDatabaseSelector(child);
    UpdateTitle(child);
    char version[ServerVersionSize] = "";
    GetServerVersion(child->Connection, version, sizeof version);
    FormatServerStatus(ConnectionLabel(child->Connection), version, text, sizeof text, child->Connection->Encrypted,
                       child->Connection->Verified);
    SetStatusText(child, 1, text);
    SetStatusText(child, 2, child->Connection->Database);
    SetStatusText(child, 0, "Query batch completed.");
}

void ShowPane(CHILDDATA *child, const PaneText &pane)
{
    SetMessagePaneText(child->MessagePane, pane.Text.c_str(), 0);
    if (pane.RedLength > 0) ColourMessagePaneRange(child->MessagePane, (LONG)pane.RedStart,
                                                   (LONG)(pane.RedStart + pane.RedLength), RGB(255, 0, 0));
}

// A batch that failed or was stopped may still have switched databases (a
// USE before the statement that failed): the record follows the session,
// so that a reconnect goes back into the database the session was in. A
// session that died cannot be asked: what its answers reported is taken.
void FollowCurrentDatabase(CHILDDATA *child, const BATCHJOB *job)
{
    CONNECTIONINFO *connection = child->Connection;
    std::string before = connection->Database ? connection->Database : "";
    if (!connection->Lost)
        RefreshCurrentDatabase(connection);
    else if (job->DatabaseTracked && job->SessionDatabase[0])
        ReplaceConnectionText(&connection->Database, job->SessionDatabase);
    if (before == connection->Database) return;
    UpdateTitle(child);
    SetStatusText(child, 2, connection->Database);
}

void ShowCancelled(CHILDDATA *child, const BATCHJOB *job, const PaneText &pane, GRIDBUFFER *previous)
{
    ShowPane(child, pane);
    // With no rows to look at, the list of what ran is what matters.
    ShowTab(child, child->Buffer && job->RowCount > 0 ? 0 : MessagesTab(child));
    HandBufferToGrid(child, previous);
    char text[32];
    snprintf(text, sizeof text, "%d row(s)", child->Buffer ? job->RowCount : 0);
    SetStatusText(child, 4, text);
    SetStatusText(child, 0, "Query batch cancelled.");
    FollowCurrentDatabase(child, job);
    if (IsActiveQueryWindow(child)) RefillDatabaseSelector(child);
}

// Each result's tab tip: the first line of the statement that returned it;
// none when the script's statements could not be told apart.
void NameResultStatements(CHILDDATA *child, const BATCHJOB *job)
{
    child->ResultTips.clear();
    child->TipTab = -1;
    if (!child->Statements || !child->Statements->Certain) return;
    std::vector<StatementOutcomes> groups = GroupOutcomes(job, child->Statements);
    for (size_t g = 0; g < groups.size() && g < child->StatementFirstLines.size(); g++)
        for (int32_t i = groups[g].First; i <= groups[g].Last; i++) {
            const BATCHOUTCOME &outcome = job->Outcomes[i];
            if (outcome.Kind != OutcomeShown || outcome.Result < 1) continue;
            if (child->ResultTips.size() < (size_t)outcome.Result) child->ResultTips.resize((size_t)outcome.Result);
            child->ResultTips[(size_t)outcome.Result - 1] = child->StatementFirstLines[g];
        }
}

// Returns the pane's line of the failed statement, or -1.
int32_t ShowOutcome(CHILDDATA *child, const BATCHJOB *job)
{
    NameResultStatements(child, job);
    GRIDBUFFER *previous = BufferShownByGrid(child);
    PaneText pane;
    if (job->Cancelled)
        DescribeCancel(child, job, pane);
    else if (ShowsStatements(child, job))
        DescribeStatements(job, child->Statements, pane);
    else
        DescribeSingleOutcome(job, pane);
    if (job->Reconnected) {
        char line[400];
        FormatReconnected(child->Connection->Host, line, sizeof line);
        pane.Prepend(line);
    }
    if (job->Cancelled) {
        ShowCancelled(child, job, pane, previous);
        return -1;
    }
    if (job->QueryStatus == 0) {
        ShowPane(child, pane);
        ShowTab(child, job->HasResultSet ? 0 : MessagesTab(child));
        HandBufferToGrid(child, previous);
        RefreshAfterSuccess(child, job);
    } else {
        PointAtErrorLine(child, job, pane);
        ShowPane(child, pane);
        ShowTab(child, MessagesTab(child));
        SetStatusText(child, 0, "Query batch completed with errors.");
        HandBufferToGrid(child, previous);
        FollowCurrentDatabase(child, job);
        // Activated during the batch, the window showed only its own
        // database in the selector.
        if (IsActiveQueryWindow(child)) RefillDatabaseSelector(child);
        return FailedLineOf(pane);
    }
    return -1;
}

// A long script's failure is in view without scrolling: its line at the top
// of the pane, the error after it.
void ScrollMessagePaneTo(HWND pane, int32_t line)
{
    if (line <= 0) return;
    int32_t first = (int32_t)SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageA(pane, EM_LINESCROLL, 0, line - first);
}

// A view of a result still arriving: the worker's column names and its
// rows as far as they are complete, with widths of its own (the worker
// widens its columns as rows come). Null when out of memory.
GRIDBUFFER *NewArrivingView(const GRIDBUFFER *source)
{
    GRIDBUFFER *view = NewGridBuffer();
    int32_t columns = source->Fields.Length();
    if (!view || !view->Storage.AllocateArray(view->ColWidths, columns)) {
        FreeGridBuffer(view);
        return nullptr;
    }
    view->Fields = source->Fields;
    view->ColumnKinds = source->ColumnKinds;
    view->StillArriving = 1;
    for (int32_t &width : view->ColWidths) width = MinColumnWidth;
    return view;
}

// Brings the view up to the rows published since; true when it changed.
bool CatchUp(GRIDBUFFER *view, GRIDBUFFER *source)
{
    int32_t rows = source->RowsPublished.load(std::memory_order_acquire);
    bool changed = rows != view->Rows.Count;
    // The index never moves, and every row below the published count is
    // complete, the NULL text of its cells included.
    view->Rows.Items = __atomic_load_n(&source->Rows.Items, __ATOMIC_ACQUIRE);
    view->Rows.Count = rows;
    view->NullText = __atomic_load_n(&source->NullText, __ATOMIC_ACQUIRE);
    for (int32_t c = 0; c < view->ColWidths.Length(); c++) {
        int32_t width = __atomic_load_n(&source->ColWidths.Items[c], __ATOMIC_RELAXED);
        if (width > MaxColumnWidth) width = MaxColumnWidth;
        if (width > view->ColWidths[c]) {
            view->ColWidths[c] = width;
            changed = true;
        }
    }
    return changed;
}

// Gives the window the batch's result sets, each in the grid that showed it
// arriving (the person's place in it kept) or a new one. A failed batch's
// are given back, once no grid shows them.
void TakeResults(CHILDDATA *child, BATCHJOB *job)
{
    std::vector<GRIDBUFFER *> results;
    if (job->Buffer) results.push_back(job->Buffer);
    for (int32_t i = 0; i < job->MoreBufferCount; i++) results.push_back(job->MoreBuffers[i]);
    job->Buffer = nullptr;
    job->MoreBufferCount = 0;
    std::vector<GRIDBUFFER *> failed;
    if (job->QueryStatus != 0) failed.swap(results);
    bool arrived = !child->Arriving.empty();
    GRIDBUFFER *previous = BufferShownByGrid(child);
    GRIDBUFFER *first = results.empty() ? nullptr : results[0];
    SendMessageA(child->Grid, WM_GRID_SETBUFFER, (WPARAM)first, arrived && first ? GridKeepsPlace : 0);
    if (previous != first) ReleaseBuffer(previous);
    if (child->Buffer != previous && child->Buffer != first) ReleaseBuffer(child->Buffer);
    child->Buffer = first;
    ReplaceMoreResults(child, results.empty() ? nullptr : results.data() + 1,
                       results.empty() ? 0 : (int32_t)results.size() - 1, arrived);
    child->Arriving.clear();
    for (GRIDBUFFER *buffer : failed) ReleaseBuffer(buffer);
}

void NameResultStatement(CHILDDATA *child, int32_t index, int32_t statement)
{
    if (statement < 0 || (size_t)statement >= child->StatementFirstLines.size()) return;
    if (child->ResultTips.size() <= (size_t)index) child->ResultTips.resize((size_t)index + 1);
    child->ResultTips[(size_t)index] = child->StatementFirstLines[(size_t)statement];
    // A pointer resting on the tab picks up its tip with its next move.
    child->TipTab = -1;
}

} // namespace

void ShowResultBegun(CHILDDATA *child, int32_t index, int32_t statement, GRIDBUFFER *source)
{
    // A view that could not be made leaves the rest to the batch's end.
    if (!child->Executing || index != (int32_t)child->Arriving.size()) return;
    GRIDBUFFER *view = NewArrivingView(source);
    if (!view) return;
    CatchUp(view, source);
    if (index == 0) {
        child->ResultTips.clear();
        // The last batch's results make room for this one's.
        ReplaceMoreResults(child, nullptr, 0);
        GRIDBUFFER *previous = BufferShownByGrid(child);
        SendMessageA(child->Grid, WM_GRID_SETBUFFER, (WPARAM)view, 0);
        ReleaseBuffer(previous);
        if (child->Buffer != previous) ReleaseBuffer(child->Buffer);
        child->Buffer = nullptr;
        ShowTab(child, 0);
        ShowResultsPane(child);
        InvalidateRect(child->Grid, nullptr, TRUE);
    } else if (!AddMoreResult(child, view)) {
        return;
    }
    NameResultStatement(child, index, statement);
    child->Arriving.push_back(source);
}

namespace {

// What one tick spends making tabs: the window answers between ticks.
const double BegunSliceSeconds = 0.02;

double Seconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}

void ForgetBegunResults(CHILDDATA *child)
{
    child->BegunWaiting.clear();
    child->EndWaiting = 0;
    KillTimer(child->Window, BegunResultsTimerId);
}

} // namespace

void OnResultBegun(CHILDDATA *child, int32_t index, int32_t statement, GRIDBUFFER *source)
{
    if (index == 0 && child->BegunWaiting.empty()) return ShowResultBegun(child, index, statement, source);
    child->BegunWaiting.push_back({index, statement, source});
    if (child->BegunWaiting.size() == 1) SetTimer(child->Window, BegunResultsTimerId, USER_TIMER_MINIMUM, nullptr);
}

void ShowBegunResults(CHILDDATA *child)
{
    std::vector<CHILDDATA::BegunResult> &waiting = child->BegunWaiting;
    double start = Seconds();
    size_t shown = 0;
    while (shown < waiting.size() && (shown == 0 || Seconds() - start < BegunSliceSeconds)) {
        const CHILDDATA::BegunResult &begun = waiting[shown++];
        ShowResultBegun(child, begun.Index, begun.Statement, begun.Source);
    }
    waiting.erase(waiting.begin(), waiting.begin() + (ptrdiff_t)shown);
    if (!waiting.empty()) return;
    bool ended = child->EndWaiting != 0;
    ForgetBegunResults(child);
    if (ended) CompleteBatch(child);
}

void OnBatchDone(CHILDDATA *child)
{
    // The sources of the results waiting are the job's until it is shown.
    if (!child->BegunWaiting.empty()) {
        child->EndWaiting = 1;
        return;
    }
    CompleteBatch(child);
}

void ShowArrivingRows(CHILDDATA *child)
{
    for (size_t i = 0; i < child->Arriving.size(); i++) {
        HWND grid = ResultGrid(child, (int32_t)i);
        GRIDBUFFER *view = grid ? reinterpret_cast<GRIDBUFFER *>(SendMessageA(grid, WM_GRID_GETBUFFER, 0, 0)) : nullptr;
        if (view && CatchUp(view, child->Arriving[i]))
            SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)view, GridKeepsPlace);
    }
}

bool ShowsArrivingRows(CHILDDATA *child, HWND grid)
{
    for (size_t i = 0; i < child->Arriving.size(); i++)
        if (ResultGrid(child, (int32_t)i) == grid) return true;
    return false;
}

void StartBatch(CHILDDATA *child)
{
    if (child->Executing) return;
    ForgetBegunResults(child);
    child->StartTicks = GetTickCount();
    SendMessageA(child->Window, WM_TIMER, ElapsedTimerId, 0);
    SetTimer(child->Window, ElapsedTimerId, 1000, nullptr);
    child->Executing = 1;
    child->RowCount = 0;

    // The text is the worker's from here on.
    bool selected = false;
    ForgetStatements(child);
    char *text = TakeBatchText(child, &child->BatchFirstLine, &selected);
    // The history keeps the text as it was typed, DELIMITER lines and all.
    if (text) BeginBatchHistory(child, text, strlen(text));
    text = PrepareBatchText(child, text);
    child->BatchWasSelection = selected;
    // Kept only where a cache of names follows this server.
    if (text && ExistingNameCacheFor(child->Connection)) child->BatchText = text;
    child->BatchDatabase = child->Connection->Database ? child->Connection->Database : "";
    BATCHJOB *job = NewBatchJob(child->Connection, child->Window, text);
    if (job && child->Statements && child->Statements->Certain) SetBatchStatements(job, child->Statements->IsCall);
    SetExecuteEnabled(child, false);
    SetStatusText(child, 0, "Executing query batch...");
    if (!job) {
        // Ended at once; CompleteBatch tells why.
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
    // No record could be made for the batch: the outcome says so.
    BATCHJOB failedToStart = {};
    failedToStart.QueryStatus = -1;
    failedToStart.ErrorText = "Out of memory: the batch could not be started.";
    if (!job) job = &failedToStart;
    // The rows become the window's; everything else is read from the job
    // while it is shown, and goes with it.
    TakeResults(child, job);
    int32_t failedLine = ShowOutcome(child, job);
    EndBatchHistory(child, job);
    if (job != &failedToStart) FreeBatchJob(job);
    ForgetStatements(child);
    if (IsActiveQueryWindow(child)) SetExecuteEnabled(child, true);
    child->Executing = 0;
    NoteBatchForNameCache(child->Connection, child->BatchText.c_str(), child->BatchDatabase);
    child->BatchText.clear();
    ShowResultsPane(child);
    ScrollMessagePaneTo(child->MessagePane, failedLine);
    KillTimer(child->Window, ElapsedTimerId);
    KillTimer(child->Window, ProgressTimerId);
}

void CancelBatch(CHILDDATA *child)
{
    BATCHJOB *job = child->Batch;
    if (!child->Executing || !job) return;
    if (!CancelBatchJob(job, WM_CANCEL_FAILED)) {
        MessageBoxA(child->Window, "The query could not be cancelled: the system is out of memory.", "Vintrel",
                    MB_OK | MB_ICONWARNING);
    }
}

void ReportCancelFailure(CHILDDATA *child, char *error)
{
    // The batch goes on, and Cancel Query may be tried again.
    std::string text = "The query could not be cancelled.\n\n";
    text += error ? error : "";
    free(error);
    MessageBoxA(child->Window, text.c_str(), "Vintrel", MB_OK | MB_ICONWARNING);
}

bool HandOverRunningBatch(CHILDDATA *child)
{
    ForgetBegunResults(child);
    ForgetStatements(child);
    ForgetBatchHistory(child);
    BATCHJOB *job = child->Batch;
    if (!child->Executing || !job) return false;
    child->Batch = nullptr;
    // The statement would otherwise run on the server until it ends by
    // itself.
    StopJobOnServer(job);
    if (AbandonBatchJob(job)) return true;
    // The worker has finished; its completion message dies with the window.
    ReleaseBuffer(job->Buffer);
    for (int32_t i = 0; i < job->MoreBufferCount; i++) ReleaseBuffer(job->MoreBuffers[i]);
    FreeBatchJob(job);
    return false;
}

void ShowBatchProgress(CHILDDATA *child)
{
    if (!child->Executing || !child->Batch) return;
    ShowArrivingRows(child);
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

void ColourMessagePaneRange(HWND pane, LONG start, LONG end, COLORREF colour)
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

void SetMessagePaneText(HWND pane, const char *text, int redPrefix)
{
    SetWindowTextA(pane, text);
    ColourMessagePaneRange(pane, 0, GetWindowTextLengthA(pane), RGB(0, 0, 0));
    if (redPrefix > 0) ColourMessagePaneRange(pane, 0, redPrefix, RGB(255, 0, 0));
}
