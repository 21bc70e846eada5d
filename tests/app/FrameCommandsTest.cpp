// The frame's commands with real query windows on the real server: closing
// with changed text, Disconnect and Ctrl+F4, new windows on the same
// database, the connection count, the Execute keys and database switches.
#include "QueryWindowFixture.h"

#include <cstring>
#include <string>

#include "DialogDriver.h"
#include "TestFiles.h"
#include "base/Clipboard.h"
#include "history/HistoryStore.h"
#include "app/DesktopShell.h"
#include "app/FrameWindow.h"
#include "app/Startup.h"
#include "query/ServerInfo.h"
#include "querywindow/FrameServices.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"
#include "app/ConnectionDialog.h"

namespace {

class FrameCommands : public testing::Test {
protected:
    static HWND frame;
    static HACCEL accelerators;

    static void SetUpTestSuite()
    {
        RegisterProgramClasses();
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, "CREATE DATABASE IF NOT EXISTS app_tests_one");
        ExecSql(mysql, "CREATE DATABASE IF NOT EXISTS app_tests_two");
        mysql_close(mysql);
        frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1000, 700,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ShowWindow(frame, SW_SHOWNORMAL);
        accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(frame);
        PumpMessages();
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, "DROP DATABASE IF EXISTS app_tests_one");
        ExecSql(mysql, "DROP DATABASE IF EXISTS app_tests_two");
        ExecSql(mysql, "DROP DATABASE IF EXISTS app_tests_doomed");
        mysql_close(mysql);
    }
    void TearDown() override
    {
        // Close what a case left open, dropping its text.
        DialogDriver driver;
        for (HWND child; (child = GetWindow(MdiClientWindow, GW_CHILD));) {
            if (CHILDDATA *state = StateOf<CHILDDATA>(child)) state->Modified = 0;
            SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)child, 0);
        }
        PumpMessages(20);
    }

    HWND OpenWindow(const char *database = nullptr)
    {
        CONNECTIONINFO *connection = OpenTestConnection();
        if (!connection) return nullptr;
        if (database) {
            mysql_select_db(connection->Handle, database);
            ReplaceConnectionText(&connection->Database, database);
        }
        HWND window = CreateQueryWindow(connection, false);
        PumpMessages(20);
        return window;
    }
    static CHILDDATA *Child(HWND window) { return StateOf<CHILDDATA>(window); }
    void Modify(HWND window) { SetWindowTextA(Child(window)->Editor, "select 1"); }
    std::string FrameStatus() { return FrameStatusText(frame); }
    std::string StatusPart(HWND window, int part)
    {
        char text[256] = "";
        SendMessageA(Child(window)->StatusBar, SB_GETTEXTA, part, (LPARAM)text);
        return text;
    }
    // A key as the system reports it: with Alt alone it is a system key.
    bool Key(WPARAM key, bool control, bool alt = false, bool shift = false)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        keys[VK_MENU] = alt ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        UINT kind = alt && !control ? WM_SYSKEYDOWN : WM_KEYDOWN;
        MSG message = {GetFocus(), kind, key, alt ? (LPARAM)1 << 29 : 0, GetTickCount(), {0, 0}};
        bool taken = TranslateProgramMessage(frame, accelerators, &message);
        keys[VK_CONTROL] = keys[VK_MENU] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        return taken;
    }
    static int QueryWindowCount()
    {
        int count = 0;
        for (HWND child = GetWindow(MdiClientWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (StateOf<CHILDDATA>(child)) count++;
        return count;
    }
};
HWND FrameCommands::frame = nullptr;
HACCEL FrameCommands::accelerators = nullptr;

TEST_F(FrameCommands, ConnectionCountFollowsTheWindows)
{
    EXPECT_EQ("Connection: 0", FrameStatus());
    HWND first = OpenWindow();
    HWND second = OpenWindow();
    ASSERT_TRUE(first && second);
    EXPECT_EQ("Connection: 2", FrameStatus());
    EXPECT_EQ(2, CountQueryWindows(frame, 0));
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)first, 0);
    EXPECT_EQ("Connection: 1", FrameStatus());
}

// Exit, Disconnect and Ctrl+F4 all ask a window with changed text before it
// goes: the window answered Cancel stays with its text, and so does the
// frame.
TEST_F(FrameCommands, ExitDisconnectAndCtrlF4AskForChangedWindows)
{
    HWND first = OpenWindow();
    HWND second = OpenWindow();
    Modify(first);
    Modify(second);
    std::string firstPrompt;
    DialogDriver driver;
    driver.Then([&](HWND box) {
        firstPrompt = MessageBoxText(box);
        PressItem(box, IDCANCEL);
    });
    driver.Then([&](HWND box) { PressItem(box, IDNO); });
    SendMessageA(frame, WM_COMMAND, CMD_EXIT, 0);
    PumpMessages(20);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ(0u, driver.Pending());
    EXPECT_NE(std::string::npos, firstPrompt.find("has changed. Do you want to save the changes?")) << firstPrompt;
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_EQ(1, QueryWindowCount());
    // The window answered Cancel is the one that stays, with its text.
    HWND window = IsWindow(first) ? first : second;
    char text[32] = "";
    GetWindowTextA(Child(window)->Editor, text, sizeof text);
    EXPECT_STREQ("select 1", text);

    int prompts = 0;
    driver.Then([&](HWND box) {
        prompts++;
        PressItem(box, IDCANCEL);
    });
    SendMessageA(frame, WM_COMMAND, CMD_DISCONNECT, 0);
    PumpMessages(20);
    EXPECT_EQ(1, prompts);
    EXPECT_TRUE(IsWindow(window)) << "Cancel keeps the window";

    driver.Then([&](HWND box) {
        prompts++;
        PressItem(box, IDCANCEL);
    });
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG message = {window, WM_KEYDOWN, VK_F4, 0, GetTickCount(), {0, 0}};
    EXPECT_TRUE(TranslateProgramMessage(frame, accelerators, &message));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    PumpMessages(50);
    EXPECT_EQ(2, prompts);
    EXPECT_TRUE(IsWindow(window));

    driver.Then([&](HWND box) { PressItem(box, IDNO); });
    SendMessageA(frame, WM_COMMAND, CMD_DISCONNECT, 0);
    PumpMessages(20);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(FrameCommands, BlankQueryWindowOpensItsOwnConnectionOnTheSameDatabase)
{
    HWND source = OpenWindow("app_tests_one");
    ASSERT_TRUE(source);
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)source, 0);
    PumpMessages(20);
    SendMessageA(frame, WM_COMMAND, CMD_NEWBLANK, 0);
    PumpMessages(50);
    HWND created = ActiveQueryWindow();
    ASSERT_NE(source, created);
    CHILDDATA *child = Child(created);
    ASSERT_NE(nullptr, child);
    EXPECT_NE(Child(source)->Connection->Handle, child->Connection->Handle);
    EXPECT_STREQ("app_tests_one", child->Connection->Database);
    EXPECT_STREQ(TestUser(), child->Connection->User);
    EXPECT_EQ("app_tests_one", QueryValue(child->Connection->Handle, "select database()"));
    EXPECT_EQ("app_tests_one", StatusPart(created, 2));
}

TEST_F(FrameCommands, F5AndCtrlEBothRunTheQuery)
{
    HWND window = OpenWindow();
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    SetWindowTextA(Child(window)->Editor, "select 1 union select 2");
    SetFocus(Child(window)->Editor);
    PumpMessages(20);
    for (int attempt = 0; attempt < 2; attempt++) {
        SendMessageA(Child(window)->StatusBar, SB_SETTEXTA, 0, (LPARAM) "");
        EXPECT_TRUE(attempt == 0 ? Key(VK_F5, false) : Key('E', true));
        EXPECT_TRUE(PumpUntil([&] { return StatusPart(window, 0) == "Query batch completed."; }));
        EXPECT_EQ("2 row(s)", StatusPart(window, 4));
    }
}

// Ctrl+Break (VK_CANCEL on Windows), and Pause with Ctrl or Alt on an X
// display, cancel the running query; Ctrl+Alt (AltGr on European keyboards)
// with a letter is never a Ctrl command of the frame.
TEST_F(FrameCommands, BreakKeysCancelAndAltGrLettersAreNoCommands)
{
    HWND window = OpenWindow();
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    SetFocus(Child(window)->Editor);
    struct Break {
        WPARAM key;
        bool control, alt;
    };
    for (Break keys : {Break{VK_CANCEL, true, false}, Break{VK_PAUSE, true, false}, Break{VK_PAUSE, false, true}}) {
        SetWindowTextA(Child(window)->Editor, "select sleep(30)");
        EXPECT_TRUE(Key(VK_F5, false));
        PumpMessages(200);
        EXPECT_TRUE(Key(keys.key, keys.control, keys.alt)) << keys.key;
        EXPECT_TRUE(PumpUntil([&] { return StatusPart(window, 0) == "Query batch cancelled."; })) << keys.key;
    }
    for (WPARAM letter : {'A', 'C', 'E', 'N', 'S', 'U', 'Z'}) EXPECT_FALSE(Key(letter, true, true)) << (char)letter;
}

// Query > History... by its keys: the batches newest first, narrowed as the
// search text is typed; Down goes into the list, Delete removes the chosen
// batch (from the file too), Copy copies one, and Enter from the search box
// inserts the first match at the caret.
TEST_F(FrameCommands, HistoryWindowSearchesRemovesCopiesAndInserts)
{
    TempDirectory folder;
    ASSERT_TRUE(StartHistoryRecorder(folder.Path()));
    HWND window = OpenWindow("app_tests_one");
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    SetFocus(Child(window)->Editor);
    for (const char *sql : {"select 'Ärger' as a", "select 2", "select 'ärgerlich' as b"}) {
        SetWindowTextA(Child(window)->Editor, sql);
        SendMessageA(Child(window)->StatusBar, SB_SETTEXTA, 0, (LPARAM) "");
        EXPECT_TRUE(Key(VK_F5, false));
        EXPECT_TRUE(PumpUntil([&] { return StatusPart(window, 0) == "Query batch completed."; }));
    }
    SetWindowTextA(Child(window)->Editor, "");
    std::string copied;
    DialogDriver driver;
    driver.Then([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_HISTORYLIST), search = GetDlgItem(dialog, IDC_HISTORYSEARCH);
        EXPECT_EQ(search, GetFocus());
        EXPECT_EQ("3 of 3 batch(es)", ItemText(dialog, IDC_HISTORYCOUNT));
        EXPECT_EQ("app_tests_one", ComboItems(dialog, IDC_HISTORYDATABASE).substr(strlen("(All databases)|")));
        TypeInto(dialog, IDC_HISTORYSEARCH, "RGER");
        EXPECT_EQ("2 of 3 batch(es)", ItemText(dialog, IDC_HISTORYCOUNT));
        SendMessageA(search, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(list, GetFocus());
        SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0); // the newest: 'ärgerlich'
        EXPECT_EQ("1 of 2 batch(es)", ItemText(dialog, IDC_HISTORYCOUNT));
        SendMessageA(dialog, WM_COMMAND, IDC_HISTORYCOPY, 0);
        PasteUtf8FromClipboard(dialog, copied);
        SetFocus(search);
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(Key('H', true, false, true)); // Ctrl+Shift+H, not the editor's Replace
    PumpMessages(20);
    EXPECT_EQ(0u, driver.Pending());
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("select 'Ärger' as a", copied);
    EXPECT_EQ("select 'Ärger' as a", EditorText(Child(window)));
    StopHistoryRecorder();
    HISTORYLIST list;
    ASSERT_TRUE(LoadHistory(folder.Path(), &list));
    ASSERT_EQ(2u, list.Items.size());
    EXPECT_EQ("select 2", list.Items[0].Text);
}

std::string LaunchedProgram, LaunchedArgument;
void RecordLaunch(const char *program, const char *argument)
{
    LaunchedProgram = program;
    LaunchedArgument = argument;
}

// Wine's help viewer has no HTML engine: the Linux build shows the help
// pages that ship beside vrl.chm in the desktop's browser.
TEST_F(FrameCommands, HelpContentsOpensTheHelpPagesInTheBrowser)
{
    DesktopLaunchHook = RecordLaunch;
    SendMessageA(frame, WM_COMMAND, CMD_HELPCONTENTS, 0);
    DesktopLaunchHook = nullptr;
    EXPECT_EQ("xdg-open", LaunchedProgram);
    std::string page = "/help/index.html";
    ASSERT_GE(LaunchedArgument.size(), page.size());
    EXPECT_EQ(page, LaunchedArgument.substr(LaunchedArgument.size() - page.size())) << LaunchedArgument;
    EXPECT_EQ('/', LaunchedArgument[0]) << LaunchedArgument;
}

// The server refuses the switch (the database is gone): the user is told,
// and the window keeps showing the database actually in use.
TEST_F(FrameCommands, RefusedDatabaseSwitchIsReportedAndChangesNothing)
{
    MYSQL *other = ConnectTestServer();
    ExecSql(other, "CREATE DATABASE IF NOT EXISTS app_tests_doomed");
    HWND window = OpenWindow("app_tests_two");
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)window, 0);
    PumpMessages(20);
    char title[512];
    GetWindowTextA(window, title, sizeof title);
    int doomed = (int)SendMessageA(FrameSelector(frame), CB_FINDSTRINGEXACT, -1, (LPARAM) "app_tests_doomed");
    ASSERT_GE(doomed, 0);
    ExecSql(other, "DROP DATABASE app_tests_doomed");
    mysql_close(other);

    std::string message;
    DialogDriver driver;
    driver.Then([&](HWND box) {
        message = MessageBoxText(box);
        PressItem(box, IDOK);
    });
    SendMessageA(FrameSelector(frame), CB_SETCURSEL, doomed, 0);
    SendMessageA(frame, WM_COMMAND, MAKEWPARAM(IDC_DATABASESELECTOR, CBN_SELCHANGE), 0);
    PumpMessages(20);
    EXPECT_NE(std::string::npos, message.find("app_tests_doomed")) << message;
    EXPECT_NE(std::string::npos, message.find("Error 1049")) << message;
    EXPECT_STREQ("app_tests_two", Child(window)->Connection->Database);
    EXPECT_EQ("app_tests_two", StatusPart(window, 2));
    char after[512];
    GetWindowTextA(window, after, sizeof after);
    EXPECT_STREQ(title, after);
    char shown[64] = "";
    int current = (int)SendMessageA(FrameSelector(frame), CB_GETCURSEL, 0, 0);
    SendMessageA(FrameSelector(frame), CB_GETLBTEXT, current, (LPARAM)shown);
    EXPECT_STREQ("app_tests_two", shown);

    // An accepted switch changes the record, the title and the status part.
    int one = (int)SendMessageA(FrameSelector(frame), CB_FINDSTRINGEXACT, -1, (LPARAM) "app_tests_one");
    SendMessageA(FrameSelector(frame), CB_SETCURSEL, one, 0);
    SendMessageA(frame, WM_COMMAND, MAKEWPARAM(IDC_DATABASESELECTOR, CBN_SELCHANGE), 0);
    EXPECT_STREQ("app_tests_one", Child(window)->Connection->Database);
    EXPECT_EQ("app_tests_one", QueryValue(Child(window)->Connection->Handle, "select database()"));
    EXPECT_EQ("app_tests_one", StatusPart(window, 2));
}

} // namespace
