// Batches run by real query windows inside the real frame on the real
// server: what the server receives, the message pane, the grid, the tabs,
// the status parts, the selector and title, and the batches that end
// badly or outlive their window.
#include "QueryWindowFixture.h"
#include "TestFiles.h"

#include <commctrl.h>
#include <pwd.h>
#include <richedit.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "history/HistoryStore.h"
#include "query/BatchWorker.h"
#include "querywindow/QueryWindow.h"
#include "server/SshTunnel.h"
#include "querywindow/FrameServices.h"
#include "resources/resource.h"

namespace {

const char Database[] = "qw_tests_batch";

class Batch : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MYSQL *mysql = ConnectTestServer();
        for (const char *name : {"qw_tests_batch", "qw_tests_b", "qw_tests_bb"}) {
            ExecSql(mysql, std::string("DROP DATABASE IF EXISTS ") + name);
            ExecSql(mysql, std::string("CREATE DATABASE ") + name);
        }
        ExecSql(mysql, "CREATE TABLE qw_tests_batch.five (n INT, t VARCHAR(10))");
        ExecSql(mysql, "INSERT INTO qw_tests_batch.five VALUES (1,'a'),(2,'b'),(3,'c'),(4,'d'),(5,NULL)");
        ExecSql(mysql, "CREATE PROCEDURE qw_tests_batch.two() BEGIN SELECT 1 AS x; SELECT 2 AS y, 3 AS z; END");
        ExecSql(mysql, "CREATE PROCEDURE qw_tests_batch.fails() BEGIN SELECT 1 AS x; SELECT * FROM no_such_table; END");
        mysql_close(mysql);
    }
    static void TearDownTestSuite()
    {
        CloseAllQueryWindows();
        MYSQL *mysql = ConnectTestServer();
        for (const char *name : {"qw_tests_batch", "qw_tests_b", "qw_tests_bb"})
            ExecSql(mysql, std::string("DROP DATABASE IF EXISTS ") + name);
        mysql_close(mysql);
    }
    void SetUp() override
    {
        window = OpenQueryWindow(Database);
        child = ChildOf(window);
        ASSERT_TRUE(child);
    }
    void TearDown() override { CloseAllQueryWindows(); }

    HWND window = nullptr;
    CHILDDATA *child = nullptr;
};

int CurrentTab(CHILDDATA *child) { return (int)SendMessageA(child->Tabs, TCM_GETCURSEL, 0, 0); }

const char ReconnectedLine[] = "Reconnected to localhost. Session settings and temporary tables were reset.\r\n";

// Ends the window's session from outside, as a server restart or a dropped
// network would, and waits until the server has let it go.
void KillSession(CHILDDATA *child)
{
    std::string id = std::to_string(mysql_thread_id(child->Connection->Handle));
    MYSQL *admin = ConnectTestServer();
    ExecSql(admin, "KILL " + id);
    std::string query = "select count(*) from information_schema.processlist where id = " + id;
    EXPECT_TRUE(PumpUntil([&] { return QueryValue(admin, query) == "0"; }, 5000));
    mysql_close(admin);
}

std::string FirstCell(CHILDDATA *child)
{
    const GRIDBUFFER *shown = GridBuffer(child);
    return shown && shown->Rows.Length() > 0 && shown->Rows[0][0] ? shown->Rows[0][0] : "";
}

// Test seams: the worker waits after it made a new session until the test
// lets it go; the cancel thread sends its KILL late.
HANDLE SeamReached, SeamProceed;
void PauseAfterReconnect(BatchSeamPoint point)
{
    if (point != SeamReconnected) return;
    SetEvent(SeamReached);
    WaitForSingleObject(SeamProceed, 5000);
}
void DelayKill(BatchSeamPoint point)
{
    if (point == SeamBeforeKill) Sleep(1000);
}

TEST_F(Batch, ASelectionSendsOnlyItselfAndNoSelectionSendsTheWholeTextUnchanged)
{
    MYSQL *admin = ConnectTestServer();
    ExecSql(admin, "SET GLOBAL general_log = 1");
    SetEditorText(child, "select 'qw_marker_left';\r\nselect 'qw_marker_right'");
    EDITORRANGE selection = {{2, 1}, {2, 25}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&selection);
    FrameCommand(CMD_EXECUTE);
    ASSERT_TRUE(WaitForCompletion(child));
    EXPECT_EQ(1, GridRows(child));

    std::string whole = "-- qw_marker_whole\r\nselect 1;";
    ASSERT_TRUE(RunBatch(child, whole));
    ExecSql(admin, "SET GLOBAL general_log = 0");
    mysql_close(admin);

    if (!HasGeneralLog()) GTEST_SKIP() << "the server keeps no general log to read";
    std::string log = ReadGeneralLog();
    ASSERT_FALSE(log.empty()) << "the test server's general log is empty";
    EXPECT_NE(std::string::npos, log.find("Query\tselect 'qw_marker_right'\n"));
    EXPECT_EQ(std::string::npos, log.find("qw_marker_left"));
    // The server itself drops a trailing semicolon before it logs a query.
    EXPECT_NE(std::string::npos, log.find("Query\t-- qw_marker_whole\r\nselect 1\n"));
}

TEST_F(Batch, ASelectOfFiveRows)
{
    ASSERT_TRUE(RunBatch(child, "select * from five order by n"));
    EXPECT_EQ(0, CurrentTab(child));
    EXPECT_TRUE(IsWindowVisible(child->Grid));
    EXPECT_FALSE(IsWindowVisible(child->MessagePane));
    ASSERT_EQ(5, GridRows(child));
    EXPECT_STREQ("NULL", GridBuffer(child)->Rows[4][1]);
    EXPECT_EQ(child->Buffer, GridBuffer(child));
    EXPECT_EQ("\r\n(5 row(s) affected)", MessagePaneText(child));
    EXPECT_EQ("5 row(s)", StatusText(child, 4));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
    EXPECT_EQ(TBSTATE_ENABLED, ButtonState(CMD_EXECUTE) & TBSTATE_ENABLED);
    EXPECT_FALSE(MenuGrayed(CMD_EXECUTE));
}

TEST_F(Batch, ASelectOfNoRowsShowsTheHeadersOnly)
{
    ASSERT_TRUE(RunBatch(child, "select * from five where n > 100"));
    EXPECT_EQ(0, CurrentTab(child));
    EXPECT_EQ(0, GridRows(child));
    EXPECT_EQ(2, GridBuffer(child)->Fields.Count);
    EXPECT_EQ("The command(s) completed successfully.", MessagePaneText(child));
    EXPECT_EQ("0 row(s)", StatusText(child, 4));
}

TEST_F(Batch, AnUpdateAndACreateTableShowTheMessagesTab)
{
    ASSERT_TRUE(RunBatch(child, "create table three (n int)"));
    EXPECT_EQ(1, CurrentTab(child));
    EXPECT_EQ("The command(s) completed successfully.", MessagePaneText(child));
    ASSERT_TRUE(RunBatch(child, "insert into three values (1),(2),(3)"));
    ASSERT_TRUE(RunBatch(child, "update three set n = n + 10"));
    EXPECT_EQ(1, CurrentTab(child));
    EXPECT_TRUE(IsWindowVisible(child->MessagePane));
    EXPECT_FALSE(IsWindowVisible(child->Grid));
    EXPECT_EQ("\r\n(3 row(s) affected)", MessagePaneText(child));
    EXPECT_EQ(-1, GridRows(child));
    EXPECT_EQ("0 row(s)", StatusText(child, 4));
}

TEST_F(Batch, AFailedBatchEmptiesTheGridAndKeepsTheServerParts)
{
    ASSERT_TRUE(RunBatch(child, "select * from five"));
    std::string part1 = StatusText(child, 1), part2 = StatusText(child, 2), part4 = StatusText(child, 4);
    std::string title = Title(window);
    ASSERT_TRUE(RunBatch(child, "select * from no_such_table"));
    EXPECT_EQ(-1, GridRows(child));
    EXPECT_EQ(nullptr, child->Buffer);
    EXPECT_EQ(1, CurrentTab(child));
    std::string message = MessagePaneText(child);
    EXPECT_EQ(0u, message.find("Error 1146: Table 'qw_tests_batch.no_such_table' doesn't exist"));
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_EQ(part1, StatusText(child, 1));
    EXPECT_EQ(part2, StatusText(child, 2));
    EXPECT_EQ(part4, StatusText(child, 4));
    EXPECT_EQ(title, Title(window));

    // "Error 1146:" red, the rest black.
    CHARRANGE range = {0, 11};
    SendMessageA(child->MessagePane, EM_EXSETSEL, 0, (LPARAM)&range);
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(child->MessagePane, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    EXPECT_EQ(RGB(255, 0, 0), format.crTextColor);
    range = {11, 20};
    SendMessageA(child->MessagePane, EM_EXSETSEL, 0, (LPARAM)&range);
    SendMessageA(child->MessagePane, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    EXPECT_EQ(RGB(0, 0, 0), format.crTextColor);
}

TEST_F(Batch, AUseOfAnotherDatabaseMovesSelectorTitleAndStatus)
{
    ASSERT_TRUE(RunBatch(child, "use qw_tests_b"));
    EXPECT_STREQ("qw_tests_b", child->Connection->Database);
    EXPECT_EQ("qw_tests_b", SelectorText());
    EXPECT_EQ("qw_tests_b", StatusText(child, 2));
    EXPECT_NE(std::string::npos, Title(window).find(".qw_tests_b."));
}

TEST_F(Batch, TheHiddenPaneIsShownAfterABatchWithTheTabOfTheOutcome)
{
    ASSERT_EQ(0, child->ResultsShown);
    ASSERT_TRUE(RunBatch(child, "do 1"));
    EXPECT_EQ(1, child->ResultsShown);
    EXPECT_EQ(2, (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(1, CurrentTab(child));
    EXPECT_TRUE(SendMessageA(FrameToolbar(), TB_ISBUTTONCHECKED, CMD_SHOWRESULTS, 0));
}

// The results button speaks for the active window, not for one whose batch
// ends behind it.
TEST_F(Batch, ABatchEndingBehindTheActiveWindowLeavesTheResultsButtonAlone)
{
    HWND other = OpenQueryWindow();
    CHILDDATA *second = ChildOf(other);
    SetEditorText(second, "select sleep(0.3)");
    FrameCommand(CMD_EXECUTE);
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    ASSERT_EQ(0, child->ResultsShown);
    ASSERT_TRUE(WaitForCompletion(second));
    EXPECT_EQ(1, second->ResultsShown);
    EXPECT_FALSE(SendMessageA(FrameToolbar(), TB_ISBUTTONCHECKED, CMD_SHOWRESULTS, 0));
}

TEST_F(Batch, ExecuteWhileRunningIsIgnoredAndTheClockTicks)
{
    SetEditorText(child, "select sleep(2.2) as slept");
    FrameCommand(CMD_EXECUTE);
    ASSERT_EQ(1, child->Executing);
    EXPECT_EQ("Executing query batch...", StatusText(child, 0));
    EXPECT_EQ("00:00:00", StatusText(child, 5));
    EXPECT_TRUE(MenuGrayed(CMD_EXECUTE));
    EXPECT_EQ(TBSTATE_INDETERMINATE, ButtonState(CMD_EXECUTE));
    DWORD started = child->StartTicks;
    // The editor's own notifications do not enable Execute while it runs.
    SetEditorText(child, "select 'second'");
    EXPECT_TRUE(MenuGrayed(CMD_EXECUTE));
    FrameCommand(CMD_EXECUTE);
    EXPECT_EQ(started, child->StartTicks);
    // Nothing else may use the connection meanwhile.
    FrameCommand(CMD_CHANGEDATABASE);
    ASSERT_TRUE(WaitForCompletion(child));
    EXPECT_EQ("00:00:02", StatusText(child, 5));
    ASSERT_EQ(1, GridRows(child));
    EXPECT_STREQ("slept", GridBuffer(child)->Fields[0]);
    PumpMessages(1100);
    EXPECT_EQ("00:00:02", StatusText(child, 5)) << "the timer must stop";
}

TEST_F(Batch, ACallOfTwoSelectsLeavesTheConnectionUsable)
{
    ASSERT_TRUE(RunBatch(child, "call two()"));
    EXPECT_EQ(1, GridRows(child));
    ASSERT_EQ(1u, child->MoreGrids.size()) << "the second result set has a tab of its own";
    ASSERT_TRUE(RunBatch(child, "select * from five"));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
    EXPECT_EQ(5, GridRows(child));
    EXPECT_STREQ(Database, child->Connection->Database);
}

TEST_F(Batch, AnErrorInsideACallIsAnError)
{
    ASSERT_TRUE(RunBatch(child, "call fails()"));
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_EQ(0u, MessagePaneText(child).find("Error 1146:"));
    ASSERT_TRUE(RunBatch(child, "select 1"));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
}

TEST_F(Batch, AUseSelectsTheExactNameNotAPrefixMatch)
{
    ASSERT_TRUE(RunBatch(child, "use qw_tests_bb"));
    ASSERT_TRUE(RunBatch(child, "use qw_tests_b"));
    EXPECT_EQ("qw_tests_b", SelectorText());
}

// A session killed in the middle of a batch: an error, not a hang; the next
// batch makes a new session on the same server, in the database the lost
// session was in, even when the batch that switched to it failed.
TEST_F(Batch, AKilledConnectionGivesAnErrorNotAHang)
{
    unsigned long id = mysql_thread_id(child->Connection->Handle);
    SetEditorText(child, "use qw_tests_b; select sleep(5)");
    FrameCommand(CMD_EXECUTE);
    PumpMessages(300);
    KillSession(child);
    ASSERT_TRUE(WaitForCompletion(child, 4000));
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_NE(std::string::npos, MessagePaneText(child).find("Error 2013:")) << MessagePaneText(child);
    EXPECT_EQ("qw_tests_b", SelectorText());
    ASSERT_TRUE(RunBatch(child, "select database()", 5000));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
    EXPECT_EQ(0u, MessagePaneText(child).find(ReconnectedLine)) << MessagePaneText(child);
    EXPECT_EQ("qw_tests_b", FirstCell(child));
    EXPECT_NE(id, mysql_thread_id(child->Connection->Handle));

    ASSERT_TRUE(RunBatch(child, "use qw_tests_bb; selec 1"));
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    KillSession(child);
    ASSERT_TRUE(RunBatch(child, "select database()", 5000));
    EXPECT_EQ("qw_tests_bb", FirstCell(child)) << MessagePaneText(child);
}

// A tunnel that dies under a running batch fails it with ssh's account of
// it (not the server's "Lost connection"); the next batch runs through a
// new tunnel.
TEST_F(Batch, ATunnelEndingUnderABatchFailsItAndTheNextRunsThroughANewOne)
{
    const char *sshPort = getenv("VINTREL_TEST_SSH_PORT"), *sshDir = getenv("VINTREL_TEST_SSH_DIR");
    if (!sshPort || !sshDir) GTEST_SKIP() << "no sshd in this run (./test starts one)";
    std::string server = "127.0.0.1:" + QueryValue(child->Connection->Handle, "select @@port");
    CONNECTIONINFO *connection = NewConnectionInfo(server.c_str(), TestUser(), TestPassword());
    CONNECTIONROUTE &route = connection->Route;
    snprintf(route.SshHost, sizeof route.SshHost, "127.0.0.1:%s", sshPort);
    snprintf(route.SshUser, sizeof route.SshUser, "%s", getpwuid(getuid())->pw_name);
    snprintf(route.SshKey, sizeof route.SshKey, "%s/user-key", sshDir);
    char error[1024];
    ASSERT_TRUE(OpenConnectionWithin(connection, 15, error, sizeof error)) << error;
    unsigned long first = TunnelProcessId(connection->Tunnel);
    CHILDDATA *tunnelled = ChildOf(CreateQueryWindow(connection, false));
    ASSERT_TRUE(tunnelled);
    SetEditorText(tunnelled, "select sleep(5)");
    FrameCommand(CMD_EXECUTE);
    PumpMessages(300);
    kill((pid_t)first, SIGKILL);
    ASSERT_TRUE(WaitForCompletion(tunnelled, 4000));
    EXPECT_EQ("Query batch completed with errors.", StatusText(tunnelled, 0));
    std::string said = MessagePaneText(tunnelled);
    EXPECT_NE(std::string::npos, said.find("The SSH tunnel through 127.0.0.1:" + std::string(sshPort) + " has ended"))
        << said;
    EXPECT_NE(std::string::npos, said.find("The next batch connects through a new tunnel.")) << said;
    ASSERT_TRUE(RunBatch(tunnelled, "select 6*7", 15000));
    EXPECT_EQ("42", FirstCell(tunnelled)) << MessagePaneText(tunnelled);
    EXPECT_NE(first, TunnelProcessId(tunnelled->Connection->Tunnel));
}

// A session that died inside a transaction (begun, or with autocommit off)
// took the transaction with it: the next batch is not run on a new session
// as if nothing had happened; the one after it is.
TEST_F(Batch, ASessionLostInsideATransactionRefusesTheNextBatch)
{
    for (const char *opening : {"begin; insert into five values (6, 'f')", "set autocommit = 0; insert into five values (6, 'f')"}) {
        ASSERT_TRUE(RunBatch(child, opening));
        KillSession(child);
        ASSERT_TRUE(RunBatch(child, "insert into five values (7, 'g')", 5000));
        EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
        EXPECT_EQ("Error 2006: The connection to localhost was lost inside a transaction; the server rolled it back. "
                  "The next batch runs on a new session.",
                  MessagePaneText(child)) << opening;
        ASSERT_TRUE(RunBatch(child, "select count(*) from five"));
        EXPECT_EQ("Query batch completed.", StatusText(child, 0));
        EXPECT_EQ("5", FirstCell(child)) << opening;
    }
}

// A cancel asked while the worker makes a new session stops the batch
// before it is sent.
TEST_F(Batch, ACancelDuringAReconnectStopsTheBatchBeforeItIsSent)
{
    ASSERT_TRUE(RunBatch(child, "create table unsent (n int)"));
    KillSession(child);
    SeamReached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SeamProceed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BatchTestSeam = PauseAfterReconnect;
    SetEditorText(child, "insert into unsent values (1)");
    FrameCommand(CMD_EXECUTE);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(SeamReached, 5000));
    FrameCommand(CMD_CANCELQUERY);
    SetEvent(SeamProceed);
    bool completed = WaitForCompletion(child, 5000);
    BatchTestSeam = nullptr;
    CloseHandle(SeamReached);
    CloseHandle(SeamProceed);
    ASSERT_TRUE(completed);
    EXPECT_EQ("Query batch cancelled.", StatusText(child, 0));
    EXPECT_EQ(std::string(ReconnectedLine) + "Query cancelled: the batch was not sent.", MessagePaneText(child));
    MYSQL *admin = ConnectTestServer();
    EXPECT_EQ("0", QueryValue(admin, std::string("select count(*) from ") + Database + ".unsent"));
    mysql_close(admin);
}

// What the server did decides the outcome, not the request: a cancel that
// reaches the server after its batch ended leaves that batch's own outcome
// and never stops the next batch; a cancel that stops a script lists the
// statements that ran before it.
TEST_F(Batch, ACancelReportsWhatTheServerDid)
{
    ASSERT_TRUE(RunBatch(child, "create table applied (n int); insert into applied values (1), (2), (3)"));
    BatchTestSeam = DelayKill;
    SetEditorText(child, "do sleep(0.3); update applied set n = n + 1");
    FrameCommand(CMD_EXECUTE);
    PumpMessages(100);
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
    EXPECT_EQ("Statement 1: 0 row(s) affected\r\nStatement 2: 3 row(s) affected", MessagePaneText(child));
    ASSERT_TRUE(RunBatch(child, "select sleep(1.5) as slept", 5000));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0)) << MessagePaneText(child);
    EXPECT_EQ("0", FirstCell(child));
    EXPECT_TRUE(PumpUntil([] { return RunningCancelRequests() == 0; }, 5000));
    BatchTestSeam = nullptr;

    SetEditorText(child, "update applied set n = n + 10; select sleep(5); update applied set n = n + 100");
    FrameCommand(CMD_EXECUTE);
    PumpMessages(300);
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child, 10000));
    EXPECT_EQ("Query batch cancelled.", StatusText(child, 0));
    EXPECT_EQ(1, CurrentTab(child));
    EXPECT_EQ("Statement 1: 3 row(s) affected\r\nStatement 2 cancelled.\r\nQuery cancelled.", MessagePaneText(child));
    MYSQL *admin = ConnectTestServer();
    EXPECT_EQ("39", QueryValue(admin, std::string("select sum(n) from ") + Database + ".applied"));
    mysql_close(admin);
}

// A large result arrives row by row: the status bar counts the rows as they
// come, and the window answers meanwhile.
TEST_F(Batch, TheRowCountGrowsWhileALargeResultArrives)
{
    SetEditorText(child, "select seq, concat('name', seq) from seq_1_to_3000000");
    FrameCommand(CMD_EXECUTE);
    std::vector<int> counts;
    while (child->Executing && counts.size() < 1000) {
        PumpMessages(50);
        int shown = 0;
        if (sscanf(StatusText(child, 4).c_str(), "%d row(s)", &shown) == 1 && shown > 0 &&
            (counts.empty() || shown != counts.back()))
            counts.push_back(shown);
    }
    ASSERT_TRUE(WaitForCompletion(child, 60000));
    ASSERT_GE(counts.size(), 2u) << "the count did not grow while the rows arrived";
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    EXPECT_LT(counts.front(), 3000000);
    EXPECT_EQ("3000000 row(s)", StatusText(child, 4));
    EXPECT_EQ(3000000, GridRows(child));
}

// A stream broken off by the server is a failed batch: its error, and the
// rows read so far given back.
TEST_F(Batch, AStreamKilledHalfWayIsAnErrorAndItsRowsAreGivenBack)
{
    size_t before = GridStorage::BytesHeldByAll();
    unsigned long id = mysql_thread_id(child->Connection->Handle);
    SetEditorText(child, "select seq, repeat('x', 100) from seq_1_to_20000000");
    FrameCommand(CMD_EXECUTE);
    ASSERT_TRUE(PumpUntil([&] { return child->Batch && child->Batch->RowsReceived > 100000; }, 20000));
    MYSQL *admin = ConnectTestServer();
    ExecSql(admin, "KILL " + std::to_string(id));
    mysql_close(admin);
    ASSERT_TRUE(WaitForCompletion(child, 10000));
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_EQ(0u, MessagePaneText(child).find("Error 2013:")) << MessagePaneText(child);
    EXPECT_EQ(nullptr, child->Buffer);
    EXPECT_TRUE(PumpUntil([&] { return GridStorage::BytesHeldByAll() <= before; }, 5000));
}

// Running out of memory half-way reads the rest and drops it: the error is
// shown, the memory given back, and the connection still serves.
TEST_F(Batch, OutOfMemoryHalfWayIsReportedAndTheWindowRunsTheNextBatch)
{
    size_t before = GridStorage::BytesHeldByAll();
    GridStorage::LimitBytesForTests(before + (24 << 20));
    bool finished = RunBatch(child, "select seq, repeat('y', 50) from seq_1_to_2000000", 60000);
    GridStorage::LimitBytesForTests(0);
    ASSERT_TRUE(finished);
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_NE(std::string::npos, MessagePaneText(child).find("Out of memory")) << MessagePaneText(child);
    EXPECT_TRUE(PumpUntil([&] { return GridStorage::BytesHeldByAll() <= before; }, 5000));
    ASSERT_TRUE(RunBatch(child, "select 41 + 1"));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
    EXPECT_EQ(1, GridRows(child));
}

// A script of several statements runs as one batch; the first grid shows
// the first result set, the pane lists every statement.
TEST_F(Batch, AScriptOfSeveralStatementsListsEachOne)
{
    ASSERT_TRUE(RunBatch(child, "select 1 as one; select 2 as two"));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
    ASSERT_EQ(1, GridRows(child));
    EXPECT_STREQ("one", GridBuffer(child)->Fields[0]);
    EXPECT_EQ("Statement 1: 1 row(s) returned (Result 1)\r\nStatement 2: 1 row(s) returned (Result 2)",
              MessagePaneText(child));

    ASSERT_TRUE(RunBatch(child, "create table counted (n int);\ninsert into counted values (1), (2), (3);\n"
                                "update counted set n = n + 1 where n > 1;\nselect * from counted"));
    EXPECT_EQ("Statement 1: 0 row(s) affected\r\nStatement 2: 3 row(s) affected\r\n"
              "Statement 3: 2 row(s) affected\r\nStatement 4: 3 row(s) returned",
              MessagePaneText(child));
    EXPECT_EQ(0, CurrentTab(child));
    EXPECT_EQ(3, GridRows(child));

    // The server stops at the first error; the batch failed.
    ASSERT_TRUE(RunBatch(child, "insert into counted values (9);\nselect * from no_such_table;\ndrop table counted"));
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_EQ(1, CurrentTab(child));
    std::string pane = MessagePaneText(child);
    EXPECT_EQ(0u, pane.find("Statement 1: 1 row(s) affected\r\nStatement 2 failed.\r\nError 1146: ")) << pane;
    CHARFORMATA format = {sizeof format};
    CHARRANGE red = {(LONG)pane.find("Error"), (LONG)pane.find("Error") + 11};
    SendMessageA(child->MessagePane, EM_EXSETSEL, 0, (LPARAM)&red);
    SendMessageA(child->MessagePane, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    EXPECT_EQ(RGB(255, 0, 0), format.crTextColor);
    MYSQL *admin = ConnectTestServer();
    EXPECT_EQ("4", QueryValue(admin, std::string("select count(*) from ") + Database + ".counted"));
    ExecSql(admin, std::string("drop table ") + Database + ".counted");
    mysql_close(admin);
}

std::string TabText(CHILDDATA *child, int tab)
{
    char text[64] = "";
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(child->Tabs, TCM_GETITEMA, tab, (LPARAM)&item);
    return text;
}

// The tooltip of a tab, as hovering it shows it.
std::string TabTip(CHILDDATA *child, int tab)
{
    RECT place = {};
    SendMessageA(child->Tabs, TCM_GETITEMRECT, tab, (LPARAM)&place);
    SendMessageA(child->Tabs, WM_MOUSEMOVE, 0, MAKELPARAM((place.left + place.right) / 2, (place.top + place.bottom) / 2));
    char tip[256] = "";
    TTTOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = child->Window;
    tool.uId = (UINT_PTR)child->Tabs;
    tool.lpszText = tip;
    SendMessageA(child->TabTips, TTM_GETTEXTA, sizeof tip, (LPARAM)&tool);
    return tip;
}

// Every result set of a script has a tab and a grid of its own; the pane's
// lines name the tabs, Ctrl+Page Down and Up step through them (wrapping)
// and the edit commands act on the grid shown.
TEST_F(Batch, EveryResultSetHasItsOwnTab)
{
    ASSERT_TRUE(RunBatch(child, "select * from five;\nselect 'b' as bee, 2 as two;\nselect 3 as three;\n"
                                "call two();\nupdate five set t = 'a' where n = 1"));
    EXPECT_EQ("Statement 1: 5 row(s) returned (Result 1)\r\nStatement 2: 1 row(s) returned (Result 2)\r\n"
              "Statement 3: 1 row(s) returned (Result 3)\r\nStatement 4: 2 row(s) returned (Results 4-5)\r\n"
              "Statement 5: 0 row(s) affected",
              MessagePaneText(child));
    // Hovering a tab names its statement by the statement's first line.
    for (int tab : {1, 4, 5})
        EXPECT_EQ(tab == 1 ? "select 'b' as bee, 2 as two;" : tab == 4 ? "call two();" : "", TabTip(child, tab)) << tab;
    ASSERT_EQ(4u, child->MoreGrids.size());
    ASSERT_EQ(6, (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("Result 1", TabText(child, 0));
    EXPECT_EQ("Result 5", TabText(child, 4));
    EXPECT_EQ("Messages", TabText(child, 5));
    EXPECT_EQ(0, CurrentTab(child));
    EXPECT_EQ(5, GridRows(child));

    SetFocus(child->Grid);
    FrameCommand(CMD_NEXTRESULTTAB);
    EXPECT_EQ(1, CurrentTab(child));
    EXPECT_FALSE(IsWindowVisible(child->Grid));
    HWND second = child->MoreGrids[0];
    EXPECT_TRUE(IsWindowVisible(second));
    EXPECT_EQ(second, GetFocus());
    // A tab's grid takes the first grid's place when shown, and follows the
    // window's size while it is.
    auto samePlace = [&](HWND grid) {
        RECT first, shown;
        GetWindowRect(child->Grid, &first);
        GetWindowRect(grid, &shown);
        return EqualRect(&first, &shown) && shown.right > shown.left && shown.bottom > shown.top;
    };
    EXPECT_TRUE(samePlace(second));
    RECT frameRect;
    GetWindowRect(window, &frameRect);
    SetWindowPos(window, nullptr, 0, 0, frameRect.right - frameRect.left - 60, frameRect.bottom - frameRect.top - 40,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(samePlace(second)) << "resized";
    FrameCommand(CMD_SELECTALL);
    FrameCommand(CMD_COPY);
    EXPECT_EQ("b\t2", ClipboardText());
    // Find goes where the keyboard is: to the grid's cells.
    FrameCommand(CMD_FIND);
    HWND find = FindWindowA(nullptr, "Find");
    ASSERT_TRUE(find);
    SetDlgItemTextA(find, 0x480, "B"); // the text to find
    SendMessageA(find, WM_COMMAND, IDOK, 0);
    SendMessageA(find, WM_COMMAND, IDCANCEL, 0);
    SetFocus(second);
    FrameCommand(CMD_COPY);
    EXPECT_EQ("b", ClipboardText());
    FrameCommand(CMD_PREVIOUSRESULTTAB);
    FrameCommand(CMD_PREVIOUSRESULTTAB);
    EXPECT_EQ(5, CurrentTab(child));
    EXPECT_TRUE(IsWindowVisible(child->MessagePane));
    EXPECT_FALSE(IsWindowVisible(second));
    FrameCommand(CMD_PREVIOUSRESULTTAB);
    EXPECT_TRUE(IsWindowVisible(child->MoreGrids[3]));
    EXPECT_TRUE(samePlace(child->MoreGrids[3])) << "a tab first shown after the resize";

    // The keys are the frame's, ahead of the panes' Page Down and Page Up.
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    std::vector<ACCEL> keys((size_t)CopyAcceleratorTableA(table, nullptr, 0));
    CopyAcceleratorTableA(table, keys.data(), (int)keys.size());
    int found = 0;
    for (const ACCEL &key : keys)
        if ((key.fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT)) == (FVIRTKEY | FCONTROL))
            found |= (key.key == VK_NEXT && key.cmd == CMD_NEXTRESULTTAB ? 1 : 0) |
                     (key.key == VK_PRIOR && key.cmd == CMD_PREVIOUSRESULTTAB ? 2 : 0);
    EXPECT_EQ(3, found);

    // No limit: 500 SELECTs give 500 tabs, named in order.
    std::string script;
    for (int i = 1; i <= 500; i++) script += "select " + std::to_string(i) + ";\n";
    ASSERT_TRUE(RunBatch(child, script, 60000));
    ASSERT_EQ(501, (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("Result 500", TabText(child, 499));
    EXPECT_STREQ("500", ((const GRIDBUFFER *)SendMessageA(child->MoreGrids[498], WM_GRID_GETBUFFER, 0, 0))->Rows[0][0]);

    // A result still arriving names its statement already, counted past a
    // CALL's two result sets and its status.
    SetEditorText(child, "call two();\nselect seq from seq_1_to_20000000");
    FrameCommand(CMD_EXECUTE);
    ASSERT_TRUE(PumpUntil([&] { return SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0) == 4; }, 20000));
    EXPECT_EQ("select seq from seq_1_to_20000000", TabTip(child, 2));
    EXPECT_EQ("call two();", TabTip(child, 1));
    EXPECT_TRUE(child->Executing);
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child, 20000));

    // One result set again: the tabs are as they always were.
    ASSERT_TRUE(RunBatch(child, "select 1 as one"));
    EXPECT_TRUE(child->MoreGrids.empty());
    ASSERT_EQ(2, (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("Results", TabText(child, 0));
    EXPECT_EQ(0, CurrentTab(child));
    EXPECT_TRUE(IsWindowVisible(child->Grid));
}

// A long script that fails shows the failed statement's line without the
// person scrolling the pane.
TEST_F(Batch, TheMessagePaneScrollsToTheFailedStatement)
{
    std::string script;
    for (int i = 0; i < 80; i++) script += "do 1;\n";
    ASSERT_TRUE(RunBatch(child, script + "select * from no_such_table;\ndo 2"));
    EXPECT_EQ(1, CurrentTab(child)) << "the Messages tab";
    int first = (int)SendMessageA(child->MessagePane, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(first, 60);
    EXPECT_LE(first, 80) << "line 81 names the failed statement";
}

int SaveDialogsShown = 0;
BOOL WINAPI CountSaveDialog(LPOPENFILENAMEA)
{
    SaveDialogsShown++;
    return FALSE;
}

// Rows show while they arrive: a cell is chosen and copied before the
// result ends, Save As waits for the end, and the place chosen stays when
// the batch ends (here cancelled, keeping the rows). The row index grows
// while the grid reads it: the memory check (scripts/memcheck.sh) sees a
// read of an index that moved.
TEST_F(Batch, RowsAreShownAndCopiedWhileTheyArrive)
{
    SetEditorText(child, "select seq, repeat('x', 100) as x from seq_1_to_20000000");
    FrameCommand(CMD_EXECUTE);
    ASSERT_TRUE(PumpUntil([&] { return GridRows(child) > 1000; }, 20000));
    ASSERT_TRUE(child->Executing);
    EXPECT_TRUE(IsWindowVisible(child->Grid));
    SetFocus(child->Grid);
    RECT cell = {0};
    ASSERT_TRUE(SendMessageA(child->Grid, WM_GRID_GETCELLRECT, 1, (LPARAM)&cell));
    LPARAM point = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageA(child->Grid, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(child->Grid, WM_LBUTTONUP, 0, point);
    FrameCommand(CMD_COPY);
    EXPECT_EQ("2", ClipboardText());
    GridDialogs saved = GridDialogFunctions;
    GridDialogFunctions.GetSaveFileName = CountSaveDialog;
    FrameCommand(CMD_SAVEAS);
    SendMessageA(child->Grid, WM_COMMAND, CMD_SAVEAS, 0); // as the grid's own menu sends it
    EXPECT_EQ(0, SaveDialogsShown) << "not while the rows arrive";
    int seen = GridRows(child);
    ASSERT_TRUE(PumpUntil([&] { return GridRows(child) > seen; }, 10000)) << "the grid grows";
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child, 20000));
    EXPECT_EQ("Query batch cancelled.", StatusText(child, 0));
    EXPECT_GT(GridRows(child), seen);
    GRIDRANGE range = {};
    ASSERT_TRUE(SendMessageA(child->Grid, WM_GRID_GETSELECTION, 0, (LPARAM)&range));
    EXPECT_EQ(1, range.Top);
    SetFocus(child->Grid);
    FrameCommand(CMD_SAVEAS);
    EXPECT_EQ(1, SaveDialogsShown);
    GridDialogFunctions = saved;
}

// Compound statements and the DELIMITER lines of dumps run as the editor
// shows them; the editor's text is not changed.
TEST_F(Batch, RoutinesWithAndWithoutDelimiterLinesAreCreated)
{
    ASSERT_TRUE(RunBatch(child, "CREATE PROCEDURE plain() BEGIN SELECT 1; SELECT 2; END"));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0)) << MessagePaneText(child);
    const std::string dump = "DELIMITER //\n"
                             "CREATE PROCEDURE dumped()\nBEGIN\n  SELECT '//' AS s;\nEND//\n"
                             "CREATE TABLE logged (a INT)//\n"
                             "CREATE TRIGGER marks BEFORE INSERT ON logged FOR EACH ROW BEGIN SET NEW.a = 7; END//\n"
                             "DELIMITER ;\n"
                             "INSERT INTO logged VALUES (1);\n"
                             "CALL dumped();";
    ASSERT_TRUE(RunBatch(child, dump));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0)) << MessagePaneText(child);
    std::string shown = EditorText(child);
    for (size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at)) shown.erase(at, 1);
    EXPECT_EQ(dump, shown);
    ASSERT_EQ(1, GridRows(child));
    EXPECT_STREQ("//", GridBuffer(child)->Rows[0][0]);
    MYSQL *admin = ConnectTestServer();
    EXPECT_EQ("7", QueryValue(admin, std::string("select a from ") + Database + ".logged"));
    ExecSql(admin, std::string("drop table ") + Database + ".logged");
    ExecSql(admin, std::string("drop procedure ") + Database + ".dumped");
    ExecSql(admin, std::string("drop procedure ") + Database + ".plain");
    mysql_close(admin);
}

// A dump as dump tools write it: tables with their rows first, then the
// trigger and the procedure between "DELIMITER ;;" lines, the trigger inside
// version comments. Restored as one batch, every object is made.
TEST_F(Batch, ADumpWithTablesBeforeItsTriggerAndProcedureIsRestored)
{
    const std::string dump =
        "-- Dump of the orders\n"
        "/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;\n"
        "/*!40101 SET NAMES utf8mb4 */;\n"
        "\n"
        "DROP TABLE IF EXISTS `orders`;\n"
        "CREATE TABLE `orders` (\n"
        "  `id` int(11) NOT NULL,\n"
        "  `note` varchar(20) DEFAULT NULL,\n"
        "  PRIMARY KEY (`id`)\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n"
        "\n"
        "LOCK TABLES `orders` WRITE;\n"
        "/*!40000 ALTER TABLE `orders` DISABLE KEYS */;\n"
        "INSERT INTO `orders` VALUES (1,'first'),(2,'begin; end');\n"
        "/*!40000 ALTER TABLE `orders` ENABLE KEYS */;\n"
        "UNLOCK TABLES;\n"
        "/*!50003 SET @saved_sql_mode       = @@sql_mode */ ;\n"
        "/*!50003 SET sql_mode              = 'STRICT_TRANS_TABLES' */ ;\n"
        "DELIMITER ;;\n"
        "/*!50003 CREATE*/ /*!50017 DEFINER=CURRENT_USER*/ /*!50003 TRIGGER `orders_note` BEFORE INSERT ON `orders` "
        "FOR EACH ROW BEGIN\n"
        "  IF NEW.note IS NULL THEN SET NEW.note = 'none'; END IF;\n"
        "END */;;\n"
        "DELIMITER ;\n"
        "/*!50003 SET sql_mode              = @saved_sql_mode */ ;\n"
        "\n"
        "DELIMITER ;;\n"
        "CREATE DEFINER=CURRENT_USER PROCEDURE `order_count`()\n"
        "BEGIN\n"
        "  SELECT COUNT(*) FROM orders;\n"
        "END ;;\n"
        "DELIMITER ;\n"
        "/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */;\n";
    ASSERT_TRUE(RunBatch(child, dump));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0)) << MessagePaneText(child);
    MYSQL *admin = ConnectTestServer();
    ExecSql(admin, std::string("use ") + Database);
    EXPECT_EQ("2", QueryValue(admin, "select count(*) from orders"));
    ExecSql(admin, "insert into orders (id) values (3)");
    EXPECT_EQ("none", QueryValue(admin, "select note from orders where id = 3"));
    EXPECT_EQ("1", QueryValue(admin, "select count(*) from information_schema.routines where routine_schema = "
                                     "database() and routine_name = 'order_count'"));
    ExecSql(admin, "drop table if exists orders");
    ExecSql(admin, "drop procedure if exists order_count");
    mysql_close(admin);
}

// Scripts saved by other editors run as they read: with a UTF-8 byte-order
// mark (which never reaches the server), in UTF-16, in Windows-1252.
TEST_F(Batch, ScriptsInOtherEncodingsRun)
{
    char directory[MAX_PATH] = "";
    GetTempPathA(sizeof directory, directory);
    std::string path = std::string(directory) + "qw_tests_encoded.sql";
    struct Script {
        std::string bytes, shown;
    };
    for (const Script &script : {Script{"\xEF\xBB\xBFselect 'gr\xC3\xBC\xC3\x9F' as t", "gr\xC3\xBC\xC3\x9F"},
                                 Script{std::string("\xFF\xFEs\0e\0l\0e\0c\0t\0 \0'\0\xFC\0'\0", 22), "\xC3\xBC"},
                                 Script{"select 'na\xEFve \x80'", "na\xC3\xAFve \xE2\x82\xAC"}}) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, script.bytes.data(), (DWORD)script.bytes.size(), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(EDITOR_OK, SendMessageA(child->Editor, WM_EDITOR_LOADFILE, 0, (LPARAM)path.c_str()));
        FrameCommand(CMD_EXECUTE);
        ASSERT_TRUE(WaitForCompletion(child));
        EXPECT_EQ("Query batch completed.", StatusText(child, 0)) << MessagePaneText(child);
        ASSERT_EQ(1, GridRows(child)) << script.shown;
        EXPECT_STREQ(script.shown.c_str(), GridBuffer(child)->Rows[0][0]);
    }
    DeleteFileA(path.c_str());
}

// "... at line N": the caret goes to that line of the editor; a selection
// that ran stays, and the pane names the line.
TEST_F(Batch, TheErrorsLineIsFoundInTheEditor)
{
    ASSERT_TRUE(RunBatch(child, "select 1;\nselect\n  2,\n  3 3 3;\nselect 5"));
    EDITORRANGE caret = {};
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 0, (LPARAM)&caret);
    EXPECT_EQ(4, caret.End.Line) << MessagePaneText(child);
    EXPECT_EQ(1, caret.End.Column);

    std::string text;
    for (int line = 1; line <= 14; line++) text += line == 12 ? "select 1 from from\n" : "select " + std::to_string(line) + ";\n";
    SetEditorText(child, text);
    EDITORRANGE selection = {{10, 1}, {14, 1}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 0, (LPARAM)&selection);
    FrameCommand(CMD_EXECUTE);
    ASSERT_TRUE(WaitForCompletion(child));
    std::string pane = MessagePaneText(child);
    EXPECT_NE(std::string::npos, pane.find("\r\n(line 12 of the editor)")) << pane;
    EDITORRANGE after = {};
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 0, (LPARAM)&after);
    EXPECT_EQ(10, after.Start.Line);
    EXPECT_EQ(14, after.End.Line);
}

// Cancel Query stops the statement on the server over a second connection;
// the window's own connection stays and runs the next batch.
TEST_F(Batch, CancelQueryStopsASleepAStreamAndALockWait)
{
    EXPECT_TRUE(MenuGrayed(CMD_CANCELQUERY));
    SetEditorText(child, "select sleep(60)");
    FrameCommand(CMD_EXECUTE);
    EXPECT_FALSE(MenuGrayed(CMD_CANCELQUERY));
    PumpMessages(300);
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child, 10000));
    EXPECT_EQ("Query batch cancelled.", StatusText(child, 0));
    EXPECT_TRUE(MenuGrayed(CMD_CANCELQUERY));
    EXPECT_FALSE(MenuGrayed(CMD_EXECUTE));

    SetEditorText(child, "select seq, repeat('x', 50) from seq_1_to_10000000");
    FrameCommand(CMD_EXECUTE);
    ASSERT_TRUE(PumpUntil([&] { return child->Batch && child->Batch->RowsReceived > 50000; }, 20000));
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child, 10000));
    EXPECT_EQ("Query batch cancelled.", StatusText(child, 0));
    int rows = GridRows(child);
    EXPECT_GT(rows, 50000);
    EXPECT_LT(rows, 10000000);
    EXPECT_EQ("Query cancelled after " + std::to_string(rows) + " row(s): the result is incomplete.",
              MessagePaneText(child));

    MYSQL *holder = ConnectTestServer();
    ExecSql(holder, std::string("create table ") + Database + ".locked (n int primary key) engine=innodb");
    ExecSql(holder, std::string("insert into ") + Database + ".locked values (1)");
    ExecSql(holder, "begin");
    ExecSql(holder, std::string("select * from ") + Database + ".locked for update");
    SetEditorText(child, "update locked set n = 2");
    FrameCommand(CMD_EXECUTE);
    PumpMessages(300);
    FrameCommand(CMD_CANCELQUERY);
    ASSERT_TRUE(WaitForCompletion(child, 10000));
    EXPECT_EQ("Query batch cancelled.", StatusText(child, 0));
    EXPECT_EQ("Query cancelled.", MessagePaneText(child));
    ExecSql(holder, "rollback");
    ExecSql(holder, std::string("drop table ") + Database + ".locked");
    mysql_close(holder);

    ASSERT_TRUE(RunBatch(child, "select 6 * 7"));
    EXPECT_EQ("Query batch completed.", StatusText(child, 0));
}

TEST_F(Batch, TwoWindowsRunTheirBatchesAtTheSameTime)
{
    HWND other = OpenQueryWindow("qw_tests_b");
    CHILDDATA *second = ChildOf(other);
    DWORD start = GetTickCount();
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    SetEditorText(child, "select sleep(1.5) as first");
    FrameCommand(CMD_EXECUTE);
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)other, 0);
    // Activated while its batch does not run, the second window lists the
    // databases; the first, running, is not asked.
    EXPECT_EQ("qw_tests_b", SelectorText());
    SetEditorText(second, "select sleep(1.5) as second");
    FrameCommand(CMD_EXECUTE);
    ASSERT_EQ(1, child->Executing);
    ASSERT_EQ(1, second->Executing);
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    EXPECT_EQ(Database, SelectorText());
    EXPECT_EQ(1, SelectorCount());
    ASSERT_TRUE(WaitForCompletion(child));
    ASSERT_TRUE(WaitForCompletion(second));
    EXPECT_LT(GetTickCount() - start, 2900u);
    EXPECT_STREQ("first", GridBuffer(child)->Fields[0]);
    EXPECT_STREQ("second", GridBuffer(second)->Fields[0]);
    // The first is active: the selector lists every database again and
    // shows its own; the second's completion behind it changed nothing.
    EXPECT_EQ(Database, SelectorText());
    EXPECT_GT(SelectorCount(), 3);
    EXPECT_FALSE(MenuGrayed(CMD_EXECUTE));
}

TEST_F(Batch, AWindowClosedDuringItsBatchClosesAtOnceAndItsConnectionEnds)
{
    unsigned long id = mysql_thread_id(child->Connection->Handle);
    ASSERT_TRUE(RunBatch(child, "select * from five"));
    SetEditorText(child, "select sleep(60) as late");
    FrameCommand(CMD_EXECUTE);
    ASSERT_EQ(1, child->Executing);
    PumpMessages(200);
    DWORD start = GetTickCount();
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)window, 0);
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, CountQueryWindows(TestFrame(), 0));

    // The statement is stopped on the server, and the worker closes the
    // connection when the server has answered.
    MYSQL *admin = ConnectTestServer();
    std::string query = "select count(*) from information_schema.processlist where id = " + std::to_string(id);
    EXPECT_TRUE(PumpUntil([&] { return QueryValue(admin, query) == "0"; }, 5000));
    mysql_close(admin);
    EXPECT_TRUE(PumpUntil([] { return RunningBatchWorkers() == 0; }, 2000));

    // A window closed right after its worker finished, before the
    // completion arrived, frees everything itself.
    HWND late = OpenQueryWindow(Database);
    CHILDDATA *lateChild = ChildOf(late);
    SetEditorText(lateChild, "select 1");
    FrameCommand(CMD_EXECUTE);
    Sleep(300);
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)late, 0);
    PumpMessages(50);
    EXPECT_FALSE(IsWindow(late));

    // A script of many quick results: its end waits while their tabs are
    // made a slice at a time, the window answering meanwhile; closed then,
    // it frees them all.
    HWND many = OpenQueryWindow(Database);
    CHILDDATA *manyChild = ChildOf(many);
    std::string script;
    for (int i = 1; i <= 300; i++) script += "select " + std::to_string(i) + ";\n";
    SetEditorText(manyChild, script);
    FrameCommand(CMD_EXECUTE);
    // One message at a time: the ticks that make the tabs follow each other.
    DWORD until = GetTickCount() + 10000;
    MSG message;
    while (!manyChild->EndWaiting && manyChild->Executing && GetTickCount() < until)
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        else Sleep(1);
    ASSERT_EQ(1, manyChild->EndWaiting);
    EXPECT_EQ(1, manyChild->Executing) << "the batch's end waits for its tabs";
    EXPECT_FALSE(manyChild->BegunWaiting.empty());
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)many, 0);
    PumpMessages(50);
    EXPECT_FALSE(IsWindow(many));
}

// Each batch is recorded as it ends, with its outcome, server, account and
// database, the text as it was typed; one that carries a password without
// its text.
TEST_F(Batch, EachBatchIsRecordedInTheHistoryWithItsOutcome)
{
    TempDirectory folder;
    ASSERT_TRUE(StartHistoryRecorder(folder.Path()));
    ASSERT_TRUE(RunBatch(child, "select n from five"));
    ASSERT_TRUE(RunBatch(child, "update five set t = t where n < 3;\r\nupdate five set t = 'z' where n < 3"));
    ASSERT_TRUE(RunBatch(child, "selec 1"));
    const char delimited[] = "DELIMITER //\r\nselect 1 //\r\nDELIMITER ;";
    ASSERT_TRUE(RunBatch(child, delimited));
    ASSERT_TRUE(RunBatch(child, "select password('x')"));
    StopHistoryRecorder();
    HISTORYLIST list;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list));
    ASSERT_EQ(5u, list.Items.size());
    const HISTORYITEM &select = list.Items[4], &update = list.Items[3], &failed = list.Items[2];
    EXPECT_EQ("select n from five", select.Text);
    EXPECT_EQ(HistoryRowsReturned, select.Outcome);
    EXPECT_EQ(5, select.Rows);
    EXPECT_EQ("localhost", select.Server);
    EXPECT_EQ(TestUser(), select.User);
    EXPECT_EQ(Database, select.Database);
    EXPECT_EQ(HistoryRowsAffected, update.Outcome);
    EXPECT_EQ(2, update.Affected);
    EXPECT_EQ(HistoryFailed, failed.Outcome);
    EXPECT_EQ(1064u, failed.ErrorNumber);
    EXPECT_NE(std::string::npos, failed.Error.find("SQL syntax"));
    EXPECT_EQ(delimited, list.Items[1].Text);
    EXPECT_TRUE(list.Items[0].Flags & HistoryTextOmitted);
    EXPECT_EQ("", list.Items[0].Text);
    EXPECT_EQ(HistoryRowsReturned, list.Items[0].Outcome);
    EXPECT_LE(list.Items[4].Started, list.Items[0].Started);
}

} // namespace
