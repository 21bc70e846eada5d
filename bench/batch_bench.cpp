// Large batches through a real query window in the real frame, for results
// of 1,000,000 and 10,000,000 rows (or the counts given as arguments) of a
// query the server computes as it sends:
// - the command-line client reading row by row to /dev/null (mariadb
//   --batch --quick): how fast a client can read the result at all;
// - the client library's own store-and-walk;
// - Execute to the rows in the grid (the completion done), the peak resident
//   memory it added and the captured buffer's size, the longest wait of a
//   message posted to the user-interface thread meanwhile (the client and
//   Execute take three turns each, in alternation, and their medians are
//   compared);
// - Copy (Select All, Copy) and Save As of the whole result as
//   tab-separated text, CSV and JSON, and what releasing it costs the
//   user-interface thread;
// - a script of 500 SELECTs, a tab for each result, against the
//   command-line client running it;
// - Cancel Query: from the command to Execute enabled again, for a sleep, a
//   result still streaming and a statement waiting for a row lock;
// - the scan of a script's statements that Execute makes on the
//   user-interface thread, for a 20 MB dump and for growing counts of
//   CREATE statements ahead of a trigger (it must grow in step with the
//   text). "batch_bench scan" measures this alone, with no server.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/FrameWindow.h"
#include "app/Startup.h"
#include "app/ToolbarHost.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "query/BatchWorker.h"
#include "query/ResultCapture.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/WindowRecords.h"
#include "querywindow/ScriptStatements.h"
#include "querywindow/SplitterWnd.h"
#include "app/ConnectionDialog.h"
#include "resources/resource.h"

namespace {


std::string QueryOf(long rows)
{
    return "select seq, concat('name',seq), seq*1.5, date_add('2024-01-01', interval seq second), "
           "repeat('x', seq%20) from seq_1_to_" + std::to_string(rows);
}

double CommandLineClientTime(const std::string &sql)
{
    const char *socket = getenv("MYSQL_UNIX_PORT");
    const char *user = getenv("VINTREL_TEST_USER");
    const char *password = getenv("VINTREL_TEST_PASSWORD");
    std::string command = std::string("mariadb --no-defaults --batch --quick --socket='") + (socket ? socket : "") +
                          "' -u'" + (user ? user : "") + "' -p'" + (password ? password : "") +
                          "' vintrel_bench -e \"" + sql + "\" >/dev/null";
    double start = NowSeconds();
    if (system(command.c_str()) != 0) return -1;
    return NowSeconds() - start;
}

double LibraryOwnTime(MYSQL *mysql, const std::string &sql)
{
    double start = NowSeconds();
    if (mysql_query(mysql, sql.c_str()) != 0) return -1;
    MYSQL_RES *result = mysql_store_result(mysql);
    unsigned columns = mysql_num_fields(result);
    size_t text = 0;
    while (MYSQL_ROW row = mysql_fetch_row(result))
        for (unsigned c = 0; c < columns; c++) text += row[c] ? strlen(row[c]) : 4;
    double elapsed = NowSeconds() - start;
    mysql_free_result(result);
    return text ? elapsed : -1;
}

// The peak resident memory since the last reset (Linux: VmHWM, which
// writing 5 to clear_refs sets back to the present).
double PeakResidentMiB()
{
    FILE *status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    double kib = -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
    fclose(status);
    return kib / 1024;
}

void ResetPeakResident()
{
    if (FILE *refs = fopen("/proc/self/clear_refs", "w")) {
        fputs("5", refs);
        fclose(refs);
    }
}

char SavePath[MAX_PATH];
DWORD SaveFilter; // 1 tab-separated, 2 CSV, 3 JSON
BOOL WINAPI AnswerSaveDialog(LPOPENFILENAMEA dialog)
{
    lstrcpynA(dialog->lpstrFile, SavePath, dialog->nMaxFile);
    dialog->nFilterIndex = SaveFilter;
    return TRUE;
}

struct SaveRun {
    double Seconds, MiB;
};

// Save As of the whole result, the type chosen in the dialog's list.
SaveRun SaveAs(CHILDDATA *child, DWORD filter, const char *name)
{
    GetTempPathA(sizeof SavePath, SavePath);
    lstrcatA(SavePath, name);
    SaveFilter = filter;
    GridDialogs saved = GridDialogFunctions;
    GridDialogFunctions.GetSaveFileName = AnswerSaveDialog;
    double start = NowSeconds();
    SendMessageA(child->Grid, WM_COMMAND, CMD_SAVEAS, 0);
    SaveRun run = {NowSeconds() - start, 0};
    GridDialogFunctions = saved;
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (GetFileAttributesExA(SavePath, GetFileExInfoStandard, &attributes))
        run.MiB = ((double)attributes.nFileSizeHigh * 4294967296.0 + attributes.nFileSizeLow) / 1048576.0;
    DeleteFileA(SavePath);
    return run;
}

int32_t GridRowsShown(CHILDDATA *child)
{
    GRIDBUFFER *shown = reinterpret_cast<GRIDBUFFER *>(SendMessageA(child->Grid, WM_GRID_GETBUFFER, 0, 0));
    return shown ? shown->Rows.Count : 0;
}

// Runs the message loop until the batch has completed; the time spent in
// the completion's own dispatch is returned through completion.
// Rows that fill the grid's first screen in the bench's window.
const int32_t Screenful = 30;

// Also notes how long after a screenful of rows was complete in the
// worker's buffer (seen at the latest 5 ms late, when the probe wakes the
// loop) the grid painted them.
void PumpUntilDone(CHILDDATA *child, double *completion, double *firstScreenful)
{
    MSG message;
    double arrived = 0;
    *firstScreenful = -1;
    while (child->Executing && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (arrived == 0 && !child->Arriving.empty() &&
            child->Arriving[0]->RowsPublished.load(std::memory_order_acquire) >= Screenful)
            arrived = NowSeconds();
        double start = NowSeconds();
        bool paint = message.message == WM_PAINT && message.hwnd == child->Grid;
        DispatchMessageA(&message);
        // The batch ends with the message that shows its outcome (the
        // worker's WM_EXECUTE_DONE, or the tick that made the last tabs).
        if (!child->Executing) *completion = NowSeconds() - start;
        if (paint && arrived > 0 && *firstScreenful < 0 && GridRowsShown(child) >= Screenful)
            *firstScreenful = NowSeconds() - arrived;
    }
}

struct Run {
    double Total, Completion, LongestWait, FirstScreenful;
};

Run ExecuteOnce(CHILDDATA *child, PostedMessageProbe &probe)
{
    probe.Start();
    Run run = {};
    double start = NowSeconds();
    SendMessageA(GetParent(GetParent(child->Window)), WM_COMMAND, MAKEWPARAM(CMD_EXECUTE, 0), 0);
    PumpUntilDone(child, &run.Completion, &run.FirstScreenful);
    run.Total = NowSeconds() - start;
    run.LongestWait = probe.Stop();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The machine's other work slows one run or another by a tenth and more:
// the client and Execute take turns, three times each, and each is
// judged by its median.
const int Turns = 3;

void MeasureOne(HWND frame, PostedMessageProbe &probe, long rows)
{
    std::string sql = QueryOf(rows);
    MYSQL *mysql = ConnectBenchServer();
    BenchSql(mysql, "USE vintrel_bench");
    double library = LibraryOwnTime(mysql, sql);
    mysql_close(mysql);

    CONNECTIONINFO *connection = OpenBenchConnection("vintrel_bench");
    if (!connection) {
        fprintf(stderr, "cannot open the query window's connection\n");
        exit(1);
    }
    HWND window = CreateQueryWindow(connection, true);
    CHILDDATA *child = StateOf<CHILDDATA>(window);
    SendMessageA(child->Editor, WM_SETTEXT, 0, (LPARAM)sql.c_str());

    std::vector<double> clients, totals, waits, completions, screenfuls;
    double before = 0, peak = 0;
    Run run = {};
    for (int turn = 0; turn < Turns; turn++) {
        clients.push_back(CommandLineClientTime(sql));
        // The memory is that of the first run, before any result is kept.
        if (turn == 0) {
            before = ResidentMiB();
            ResetPeakResident();
        }
        run = ExecuteOnce(child, probe);
        if (turn == 0) peak = PeakResidentMiB();
        totals.push_back(run.Total);
        waits.push_back(run.LongestWait);
        completions.push_back(run.Completion);
        screenfuls.push_back(run.FirstScreenful);
    }
    double client = Median(clients);
    run = {Median(totals), Median(completions), Median(waits), Median(screenfuls)};
    double worstWait = *std::max_element(waits.begin(), waits.end());
    GRIDBUFFER *shown = reinterpret_cast<GRIDBUFFER *>(SendMessageA(child->Grid, WM_GRID_GETBUFFER, 0, 0));
    int shownRows = shown ? shown->Rows.Count : -1;
    double buffer = shown ? shown->Storage.ReservedBytes() / 1048576.0 : 0;

    SetFocus(child->Grid);
    SendMessageA(child->Grid, WM_COMMAND, CMD_SELECTALL, 0);
    double copyStart = NowSeconds();
    SendMessageA(child->Grid, WM_COMMAND, CMD_COPY, 0);
    double copy = NowSeconds() - copyStart;
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }

    SaveRun tabs = SaveAs(child, 1, "vintrel-stream-bench.txt");
    SaveRun csv = SaveAs(child, 2, "vintrel-stream-bench.csv");
    SaveRun json = SaveAs(child, 3, "vintrel-stream-bench.json");

    SendMessageA(child->Grid, WM_GRID_SETBUFFER, 0, 0);
    child->Buffer = nullptr;
    double releaseStart = NowSeconds();
    ReleaseBuffer(shown);
    double release = NowSeconds() - releaseStart;

    double millions = rows / 1e6;
    printf("%ld rows (%d in the grid)\n", rows, shownRows);
    printf("  (each the median of %d turns taken in alternation; the turns in brackets)\n", Turns);
    printf("  mariadb --batch --quick > /dev/null:  %8.3f s  (%.3f %.3f %.3f)\n", client, clients[0], clients[1],
           clients[2]);
    printf("  client library store and walk:        %8.3f s\n", library);
    printf("  Execute to grid:                      %8.3f s  = %.2f x the command-line client (target 1.10)"
           "  (%.3f %.3f %.3f)\n",
           run.Total, run.Total / client, totals[0], totals[1], totals[2]);
    printf("  peak resident memory added:           %8.0f MiB, captured buffer %.0f MiB (target buffer + 10 %% = %.0f)\n",
           peak - before, buffer, buffer * 1.1);
    printf("  longest wait of a posted message:     %8.1f ms  (target 50 ms; worst of the turns %.1f ms)\n",
           run.LongestWait * 1000, worstWait * 1000);
    printf("  completion on the UI thread:          %8.1f ms\n", run.Completion * 1000);
    printf("  first screenful painted after arrival: %7.1f ms  (target 100 ms)\n", run.FirstScreenful * 1000);
    printf("  Copy of every row:                    %8.3f s  (%.3f s per million rows)\n", copy, copy / millions);
    // JSON repeats every column name in every row: its file is the larger,
    // hence the rate in MiB per second beside the time.
    printf("  Save As of every row, tab-separated:  %8.3f s  (%.3f s per million rows, target 0.3; %.0f MiB, %.0f MiB/s)\n",
           tabs.Seconds, tabs.Seconds / millions, tabs.MiB, tabs.MiB / tabs.Seconds);
    printf("  Save As of every row, CSV:            %8.3f s  (%.3f s per million rows; %.0f MiB, %.0f MiB/s)\n",
           csv.Seconds, csv.Seconds / millions, csv.MiB, csv.MiB / csv.Seconds);
    printf("  Save As of every row, JSON:           %8.3f s  (%.3f s per million rows; %.0f MiB, %.0f MiB/s)\n",
           json.Seconds, json.Seconds / millions, json.MiB, json.MiB / json.Seconds);
    printf("  ReleaseBuffer on the UI thread:       %8.3f ms\n", release * 1000);
    fflush(stdout);
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)window, 0);
    Sleep(1000); // the release threads finish
}

// A script of 500 SELECTs: a tab for each result, every one made while the
// batch runs; against the command-line client running the same script.
void MeasureManyResults(HWND frame, PostedMessageProbe &probe)
{
    std::string script;
    for (int i = 1; i <= 500; i++) script += "select " + std::to_string(i) + " as n, repeat('x', 20) as t;\n";
    double client = CommandLineClientTime(script);
    CONNECTIONINFO *connection = OpenBenchConnection("vintrel_bench");
    if (!connection) return;
    HWND window = CreateQueryWindow(connection, true);
    CHILDDATA *child = StateOf<CHILDDATA>(window);
    SendMessageA(child->Editor, WM_SETTEXT, 0, (LPARAM)script.c_str());
    Run run = ExecuteOnce(child, probe);
    printf("A script of 500 SELECTs, each result in its own tab (%d tabs)\n",
           (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    printf("  mariadb --batch --quick > /dev/null:  %8.3f s\n", client);
    printf("  Execute to every tab shown:           %8.3f s  (%.1f ms a result)\n", run.Total, run.Total * 1000 / 500);
    printf("  longest wait of a posted message:     %8.1f ms\n", run.LongestWait * 1000);
    printf("  completion on the UI thread:          %8.1f ms\n", run.Completion * 1000);
    fflush(stdout);
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)window, 0);
}

// From the Cancel Query command to Execute enabled again, for a statement
// that has run for a moment.
double CancelTime(HWND frame, CHILDDATA *child, const char *sql, DWORD runFirst)
{
    SendMessageA(child->Editor, WM_SETTEXT, 0, (LPARAM)sql);
    SendMessageA(frame, WM_COMMAND, MAKEWPARAM(CMD_EXECUTE, 0), 0);
    DWORD until = GetTickCount() + runFirst;
    MSG message;
    while (GetTickCount() < until) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(5);
    }
    double start = NowSeconds();
    SendMessageA(frame, WM_COMMAND, MAKEWPARAM(CMD_CANCELQUERY, 0), 0);
    double completion = 0;
    double firstScreenful;
    PumpUntilDone(child, &completion, &firstScreenful);
    return child->Executing ? -1 : NowSeconds() - start;
}

void MeasureCancel(HWND frame)
{
    CONNECTIONINFO *connection = OpenBenchConnection("vintrel_bench");
    if (!connection) return;
    HWND window = CreateQueryWindow(connection, true);
    CHILDDATA *child = StateOf<CHILDDATA>(window);
    MYSQL *holder = ConnectBenchServer();
    BenchSql(holder, "USE vintrel_bench");
    BenchSql(holder, "CREATE TABLE IF NOT EXISTS locked (n INT PRIMARY KEY) ENGINE=InnoDB");
    BenchSql(holder, "REPLACE INTO locked VALUES (1)");
    printf("Cancel Query, from the command to Execute enabled again (target under 1 s)\n");
    printf("  select sleep(60):                     %8.3f s\n", CancelTime(frame, child, "select sleep(60)", 500));
    printf("  a 10,000,000-row result streaming:    %8.3f s\n",
           CancelTime(frame, child, QueryOf(10000000).c_str(), 1500));
    BenchSql(holder, "BEGIN");
    BenchSql(holder, "SELECT * FROM locked FOR UPDATE");
    printf("  an UPDATE waiting for a row lock:     %8.3f s\n",
           CancelTime(frame, child, "UPDATE locked SET n = 2", 500));
    BenchSql(holder, "ROLLBACK");
    mysql_close(holder);
    fflush(stdout);
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)window, 0);
    Sleep(1000);
}

// A dump in the layout dump tools write: each table dropped, created and
// filled (strings with quotes, semicolons and the word begin), some of them
// followed by their trigger between "DELIMITER ;;" lines inside version
// comments, spread over the dump so that the rewrite moves almost all of it.
std::string DumpScript(int tables, int insertsPerTable, int triggers)
{
    std::string dump = "-- Dump of vintrel_bench\n/*!40101 SET NAMES utf8mb4 */;\n";
    char line[512];
    for (int t = 0; t < tables; t++) {
        snprintf(line, sizeof line,
                 "\nDROP TABLE IF EXISTS `t_%d`;\n"
                 "CREATE TABLE `t_%d` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n  `name` varchar(64) DEFAULT NULL,\n"
                 "  `note` text,\n  `created` datetime DEFAULT NULL,\n  PRIMARY KEY (`id`)\n"
                 ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n\nLOCK TABLES `t_%d` WRITE;\n",
                 t, t, t);
        dump += line;
        for (int i = 0; i < insertsPerTable; i++) {
            snprintf(line, sizeof line,
                     "INSERT INTO `t_%d` VALUES (%d,'name %d','a note with \\'quotes\\'; semicolons and a begin',"
                     "'2024-01-01 10:00:00'),(%d,'name %d','another note, \"double\" quotes; end','2024-01-02 "
                     "11:30:00');\n",
                     t, 2 * i + 1, i, 2 * i + 2, i);
            dump += line;
        }
        dump += "UNLOCK TABLES;\n";
        if (t % (tables / triggers) != 0) continue;
        snprintf(line, sizeof line,
                 "DELIMITER ;;\n/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ /*!50003 TRIGGER `trg_%d` "
                 "BEFORE INSERT ON `t_%d` FOR EACH ROW BEGIN\n  IF NEW.note IS NULL THEN SET NEW.note = 'none'; END IF;\n"
                 "END */;;\nDELIMITER ;\n",
                 t, t);
        dump += line;
    }
    return dump;
}

// The best of a few scans, in seconds; the first (cold) one through first.
double ScanTime(const std::string &script, double *first, size_t *statements, bool *rewritten)
{
    double best = 1e9;
    for (int run = 0; run < 5; run++) {
        double start = NowSeconds();
        SCRIPTSTATEMENTS scanned = ScanStatements(script.data(), script.size());
        double elapsed = NowSeconds() - start;
        if (run == 0 && first) *first = elapsed;
        if (elapsed < best) best = elapsed;
        *statements = scanned.StartLines.size();
        *rewritten = scanned.Certain && !scanned.Edits.empty();
    }
    return best;
}

void MeasureScriptScan()
{
    std::string dump = DumpScript(5000, 20, 10);
    double first = 0;
    size_t statements = 0;
    bool rewritten = false;
    double scan = ScanTime(dump, &first, &statements, &rewritten);
    SCRIPTSTATEMENTS scanned = ScanStatements(dump.data(), dump.size());
    std::string copy = dump;
    double start = NowSeconds();
    RewriteForServer(&copy[0], copy.size(), scanned);
    double rewrite = NowSeconds() - start;
    printf("Scan of a script's statements on the user-interface thread (target well under 100 ms for 20 MB)\n");
    printf("  dump of %.1f MB, 5,000 tables, 100,000 INSERTs, 10 triggers: %zu statements, %s\n",
           dump.size() / 1e6, statements, rewritten ? "rewritten" : "NOT rewritten");
    printf("    scan:                               %8.1f ms (first %.1f ms; %.0f MB/s)\n", scan * 1000,
           first * 1000, dump.size() / 1e6 / scan);
    printf("    DELIMITER rewrite in place:         %8.1f ms\n", rewrite * 1000);
    printf("  CREATE statements ahead of a trigger with BEGIN (time per statement must stay flat):\n");
    for (int count : {1000, 2000, 4000, 100000}) {
        std::string script;
        for (int i = 0; i < count; i++) script += "CREATE TABLE t_" + std::to_string(i) + " (id INT);\n";
        script += "DELIMITER $$\nCREATE TRIGGER trg BEFORE INSERT ON t_0 FOR EACH ROW BEGIN SET NEW.id = 1; END$$\n"
                  "DELIMITER ;\n";
        scan = ScanTime(script, nullptr, &statements, &rewritten);
        printf("    %6d CREATEs:                     %8.3f ms (%.0f ns a statement), %s\n", count, scan * 1000,
               scan * 1e9 / count, rewritten ? "rewritten" : "NOT rewritten");
    }
    fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    MeasureScriptScan();
    if (argc > 1 && strcmp(argv[1], "scan") == 0) return 0;
    MYSQL *mysql = ConnectBenchServer();
    EnsureMillionRowTable(mysql);
    mysql_close(mysql);

    RegisterProgramClasses();
    HWND frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                 1280, 900, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    PostedMessageProbe probe;

    if (argc > 1)
        for (int i = 1; i < argc; i++) MeasureOne(frame, probe, atol(argv[i]));
    else
        for (long rows : {1000000L, 10000000L}) MeasureOne(frame, probe, rows);
    MeasureManyResults(frame, probe);
    MeasureCancel(frame);

    DestroyWindow(frame);
    return 0;
}
