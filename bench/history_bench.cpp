// The history with 100,000 batches recorded: opening the history window's
// view (reading and checking every entry, the server and database choices;
// the folding of the texts for the search that follows on a thread), a search keystroke, and recording one batch (what the end of a
// batch waits for, and the recorder thread's append). Needs no server.
// "history_bench large" pads each batch to about 1 KB: the 100 MB bound.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"

namespace {

const int Batches = 100000;
// "large": every batch padded to about 1 KB, so that the 100,000 fill the
// 100 MB the bound allows.
bool LargeBatches = false;

// Batches of the kinds people run, 40 to 600 bytes, some over several
// lines, a few with letters outside ASCII.
std::string BatchText(int i)
{
    char text[700];
    switch (i % 6) {
    case 0: snprintf(text, sizeof text, "SELECT * FROM orders WHERE customer_id = %d", i); break;
    case 1:
        snprintf(text, sizeof text,
                 "SELECT o.id, o.placed_at, c.name, SUM(l.amount) AS total\r\nFROM orders o\r\n"
                 "JOIN customers c ON c.id = o.customer_id\r\nJOIN order_lines l ON l.order_id = o.id\r\n"
                 "WHERE o.placed_at >= '2026-%02d-01' AND c.city = 'Zürich'\r\nGROUP BY o.id, o.placed_at, c.name\r\n"
                 "ORDER BY total DESC\r\nLIMIT %d",
                 i % 12 + 1, i % 500);
        break;
    case 2: snprintf(text, sizeof text, "update inventory set quantity = quantity - %d where sku = 'SKU-%06d'", i % 7, i); break;
    case 3: snprintf(text, sizeof text, "show create table audit_log_%d", i % 40); break;
    case 4:
        snprintf(text, sizeof text,
                 "-- nightly check %d\r\nselect count(*), min(created), max(created)\r\nfrom events\r\n"
                 "where kind in ('login', 'logout', 'reset_requested', 'profile_updated')\r\n"
                 "  and created between now() - interval 1 day and now()",
                 i);
        break;
    default: snprintf(text, sizeof text, "insert into notes (author, body) values ('Ægir', 'note number %d')", i); break;
    }
    return text;
}

HISTORYENTRY BenchEntry(int i)
{
    static const char *servers[] = {"db-prod-1", "db-prod-2", "localhost", "reports.internal"};
    static const char *databases[] = {"shop", "shop_archive", "analytics", "mysql", "test"};
    HISTORYENTRY entry;
    StampHistoryEntry(&entry);
    // Spread over the last hundred days.
    entry.Started -= (int64_t)(Batches - i) * 86400LL * 10000000LL / 1000;
    entry.Server = servers[i % 4];
    entry.User = "ann";
    entry.Database = databases[i % 5];
    entry.DurationMs = (uint32_t)(i % 3000);
    entry.Outcome = i % 50 == 0 ? HistoryFailed : HistoryRowsReturned;
    entry.Rows = i % 1000;
    if (entry.Outcome == HistoryFailed) {
        entry.ErrorNumber = 1064;
        entry.Error = "You have an error in your SQL syntax; check the manual near 'selec' at line 1";
    }
    std::string text = BatchText(i);
    if (LargeBatches)
        while (text.size() < 1000) text += "\r\n-- " + BatchText(i + (int)text.size());
    TextForHistory(text.data(), text.size(), &entry);
    return entry;
}

std::string TemporaryFolder()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    std::string folder = std::string(base) + "vintrel-history-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::string &folder)
{
    for (const char *name : {HISTORY_FILE, HISTORY_LOCK_FILE}) DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

double Milliseconds(double seconds) { return seconds * 1000.0; }

void Fill(const std::string &folder)
{
    double start = NowSeconds();
    std::vector<HISTORYENTRY> chunk;
    for (int i = 0; i < Batches; i++) {
        chunk.push_back(BenchEntry(i));
        if (chunk.size() == 5000) {
            AppendHistory(folder, chunk);
            chunk.clear();
        }
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA((folder + "\\" HISTORY_FILE).c_str(), GetFileExInfoStandard, &data);
    printf("filled: %d batches, %.1f MB, in %.0f ms\n", Batches, data.nFileSizeLow / 1048576.0,
           Milliseconds(NowSeconds() - start));
}

void MeasureOpen(const std::string &folder, HISTORYVIEW &view)
{
    // As the window opens it: the list drawn once the entries are read and
    // checked, the texts folded for the search on a thread of their own.
    auto onFolded = [] {};
    double best = 1e9, worst = 0, bestFolded = 1e9, worstFolded = 0;
    for (int run = 0; run < 3; run++) {
        double start = NowSeconds();
        OpenHistoryView(folder, &view, onFolded);
        std::vector<std::string> servers = HistoryServers(view), databases = HistoryDatabases(view);
        double took = Milliseconds(NowSeconds() - start);
        WaitForHistoryFolding(&view);
        double folded = Milliseconds(NowSeconds() - start);
        best = std::min(best, took);
        worst = std::max(worst, took);
        bestFolded = std::min(bestFolded, folded);
        worstFolded = std::max(worstFolded, folded);
    }
    printf("open (read and check %u entries, choices, the list ready): best %.0f ms, worst %.0f ms (target 300 ms)\n",
           (unsigned)view.List.Items.size(), best, worst);
    printf("  every text folded for the search (on its own thread) by: best %.0f ms, worst %.0f ms after the open began\n",
           bestFolded, worstFolded);
    // Where the time goes: reading and checking the file, then the view's
    // own work, then the server and database choices.
    double start = NowSeconds();
    {
        HISTORYLIST list;
        LoadHistory(folder, &list);
    }
    double loaded = NowSeconds();
    OpenHistoryView(folder, &view, onFolded);
    double opened = NowSeconds();
    HistoryServers(view);
    HistoryDatabases(view);
    double chosen = NowSeconds();
    printf("  of which: read and check %.0f ms, the rest of the view %.0f ms, choices %.0f ms\n",
           Milliseconds(loaded - start), Milliseconds(opened - loaded) - Milliseconds(loaded - start),
           Milliseconds(chosen - opened));
    // A keystroke at once, before the folding is done: it searches what is
    // folded, the rest is looked at as it arrives.
    start = NowSeconds();
    SearchHistoryView(&view, "customer");
    double early = Milliseconds(NowSeconds() - start);
    size_t earlyShown = view.Shown.size();
    WaitForHistoryFolding(&view);
    start = NowSeconds();
    ContinueHistorySearch(&view);
    printf("  a keystroke at once (\"customer\"): %.1f ms, %u matches, then the rest %.1f ms: %u matches\n", early,
           (unsigned)earlyShown, Milliseconds(NowSeconds() - start), (unsigned)view.Shown.size());
    SearchHistoryView(&view, "");
}

void MeasureSearch(HISTORYVIEW &view)
{
    // Typed one character at a time, then taken back, then a second word.
    std::vector<std::string> keystrokes;
    std::string typed;
    for (char c : std::string("customer_id")) keystrokes.push_back(typed += c);
    while (!typed.empty()) keystrokes.push_back(typed.erase(typed.size() - 1));
    typed.clear();
    for (const char *c : {"z", "ü", "r", "i", "c", "h"}) keystrokes.push_back(typed += c);
    double worst = 0, total = 0;
    std::string worstText;
    for (const std::string &text : keystrokes) {
        double start = NowSeconds();
        SearchHistoryView(&view, text);
        double took = Milliseconds(NowSeconds() - start);
        total += took;
        if (took > worst) {
            worst = took;
            worstText = text;
        }
    }
    printf("search keystroke: mean %.1f ms, worst %.1f ms (\"%s\") over %u keystrokes (target 50 ms); "
           "\"zürich\" matches %u\n",
           total / keystrokes.size(), worst, worstText.c_str(), (unsigned)keystrokes.size(), (unsigned)view.Shown.size());
}

void MeasureRecording(const std::string &folder)
{
    // What the end of a batch waits for: handing the entry to the recorder.
    StartHistoryRecorder(folder);
    double worstHand = 0, totalHand = 0, worstFlush = 0, totalFlush = 0;
    const int count = 100;
    for (int i = 0; i < count; i++) {
        HISTORYENTRY entry = BenchEntry(Batches + i);
        double start = NowSeconds();
        RecordBatch(std::move(entry));
        double handed = NowSeconds();
        FlushHistoryRecorder();
        double written = NowSeconds();
        worstHand = std::max(worstHand, Milliseconds(handed - start));
        totalHand += Milliseconds(handed - start);
        worstFlush = std::max(worstFlush, Milliseconds(written - handed));
        totalFlush += Milliseconds(written - handed);
    }
    StopHistoryRecorder();
    printf("recording a batch: the batch's end waits mean %.3f ms, worst %.3f ms (target 5 ms); "
           "the recorder's append (lock, write, flush) mean %.1f ms, worst %.1f ms\n",
           totalHand / count, worstHand, totalFlush / count, worstFlush);
}

// At the start of a batch its text is looked through for passwords and
// copied (the first 1 MB): what a large script costs.
void MeasureNotingText()
{
    for (size_t megabytes : {1, 50}) {
        std::string text;
        text.reserve(megabytes << 20);
        for (int i = 0; text.size() < (megabytes << 20); i++) text += BatchText(i) + ";\r\n";
        HISTORYENTRY entry;
        double start = NowSeconds();
        TextForHistory(text.data(), text.size(), &entry);
        printf("noting a %u MB batch's text at its start: %.1f ms\n", (unsigned)megabytes,
               Milliseconds(NowSeconds() - start));
    }
}

} // namespace

int main(int argc, char **argv)
{
    LargeBatches = argc > 1 && std::string(argv[1]) == "large";
    std::string folder = TemporaryFolder();
    Fill(folder);
    HISTORYVIEW view;
    MeasureOpen(folder, view);
    MeasureSearch(view);
    MeasureRecording(folder);
    MeasureNotingText();
    printf("resident memory: %.0f MiB\n", ResidentMiB());
    RemoveFolder(folder);
    return 0;
}
