// The object browser in the real frame with real query windows on the test
// server: the tree of a schema with every kind of object, the filter, names
// put into the editor, Select Rows, a DDL batch, an account that sees one
// database, and which databases a batch's text changes.
#include "QueryWindowFixture.h"

#include <string>
#include <vector>

#include "app/FrameWindow.h"
#include "app/ObjectBrowser.h"
#include "app/ObjectTree.h"
#include "app/SavedConnections.h"
#include "app/SettingsLocation.h"
#include "app/Startup.h"
#include "catalog/NameCache.h"
#include "editor/CodeMaxControl.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"

namespace {

const char LimitedUser[] = "browser_one", LimitedPassword[] = "one-db-only";

class ObjectBrowser : public testing::Test {
protected:
    static HWND frame;
    static HACCEL accelerators;

    static void SetUpTestSuite()
    {
        RegisterProgramClasses();
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, "DROP DATABASE IF EXISTS browser_t");
        ExecSql(mysql, "DROP DATABASE IF EXISTS browser_u");
        ExecSql(mysql, "CREATE DATABASE browser_t");
        ExecSql(mysql, "CREATE DATABASE browser_u");
        ExecSql(mysql, "CREATE TABLE browser_t.items (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, note TEXT,"
                       " UNIQUE KEY by_name (name, id))");
        ExecSql(mysql, "INSERT INTO browser_t.items VALUES (1, 'pen', NULL), (2, 'ink', 'blue')");
        ExecSql(mysql, "CREATE TABLE browser_t.`select` (a INT)");
        ExecSql(mysql, "CREATE TABLE browser_t.`Größe` (b INT)");
        ExecSql(mysql, "CREATE VIEW browser_t.cheap AS SELECT id FROM browser_t.items");
        ExecSql(mysql, "CREATE PROCEDURE browser_t.restock() SELECT 1");
        ExecSql(mysql, "CREATE FUNCTION browser_t.twice(x INT) RETURNS INT RETURN 2 * x");
        ExecSql(mysql, "CREATE TRIGGER browser_t.stamp BEFORE INSERT ON browser_t.items FOR EACH ROW SET NEW.note = 'x'");
        for (const char *host : {"localhost", "127.0.0.1"}) {
            std::string account = std::string("'") + LimitedUser + "'@'" + host + "'";
            ExecSql(mysql, "DROP USER IF EXISTS " + account);
            ExecSql(mysql, "CREATE USER " + account + " IDENTIFIED BY '" + LimitedPassword + "'");
            ExecSql(mysql, "GRANT ALL ON browser_u.* TO " + account);
        }
        mysql_close(mysql);
        frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1000, 700,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ShowWindow(frame, SW_SHOWNORMAL);
        accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    }
    static void TearDownTestSuite()
    {
        // Hidden again in settings.ini, as the other frames of the tests
        // expect it.
        if (IsWindowVisible(Pane())) SendMessageA(frame, WM_COMMAND, CMD_OBJECTBROWSER, 0);
        DestroyWindow(frame);
        PumpMessages();
        FreeAllNameCaches();
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, "DROP DATABASE IF EXISTS browser_t");
        ExecSql(mysql, "DROP DATABASE IF EXISTS browser_u");
        for (const char *host : {"localhost", "127.0.0.1"})
            ExecSql(mysql, std::string("DROP USER IF EXISTS '") + LimitedUser + "'@'" + host + "'");
        mysql_close(mysql);
    }
    void TearDown() override
    {
        for (HWND child; (child = GetWindow(MdiClientWindow, GW_CHILD));) {
            if (CHILDDATA *state = StateOf<CHILDDATA>(child)) state->Modified = 0;
            SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)child, 0);
        }
        PumpMessages(20);
        SetWindowTextW(Filter(), L"");
        // No query window: the tree starts afresh for the next case.
        SendMessageA(Pane(), WM_BROWSER_FOLLOW, 0, 0);
    }

    HWND OpenWindow(const char *database, CONNECTIONINFO *connection = OpenTestConnection())
    {
        if (!connection) return nullptr;
        mysql_select_db(connection->Handle, database);
        ReplaceConnectionText(&connection->Database, database);
        HWND window = CreateQueryWindow(connection, false);
        PumpMessages(20);
        return window;
    }
    static HWND Pane() { return FindWindowExA(frame, nullptr, OBJECTBROWSER_CLASS, nullptr); }
    static HWND Filter() { return BrowserFilterBox(Pane()); }
    static HWND Tree() { return BrowserTree(Pane()); }
    // A key through the program's accelerators, as the message loop gives it.
    void Key(WPARAM key, bool control = false)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG message = {GetFocus(), WM_KEYDOWN, key, 0, GetTickCount(), {0, 0}};
        if (!TranslateProgramMessage(frame, accelerators, &message)) DispatchMessageA(&message);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        PumpMessages(10);
    }
    // The rows as a person reads them, one per line, once nothing is loading.
    std::string Rows()
    {
        std::string all;
        PumpUntil([&] {
            all.clear();
            int count = (int)SendMessageA(Tree(), WM_TREE_GETROWCOUNT, 0, 0);
            for (int i = 0; i < count; i++) {
                std::string row;
                SendMessageA(Tree(), WM_TREE_GETROWTEXT, i, (LPARAM)&row);
                all += row + "\n";
            }
            return all.find("Loading...") == std::string::npos && count > 0;
        });
        return all;
    }
    int RowIndex(const std::string &text)
    {
        Rows();
        int count = (int)SendMessageA(Tree(), WM_TREE_GETROWCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            std::string row;
            SendMessageA(Tree(), WM_TREE_GETROWTEXT, i, (LPARAM)&row);
            if (row == text) return i;
        }
        ADD_FAILURE() << "no row \"" << text << "\" in\n" << Rows();
        return -1;
    }
    // Opens the row (Right on it in the tree).
    void Open(const std::string &text)
    {
        SendMessageA(Tree(), WM_TREE_SELECT, RowIndex(text), 0);
        SetFocus(Tree());
        Key(VK_RIGHT);
    }
    void ShowPane()
    {
        if (!IsWindowVisible(Pane())) Key(VK_F8);
        SendMessageA(Pane(), WM_BROWSER_FOLLOW, 0, 0);
    }
    // Runs sql in the window through the frame's Execute.
    bool Run(HWND window, const std::string &sql)
    {
        SetEditorText(ChildOf(window), sql);
        SendMessageA(frame, WM_COMMAND, CMD_EXECUTE, 0);
        return WaitForCompletion(ChildOf(window));
    }
    void TypeFilter(const wchar_t *text)
    {
        SetWindowTextW(Filter(), text);
        PumpMessages(10);
    }
};
HWND ObjectBrowser::frame = nullptr;
HACCEL ObjectBrowser::accelerators = nullptr;

int ShownInSettings()
{
    std::string path = SettingsDirectory() + SETTINGS_FILE;
    return (int)GetPrivateProfileIntA("browser", "shown", -1, path.c_str());
}

bool Checked(HWND frame)
{
    HMENU window = GetSubMenu(GetMenu(frame), 3);
    SendMessageA(frame, WM_INITMENUPOPUP, (WPARAM)window, 3);
    return (GetMenuState(window, CMD_OBJECTBROWSER, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// F8 shows the pane with the focus in its filter box, F8 from elsewhere
// comes back to the filter box, F8 in the filter box hides the pane; the
// menu item's check mark follows. The tree of a schema with one object of
// every kind, the columns with their marks and the indexes.
TEST_F(ObjectBrowser, F8AndTheTreeOfEveryKindOfObject)
{
    HWND window = OpenWindow("browser_t");
    ASSERT_TRUE(window);
    // The menu item hides what an earlier run left shown.
    // (A fresh prefix has no setting yet: hidden is the default.)
    if (IsWindowVisible(Pane())) SendMessageA(frame, WM_COMMAND, CMD_OBJECTBROWSER, 0);
    EXPECT_NE(1, ShownInSettings());
    Key(VK_F8);
    EXPECT_EQ(1, ShownInSettings());
    EXPECT_TRUE(IsWindowVisible(Pane()));
    EXPECT_EQ(Filter(), GetFocus());
    EXPECT_TRUE(Checked(frame));
    SetFocus(ChildOf(window)->Editor);
    Key(VK_F8);
    EXPECT_TRUE(IsWindowVisible(Pane()));
    EXPECT_EQ(Filter(), GetFocus());
    Key(VK_F8);
    EXPECT_FALSE(IsWindowVisible(Pane()));
    EXPECT_FALSE(Checked(frame));
    ShowPane();

    Open("browser_t");
    std::string rows = Rows();
    EXPECT_NE(std::string::npos, rows.find("browser_t\n  Tables (3)\n  Views (1)\n  Procedures (1)\n  Functions (1)\n"
                                           "  Triggers (1)\n"))
        << rows;
    Open("  Tables (3)");
    Open("      items");
    Open("        Indexes (2)");
    rows = Rows();
    EXPECT_NE(std::string::npos, rows.find("  Tables (3)\n      Größe\n      items\n"
                                           "        id  int(11), PK, NOT NULL\n"
                                           "        name  varchar(20), NOT NULL\n"
                                           "        note  text\n"
                                           "        Indexes (2)\n"
                                           "          PRIMARY  (id), unique\n"
                                           "          by_name  (name, id), unique\n"
                                           "      select\n"))
        << rows;
    // Whether a name needs backticks is decided as the cache loads it.
    auto objects = GetObjects(NameCacheFor(QueryWindowConnection(window)), "browser_t");
    const NameList &tables = objects->Names[KindTable];
    ASSERT_EQ(3u, tables.Count());
    for (size_t i = 0; i < tables.Count(); i++) EXPECT_EQ(tables.At(i) != "items", tables.NeedsQuoting(i)) << tables.At(i);
    for (const char *folder : {"  Procedures (1)", "  Triggers (1)"}) Open(folder);
    rows = Rows();
    EXPECT_NE(std::string::npos, rows.find("  Procedures (1)\n      restock\n")) << rows;
    EXPECT_NE(std::string::npos, rows.find("  Triggers (1)\n      stamp\n")) << rows;
}

// The filter narrows the tree to the matching tables and views under their
// databases, without regard to case (Unicode's folding); Down goes to the
// first match, Enter puts its name at the caret: qualified where the
// window's database is another, in backticks where it must be. While the
// focus is in the filter box the edit commands are the filter box's.
TEST_F(ObjectBrowser, FilterAndEnterInsertTheNameAtTheCaret)
{
    HWND window = OpenWindow("browser_u");
    ShowPane();
    CHILDDATA *child = ChildOf(window);
    SetEditorText(child, "select * from ");
    EDITORRANGE end = {{1, 15}, {1, 15}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&end);
    TypeFilter(L"GRÖ");
    EXPECT_EQ("browser_t\n  Tables (1)\n      Größe\n", Rows());
    FocusBrowserFilter(Pane());
    Key(VK_RETURN);
    EXPECT_EQ("select * from browser_t.`Größe`", EditorText(child));
    EXPECT_EQ(child->Editor, GetFocus());

    TypeFilter(L"CHEAP");
    EXPECT_EQ("browser_t\n  Views (1)\n      cheap\n", Rows());
    FocusBrowserFilter(Pane());
    Key(VK_DOWN);
    EXPECT_EQ(Tree(), GetFocus());
    EXPECT_EQ(2, (int)SendMessageA(Tree(), WM_TREE_GETSELECTED, 0, 0));

    // The window's own database needs no qualifier; a reserved word needs
    // backticks.
    SwitchQueryWindowDatabase(window, "browser_t");
    SetEditorText(child, "");
    TypeFilter(L"sel");
    FocusBrowserFilter(Pane());
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ("`select`", EditorText(child));

    FocusBrowserFilter(Pane());
    Key('A', true); // Select All: the filter's text, not the editor's
    EXPECT_EQ(MAKELONG(0, 3), (LONG)SendMessageW(Filter(), EM_GETSEL, 0, 0));
    SendMessageA(frame, WM_COMMAND, CMD_CLEARWINDOW, 0);
    wchar_t text[16] = L"?";
    GetWindowTextW(Filter(), text, 16);
    EXPECT_STREQ(L"", text);
    EXPECT_EQ("`select`", EditorText(child));
}

// Ctrl+Enter on a table opens a new window on its database with the
// statement, and runs it; a view's CREATE statement opens in another.
TEST_F(ObjectBrowser, SelectRowsOpensAndRunsANewWindow)
{
    HWND first = OpenWindow("browser_u");
    ShowPane();
    TypeFilter(L"items");
    FocusBrowserFilter(Pane());
    Key(VK_DOWN);
    Key(VK_RETURN, true);
    HWND opened = ActiveQueryWindow();
    ASSERT_TRUE(IsQueryWindow(opened) && opened != first);
    CHILDDATA *child = ChildOf(opened);
    ASSERT_TRUE(WaitForCompletion(child));
    EXPECT_EQ("SELECT * FROM browser_t.items LIMIT 1000;", EditorText(child));
    EXPECT_EQ(2, GridRows(child));
    EXPECT_STREQ("browser_t", QueryWindowConnection(opened)->Database);

    // Show Create Statement: the server's statement, fetched on the cache's
    // worker, in a window of its own.
    ASSERT_TRUE(RequestCreateStatement(NameCacheFor(QueryWindowConnection(opened)), KindView, "browser_t", "cheap",
                                       Pane(), WM_BROWSER_CREATESTATEMENT));
    HWND shown = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (shown = ActiveQueryWindow()) != opened; }));
    EXPECT_NE(std::string::npos, EditorText(ChildOf(shown)).find("VIEW `browser_t`.`cheap` AS select `browser_t`.`items`.`id`"))
        << EditorText(ChildOf(shown));
}

// A batch that creates and drops tables has the tree load that database
// again: the new table appears, the dropped one goes.
TEST_F(ObjectBrowser, DdlBatchRefreshesTheDatabasesItTouched)
{
    HWND window = OpenWindow("browser_u");
    ShowPane();
    Open("browser_u");
    Open("  Tables (0)");
    Open("browser_t");
    ASSERT_TRUE(Run(window, "CREATE TABLE fresh (a INT); CREATE TABLE browser_t.other (b INT)"));
    EXPECT_TRUE(PumpUntil([&] { return Rows().find("  Tables (1)\n      fresh\n") != std::string::npos; })) << Rows();
    EXPECT_TRUE(PumpUntil([&] { return Rows().find("  Tables (4)\n") != std::string::npos; })) << Rows();
    ASSERT_TRUE(Run(window, "DROP TABLE fresh, browser_t.other"));
    EXPECT_TRUE(PumpUntil([&] { return Rows().find("  Tables (0)\n") != std::string::npos; })) << Rows();
}

// An account that may see one database sees that one (and the server's
// own information_schema); a database it may not read says why.
TEST_F(ObjectBrowser, AccountThatSeesOneDatabase)
{
    CONNECTIONINFO *connection = NewConnectionInfo(TestHost(), LimitedUser, LimitedPassword);
    ASSERT_TRUE(OpenConnection(connection));
    OpenWindow("browser_u", connection);
    ShowPane();
    EXPECT_EQ("browser_u\ninformation_schema\n", Rows());
    NAMECACHE *cache = NameCacheFor(connection);
    std::shared_ptr<const CatalogObjects> refused;
    EXPECT_TRUE(PumpUntil([&] { return (refused = GetObjects(cache, "browser_t"))->State != CatalogLoading; }));
    EXPECT_EQ(CatalogFailed, refused->State);
    EXPECT_NE(std::string::npos, refused->Error.find("Access denied")) << refused->Error;

    // The same account by another road (an SSH host that does not answer)
    // is another cache, whose connection takes that road: it fails rather
    // than reach the server directly.
    CONNECTIONINFO *tunnelled = NewConnectionInfo(TestHost(), LimitedUser, LimitedPassword);
    snprintf(tunnelled->Route.SshHost, sizeof tunnelled->Route.SshHost, "127.0.0.1:1");
    NAMECACHE *other = NameCacheFor(tunnelled);
    EXPECT_NE(cache, other);
    std::shared_ptr<const CatalogDatabases> none;
    EXPECT_TRUE(PumpUntil([&] { return (none = GetDatabases(other))->State != CatalogLoading; }));
    EXPECT_EQ(CatalogFailed, none->State) << none->Error;
    FreeConnectionInfo(tunnelled);
}

// Which databases a batch's text changes the names of.
TEST(BatchNames, DdlStatementsAndTheDatabasesTheyTouch)
{
    std::vector<std::string> databases;
    bool list = false;
    EXPECT_FALSE(BatchChangesNames("select 1; insert into t values (1) -- drop table x", "d", databases, list));
    EXPECT_TRUE(BatchChangesNames("/* x */ create table `a b`.t (c int); use e; Drop view v; "
                                  "rename table f.x to g.y",
                                  "d", databases, list));
    EXPECT_EQ((std::vector<std::string>{"d", "a b", "e", "f", "g"}), databases);
    EXPECT_FALSE(list);
    EXPECT_TRUE(BatchChangesNames("select 'create'; CREATE DATABASE IF NOT EXISTS shop", "", databases, list));
    EXPECT_EQ(std::vector<std::string>{"shop"}, databases);
    EXPECT_TRUE(list);
}

} // namespace
