// Faults the program must survive: the server going away under a batch, a
// connection killed by somebody else, windows and the frame closed while
// their batches run, and many batches at once.
#include "ProgramTest.h"

#include <set>

using namespace e2e;

namespace {

class Fault : public ProgramTest {
protected:
    // Starts a long statement in the active window and waits until the
    // server runs it.
    void StartLongBatch(const Account &on, const std::string &sql)
    {
        program.Execute(sql);
        ASSERT_TRUE(WaitFor([&] { return RunningCount(on, sql) > 0; })) << sql;
    }

    static int RunningCount(const Account &on, const std::string &sql)
    {
        return std::stoi("0" + QueryValue(on, "select count(*) from information_schema.processlist where info = '" +
                                                  sql + "'"));
    }

    // The message pane's text, once it holds one of the expected words.
    std::string WaitForMessage(const std::vector<std::string> &words)
    {
        std::string text;
        WaitFor(
            [&] {
                text = program.CopyMessages();
                for (const std::string &word : words)
                    if (text.find(word) != std::string::npos) return true;
                return false;
            },
            std::chrono::seconds(15), std::chrono::milliseconds(500));
        return text;
    }
};

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// The server goes away under a batch and comes back: the window survives it
// and runs its next batch on a new session.
TEST_F(Fault, ServerStoppedDuringABatch)
{
    PrivateServer server(program.WorkDirectory() + "/server");
    ASSERT_TRUE(server.Start());
    StartConnected(server.RootAccount());
    StartLongBatch(server.RootAccount(), "select sleep(60)");
    server.Stop();

    std::string message = WaitForMessage({"2013", "2006", "Lost connection", "gone away", "shutdown"});
    EXPECT_TRUE(Contains(message, "Lost connection") || Contains(message, "gone away") || Contains(message, "shutdown"))
        << message;
    // The window still takes text and commands while the server is away.
    program.Execute("select 'still here'");
    Pause(1000);
    EXPECT_TRUE(program.Running());

    // Back again: the same window makes a new session for its next batch,
    // and says so.
    ASSERT_TRUE(server.Start());
    EXPECT_EQ("7", program.AskWindow("select 7"));
    EXPECT_TRUE(Contains(WaitForMessage({"Reconnected to localhost."}),
                         "Reconnected to localhost. Session settings and temporary tables were reset.\n"));
    program.Kill();
}

// A script of two statements lists both; a runaway query is stopped from
// the keyboard (Ctrl+Break: the Pause key with Ctrl on X) and leaves the
// server, and the window goes on.
TEST_F(Fault, AScriptRunsWholeAndARunawayQueryIsCancelledFromTheKeyboard)
{
    StartConnected(account);
    program.Execute("select 1 as a; select 2 as b");
    EXPECT_TRUE(program.WaitForGrid("1"));
    // Each result in its tab: Ctrl+Page Down goes to the second, then on to
    // the messages, the keyboard following.
    EXPECT_EQ("2", CopyAfterClick(Screen::GridCellX, Screen::GridCellY, "ctrl+Next ctrl+a ctrl+c"));
    EXPECT_TRUE(Contains(CopyAfterClick(Screen::GridCellX, Screen::GridCellY, "ctrl+Next ctrl+a ctrl+c"),
                         "Statement 2: 1 row(s) returned (Result 2)"));

    StartLongBatch(account, "select sleep(60)");
    Keys("ctrl+Pause");
    EXPECT_TRUE(Contains(WaitForMessage({"Query cancelled"}), "Query cancelled"));
    EXPECT_TRUE(WaitFor([&] { return RunningCount(account, "select sleep(60)") == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ("5", program.AskWindow("select 5"));
}

TEST_F(Fault, ConnectionKilledFromAnotherSession)
{
    StartConnected(account);
    std::string id = program.AskWindow("select connection_id()");
    ASSERT_FALSE(id.empty());
    StartLongBatch(account, "select sleep(60)");
    ASSERT_TRUE(Exec(account, "KILL " + id));

    std::string message = WaitForMessage({"Lost connection", "gone away", "interrupted", "killed"});
    EXPECT_FALSE(Contains(message, NothingCopied)) << message;
    EXPECT_TRUE(program.Running());
    // A new window opens its own connection and works.
    Keys("ctrl+n");
    EXPECT_TRUE(program.WaitForTitle(FrameTitleFor("mysql", "vintrel", "Untitled2"))) << program.FrameTitle();
    EXPECT_EQ("5", program.AskWindow("select 5"));
}

// A window closed while its batch runs goes at once and its connection
// ends; a new window works meanwhile; Exit with two batches running asks
// about each changed window, ends cleanly and ends both connections.
TEST_F(Fault, WindowsAndTheFrameClosedWhileTheirBatchesRun)
{
    StartConnected(account);
    std::string first = program.AskWindow("select connection_id()");
    StartLongBatch(account, "select sleep(62)");
    Keys("ctrl+n");
    ASSERT_TRUE(program.WaitForTitle(FrameTitleFor("mysql", "vintrel", "Untitled2"))) << program.FrameTitle();
    std::string closed = program.AskWindow("select connection_id()");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(closed.empty());
    StartLongBatch(account, "select sleep(4)");
    Keys("ctrl+F4");
    ASSERT_TRUE(program.WaitForMessageBox()); // the text was changed
    Keys("n");
    // The window goes at once (the question box itself may take Wine 2 s to
    // take down when its windows are managed); its connection ends when the
    // server answers.
    EXPECT_TRUE(program.WaitForTitle(FrameTitleFor("mysql", "vintrel", "Untitled1*"), 4)) << program.FrameTitle();
    EXPECT_TRUE(WaitFor([&] { return !ConnectionAlive(account, closed); }, std::chrono::seconds(10)));

    Keys("ctrl+n");
    ASSERT_TRUE(program.WaitForTitle(FrameTitleFor("mysql", "vintrel", "Untitled2"))) << program.FrameTitle();
    EXPECT_EQ("8", program.AskWindow("select 8"));
    std::string second = program.AskWindow("select connection_id()");
    ASSERT_FALSE(second.empty());
    StartLongBatch(account, "select sleep(63)");

    Keys("alt+f x"); // File > Exit
    for (int changed = 0; changed < 2; changed++) {
        ASSERT_TRUE(program.WaitForMessageBox()) << "question " << changed + 1;
        Keys("n");
        ASSERT_TRUE(program.WaitForMessageBoxGone());
    }
    EXPECT_TRUE(program.WaitForExit(10));
    EXPECT_EQ(0, program.ExitStatus());
    EXPECT_TRUE(WaitFor([&] { return !ConnectionAlive(account, first) && !ConnectionAlive(account, second); },
                        std::chrono::seconds(5)));
}

// Typed text outlives a kill: the next start asks right after the connect,
// and Yes (the default) brings the script back, still marked as changed.
// Dropped on purpose and the program left normally, nothing is left to ask
// about.
TEST_F(Fault, TypedScriptComesBackAfterTheProgramIsKilled)
{
    StartConnected(account);
    program.ReplaceEditorText("select 'typed before the kill'");
    // The Windows build keeps them in the prefix's %LOCALAPPDATA%, the Linux
    // build in the (test's own) XDG data folder, for its user alone.
    const char *prefix = getenv("WINEPREFIX");
    std::string recovery = TestingWindowsBuild()
                               ? Quote(prefix ? prefix : "") + "/drive_c/users/*/AppData/Local/Vintrel/Recovery"
                               : Quote(program.WorkDirectory() + "/data/vintrel/recovery");
    auto copies = [&] { return RunLine("ls " + recovery + "/*/*.vrec 2>/dev/null | wc -l"); };
    ASSERT_TRUE(WaitFor([&] { return copies() == "1"; }, std::chrono::seconds(5)));
    if (!TestingWindowsBuild()) {
        EXPECT_EQ("700", RunLine("stat -c %a " + recovery));
    }
    program.Kill();

    ASSERT_TRUE(program.Start(account.Socket));
    ASSERT_TRUE(program.AcceptConnectDialog());
    ASSERT_TRUE(program.WaitForMessageBox()); // the question
    Keys("Return");
    ASSERT_TRUE(program.WaitForMessageBoxGone());
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ(FrameTitleFor("mysql", account.User, "Untitled1*"), program.FrameTitle());
    EXPECT_EQ("select 'typed before the kill'", program.CopyEditor());

    Keys("alt+f x"); // File > Exit
    ASSERT_TRUE(program.WaitForMessageBox());
    Keys("n");
    EXPECT_TRUE(program.WaitForExit(10));
    EXPECT_EQ("", RunLine("ls " + recovery));

    ASSERT_TRUE(program.Start(account.Socket));
    ASSERT_TRUE(program.AcceptConnectDialog());
    Pause(1500);
    EXPECT_FALSE(program.MessageBoxShown());
}

// A million rows: all of them reach the grid, the keys reach both ends, and
// the next batch replaces them without a wait.
TEST_F(Fault, AMillionRowResultIsShownWholeAndThenReplaced)
{
    StartConnected(account);
    program.Execute("select seq, concat('row ', seq) as name from seq_1_to_1000000");
    auto cellAfter = [](const std::string &keys) {
        return CopyAfterClick(Screen::GridCellX, Screen::GridCellY, keys + " ctrl+c");
    };
    std::string last;
    EXPECT_TRUE(WaitFor([&] { return (last = cellAfter("ctrl+End")) == "row 1000000"; }, std::chrono::seconds(30),
                        std::chrono::milliseconds(500)))
        << last;
    EXPECT_EQ("1", cellAfter("ctrl+Home"));
    program.Execute("select 'small'");
    EXPECT_TRUE(program.WaitForGrid("small"));
    EXPECT_TRUE(program.Running());
}

TEST_F(Fault, TenWindowsRunTheirBatchesAtOnce)
{
    StartConnected(account);
    for (int window = 1; window <= 10; window++) {
        if (window > 1) {
            Keys("ctrl+n");
            ASSERT_TRUE(program.WaitForTitle(FrameTitleFor("mysql", "vintrel", "Untitled" + std::to_string(window))))
                << program.FrameTitle();
        }
        program.Execute("select sleep(15) as s, " + std::to_string(window) + " as n");
    }
    // All ten run on the server at the same time.
    EXPECT_TRUE(WaitFor([&] {
        return std::stoi("0" + QueryValue(account, "select count(*) from information_schema.processlist "
                                                   "where info like 'select sleep(15) as s, %'")) == 10;
    }));
    ASSERT_TRUE(WaitFor(
        [&] {
            return QueryValue(account, "select count(*) from information_schema.processlist "
                                       "where info like 'select sleep(15) as s, %'") == "0";
        },
        std::chrono::seconds(30)));
    // Each window shows its own row.
    std::set<std::string> rows;
    for (int window = 1; window <= 10; window++) {
        std::string row;
        WaitFor([&] { return (row = program.CopyGrid()).rfind("0\t", 0) == 0; }, std::chrono::seconds(5));
        rows.insert(row);
        Keys("ctrl+F6");
    }
    std::set<std::string> expected;
    for (int window = 1; window <= 10; window++) expected.insert("0\t" + std::to_string(window));
    EXPECT_EQ(expected, rows);
    EXPECT_TRUE(program.Running());
}

} // namespace
