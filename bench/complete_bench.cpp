// Name completion benchmark (not a test): the editor's list and the
// query window's choice of candidates at the scale of 100,000 tables and
// 1,000,000 columns, names held in memory; then, when the object browser's
// benchmark has made its database (vintrel_bench_names, 100,000 tables of
// 10 columns), a real query window completing from the real cache of
// names. Prints the figures; run by scripts/bench.sh.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchSupport.h"
#include "app/Startup.h"
#include "app/FrameWindow.h"
#include "base/TextFold.h"
#include "catalog/NameCache.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"
#include "editor/CodeMaxControl.h"
#include "querywindow/EditorSetup.h"
#include "querywindow/SqlCompletion.h"

namespace {

// Milliseconds, from the benchmarks' shared clock.
double Now() { return NowSeconds() * 1000.0; }

void Paint(HWND window)
{
    if (window) RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW);
}

void Report(const char *what, double ms, double limit)
{
    printf("%-66s %9.2f ms  (target < %.0f ms) %s\n", what, ms, limit, ms < limit ? "ok" : "SLOW");
}

// 100,000 tables of 10 columns each, held as a cache holds them: names with
// their folded forms beside them (and whether they need quoting, which the
// cache decides on its worker); the list of tables built once, before the
// clock starts, and copied into each list, as the query window's names
// from the cache do.
class BenchNames : public CompletionNames {
public:
    BenchNames()
    {
        char name[32];
        for (int i = 1; i <= 100000; i++) {
            snprintf(name, sizeof name, "table_%06d", i);
            tables.push_back(name);
            folded.push_back(fold::Utf8(name));
            index[name] = i - 1;
        }
        for (int c = 1; c <= 10; c++) {
            snprintf(name, sizeof name, "column_%02d", c);
            columns.push_back(name);
        }
        for (size_t i = 0; i < tables.size(); i++) built.AddName(tables[i], folded[i], CompleteTable, false);
    }
    bool AddDatabases(CompletionList &out) override
    {
        out.AddName("bench_catalog", "bench_catalog", CompleteDatabase);
        out.AddName("mysql", "mysql", CompleteDatabase);
        return true;
    }
    bool AddTables(const std::string &, CompletionList &out) override
    {
        out.Append(built);
        return true;
    }
    bool AddColumns(const std::string &, const std::string &table, CompletionList &out) override
    {
        if (!index.count(table)) return true;
        for (const std::string &column : columns) out.AddName(column, column, CompleteColumn);
        return true;
    }
    std::string FindDatabase(std::string_view name) override
    {
        return name == "bench_catalog" || name == "mysql" ? std::string(name) : std::string();
    }
    std::string FindTable(const std::string &, std::string_view name) override
    {
        auto found = index.find(std::string(name));
        return found == index.end() ? std::string() : found->first;
    }

private:
    std::vector<std::string> tables, folded, columns;
    std::unordered_map<std::string, size_t> index;
    CompletionList built;
};

// The editor's parent: answers the editor's requests as the query window
// does (its text read, the statement read, the candidates built and shown).
struct BenchParent {
    BenchNames names;
    CompletionList candidates;
    std::vector<EDITORCOMPLETIONITEM> items;
    HWND editor = nullptr;
};
BenchParent *Parent;

void ShowAtCaret(HWND editor, bool request)
{
    EDITORRANGE selection{};
    SendMessageW(editor, WM_EDITOR_GETSEL, 1, reinterpret_cast<LPARAM>(&selection));
    EDITORRANGE before = {{1, 1}, selection.End};
    size_t caretOffset = static_cast<size_t>(SendMessageW(editor, WM_EDITOR_GETTEXTLENGTH,
                                                          reinterpret_cast<WPARAM>(&before), 0));
    size_t length = static_cast<size_t>(SendMessageW(editor, WM_EDITOR_GETTEXTLENGTH, 0, 0));
    std::string text(length + 1, '\0');
    SendMessageW(editor, WM_EDITOR_GETTEXT, 0, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    SQLCARET caret = ReadSqlCaret(text, caretOffset);
    CompletionList &list = Parent->candidates;
    list.Clear();
    COMPLETIONRESULT result = BuildCompletion(caret, "bench_catalog", Parent->names, list);
    if (!request && !result.AfterKnownName) return;
    std::vector<EDITORCOMPLETIONITEM> &items = Parent->items;
    list.Items(items);
    size_t lineStart = text.rfind('\n', caret.TypedStart ? caret.TypedStart - 1 : 0);
    lineStart = lineStart == std::string::npos || caret.TypedStart == 0 ? 0 : lineStart + 1;
    EDITORCOMPLETION completion{static_cast<int32_t>(caret.TypedStart - lineStart) + 1,
                                static_cast<uint32_t>(items.size()), items.data(), CompletionKindLabels,
                                CompletionKindCount, request ? uint32_t(EDITORCOMPLETION_INSERTSINGLE) : 0u};
    SendMessageW(editor, WM_EDITOR_SHOWCOMPLETION, 0, reinterpret_cast<LPARAM>(&completion));
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR *>(lParam)->code == EDITORN_COMPLETIONNEEDED) {
        const NMEDITORCOMPLETION *notice = reinterpret_cast<const NMEDITORCOMPLETION *>(lParam);
        ShowAtCaret(notice->Header.hwndFrom, notice->Reason == EDITORCOMPLETE_REQUEST);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND ListOf(HWND editor)
{
    EDITORCOMPLETIONSTATE state{};
    SendMessageW(editor, WM_EDITOR_GETCOMPLETION, 0, reinterpret_cast<LPARAM>(&state));
    return state.List;
}

int Shown(HWND editor)
{
    EDITORCOMPLETIONSTATE state{};
    SendMessageW(editor, WM_EDITOR_GETCOMPLETION, 0, reinterpret_cast<LPARAM>(&state));
    return state.Shown;
}

void Caret(HWND editor, int line, int column)
{
    EDITORRANGE range{{line, column}, {line, column}};
    SendMessageW(editor, WM_EDITOR_SETSEL, 1, reinterpret_cast<LPARAM>(&range));
}

// What the window was sent or posted meanwhile (the caret's timer, the
// display's events), handled as between a person's keystrokes: outside
// the clock.
void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// One key: its messages, then the editor and the list painted.
double TimedKey(HWND editor, WPARAM key)
{
    Pump();
    double start = Now();
    if (key == VK_BACK)
        SendMessageW(editor, WM_KEYDOWN, VK_BACK, 1);
    else
        SendMessageW(editor, WM_CHAR, key, 1);
    Paint(editor);
    Paint(ListOf(editor));
    return Now() - start;
}

// The worst and the median of the times (the worst on a shared machine is
// mostly other programs' doing).
void ReportTimes(std::vector<double> times, const char *what)
{
    std::sort(times.begin(), times.end());
    char line[200];
    snprintf(line, sizeof line, "%s, worst of %zu", what, times.size());
    Report(line, times.back(), 16);
    snprintf(line, sizeof line, "%s, median", what);
    Report(line, times[times.size() / 2], 16);
}

// 50 lists asked for between SELECT and FROM of text, each timed to the
// list painted.
template <typename Complete>
std::vector<double> TimeLists(HWND editor, const char *text, Complete complete)
{
    std::vector<double> times;
    for (int i = 0; i < 50; i++) {
        SetWindowTextA(editor, text);
        Caret(editor, 1, 8);
        Pump();
        double begin = Now();
        complete();
        Paint(ListOf(editor));
        times.push_back(Now() - begin);
    }
    return times;
}

// 200 keystrokes that narrow and widen the open list.
void TypeIntoList(HWND editor, const char *typed, const char *what)
{
    std::vector<double> times;
    int len = static_cast<int>(strlen(typed));
    while (times.size() < 200) {
        for (int i = 0; i < len && times.size() < 200; i++) times.push_back(TimedKey(editor, WPARAM(typed[i])));
        for (int i = 0; i < len && times.size() < 200; i++) times.push_back(TimedKey(editor, VK_BACK));
    }
    ReportTimes(times, what);
}

// A million candidates straight to the editor's list.
void MillionCandidates(HWND editor)
{
    std::vector<std::string> names;
    names.reserve(1000000);
    char name[40];
    for (int t = 1; t <= 100000; t++)
        for (int c = 1; c <= 10; c++) {
            snprintf(name, sizeof name, "table_%06d_column_%02d", t, c);
            names.push_back(name);
        }
    std::vector<EDITORCOMPLETIONITEM> items(names.size());
    for (size_t i = 0; i < names.size(); i++) {
        items[i].Text = names[i].data();
        items[i].TextLength = static_cast<uint32_t>(names[i].size());
        items[i].Folded = names[i].data(); // already folded: lower-case ASCII
        items[i].FoldedLength = items[i].TextLength;
    }
    SetWindowTextA(editor, "SELECT ");
    Caret(editor, 1, 8);
    double start = Now();
    EDITORCOMPLETION completion{8, static_cast<uint32_t>(items.size()), items.data(), nullptr, 0, 0};
    SendMessageW(editor, WM_EDITOR_SHOWCOMPLETION, 0, reinterpret_cast<LPARAM>(&completion));
    Paint(ListOf(editor));
    printf("%-66s %9.2f ms  (no target: Ctrl+Space offers 100,000)\n", "1,000,000 candidates given to the list to the list shown",
           Now() - start);
    TypeIntoList(editor, "table_0999", "1,000,000 candidates: typed character to narrowed list painted");
    TypeIntoList(editor, "99_col", "1,000,000 candidates, 'contains' matches: typed character to list painted");
    SendMessageW(editor, WM_EDITOR_CLOSECOMPLETION, 0, 0);
}

std::string MakeScript(int lines)
{
    std::string script;
    char line[160];
    for (int i = 0; i < lines; ++i) {
        int n = snprintf(line, sizeof line, "SELECT a.column_01, b.column_02 FROM table_%06d a JOIN table_000001 b;\n",
                         i % 100000 + 1);
        script.append(line, static_cast<size_t>(n));
    }
    return script;
}

// Pumps messages until the condition holds; false after the limit.
template <typename Condition>
bool PumpUntil(Condition condition, double limitMs)
{
    double start = Now();
    while (!condition()) {
        if (Now() - start > limitMs) return false;
        Pump();
        Sleep(1);
    }
    return true;
}

const char NamesDatabase[] = "vintrel_bench_names";

bool NamesDatabaseMade()
{
    MYSQL *mysql = ConnectBenchServer();
    bool made = false;
    if (mysql_query(mysql, "SHOW TABLES FROM vintrel_bench_names LIKE 'events_099999'") == 0) {
        MYSQL_RES *result = mysql_store_result(mysql);
        made = result && mysql_num_rows(result) == 1;
        if (result) mysql_free_result(result);
    }
    mysql_close(mysql);
    return made;
}

// A query window of the program on the 100,000-table database, its names
// from the cache: Ctrl+Space is its command, as the accelerator gives it.
void CachedDatabase()
{
    if (!NamesDatabaseMade()) {
        printf("(the 100,000-table database is not made: run browser_bench first for the cache figures)\n");
        return;
    }
    RegisterProgramClasses();
    HWND frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                 1200, 900, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    CONNECTIONINFO *connection = OpenBenchConnection(NamesDatabase);
    if (!connection) return;
    HWND window = CreateQueryWindow(connection, true);
    HWND editor = StateOf<CHILDDATA>(window)->Editor;
    SetFocus(editor);
    auto complete = [&] { SendMessageA(window, WM_COMMAND, CMD_COMPLETENAME, 0); };

    // The first list makes the cache, which loads the database's tables.
    SetWindowTextA(editor, "SELECT 1");
    Caret(editor, 1, 9);
    double start = Now();
    complete();
    bool loaded = PumpUntil([&] {
        auto objects = GetObjects(NameCacheFor(connection), NamesDatabase);
        return objects->State == CatalogLoaded && objects->Names[KindTable].Count() >= 100000;
    }, 120000);
    printf("(cache: 100,000 table names loaded in %.0f ms%s)\n", Now() - start, loaded ? "" : ", NOT LOADED");

    // A table the statement names, never opened: the list shows at once,
    // its columns join it when they arrive.
    SetWindowTextA(editor, "SELECT  FROM customers_000041 c");
    Caret(editor, 1, 8);
    start = Now();
    complete();
    Paint(ListOf(editor));
    double shown = Now() - start;
    int before = Shown(editor);
    bool joined = PumpUntil([&] { return Shown(editor) > before; }, 10000);
    double columns = Now() - start;
    printf("(list of %d names, then %d with the columns)\n", before, Shown(editor));
    Report("cache: Ctrl+Space to list shown, a table of the statement never opened", shown, 16);
    printf("%-66s %9.2f ms  %s\n", "cache: ... its columns joined the open list after", columns,
           joined ? "" : "(never)");

    std::vector<double> times = TimeLists(editor, "SELECT  FROM customers_000041 c", complete);
    ReportTimes(times, "cache: Ctrl+Space to list shown, names cached");
    TypeIntoList(editor, "orders_0012", "cache: typed character to narrowed list painted");
    SetWindowTextA(editor, "SELECT c FROM customers_000041 c");
    Caret(editor, 1, 9);
    start = Now();
    SendMessageW(editor, WM_CHAR, '.', 1);
    Paint(ListOf(editor));
    Report("cache: \".\" after an alias to its columns shown", Now() - start, 16);
    DestroyWindow(frame);
    FreeAllNameCaches();
}

} // namespace

// "complete_bench --show": the list of the first figure kept up for a look
// (ten seconds).
int main(int argc, char **argv)
{
    bool show = argc > 1 && strcmp(argv[1], "--show") == 0;
    CMRegisterControl(0x2100);
    WNDCLASSW parentClass{};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.hInstance = GetModuleHandleW(nullptr);
    parentClass.lpszClassName = reinterpret_cast<const WCHAR *>(u"CompleteBenchParent");
    RegisterClassW(&parentClass);
    double start = Now();
    Parent = new BenchParent;
    printf("(100,000 tables of 10 columns made in memory in %.0f ms)\n", Now() - start);
    HWND frame = CreateWindowExW(0, parentClass.lpszClassName, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900,
                                 600, nullptr, nullptr, nullptr, nullptr);
    HWND editor = CreateWindowExW(0, reinterpret_cast<const WCHAR *>(u"CodeMax"), nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0, 880, 560, frame,
                                  reinterpret_cast<HMENU>(3), nullptr, nullptr);
    SetupEditor(editor);
    SetFocus(editor);
    Parent->editor = editor;

    // Ctrl+Space between SELECT and FROM: the statement's columns, 100,000
    // tables, the databases, keywords and functions.
    std::vector<double> times = TimeLists(editor, "SELECT  FROM table_000042 t", [&] { ShowAtCaret(editor, true); });
    printf("(list of %d candidates)\n", Shown(editor));
    if (show) {
        SendMessageW(editor, WM_CHAR, 'c', 1);
        PumpUntil([] { return false; }, 10000);
        return 0;
    }
    ReportTimes(times, "Ctrl+Space to list shown, 100,000 tables cached");
    TypeIntoList(editor, "table_0123", "100,000 tables: typed character to narrowed list painted");

    // "." after an alias: its columns.
    SetWindowTextA(editor, "SELECT t FROM table_000042 t");
    Caret(editor, 1, 9);
    SendMessageW(editor, WM_EDITOR_SETCOMPLETIONTRIGGERS, 0, reinterpret_cast<LPARAM>("."));
    double begin = Now();
    SendMessageW(editor, WM_CHAR, '.', 1);
    Paint(editor);
    Paint(ListOf(editor));
    printf("(list of %d columns)\n", Shown(editor));
    Report("\".\" after an alias to its columns shown", Now() - begin, 16);
    SendMessageW(editor, WM_EDITOR_CLOSECOMPLETION, 0, 0);

    MillionCandidates(editor);

    // Typing in a script of 10,000 statements with completion on: letters,
    // and "." after an alias (which reads the statement and opens a list).
    std::string script = MakeScript(10000);
    SetWindowTextA(editor, script.c_str());
    Caret(editor, 5000, 8);
    std::vector<double> keys, dots;
    for (int i = 0; i < 200; i++) {
        keys.push_back(TimedKey(editor, 'x'));
        TimedKey(editor, VK_BACK);
    }
    Caret(editor, 5000, 8);
    for (int i = 0; i < 50; i++) {
        TimedKey(editor, 'a');
        dots.push_back(TimedKey(editor, '.'));
        SendMessageW(editor, WM_EDITOR_CLOSECOMPLETION, 0, 0);
        TimedKey(editor, VK_BACK);
        TimedKey(editor, VK_BACK);
    }
    ReportTimes(keys, "editor keystroke with completion on (10,000-statement script)");
    ReportTimes(dots, "\".\" after an alias in that script to its columns shown");
    DestroyWindow(frame);
    CachedDatabase();
    return 0;
}
