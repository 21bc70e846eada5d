// The query window inside the real frame: title and close prompt, the
// frame's commands following the editor, the results pane toggle, the
// database chosen on activation, Clear Window.
#include "QueryWindowFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "querywindow/FrameServices.h"
#include "resources/resource.h"

namespace {

class QueryWindow : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, "DROP DATABASE IF EXISTS qw_tests_a");
        ExecSql(mysql, "DROP DATABASE IF EXISTS qw_tests_ab");
        ExecSql(mysql, "CREATE DATABASE qw_tests_a");
        ExecSql(mysql, "CREATE DATABASE qw_tests_ab");
        mysql_close(mysql);
    }
    static void TearDownTestSuite()
    {
        CloseAllQueryWindows();
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, "DROP DATABASE IF EXISTS qw_tests_a");
        ExecSql(mysql, "DROP DATABASE IF EXISTS qw_tests_ab");
        mysql_close(mysql);
    }
    void TearDown() override { CloseAllQueryWindows(); }

    bool EndsWithStar(HWND window)
    {
        std::string title = Title(window);
        return !title.empty() && title.back() == '*';
    }
};

TEST_F(QueryWindow, CreationSetsCountNameStatusAndLeavesTheResultsPaneHidden)
{
    HWND first = OpenQueryWindow("qw_tests_a");
    HWND second = OpenQueryWindow("qw_tests_a");
    ASSERT_TRUE(first && second);
    CHILDDATA *child = ChildOf(second);
    EXPECT_EQ(2, CountQueryWindows(TestFrame(), 0));
    EXPECT_STREQ("Untitled2", child->FileName);
    EXPECT_EQ("Connection: 2", FrameStatusText());
    EXPECT_EQ(0, child->ResultsShown);
    EXPECT_EQ(0, (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("0 row(s)", StatusText(child, 4));
    EXPECT_EQ("00:00:00", StatusText(child, 5));
    EXPECT_EQ("Ln 1, Col 1", StatusText(child, 6));
    EXPECT_EQ(std::string(child->Connection->ServerUser), StatusText(child, 3));
    EXPECT_EQ(0u, StatusText(child, 1).find("localhost ("));
    EXPECT_EQ("Query - localhost.qw_tests_a." + std::string(child->Connection->ServerUser) + " - Untitled2",
              Title(second));
    EXPECT_EQ(child->Editor, GetParent(child->Editor) == child->Tabs ? child->Editor : nullptr);
    EXPECT_EQ(child->Tabs, GetParent(child->Grid));

    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)second, 0);
    EXPECT_EQ(1, CountQueryWindows(TestFrame(), 0));

    // A saved connection's window says its name where the host stood, and
    // so does a new window on the same connection.
    CONNECTIONINFO *named = OpenTestConnection();
    ASSERT_TRUE(named);
    ReplaceConnectionText(&named->Name, "Shop");
    HWND shop = CreateQueryWindow(named, false);
    ASSERT_TRUE(shop);
    PumpMessages(20);
    EXPECT_EQ(0u, StatusText(ChildOf(shop), 1).find("Shop (")) << StatusText(ChildOf(shop), 1);
    EXPECT_EQ(0u, Title(shop).find("Query - Shop.mysql.")) << Title(shop);
    FrameCommand(CMD_NEWBLANK);
    HWND clone = ActiveQueryWindow();
    ASSERT_NE(shop, clone);
    EXPECT_EQ(0u, Title(clone).find("Query - Shop.mysql.")) << Title(clone);
}

TEST_F(QueryWindow, FirstChangeStarsTheTitleAndSavingRemovesTheStar)
{
    HWND window = OpenQueryWindow("qw_tests_a");
    CHILDDATA *child = ChildOf(window);
    EXPECT_FALSE(EndsWithStar(window));
    SetEditorText(child, "select 1");
    EXPECT_TRUE(EndsWithStar(window));
    SendMessageA(child->Editor, WM_SETTEXT, 0, (LPARAM)"select 2");
    EXPECT_TRUE(EndsWithStar(window));
    std::string title = Title(window);
    EXPECT_EQ(1, (int)std::count(title.begin(), title.end(), '*'));

    // Save from the menu: the frame passes it to the window, the window to
    // the focused editor, whose Save notification comes back through the
    // tab control.
    std::string box;
    DialogDriver driver;
    driver.Then([&](HWND dialog) { box = MessageBoxText(dialog); PressItem(dialog, IDOK); });
    char directory[MAX_PATH] = "", path[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    CreateDirectoryA(directory, nullptr);
    snprintf(path, sizeof path, "%sqw_tests_save_%u.sql", directory, (unsigned)GetCurrentProcessId());
    child->HasFileName = 1;
    lstrcpynA(child->FileName, path, FileNameSize);
    SetFocus(child->Editor);
    FrameCommand(CMD_SAVE);
    EXPECT_FALSE(EndsWithStar(window));
    EXPECT_EQ(0, child->Modified);
    EXPECT_EQ("", box) << path;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    DeleteFileA(path);
}

// The close prompt, by WM_CLOSE (the close box) and WM_QUERYENDSESSION
// (the frame's Disconnect and Exit): an unchanged window closes unasked; a
// changed one stays, with its text, unless its text is saved or dropped.
TEST_F(QueryWindow, OnlyAChangedWindowAsksAndOnlyNoOrASaveLetsItClose)
{
    DialogDriver driver;
    HWND unchanged = OpenQueryWindow();
    SendMessageA(unchanged, WM_CLOSE, 0, 0);
    PumpMessages(20);
    EXPECT_FALSE(IsWindow(unchanged));
    EXPECT_TRUE(driver.Unexpected.empty());

    HWND window = OpenQueryWindow();
    CHILDDATA *child = ChildOf(window);
    SetEditorText(child, "select 'kept'");
    std::string prompt;
    driver.Then([&](HWND box) {
        prompt = MessageBoxText(box);
        PressItem(box, IDCANCEL);
    });
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_EQ("The text in " + std::string(child->FileName) + " has changed. Do you want to save the changes?",
              prompt);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ("select 'kept'", EditorText(child));

    // Yes, then a save dialog cancelled: nothing was saved, so it stays.
    driver.Then([](HWND box) { PressItem(box, IDYES); }).Then([](HWND save) { PressItem(save, IDCANCEL); });
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    PumpMessages(20);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ("select 'kept'", EditorText(child));
    EXPECT_EQ(1, child->Modified);

    driver.Then([](HWND box) { PressItem(box, IDCANCEL); });
    EXPECT_EQ(0, SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    driver.Then([](HWND box) { PressItem(box, IDYES); }).Then([](HWND save) { PressItem(save, IDCANCEL); });
    EXPECT_EQ(0, SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    driver.Then([](HWND box) { PressItem(box, IDNO); });
    EXPECT_EQ(1, SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ(0u, driver.Pending());
}

TEST_F(QueryWindow, AnEmptyEditorGraysItsCommandsAtTheNextNotification)
{
    HWND window = OpenQueryWindow();
    CHILDDATA *child = ChildOf(window);
    SetFocus(child->Editor);
    SetEditorText(child, "select 1");
    EDITORRANGE caret = {{1, 3}, {1, 3}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&caret);
    for (UINT command : {CMD_SELECTALL, CMD_CLEARWINDOW, CMD_FIND, CMD_REPLACE, CMD_EXECUTE}) EXPECT_FALSE(MenuGrayed(command)) << command;
    EXPECT_EQ(TBSTATE_ENABLED, ButtonState(CMD_EXECUTE));

    // Clear Window through the frame: the editor empties and says so.
    FrameCommand(CMD_CLEARWINDOW);
    EXPECT_EQ("", EditorText(child));
    for (UINT command : {CMD_SELECTALL, CMD_CLEARWINDOW, CMD_FIND, CMD_REPLACE, CMD_EXECUTE}) EXPECT_TRUE(MenuGrayed(command)) << command;
    for (UINT button : {CMD_CLEARWINDOW, CMD_FIND, CMD_EXECUTE}) EXPECT_EQ(TBSTATE_INDETERMINATE, ButtonState(button)) << button;

    // Execute with an empty editor does nothing at all.
    std::string before = StatusText(child, 0);
    FrameCommand(CMD_EXECUTE);
    EXPECT_EQ(0, child->Executing);
    EXPECT_EQ(before, StatusText(child, 0));
}

TEST_F(QueryWindow, ShowResultsPaneTogglesAndShowsTheTabOfTheLastBatch)
{
    HWND window = OpenQueryWindow("qw_tests_a");
    CHILDDATA *child = ChildOf(window);
    ASSERT_TRUE(RunBatch(child, "create table toggle (a int)"));
    ASSERT_EQ(1, child->ResultsShown);
    EXPECT_EQ(1, (int)SendMessageA(child->Tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(SendMessageA(FrameToolbar(), TB_ISBUTTONCHECKED, CMD_SHOWRESULTS, 0));

    // The user looks at the Results tab, hides and shows the pane again.
    SendMessageA(child->Tabs, TCM_SETCURSEL, 0, 0);
    NMHDR header = {child->Tabs, IDC_TABS, (UINT)TCN_SELCHANGE};
    SendMessageA(window, WM_NOTIFY, IDC_TABS, (LPARAM)&header);
    EXPECT_TRUE(IsWindowVisible(child->Grid));
    EXPECT_FALSE(IsWindowVisible(child->MessagePane));

    FrameCommand(CMD_SHOWRESULTS);
    EXPECT_EQ(0, child->ResultsShown);
    EXPECT_EQ(0, (int)SendMessageA(child->Tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_FALSE(SendMessageA(FrameToolbar(), TB_ISBUTTONCHECKED, CMD_SHOWRESULTS, 0));
    RECT grid;
    GetClientRect(child->Grid, &grid);
    EXPECT_EQ(0, grid.right);

    FrameCommand(CMD_SHOWRESULTS);
    EXPECT_EQ(1, child->ResultsShown);
    EXPECT_EQ(1, (int)SendMessageA(child->Tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(SendMessageA(FrameToolbar(), TB_ISBUTTONCHECKED, CMD_SHOWRESULTS, 0));
}

TEST_F(QueryWindow, AConnectionWithoutADatabaseChoosesMysql)
{
    HWND window = OpenQueryWindow();
    CHILDDATA *child = ChildOf(window);
    EXPECT_STREQ("mysql", child->Connection->Database);
    EXPECT_EQ("mysql", SelectorText());
    EXPECT_EQ("mysql", StatusText(child, 2));
    EXPECT_NE(std::string::npos, Title(window).find("localhost.mysql."));
    EXPECT_TRUE(IsWindowEnabled(FrameSelector()));
}

TEST_F(QueryWindow, ClearWindowEmptiesOnlyTheEditor)
{
    HWND window = OpenQueryWindow("qw_tests_a");
    CHILDDATA *child = ChildOf(window);
    ASSERT_TRUE(RunBatch(child, "select 1 union select 2"));
    std::string message = MessagePaneText(child);
    FrameCommand(CMD_CLEARWINDOW);
    EXPECT_EQ("", EditorText(child));
    EXPECT_EQ(2, GridRows(child));
    EXPECT_EQ(message, MessagePaneText(child));
    // One keystroke must not lose the script: Undo brings it back whole.
    FrameCommand(CMD_UNDO);
    EXPECT_EQ("select 1 union select 2", EditorText(child));
}

// Every editor draws with the one font the set-up made: opening windows
// makes no new font objects.
TEST_F(QueryWindow, EditorsShareOneFont)
{
    CHILDDATA *first = ChildOf(OpenQueryWindow("qw_tests_a"));
    CHILDDATA *second = ChildOf(OpenQueryWindow("qw_tests_a"));
    LRESULT font = SendMessageA(first->Editor, WM_GETFONT, 0, 0);
    EXPECT_NE(0, font);
    EXPECT_EQ(font, SendMessageA(second->Editor, WM_GETFONT, 0, 0));
}

int GridSaveDialogs;
BOOL WINAPI CountGridSaveDialog(LPOPENFILENAMEA)
{
    GridSaveDialogs++;
    return FALSE;
}

// The edit commands act on the focused pane. In the grid Ctrl+Shift+C copies
// the selection with its column names (the item of the grid's menu enabled
// with the selection). A person reading an error selects and copies it from
// the message pane: its text alone lands on the clipboard, and Ctrl+S there
// saves the script, not the rows. In the editor Ctrl+Shift+C is the
// editor's Copy, as it was before the grid had the command.
TEST_F(QueryWindow, EditCommandsActOnTheFocusedPane)
{
    HWND window = OpenQueryWindow("qw_tests_a");
    CHILDDATA *child = ChildOf(window);
    ASSERT_TRUE(RunBatch(child, "select 1 as a, 'x' as b"));
    SetFocus(child->Grid);
    PumpMessages(50);
    HMENU gridMenu = (HMENU)SendMessageA(child->Grid, WM_GRID_GETCONTEXTMENU, 0, 0);
    EXPECT_TRUE(GetMenuState(gridMenu, CMD_COPYWITHNAMES, MF_BYCOMMAND) & MF_GRAYED) << "nothing selected";
    FrameCommand(CMD_SELECTALL);
    EXPECT_FALSE(GetMenuState(gridMenu, CMD_COPYWITHNAMES, MF_BYCOMMAND) & MF_GRAYED);
    FrameCommand(CMD_COPYWITHNAMES);
    EXPECT_EQ("a\tb\r\n1\tx", ClipboardText());

    ASSERT_TRUE(RunBatch(child, "select * from no_such_table"));
    SetFocus(child->Grid);
    PumpMessages(20);
    SetFocus(child->MessagePane);
    PumpMessages(50);
    EXPECT_FALSE(MenuGrayed(CMD_COPY));
    EXPECT_FALSE(MenuGrayed(CMD_SELECTALL));
    EXPECT_TRUE(MenuGrayed(CMD_PASTE));
    FrameCommand(CMD_SELECTALL);
    FrameCommand(CMD_COPY);
    EXPECT_EQ(0u, ClipboardText().find("Error 1146:")) << ClipboardText();
    // Exactly the pane's text, as Unicode text alone (the control's own
    // copy adds rich text and stray bytes after the text).
    std::vector<WCHAR> pane((size_t)GetWindowTextLengthW(child->MessagePane) + 1);
    GetWindowTextW(child->MessagePane, pane.data(), (int)pane.size());
    int paneBytes = WideCharToMultiByte(CP_UTF8, 0, pane.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string paneText((size_t)paneBytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, pane.data(), -1, &paneText[0], paneBytes, nullptr, nullptr);
    paneText.resize(strlen(paneText.c_str()));
    EXPECT_EQ(paneText, ClipboardText());
    EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatA("Rich Text Format")));

    char directory[MAX_PATH] = "", path[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    snprintf(path, sizeof path, "%sqw_tests_pane_%u.sql", directory, (unsigned)GetCurrentProcessId());
    child->HasFileName = 1;
    lstrcpynA(child->FileName, path, FileNameSize);
    GridSaveDialogs = 0;
    GridDialogs saved = GridDialogFunctions;
    GridDialogFunctions.GetSaveFileName = CountGridSaveDialog;
    FrameCommand(CMD_SAVE);
    GridDialogFunctions = saved;
    EXPECT_EQ(0, GridSaveDialogs);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    DeleteFileA(path);
    EXPECT_EQ("select * from no_such_table", EditorText(child));

    SetFocus(child->Editor);
    PumpMessages(50);
    FrameCommand(CMD_SELECTALL);
    FrameCommand(CMD_COPY);
    EXPECT_EQ("select * from no_such_table", ClipboardText());
    SetEditorText(child, "select 1 as a, 'x' as b");
    FrameCommand(CMD_SELECTALL);
    FrameCommand(CMD_COPYWITHNAMES);
    EXPECT_EQ("select 1 as a, 'x' as b", ClipboardText());
}

// Insert Template through the menu, into the real editor: the text goes
// in at the caret and the caret ends right after it.
TEST_F(QueryWindow, InsertTemplatePutsTheCaretAfterTheInsertedText)
{
    // The frame sets AppDirectory when it is created: open the window first.
    HWND window = OpenQueryWindow("qw_tests_a");
    CHILDDATA *child = ChildOf(window);
    char saved[MAX_PATH];
    strcpy(saved, AppDirectory);
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    strcat(directory, "vintrel-qw-templates");
    CreateDirectoryA(directory, nullptr);
    std::string templates = std::string(directory) + "\\templates";
    CreateDirectoryA(templates.c_str(), nullptr);
    std::string file = templates + "\\createtable.sql";
    const char text[] = "CREATE TABLE t (\r\n  id INT\r\n) ENGINE = InnoDB;";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, text, sizeof text - 1, &written, nullptr);
    CloseHandle(handle);
    strcpy(AppDirectory, directory);

    SetEditorText(child, "line 1\r\nline 2\r\nline 3\r\nselect * from t where x = 1");
    EDITORRANGE caret = {{4, 10}, {4, 10}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&caret);
    SetFocus(child->Editor);
    FrameCommand(CMD_INSERTTABLE);
    strcpy(AppDirectory, saved);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(templates.c_str());
    RemoveDirectoryA(directory);

    EXPECT_EQ("line 1\r\nline 2\r\nline 3\r\nselect * CREATE TABLE t (\r\n  id INT\r\n) ENGINE = InnoDB;from t where x = 1",
              EditorText(child));
    EDITORRANGE after = {};
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 0, (LPARAM)&after);
    EXPECT_EQ(6, after.End.Line);
    EXPECT_EQ((int)strlen(") ENGINE = InnoDB;") + 1, after.End.Column);
    EXPECT_EQ("Ln 6, Col 19", StatusText(child, 6));
}

// The window on qw_tests_a must not pick qw_tests_ab, which a prefix search
// finds first after it, and switch its connection there.
TEST_F(QueryWindow, EachWindowSelectsItsOwnDatabaseWhenActivated)
{
    HWND a = OpenQueryWindow("qw_tests_a");
    HWND ab = OpenQueryWindow("qw_tests_ab");
    EXPECT_EQ("qw_tests_ab", SelectorText());
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)a, 0);
    PumpMessages(20);
    EXPECT_EQ("qw_tests_a", SelectorText());
    ASSERT_TRUE(RunBatch(ChildOf(a), "select database()"));
    EXPECT_STREQ("qw_tests_a", ChildOf(a)->Connection->Database);
    int count = SelectorCount();

    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)ab, 0);
    PumpMessages(20);
    EXPECT_EQ("qw_tests_ab", SelectorText());
    EXPECT_EQ(count, SelectorCount());
}

TEST_F(QueryWindow, DeactivationGraysTheWindowCommandsAndTheLastCloseLeavesThemGrayed)
{
    HWND window = OpenQueryWindow();
    EXPECT_FALSE(MenuGrayed(CMD_CHANGEDATABASE));
    EXPECT_FALSE(MenuGrayed(CMD_OPEN));
    EXPECT_FALSE(MenuGrayed(CMD_HISTORY));
    EXPECT_EQ(TBSTATE_ENABLED, ButtonState(CMD_NEWBLANK));
    SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)window, 0);
    PumpMessages(20);
    for (UINT command : {CMD_CHANGEDATABASE, CMD_DISCONNECT, CMD_OPEN, CMD_EXECUTE, CMD_INSERTFROMFILE, CMD_NEWBLANK, CMD_HISTORY}) EXPECT_TRUE(MenuGrayed(command)) << command;
    for (UINT button : {CMD_NEWBLANK, CMD_OPEN, CMD_EXECUTE, CMD_SHOWRESULTS, CMD_INSERTFROMFILE}) EXPECT_EQ(TBSTATE_INDETERMINATE, ButtonState(button)) << button;
    EXPECT_FALSE(IsWindowEnabled(FrameSelector()));
    EXPECT_EQ(0, SelectorCount());
}

} // namespace
