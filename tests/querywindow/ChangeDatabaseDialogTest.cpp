// The select-database dialog of a real query window in the real frame,
// against the test server: the list it shows, and the database the window,
// its title and the frame's selector show after a choice.
#include "QueryWindowFixture.h"

#include <algorithm>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "resources/resource.h"

namespace {

const char *const DatabaseA = "dialogs_tests_a";
const char *const DatabaseAB = "dialogs_tests_ab";
const char *const DatabaseMixed = "dialogs_tests_Mixed";
const char *const DatabaseUpper = "DIALOGS_TESTS_MIXED";
const char *const DatabaseLate = "dialogs_tests_late";

std::vector<std::string> ServerDatabases()
{
    std::vector<std::string> names;
    MYSQL *mysql = ConnectTestServer();
    MYSQL_RES *result = mysql_list_dbs(mysql, nullptr);
    while (MYSQL_ROW row = mysql_fetch_row(result)) names.push_back(row[0]);
    mysql_free_result(result);
    mysql_close(mysql);
    return names;
}

std::vector<std::string> ListItems(HWND list)
{
    std::vector<std::string> items;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; i++) {
        char text[256] = "";
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// The entry of exactly that text, case included (LB_FINDSTRINGEXACT is not).
int ListIndex(HWND dialog, const char *name)
{
    std::vector<std::string> items = ListItems(GetDlgItem(dialog, IDC_DATABASELIST));
    return static_cast<int>(std::find(items.begin(), items.end(), name) - items.begin());
}

// Selects an entry as a click does: the list box then notifies LBN_SELCHANGE.
void ChooseInList(HWND dialog, const char *name)
{
    HWND list = GetDlgItem(dialog, IDC_DATABASELIST);
    int index = ListIndex(dialog, name);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DATABASELIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void Exec(const std::string &sql)
{
    MYSQL *mysql = ConnectTestServer();
    ExecSql(mysql, sql);
    mysql_close(mysql);
}

class ChangeDatabaseDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const char *name : {DatabaseA, DatabaseAB, DatabaseMixed, DatabaseUpper})
            Exec(std::string("CREATE DATABASE IF NOT EXISTS `") + name + "`");
    }
    static void TearDownTestSuite()
    {
        CloseAllQueryWindows();
        for (const char *name : {DatabaseA, DatabaseAB, DatabaseMixed, DatabaseUpper, DatabaseLate})
            Exec(std::string("DROP DATABASE IF EXISTS `") + name + "`");
    }
    void TearDown() override { CloseAllQueryWindows(); }

    // A query window on the database, active: the selector lists the
    // server's databases and shows that one.
    CHILDDATA *OpenOn(const char *database)
    {
        window = OpenQueryWindow(database);
        return ChildOf(window);
    }
    // What a person sees of the window's database: the selector, the
    // status bar and the title, which must agree with the session.
    void ExpectWindowOn(CHILDDATA *child, const char *database)
    {
        EXPECT_STREQ(database, child->Connection->Database);
        EXPECT_EQ(database, QueryValue(child->Connection->Handle, "select database()"));
        EXPECT_EQ(database, SelectorText());
        EXPECT_EQ(database, StatusText(child, 2));
        EXPECT_NE(std::string::npos, Title(window).find(std::string(".") + database + ".")) << Title(window);
    }

    HWND window = nullptr;
    DialogDriver driver;
};

TEST_F(ChangeDatabaseDialogTest, ListsTheDatabasesInTheServersOrderAndCancelChangesNothing)
{
    CHILDDATA *child = OpenOn(DatabaseA);
    ASSERT_TRUE(child);
    std::vector<std::string> server = ServerDatabases();
    driver.Then([&](HWND dialog) {
        EXPECT_EQ("Select Database", WindowText(dialog));
        HWND list = GetDlgItem(dialog, IDC_DATABASELIST);
        EXPECT_EQ(server, ListItems(list));
        EXPECT_EQ(0, SendMessageA(list, LB_GETCURSEL, 0, 0));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ(list, GetFocus());
        LONG style = GetWindowLongA(list, GWL_STYLE);
        EXPECT_FALSE(style & LBS_SORT);
        EXPECT_TRUE(style & LBS_NOTIFY);
        RECT f, d;
        GetWindowRect(TestFrame(), &f);
        GetWindowRect(dialog, &d);
        EXPECT_EQ((f.left + f.right) / 2 - (d.right - d.left) / 2, d.left);
        EXPECT_EQ((f.top + f.bottom) / 2 - (d.bottom - d.top) / 2, d.top);
        ChooseInList(dialog, DatabaseAB);
        PressItem(dialog, IDCANCEL);
    });
    FrameCommand(CMD_CHANGEDATABASE);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ(0u, driver.Pending());
    ExpectWindowOn(child, DatabaseA);
}

TEST_F(ChangeDatabaseDialogTest, ChoosingANameThatBeginsAnotherSwitchesToThatName)
{
    // a before ab: a search of beginnings from the second entry would land
    // on ab.
    CHILDDATA *child = OpenOn(DatabaseAB);
    driver.Then([&](HWND dialog) {
        ChooseInList(dialog, DatabaseA);
        PressItem(dialog, IDOK);
    });
    FrameCommand(CMD_CHANGEDATABASE);
    EXPECT_TRUE(driver.Unexpected.empty());
    ExpectWindowOn(child, DatabaseA);
}

TEST_F(ChangeDatabaseDialogTest, TheMatchIsExactAlsoInCase)
{
    CHILDDATA *child = OpenOn(DatabaseA);
    driver.Then([&](HWND dialog) {
        ChooseInList(dialog, DatabaseMixed);
        PressItem(dialog, IDOK);
    });
    FrameCommand(CMD_CHANGEDATABASE);
    ExpectWindowOn(child, DatabaseMixed);
}

TEST_F(ChangeDatabaseDialogTest, DoubleClickingAnEntrySwitchesToIt)
{
    CHILDDATA *child = OpenOn(DatabaseA);
    driver.Then([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_DATABASELIST);
        int index = ListIndex(dialog, DatabaseAB);
        SendMessageA(list, LB_SETTOPINDEX, index, 0);
        RECT item;
        SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
        LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(list, WM_LBUTTONUP, 0, point);
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
        SendMessageA(list, WM_LBUTTONUP, 0, point);
    });
    FrameCommand(CMD_CHANGEDATABASE);
    EXPECT_TRUE(driver.Unexpected.empty());
    ExpectWindowOn(child, DatabaseAB);
}

// A database made by another connection after the selector was filled.
TEST_F(ChangeDatabaseDialogTest, ANameMissingFromTheSelectorIsAddedAndSwitchedTo)
{
    CHILDDATA *child = OpenOn(DatabaseA);
    int listed = SelectorCount();
    Exec(std::string("CREATE DATABASE IF NOT EXISTS ") + DatabaseLate);
    driver.Then([&](HWND dialog) {
        ChooseInList(dialog, DatabaseLate);
        PressItem(dialog, IDOK);
    });
    FrameCommand(CMD_CHANGEDATABASE);
    ExpectWindowOn(child, DatabaseLate);
    EXPECT_EQ(listed + 1, SelectorCount());
}

TEST_F(ChangeDatabaseDialogTest, AnEmptyListLeavesOnlyCancel)
{
    CHILDDATA *child = OpenOn(DatabaseA);
    // A connection that cannot list databases.
    MYSQL *connected = child->Connection->Handle;
    child->Connection->Handle = mysql_init(nullptr);
    driver.Then([&](HWND dialog) {
        EXPECT_EQ(0, SendDlgItemMessageA(dialog, IDC_DATABASELIST, LB_GETCOUNT, 0, 0));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        PressItem(dialog, IDCANCEL);
    });
    FrameCommand(CMD_CHANGEDATABASE);
    mysql_close(child->Connection->Handle);
    child->Connection->Handle = connected;
    EXPECT_TRUE(driver.Unexpected.empty());
    ExpectWindowOn(child, DatabaseA);
}

} // namespace
