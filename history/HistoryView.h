// The history as the history window shows it: every entry read once, their
// texts folded once for the search (after the list can be drawn: on a
// thread of their own), and the entries that match the search
// text and the chosen server and database, newest first. Kept apart from
// the window so that the benchmark times what the window does.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/HistoryStore.h"

// How many entries are folded before the searchable part grows: a search
// reads a block only once all of it is folded.
constexpr size_t HistoryFoldBlock = 2048;

// Texts up to this many bytes together are folded before the view opens.
constexpr size_t HistoryFoldInline = 4 * 1024 * 1024;

struct HISTORYVIEW {
    HISTORYVIEW() = default;
    HISTORYVIEW(const HISTORYVIEW &) = delete;
    HISTORYVIEW &operator=(const HISTORYVIEW &) = delete;
    ~HISTORYVIEW();

    HISTORYLIST List;
    // The texts folded (base/TextFold.h), HistoryFoldBlock entries to a
    // block; entry i's ends at FoldedEnd[i] in its block and starts where
    // the one before it in the block ends. Written by the folding thread,
    // read for entries below FoldedCount only.
    std::vector<std::string> FoldedBlocks;
    std::vector<size_t> FoldedEnd;
    std::atomic<size_t> FoldedCount{0};
    std::atomic<bool> StopFolding{false};
    std::atomic<bool> FoldingFailed{false}; // out of memory: the entries past FoldedCount are never searched
    void *FoldingThread = nullptr;
    std::function<void()> OnFolded; // called on the folding thread as entries become searchable
    std::vector<uint8_t> Removed;  // per entry: deleted from the history
    size_t RemovedCount = 0;
    std::vector<uint32_t> Shown;   // entries that match, newest first
    size_t Searched = 0;           // the entries below this one have been looked at for Shown
    std::string Needle;            // the search text, folded
    bool ServerChosen = false, DatabaseChosen = false;
    std::string Server, Database;  // the choices, when chosen
};

// Reads the history in folder and shows every entry. False when the file
// could not be read (the view is then empty). With onFolded the texts are
// folded for the search on a thread of their own, newest first, and
// onFolded is called there each time more of them can be searched (the
// window then calls ContinueHistorySearch); without it, or when they are
// no more than HistoryFoldInline bytes, they are folded before this returns.
bool OpenHistoryView(const std::string &folder, HISTORYVIEW *view, std::function<void()> onFolded = nullptr);

// Waits until every text is folded.
void WaitForHistoryFolding(HISTORYVIEW *view);

// The entries whose text contains search (UTF-8), without regard to case.
// A search that extends the last one looks only among the entries shown.
// While texts are still being folded it looks at those folded so far.
void SearchHistoryView(HISTORYVIEW *view, const std::string &search);

// Looks at the entries folded since the search last looked (their matches
// go after the others: they are older). True when more were shown.
bool ContinueHistorySearch(HISTORYVIEW *view);

// Whether the search has looked at every entry.
bool HistorySearchComplete(const HISTORYVIEW &view);

// Only the entries of that server (null: every server), and of that
// database (null: every database).
void ChooseInHistoryView(HISTORYVIEW *view, const std::string *server, const std::string *database);

// Marks entry (an index into List.Items) removed and shows the rest.
void DropFromHistoryView(HISTORYVIEW *view, uint32_t entry);

// The distinct servers and databases of the entries, sorted without regard
// to case.
std::vector<std::string> HistoryServers(const HISTORYVIEW &view);
std::vector<std::string> HistoryDatabases(const HISTORYVIEW &view);

// The first line of a text that is not blank, cut to limit bytes (on a
// character boundary).
std::string FirstLineOf(std::string_view text, size_t limit = 200);
