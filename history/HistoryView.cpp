#include "history/HistoryView.h"

#include <windows.h>

#include <algorithm>
#include <unordered_set>

#include "base/TextFold.h"
#include "base/ThreadStack.h"

namespace {

std::string_view FoldedText(const HISTORYVIEW &view, size_t i)
{
    const std::string &block = view.FoldedBlocks[i / HistoryFoldBlock];
    size_t start = i % HistoryFoldBlock == 0 ? 0 : view.FoldedEnd[i - 1];
    return std::string_view(block.data() + start, view.FoldedEnd[i] - start);
}

bool Matches(const HISTORYVIEW &view, uint32_t i)
{
    if (view.Removed[i]) return false;
    const HISTORYITEM &item = view.List.Items[i];
    if (view.ServerChosen && item.Server != view.Server) return false;
    if (view.DatabaseChosen && item.Database != view.Database) return false;
    if (view.Needle.empty()) return true;
    return FoldedText(view, i).find(view.Needle) != std::string_view::npos;
}

// The entries the search can look at now: all of them without a search
// text, else those folded.
size_t Searchable(const HISTORYVIEW &view)
{
    return view.Needle.empty() ? view.List.Items.size() : view.FoldedCount.load(std::memory_order_acquire);
}

// Adds the matches among the entries not yet looked at that can be.
bool ShowMoreMatching(HISTORYVIEW *view)
{
    size_t end = Searchable(*view), before = view->Shown.size();
    for (size_t i = view->Searched; i < end; i++)
        if (Matches(*view, (uint32_t)i)) view->Shown.push_back((uint32_t)i);
    view->Searched = std::max(view->Searched, end);
    return view->Shown.size() > before;
}

void ShowAllMatching(HISTORYVIEW *view)
{
    view->Shown.clear();
    view->Searched = 0;
    ShowMoreMatching(view);
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
    std::unordered_set<std::string_view> names;
    std::string_view last;
    for (const HISTORYITEM &item : view.List.Items)
        if (names.empty() || item.*field != last) names.insert(last = item.*field);
    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), [](const std::string &a, const std::string &b) {
        int order = fold::Compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return sorted;
}

// Folds the texts block by block, newest first; a block becomes searchable
// once all of it is folded.
void FoldTexts(HISTORYVIEW *view)
{
    const std::vector<HISTORYITEM> &items = view->List.Items;
    for (size_t block = 0; block < view->FoldedBlocks.size(); block++) {
        size_t first = block * HistoryFoldBlock, end = std::min(items.size(), first + HistoryFoldBlock);
        size_t bytes = 0;
        for (size_t i = first; i < end; i++) bytes += items[i].Text.size();
        std::string &out = view->FoldedBlocks[block];
        // Simple folding keeps most lengths: the reserve is nearly exact.
        out.reserve(bytes + bytes / 8);
        for (size_t i = first; i < end; i++) {
            if (view->StopFolding.load(std::memory_order_relaxed)) return;
            AppendFolded(out, items[i].Text);
            view->FoldedEnd[i] = out.size();
        }
        view->FoldedCount.store(end, std::memory_order_release);
        // The window is told often enough that matches keep coming, seldom
        // enough that it does not redraw for each block.
        if (view->OnFolded && ((block + 1) % 8 == 0 || end == items.size())) view->OnFolded();
    }
}

DWORD WINAPI FoldingThread(void *parameter)
{
    AnnounceThreadStack();
    HISTORYVIEW *view = static_cast<HISTORYVIEW *>(parameter);
    try {
        FoldTexts(view);
    } catch (...) {
        // Out of memory: what is folded can still be searched.
        view->FoldingFailed = true;
        if (view->OnFolded) view->OnFolded();
    }
    return 0;
}

void StopFoldingThread(HISTORYVIEW *view)
{
    if (!view->FoldingThread) return;
    view->StopFolding = true;
    WaitForSingleObject(view->FoldingThread, INFINITE);
    CloseHandle(view->FoldingThread);
    view->FoldingThread = nullptr;
}

} // namespace

HISTORYVIEW::~HISTORYVIEW() { StopFoldingThread(this); }

bool OpenHistoryView(const std::string &folder, HISTORYVIEW *view, std::function<void()> onFolded)
{
    StopFoldingThread(view);
    view->FoldedBlocks.clear();
    view->FoldedEnd.clear();
    view->FoldedCount = 0;
    view->StopFolding = false;
    view->FoldingFailed = false;
    view->OnFolded = std::move(onFolded);
    view->RemovedCount = 0;
    view->Needle.clear();
    view->ServerChosen = view->DatabaseChosen = false;
    view->Server.clear();
    view->Database.clear();
    bool read = LoadHistory(folder, &view->List);
    size_t count = view->List.Items.size();
    view->FoldedBlocks.resize((count + HistoryFoldBlock - 1) / HistoryFoldBlock);
    view->FoldedEnd.assign(count, 0);
    view->Removed.assign(count, 0);
    size_t bytes = 0;
    for (const HISTORYITEM &item : view->List.Items) bytes += item.Text.size();
    // A few megabytes fold in a few milliseconds: a thread would only make
    // the first keystroke find less.
    if (view->OnFolded && bytes > HistoryFoldInline)
        view->FoldingThread = CreateThread(nullptr, 0, FoldingThread, view, 0, nullptr);
    if (!view->FoldingThread) FoldTexts(view);
    ShowAllMatching(view);
    return read;
}

void WaitForHistoryFolding(HISTORYVIEW *view)
{
    if (view->FoldingThread) WaitForSingleObject(view->FoldingThread, INFINITE);
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
    ShowMoreMatching(view);
}

bool ContinueHistorySearch(HISTORYVIEW *view) { return ShowMoreMatching(view); }

bool HistorySearchComplete(const HISTORYVIEW &view) { return view.Searched >= view.List.Items.size(); }

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
