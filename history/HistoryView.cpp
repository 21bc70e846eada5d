#include "history/HistoryView.h"

#include <algorithm>
#include <set>

#include "base/TextFold.h"

namespace {

bool Matches(const HISTORYVIEW &view, uint32_t i)
{
    if (view.Removed[i]) return false;
    const HISTORYITEM &item = view.List.Items[i];
    if (view.ServerChosen && item.Server != view.Server) return false;
    if (view.DatabaseChosen && item.Database != view.Database) return false;
    if (view.Needle.empty()) return true;
    std::string_view folded(view.Folded.data() + view.FoldedStart[i], view.FoldedStart[i + 1] - view.FoldedStart[i]);
    return folded.find(view.Needle) != std::string_view::npos;
}

void ShowAllMatching(HISTORYVIEW *view)
{
    view->Shown.clear();
    for (uint32_t i = 0; i < view->List.Items.size(); i++)
        if (Matches(*view, i)) view->Shown.push_back(i);
}

// fold::AppendUtf8, faster on text that is mostly ASCII with a few other
// characters (a name with an umlaut in a long query): the ASCII runs are
// folded here byte by byte (A-Z to a-z, as the folding does), the rest
// handed to the folding. A UTF-8 sequence has no ASCII byte inside it, so
// the runs never split a character.
void AppendFolded(std::string &out, std::string_view text)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t run = at;
        while (run < text.size() && (unsigned char)text[run] < 0x80) run++;
        size_t start = out.size();
        out.append(text.data() + at, run - at);
        for (size_t i = start; i < out.size(); i++)
            if (out[i] >= 'A' && out[i] <= 'Z') out[i] = (char)(out[i] + ('a' - 'A'));
        at = run;
        while (run < text.size() && (unsigned char)text[run] >= 0x80) run++;
        if (run > at) fold::AppendUtf8(out, text.substr(at, run - at));
        at = run;
    }
}

std::vector<std::string> Distinct(const HISTORYVIEW &view, std::string_view HISTORYITEM::*field)
{
    std::set<std::string_view> names;
    for (const HISTORYITEM &item : view.List.Items) names.insert(item.*field);
    std::vector<std::string> sorted(names.begin(), names.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const std::string &a, const std::string &b) { return fold::Compare(a, b) < 0; });
    return sorted;
}

} // namespace

bool OpenHistoryView(const std::string &folder, HISTORYVIEW *view)
{
    *view = HISTORYVIEW();
    bool read = LoadHistory(folder, &view->List);
    size_t count = view->List.Items.size();
    size_t bytes = 0;
    for (const HISTORYITEM &item : view->List.Items) bytes += item.Text.size();
    // Simple folding keeps most lengths: the reserve is nearly exact.
    view->Folded.reserve(bytes + bytes / 8);
    view->FoldedStart.reserve(count + 1);
    for (const HISTORYITEM &item : view->List.Items) {
        view->FoldedStart.push_back(view->Folded.size());
        AppendFolded(view->Folded, item.Text);
    }
    view->FoldedStart.push_back(view->Folded.size());
    view->Removed.assign(count, 0);
    ShowAllMatching(view);
    return read;
}

void SearchHistoryView(HISTORYVIEW *view, const std::string &search)
{
    std::string needle = fold::Utf8(search);
    bool narrower = !view->Needle.empty() && needle.find(view->Needle) != std::string::npos;
    view->Needle = needle;
    if (!narrower) {
        ShowAllMatching(view);
        return;
    }
    std::vector<uint32_t> kept;
    kept.reserve(view->Shown.size());
    for (uint32_t i : view->Shown)
        if (Matches(*view, i)) kept.push_back(i);
    view->Shown.swap(kept);
}

void ChooseInHistoryView(HISTORYVIEW *view, const std::string *server, const std::string *database)
{
    view->ServerChosen = server != nullptr;
    view->Server = server ? *server : std::string();
    view->DatabaseChosen = database != nullptr;
    view->Database = database ? *database : std::string();
    ShowAllMatching(view);
}

void DropFromHistoryView(HISTORYVIEW *view, uint32_t entry)
{
    if (entry >= view->Removed.size() || view->Removed[entry]) return;
    view->Removed[entry] = 1;
    view->RemovedCount++;
    view->Shown.erase(std::remove(view->Shown.begin(), view->Shown.end(), entry), view->Shown.end());
}

std::vector<std::string> HistoryServers(const HISTORYVIEW &view) { return Distinct(view, &HISTORYITEM::Server); }

std::vector<std::string> HistoryDatabases(const HISTORYVIEW &view) { return Distinct(view, &HISTORYITEM::Database); }

std::string FirstLineOf(std::string_view text, size_t limit)
{
    size_t start = 0;
    for (;;) {
        size_t end = text.find_first_of("\r\n", start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (line.find_first_not_of(" \t") != std::string_view::npos || end == std::string_view::npos) {
            size_t first = line.find_first_not_of(" \t");
            line = first == std::string_view::npos ? std::string_view() : line.substr(first);
            if (line.size() > limit) {
                size_t cut = limit;
                while (cut > 0 && (line[cut] & 0xC0) == 0x80) cut--;
                return std::string(line.substr(0, cut)) + "...";
            }
            return std::string(line);
        }
        start = end + 1;
    }
}
