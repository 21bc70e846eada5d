// The history as the history window shows it: every entry read once, their
// texts folded once for the search, and the entries that match the search
// text and the chosen server and database, newest first. Kept apart from
// the window so that the benchmark times what the window does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/HistoryStore.h"

struct HISTORYVIEW {
    HISTORYLIST List;
    // The texts folded (base/TextFold.h), one after another; entry i's is
    // Folded[FoldedStart[i], FoldedStart[i + 1]).
    std::string Folded;
    std::vector<size_t> FoldedStart;
    std::vector<uint8_t> Removed;  // per entry: deleted from the history
    size_t RemovedCount = 0;
    std::vector<uint32_t> Shown;   // entries that match, newest first
    std::string Needle;            // the search text, folded
    bool ServerChosen = false, DatabaseChosen = false;
    std::string Server, Database;  // the choices, when chosen
};

// Reads the history in folder and shows every entry. False when the file
// could not be read (the view is then empty).
bool OpenHistoryView(const std::string &folder, HISTORYVIEW *view);

// The entries whose text contains search (UTF-8), without regard to case.
// A search that extends the last one looks only among the entries shown.
void SearchHistoryView(HISTORYVIEW *view, const std::string &search);

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
