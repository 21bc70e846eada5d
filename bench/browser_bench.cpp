// The object browser on a database of 100,000 tables of 10 columns each
// (vintrel_bench_names, made once and kept with the other benchmarks'
// data; the count can be given as the argument):
// - from the pane following a new query window to every table listed in
//   its open Tables folder and painted, against the command-line client's
//   "SHOW FULL TABLES FROM" in the same run;
// - the longest wait of a message posted to the user-interface thread
//   meanwhile (the names load on the cache's worker);
// - the worst of 200 filter keystrokes, from the key to the narrowed tree
//   painted;
// - the cache's memory for the table names against the names' own bytes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "app/FrameWindow.h"
#include "app/ObjectBrowser.h"
#include "app/ObjectTree.h"
#include "app/Startup.h"
#include "catalog/NameCache.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"

namespace {

const char Database[] = "vintrel_bench_names";

std::string TableName(long i)
{
    static const char *const words[] = {"orders", "customers", "invoices", "products",
                                        "shipments", "payments", "accounts", "events"};
    char name[64];
    snprintf(name, sizeof name, "%s_%06ld", words[i % 8], i);
    return name;
}

// MEMORY tables: each is a definition file only, so 100,000 of them cost
// the disk little; the names are what is measured.
void EnsureTables(MYSQL *mysql, long count)
{
    BenchSql(mysql, std::string("CREATE DATABASE IF NOT EXISTS ") + Database);
    BenchSql(mysql, std::string("USE ") + Database);
    if (mysql_query(mysql, ("SHOW TABLES LIKE '" + TableName(count - 1) + "'").c_str()) == 0) {
        MYSQL_RES *result = mysql_store_result(mysql);
        bool there = result && mysql_num_rows(result) == 1;
        if (result) mysql_free_result(result);
        if (there) return;
    }
    printf("making %ld tables in %s (once) ...\n", count, Database);
    fflush(stdout);
    for (long i = 0; i < count; i++)
        BenchSql(mysql, "CREATE TABLE IF NOT EXISTS " + TableName(i) +
                            " (id INT PRIMARY KEY, a INT, b INT NOT NULL, c INT, d INT, e INT, f INT, g INT, h INT,"
                            " k INT) ENGINE=MEMORY");
}

double CommandLineClientTime()
{
    const char *socket = getenv("MYSQL_UNIX_PORT");
    const char *user = getenv("VINTREL_TEST_USER");
    const char *password = getenv("VINTREL_TEST_PASSWORD");
    std::string command = std::string("mariadb --no-defaults --batch --socket='") + (socket ? socket : "") + "' -u'" +
                          (user ? user : "") + "' -p'" + (password ? password : "") +
                          "' -e 'SHOW FULL TABLES FROM " + Database + "' >/dev/null";
    // The best of three: the client's start-up is part of its time, the
    // machine's other work is not.
    double best = -1;
    for (int run = 0; run < 3; run++) {
        double start = NowSeconds();
        if (system(command.c_str()) != 0) continue;
        double elapsed = NowSeconds() - start;
        if (best < 0 || elapsed < best) best = elapsed;
    }
    return best;
}

void PumpOnce()
{
    MSG message;
    if (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
}

std::string RowText(HWND tree, int row)
{
    std::string text;
    SendMessageA(tree, WM_TREE_GETROWTEXT, row, (LPARAM)&text);
    return text;
}

// Opens the row that reads text once it is there.
void OpenWhenThere(HWND tree, const std::string &prefix, double deadline)
{
    while (NowSeconds() < deadline) {
        int count = (int)SendMessageA(tree, WM_TREE_GETROWCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            if (RowText(tree, i).compare(0, prefix.size(), prefix) != 0) continue;
            SendMessageA(tree, WM_TREE_SELECT, i, 0);
            SendMessageA(tree, WM_KEYDOWN, VK_RIGHT, 0);
            return;
        }
        PumpOnce();
    }
}

double ListEveryTable(HWND pane, long count)
{
    HWND tree = BrowserTree(pane);
    double start = NowSeconds(), deadline = start + 120;
    SendMessageA(pane, WM_BROWSER_FOLLOW, 0, 0);
    OpenWhenThere(tree, Database, deadline);
    OpenWhenThere(tree, "  Tables (", deadline);
    while (NowSeconds() < deadline && SendMessageA(tree, WM_TREE_GETROWCOUNT, 0, 0) < count) PumpOnce();
    UpdateWindow(tree);
    return NowSeconds() - start;
}

// Keys typed into the filter box as a person types them: characters and
// Backspace, narrowing and widening between one table and all of them.
double WorstKeystroke(HWND pane, int keystrokes)
{
    HWND filter = BrowserFilterBox(pane), tree = BrowserTree(pane);
    SetFocus(filter);
    const char *pattern = "s_0001\b\b\b\b\b\bpay\b\b\bo\b";
    double worst = 0;
    for (int i = 0; i < keystrokes; i++) {
        char c = pattern[i % strlen(pattern)];
        double start = NowSeconds();
        if (c == '\b') SendMessageW(filter, WM_KEYDOWN, VK_BACK, 0);
        SendMessageW(filter, WM_CHAR, (WPARAM)c, 0);
        UpdateWindow(tree);
        worst = std::max(worst, NowSeconds() - start);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    return worst;
}

} // namespace

int main(int argc, char **argv)
{
    long count = argc > 1 ? atol(argv[1]) : 100000;
    MYSQL *mysql = ConnectBenchServer();
    EnsureTables(mysql, count);
    mysql_close(mysql);
    double client = CommandLineClientTime();

    RegisterProgramClasses();
    HWND frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                 1200, 900, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    PostedMessageProbe probe;

    CONNECTIONINFO *connection = OpenBenchConnection(Database);
    if (!connection) return 1;
    // The pane is shown first, with no window to follow: the cache is made
    // only when the measured follow begins.
    HWND pane = FindWindowExA(frame, nullptr, OBJECTBROWSER_CLASS, nullptr);
    if (!IsWindowVisible(pane)) SendMessageA(frame, WM_COMMAND, CMD_OBJECTBROWSER, 0);
    HWND window = CreateQueryWindow(connection, true);
    // The new window's first painting is not the browser's: done before the
    // clock starts (without dispatching the pane's timer, which would start
    // following early).
    RedrawWindow(frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

    double residentBefore = ResidentMiB();
    probe.Start();
    double listed = ListEveryTable(pane, count);
    double longestWait = probe.Stop();
    double residentAfter = ResidentMiB();

    auto objects = GetObjects(NameCacheFor(QueryWindowConnection(window)), Database);
    const NameList &names = objects->Names[KindTable];
    size_t nameBytes = 0;
    for (size_t i = 0; i < names.Count(); i++) nameBytes += names.At(i).size();

    double worst = WorstKeystroke(pane, 200);
    printf("browser: %ld tables\n", (long)names.Count());
    printf("  connect to every table listed: %.3f s (command-line client SHOW FULL TABLES: %.3f s, ratio %.2f)\n",
           listed, client, client > 0 ? listed / client : 0);
    printf("  longest wait of a posted message while loading: %.1f ms\n", longestWait * 1000);
    printf("  worst of 200 filter keystrokes to the tree painted: %.1f ms\n", worst * 1000);
    printf("  cache of the table names: %.2f MiB for %.2f MiB of names (%.2fx); resident memory grew %.1f MiB\n",
           names.MemoryBytes() / 1048576.0, nameBytes / 1048576.0,
           nameBytes ? (double)names.MemoryBytes() / nameBytes : 0, residentAfter - residentBefore);
    SendMessageA(frame, WM_COMMAND, CMD_OBJECTBROWSER, 0); // hidden again in settings.ini
    DestroyWindow(frame);
    FreeAllNameCaches();
    return 0;
}
