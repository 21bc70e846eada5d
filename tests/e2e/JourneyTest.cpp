// Journeys through the program as a person makes them, each from a fresh
// start of the built program against the server that ./test runs.
#include "ProgramTest.h"

using namespace e2e;

namespace {

const std::string ConnectedTitle = "Vintrel - [Query - localhost.mysql.vintrel@localhost - Untitled1]";

class Journey : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(Exec(account, "DROP DATABASE IF EXISTS e2e_shop; CREATE DATABASE e2e_shop;"
                                  "CREATE TABLE e2e_shop.items (id INT PRIMARY KEY, name VARCHAR(20), price DECIMAL(6,2));"
                                  "INSERT INTO e2e_shop.items VALUES (1,'pen',1.50),(2,'ink',NULL),(3,'pad',12.00);"
                                  "DROP DATABASE IF EXISTS e2e_other; CREATE DATABASE e2e_other;"
                                  "SET GLOBAL general_log = 1"));
    }
    void TearDown() override
    {
        ProgramTest::TearDown();
        Exec(account, "SET GLOBAL general_log = 0");
    }

    void StartConnected() { ProgramTest::StartConnected(account); }
};

// A password kept out of settings.ini: in the keyring by the Linux build
// (under the section's name in lower case, read with the desktop's own
// tool), encrypted for the Windows user by the Windows build.
void ExpectProtectedPassword(const VintrelProcess &program, const std::string &section, const std::string &password)
{
    std::string settings = ReadFile(program.SettingsPath());
    EXPECT_EQ(std::string::npos, settings.find(password)) << settings;
    if (TestingWindowsBuild())
        EXPECT_NE(std::string::npos, settings.find("\r\npasswordstore=windows\r\nprotectedpassword=")) << settings;
    else
        EXPECT_EQ(password, RunLine("secret-tool lookup settings " + Quote(WindowsPath(program.SettingsPath())) +
                                    " section " + Quote(section) + " 2>/dev/null"));
}

TEST_F(Journey, ConnectsThroughTheDialogWithTheSavedPassword)
{
    program.WriteSettings("localhost", account.User, &account.Password);
    ASSERT_TRUE(program.Start(account.Socket));
    EXPECT_EQ("Vintrel", program.FrameTitle());
    ASSERT_TRUE(program.AcceptConnectDialog());
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ(ConnectedTitle, program.FrameTitle());
    // The password an earlier version saved in clear text was read, and
    // has moved out of the file.
    ExpectProtectedPassword(program, "connection", account.Password);
    std::string log = GeneralLog();
    if (!log.empty()) {
        EXPECT_NE(std::string::npos, log.find("Connect\tvintrel@localhost on  using " + Transport()));
    }
}

TEST_F(Journey, TypedQueryRunsWithF5AndItsRowsAreCopied)
{
    StartConnected();
    program.Execute("select id, name, price from e2e_shop.items order by id");
    EXPECT_TRUE(program.WaitForGrid("1\tpen\t1.50\n2\tink\tNULL\n3\tpad\t12.00"));
    EXPECT_EQ("Vintrel - [Query - localhost.mysql.vintrel@localhost - Untitled1*]", program.FrameTitle());
    // The server received the typed text as it stands.
    std::string log = GeneralLog();
    if (!log.empty()) {
        EXPECT_NE(std::string::npos, log.find("Query\tselect id, name, price from e2e_shop.items order by id\n"));
    }
}

// Text from another program and back: pasted from the X clipboard into the
// editor, run, and the grid copied out to another program, byte for byte
// what the command-line client answers for the same query.
TEST_F(Journey, TextFromAndToOtherProgramsKeepsEveryCharacter)
{
    StartConnected();
    const std::string text = "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80";
    program.ReplaceEditorText("select '");
    SetClipboard(text);
    Keys("ctrl+v");
    Type("' as t");
    Keys("F5");
    std::string cli = RunLine("mariadb --no-defaults --default-character-set=utf8mb4 --batch --skip-column-names --socket=" +
                              Quote(account.Socket) + " -u" + Quote(account.User) + " -p" + Quote(account.Password) +
                              " -e " + Quote("select '" + text + "' as t"));
    EXPECT_EQ(text, cli);
    EXPECT_TRUE(program.WaitForGrid(cli));
    std::string log = GeneralLog();
    if (!log.empty()) {
        EXPECT_NE(std::string::npos, log.find("select '" + text + "' as t")) << "not UTF-8 at the server";
    }
}

// The position of a database in the lists the program fills from the
// server (SHOW DATABASES order).
int DatabaseIndex(const Account &account, const std::string &name)
{
    return std::stoi(QueryValue(account, "select count(*) from information_schema.schemata where schema_name < '" + name + "'"));
}

// Moves a list's selection to an entry by its index, as a person does with
// the arrow keys.
void ChooseEntry(int index)
{
    std::string keys = "Home";
    for (int i = 0; i < index; i++) keys += " Down";
    Keys(keys);
}

std::string TitleFor(const std::string &database, const std::string &file)
{
    return FrameTitleFor(database, "vintrel", file);
}

// Ctrl+U's dialog: the database chosen by its place in the list.
bool ChooseDatabaseWithCtrlU(VintrelProcess &program, const Account &account, const std::string &name)
{
    Keys("ctrl+u");
    if (program.WaitForWindow("^Select Database$").empty()) return false;
    ChooseEntry(DatabaseIndex(account, name));
    Keys("Return");
    return program.WaitUntilGone("^Select Database$");
}

// A file dialog: the name typed over whatever is proposed, then Enter.
bool AnswerFileDialog(VintrelProcess &program, const std::string &titlePattern, const std::string &path)
{
    if (program.WaitForWindow(titlePattern).empty()) return false;
    Pause(300);
    Keys("ctrl+a");
    Type(WindowsPath(path));
    Keys("Return");
    return program.WaitUntilGone(titlePattern);
}

std::string WithLineFeeds(std::string text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

TEST_F(Journey, ResultSavedFromTheGridMenuIsTheExportByteForByte)
{
    StartConnected();
    program.Execute("select id, name, price from e2e_shop.items order by id");
    ASSERT_TRUE(program.WaitForGrid("1\tpen\t1.50\n2\tink\tNULL\n3\tpad\t12.00"));
    Click(Screen::GridCellX, Screen::GridCellY, 3);
    Keys("Up Return"); // the last item of the context menu: Save As...
    std::string path = program.WorkDirectory() + "/items.txt";
    ASSERT_TRUE(AnswerFileDialog(program, "^Save As$", path));
    EXPECT_TRUE(WaitFor([&] { return !ReadFile(path).empty(); }));
    EXPECT_EQ("id\tname\tprice\t\r\n1\tpen\t1.50\t\r\n2\tink\tNULL\t\r\n3\tpad\t12.00\t\r\n", ReadFile(path));
}

// The grid from the keyboard: Shift+F10 opens its menu at the current cell
// and sorts by the name column, Ctrl+F finds a cell (F3 again wraps round
// to it), and the Menu key brings back the server's order.
TEST_F(Journey, TheGridIsSortedAndSearchedFromTheKeyboard)
{
    StartConnected();
    program.Execute("select id, name, price from e2e_shop.items order by id");
    ASSERT_TRUE(program.WaitForGrid("1\tpen\t1.50\n2\tink\tNULL\n3\tpad\t12.00"));
    Click(Screen::GridCellX, Screen::GridCellY);
    Keys("Right shift+F10 d"); // Sort Descending
    EXPECT_TRUE(program.WaitForGrid("1\tpen\t1.50\n3\tpad\t12.00\n2\tink\tNULL"));
    Click(Screen::GridCellX, Screen::GridCellY);
    Keys("ctrl+f");
    ASSERT_FALSE(program.WaitForWindow("^Find$").empty());
    Type("INK");
    Keys("Return Escape");
    SetClipboard("(nothing copied)");
    Keys("F3 ctrl+c");
    EXPECT_EQ("ink", Clipboard()) << "found without regard to case, then again";
    Keys("Menu o"); // Original Order
    EXPECT_TRUE(program.WaitForGrid("1\tpen\t1.50\n2\tink\tNULL\n3\tpad\t12.00"));
}

TEST_F(Journey, ScriptSavedAndOpenedAgainInAnotherWindow)
{
    StartConnected();
    program.ReplaceEditorText("select 6 * 7 as answer");
    std::string path = program.WorkDirectory() + "/answer.sql";
    Keys("ctrl+s");
    ASSERT_TRUE(AnswerFileDialog(program, "^Save As$", path));
    EXPECT_TRUE(program.WaitForTitle(TitleFor("mysql", WindowsPath(path)))) << program.FrameTitle();
    EXPECT_EQ("select 6 * 7 as answer", ReadFile(path));

    Keys("ctrl+n");
    ASSERT_TRUE(program.WaitForTitle(TitleFor("mysql", "Untitled2"))) << program.FrameTitle();
    Keys("ctrl+shift+p");
    ASSERT_TRUE(AnswerFileDialog(program, "^Open$", path));
    EXPECT_EQ("select 6 * 7 as answer", program.CopyEditor());
    Keys("F5");
    EXPECT_TRUE(program.WaitForGrid("42"));
}

TEST_F(Journey, TemplateInsertedFromTheEditMenu)
{
    StartConnected();
    program.ReplaceEditorText("-- new table\n");
    Keys("alt+e i t"); // Edit > Insert Template > Create Table
    std::string expected = "-- new table\n" + WithLineFeeds(ReadFile(program.AppDirectory() + "/templates/createtable.sql"));
    EXPECT_TRUE(WaitFor([&] { return program.CopyEditor() == expected; }, std::chrono::seconds(5))) << program.CopyEditor();
}

// The names come from the cache, which loads them in the background: each
// list opens at once and shows its names when they arrive.
TEST_F(Journey, NamesCompletedWithCtrlSpaceAndThroughAnAliasThenRun)
{
    StartConnected();
    program.ReplaceEditorText("select  from e2e_shop.it");
    Keys("ctrl+space");
    Pause(2000);
    Keys("Return");
    Type(" i order by id");
    Keys("Home");
    for (int i = 0; i < 7; i++) Keys("Right");
    Type("i.");
    Pause(2000);
    Type("pr");
    Keys("Return");
    Keys("F5");
    EXPECT_TRUE(program.WaitForGrid("1.50\nNULL\n12.00")) << program.CopyEditor();
    std::string log = GeneralLog();
    if (!log.empty()) {
        EXPECT_NE(std::string::npos, log.find("Query\tselect i.price from e2e_shop.items i order by id\n")) << log;
    }
}

// F1 hands the help file beside the program to the help viewer, a process
// of its own, closed here by its window's process.
// The Windows build opens vrl.chm in the help viewer; the Linux build, whose
// help viewer has no HTML engine, opens the help pages in the browser.
TEST_F(Journey, HelpOpensWithF1)
{
    StartConnected();
    Keys("F1");
    if (!TestingWindowsBuild()) {
        std::string opened;
        EXPECT_TRUE(WaitFor([&] { return !(opened = ReadFile(program.WorkDirectory() + "/opened.txt")).empty(); },
                            std::chrono::seconds(15)));
        std::string page = opened.substr(0, opened.find('\n'));
        EXPECT_NE(std::string::npos, page.find("/help/index.html")) << page;
        EXPECT_NE(std::string::npos, ReadFile(page).find("<title>")) << page;
        return;
    }
    std::string help;
    EXPECT_TRUE(WaitFor([&] { return !(help = RunLine("xdotool search --onlyvisible --name '^Vintrel Help$'")).empty(); },
                        std::chrono::seconds(15)));
    if (!help.empty()) e2e::Run("kill $(xdotool getwindowpid " + help + ")");
}

TEST_F(Journey, DatabaseSwitchedFromTheSelectorAndFromCtrlU)
{
    StartConnected();
    Click(Screen::SelectorArrowX, Screen::SelectorArrowY);
    ChooseEntry(DatabaseIndex(account, "e2e_shop"));
    Keys("Return");
    EXPECT_TRUE(program.WaitForTitle(TitleFor("e2e_shop", "Untitled1"))) << program.FrameTitle();
    program.Execute("select database(), count(*) from items");
    EXPECT_TRUE(program.WaitForGrid("e2e_shop\t3"));

    EXPECT_TRUE(ChooseDatabaseWithCtrlU(program, account, "e2e_other"));
    EXPECT_TRUE(program.WaitForTitle(TitleFor("e2e_other", "Untitled1*"))) << program.FrameTitle();
    program.Execute("select database()");
    EXPECT_TRUE(program.WaitForGrid("e2e_other"));
}

TEST_F(Journey, TwoWindowsKeepTheirOwnDatabases)
{
    StartConnected();
    ASSERT_TRUE(ChooseDatabaseWithCtrlU(program, account, "e2e_shop"));
    ASSERT_TRUE(program.WaitForTitle(TitleFor("e2e_shop", "Untitled1")));

    Keys("ctrl+n");
    ASSERT_TRUE(program.WaitForTitle(TitleFor("e2e_shop", "Untitled2"))) << program.FrameTitle();
    ASSERT_TRUE(ChooseDatabaseWithCtrlU(program, account, "e2e_other"));
    ASSERT_TRUE(program.WaitForTitle(TitleFor("e2e_other", "Untitled2"))) << program.FrameTitle();
    program.Execute("select database()");
    EXPECT_TRUE(program.WaitForGrid("e2e_other"));

    Keys("ctrl+F6");
    EXPECT_TRUE(program.WaitForTitle(TitleFor("e2e_shop", "Untitled1"))) << program.FrameTitle();
    program.Execute("select database()");
    EXPECT_TRUE(program.WaitForGrid("e2e_shop"));
    EXPECT_EQ("2", QueryValue(account, "select count(*) from information_schema.processlist "
                                       "where db in ('e2e_shop', 'e2e_other')"));
}

// The object browser from the keyboard: F8 opens it with the focus in its
// filter, the typed name narrows the tree, Enter puts the table's name
// (qualified: the window is in another database) at the editor's caret
// and gives the focus back to the editor, where F5 runs the text.
TEST_F(Journey, ObjectBrowserNameIntoTheEditorAndRun)
{
    StartConnected();
    program.ReplaceEditorText("select count(*) from ");
    Keys("F8");
    Type("e2e_shop");
    Pause(300);
    Keys("ctrl+a");
    Type("items");
    // The names come on the browser's own worker: a moment for them.
    Pause(2000);
    Keys("Return");
    Keys("F5");
    // F8 from the editor goes into the filter box, F8 there hides the pane
    // (it covers the grid's first column).
    Keys("F8");
    Keys("F8");
    EXPECT_TRUE(program.WaitForGrid("3"));
    EXPECT_EQ("select count(*) from e2e_shop.items", program.CopyEditor());
}

TEST_F(Journey, ClosingAChangedWindowAsksAndEachAnswerIsKept)
{
    StartConnected();
    std::string id = program.AskWindow("select connection_id()");
    ASSERT_FALSE(id.empty());
    program.ReplaceEditorText("select 'keep me'");
    Keys("ctrl+F4");
    ASSERT_TRUE(program.WaitForMessageBox()); // the question
    Keys("Escape");                            // Cancel
    EXPECT_TRUE(program.WaitForMessageBoxGone());
    EXPECT_EQ(TitleFor("mysql", "Untitled1*"), program.FrameTitle());
    EXPECT_EQ("select 'keep me'", program.CopyEditor());

    Keys("ctrl+F4");
    ASSERT_TRUE(program.WaitForMessageBox());
    Keys("n"); // No: close without saving
    EXPECT_TRUE(program.WaitForTitle("Vintrel")) << program.FrameTitle();
    EXPECT_TRUE(WaitFor([&] { return !ConnectionAlive(account, id); }));
    EXPECT_TRUE(program.Running());
}

TEST_F(Journey, WrongPasswordThenASecondTry)
{
    program.WriteSettings("localhost", account.User, nullptr);
    ASSERT_TRUE(program.Start(account.Socket));
    std::string dialog = program.WaitForWindow("^Connect to MySQL Server$");
    ASSERT_FALSE(dialog.empty());
    Pause(200);
    Keys("Tab Tab Tab"); // server, its check box, user name, password
    Type("not-the-password");
    Keys("Return");
    ASSERT_TRUE(program.WaitForMessageBox());
    Keys("Return");
    EXPECT_TRUE(program.WaitForMessageBoxGone());
    EXPECT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty()); // still open

    int left, top;
    ASSERT_TRUE(WindowPosition(dialog, &left, &top));
    Click(left + Screen::PasswordInDialogX, top + Screen::PasswordInDialogY);
    Keys("End shift+Home");
    Type(account.Password);
    Keys("Return");
    EXPECT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$"));
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ(ConnectedTitle, program.FrameTitle());
    std::string log = GeneralLog();
    if (!log.empty()) {
        EXPECT_NE(std::string::npos, log.find("Access denied for user 'vintrel'@'localhost' (using password: YES)"));
    }
}

// Two connections saved by name, each with its database and password;
// after a new start each is reached again by picking its name, and each
// window says which one it is.
TEST_F(Journey, SavesTwoConnectionsAndReconnectsByPickingEach)
{
    ASSERT_TRUE(program.Start(account.Socket));
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("Tab Tab"); // from the server past its check box to the user name
    Type(account.User);
    Keys("Tab");
    Type(account.Password);
    Keys("Tab space Tab"); // "Save password", then the database
    Type("e2e_shop");
    Keys("alt+c"); // past TLS and the SSH tunnel to the connection's name
    Type("Shop [local]");
    Keys("alt+s");
    Pause(500);
    Keys("alt+a"); // the mnemonic selects the field's text, which typing replaces
    Type("e2e_other");
    Keys("alt+c");
    Type("Other = db");
    Keys("alt+s");
    Pause(500);
    Keys("Escape");
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$"));
    ExpectProtectedPassword(program, "connection:shop %5blocal%5d", account.Password);
    ExpectProtectedPassword(program, "connection:other %3d db", account.Password);
    program.Kill();

    // The list is sorted: "Other = db", then "Shop [local]".
    ASSERT_TRUE(program.Start(account.Socket));
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("alt+c F4 Down Return Return"); // the list dropped, its first name, closed, OK
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$", 15));
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ("Vintrel - [Query - Other = db.e2e_other.vintrel@localhost - Untitled1]", program.FrameTitle());
    EXPECT_EQ("e2e_other", program.AskWindow("select database()"));

    // The dialog opens on the last one used; the next in the list is picked.
    Keys("ctrl+o");
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("alt+c F4 Down Return Return");
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$", 15));
    EXPECT_TRUE(program.WaitForTitle("Vintrel - [Query - Shop [local].e2e_shop.vintrel@localhost - Untitled2]"))
        << program.FrameTitle();
    EXPECT_EQ("e2e_shop", program.AskWindow("select database()"));
}

// A server reached through an SSH tunnel typed into the dialog: the SSH
// server forwards the session, the window works as any other, the settings
// keep the tunnel, and ssh ends with the program.
TEST_F(Journey, ConnectsThroughAnSshTunnelThatEndsWithTheProgram)
{
    const char *sshPort = getenv("VINTREL_TEST_SSH_PORT"), *sshDir = getenv("VINTREL_TEST_SSH_DIR");
    const char *serverPort = getenv("VINTREL_TEST_PORT");
    if (!sshPort || !sshDir || !serverPort) GTEST_SKIP() << "no sshd in this run (./test starts one)";
    if (TestingWindowsBuild()) GTEST_SKIP() << "Wine has no ssh.exe for the Windows build";
    const std::string tunnels = "pgrep -a -x ssh | grep -c -- '-p " + std::string(sshPort) + " ' || true";
    const std::string sshdLog = getenv("VINTREL_TEST_SSHD_LOG");
    size_t logBefore = ReadFile(sshdLog).size();
    program.WriteSettings("127.0.0.1:" + std::string(serverPort), account.User, &account.Password);
    ASSERT_TRUE(program.Start(account.Socket));
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("alt+h");
    Type("127.0.0.1:" + std::string(sshPort));
    Keys("alt+e");
    Type(RunLine("id -un"));
    Keys("alt+k");
    Type(std::string(sshDir) + "/user-key");
    Keys("Return");
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$", 30));
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ("42", program.AskWindow("select 6*7"));
    EXPECT_EQ("1", RunLine(tunnels));
    // sshd carried the session to the server's port.
    std::string log = ReadFile(sshdLog).substr(logBefore);
    EXPECT_NE(std::string::npos, log.find("direct-tcpip")) << log;
    EXPECT_NE(std::string::npos, log.find("target 127.0.0.1 port " + std::string(serverPort))) << log;
    std::string settings = ReadFile(program.SettingsPath());
    EXPECT_NE(std::string::npos, settings.find("\r\nsshhost=127.0.0.1:" + std::string(sshPort) + "\r\n")) << settings;

    Keys("alt+f x"); // File > Exit; the window's text changed
    ASSERT_TRUE(program.WaitForMessageBox());
    Keys("n");
    EXPECT_TRUE(program.WaitForExit(10));
    EXPECT_EQ("0", RunLine(tunnels));
}

// A settings file of random bytes: the program starts on the defaults, a
// person types the account, and the settings are saved for the next start.
TEST_F(Journey, SettingsFileOfRandomBytesGivesTheDefaultsAndIsWrittenAnew)
{
    std::string noise(4096, '\0');
    unsigned state = 12345;
    for (char &c : noise) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    WriteFile(program.SettingsPath(), noise);
    ASSERT_TRUE(program.Start(account.Socket));
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("Tab Tab"); // from the server to the user name
    Type(account.User);
    Keys("Tab");
    Type(account.Password);
    Keys("Tab space Return"); // Save password, then OK
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$"));
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ(ConnectedTitle, program.FrameTitle());

    program.Kill();
    ASSERT_TRUE(program.StartConnected(account.Socket)) << "the saved settings did not connect";
    EXPECT_EQ(ConnectedTitle, program.FrameTitle());
}

// Every batch goes into the history as it ends: Ctrl+Shift+H (not the
// editor's Replace) opens it with the focus in the search box, a few typed
// letters of any case narrow the list, and Enter puts the first match at
// the editor's caret. The history is a file in the user's data folder.
TEST_F(Journey, HistoryFindsAnEarlierBatchAndEnterInsertsIt)
{
    StartConnected();
    program.Execute("select name from e2e_shop.items where id = 3");
    EXPECT_TRUE(program.WaitForGrid("pad"));
    program.Execute("select count(*) from e2e_shop.items");
    EXPECT_TRUE(program.WaitForGrid("3"));
    program.ReplaceEditorText("-- again\n");
    Keys("ctrl+shift+h");
    ASSERT_FALSE(program.WaitForWindow("^History$").empty());
    Type("ID = 3");
    Keys("Return");
    EXPECT_TRUE(program.WaitUntilGone("^History$"));
    std::string expected = "-- again\nselect name from e2e_shop.items where id = 3";
    EXPECT_TRUE(WaitFor([&] { return program.CopyEditor() == expected; }, std::chrono::seconds(5)))
        << program.CopyEditor();
    if (!TestingWindowsBuild()) {
        std::string history = ReadFile(program.WorkDirectory() + "/data/vintrel/history/history.vhist");
        EXPECT_NE(std::string::npos, history.find("select count(*) from e2e_shop.items"));
    }
}

} // namespace
