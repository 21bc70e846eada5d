#include "querywindow/BatchHistory.h"

#include <new>

#include "history/HistoryStore.h"

namespace {

void DescribeOutcome(const BATCHJOB *job, HISTORYENTRY *entry)
{
    if (job->Cancelled) {
        entry->Outcome = HistoryCancelled;
        entry->Rows = job->RowCount;
        return;
    }
    if (job->QueryStatus != 0) {
        entry->Outcome = HistoryFailed;
        entry->ErrorNumber = job->ErrorNumber;
        entry->Error = job->ErrorText ? job->ErrorText : "";
        return;
    }
    // A script's statements together: the rows its result sets returned,
    // and the rows its other statements changed.
    bool returned = job->HasResultSet;
    int64_t rows = 0, affected = 0;
    for (int32_t i = 0; i < job->OutcomeCount; i++) {
        if (job->Outcomes[i].Kind == OutcomeShown) {
            returned = true;
            rows += job->Outcomes[i].Rows;
        } else {
            affected += job->Outcomes[i].Rows > 0 ? job->Outcomes[i].Rows : 0;
        }
    }
    if (job->OutcomeCount == 0) {
        rows = job->RowCount;
        affected = job->AffectedRows > 0 ? job->AffectedRows : 0;
    }
    entry->Outcome = returned ? HistoryRowsReturned : HistoryRowsAffected;
    entry->Rows = rows;
    entry->Affected = affected;
}

} // namespace

void BeginBatchHistory(CHILDDATA *child, const char *text, size_t length)
{
    ForgetBatchHistory(child);
    if (HistoryFolder().empty()) return;
    HISTORYENTRY *entry = new (std::nothrow) HISTORYENTRY();
    if (!entry) return;
    try {
        StampHistoryEntry(entry);
        TextForHistory(text, length, entry);
        const CONNECTIONINFO *connection = child->Connection;
        entry->Server = connection && connection->Host ? connection->Host : "";
        entry->User = connection && connection->User ? connection->User : "";
        entry->Database = connection && connection->Database ? connection->Database : "";
    } catch (const std::bad_alloc &) {
        delete entry;
        return;
    }
    child->HistoryEntry = entry;
}

void EndBatchHistory(CHILDDATA *child, const BATCHJOB *job)
{
    HISTORYENTRY *entry = child->HistoryEntry;
    child->HistoryEntry = nullptr;
    if (!entry) return;
    try {
        entry->DurationMs = GetTickCount() - child->StartTicks;
        DescribeOutcome(job, entry);
        RecordBatch(std::move(*entry));
    } catch (const std::bad_alloc &) {
    }
    delete entry;
}

void ForgetBatchHistory(CHILDDATA *child)
{
    delete child->HistoryEntry;
    child->HistoryEntry = nullptr;
}
