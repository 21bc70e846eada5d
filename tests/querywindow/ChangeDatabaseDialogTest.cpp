// The select-database dialog against the test server: the list it shows, the
// entry it selects in the frame's database selector and the switch it asks
// the frame for.
#include "TestSupport.h"

#include <string>
#include <vector>

#include "DialogDriver.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"
#include "querywindow/ChangeDatabaseDialog.h"

namespace {

const char *const DatabaseA = "dialogs_tests_a";
const char *const DatabaseAB = "dialogs_tests_ab";
const char *const DatabaseMixed = "dialogs_tests_Mixed";

// What the test frame received as database-switch commands, with the
// selector's current text at that moment.
struct SwitchRequest {
    WPARAM WParam;
    LPARAM LParam;
    std::string Selected;
};
std::vector<SwitchRequest> SwitchRequests;
HWND Selector;

std::string SelectorText(HWND selector)
{
    LRESULT index = SendMessageA(selector, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return "(none)";
    char text[256] = "";
    SendMessageA(selector, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

LRESULT CALLBACK SwitchRecordingFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        SwitchRequests.push_back({wParam, lParam, SelectorText(Selector)});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

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

int ListIndex(HWND dialog, const char *name)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_DATABASELIST, LB_FINDSTRINGEXACT, -1,
                                                reinterpret_cast<LPARAM>(name)));
}

// Selects an entry as a click does: the list box then notifies LBN_SELCHANGE.
void ChooseInList(HWND dialog, const char *name)
{
    HWND list = GetDlgItem(dialog, IDC_DATABASELIST);
    int index = ListIndex(dialog, name);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DATABASELIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

class ChangeDatabaseDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MYSQL *mysql = ConnectTestServer();
        for (const char *name : {DatabaseA, DatabaseAB, DatabaseMixed})
            ExecSql(mysql, std::string("CREATE DATABASE IF NOT EXISTS `") + name + "`");
        mysql_close(mysql);
        WNDCLASSA frameClass = {};
        frameClass.lpfnWndProc = SwitchRecordingFrameProc;
        frameClass.hInstance = GetModuleHandleA(nullptr);
        frameClass.lpszClassName = "DialogsTestSwitchFrame";
        RegisterClassA(&frameClass);
    }
    static void TearDownTestSuite()
    {
        MYSQL *mysql = ConnectTestServer();
        for (const char *name : {DatabaseA, DatabaseAB, DatabaseMixed})
            ExecSql(mysql, std::string("DROP DATABASE IF EXISTS `") + name + "`");
        mysql_close(mysql);
    }

    void SetUp() override
    {
        SwitchRequests.clear();
        frame.FrameWindow = CreateWindowExA(0, "DialogsTestSwitchFrame", "Switch frame",
                                            WS_OVERLAPPEDWINDOW, 200, 150, 700, 500, nullptr, nullptr,
                                            GetModuleHandleA(nullptr), nullptr);
        frame.DatabaseSelector = Selector =
            CreateWindowExA(0, "combobox", nullptr, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 300, 200,
                            frame.FrameWindow, reinterpret_cast<HMENU>(IDC_DATABASESELECTOR), nullptr, nullptr);
        child.Window = frame.FrameWindow;
        child.Frame = &frame;
        child.Connection = OpenTestConnection();
    }
    void TearDown() override
    {
        FreeConnectionInfo(child.Connection);
        DestroyWindow(frame.FrameWindow);
    }

    void FillSelector(const std::vector<std::string> &names)
    {
        SendMessageA(Selector, CB_RESETCONTENT, 0, 0);
        for (const std::string &name : names) SendMessageA(Selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }

    FRAMEDATA frame = {};
    CHILDDATA child = {};
    DialogDriver driver;
};

TEST_F(ChangeDatabaseDialogTest, ListsTheDatabasesInTheServersOrderAndCancelChangesNothing)
{
    std::vector<std::string> server = ServerDatabases();
    FillSelector(server);
    SendMessageA(Selector, CB_SETCURSEL, 1, 0);
    std::string before = SelectorText(Selector);
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
        GetWindowRect(frame.FrameWindow, &f);
        GetWindowRect(dialog, &d);
        EXPECT_EQ((f.left + f.right) / 2 - (d.right - d.left) / 2, d.left);
        EXPECT_EQ((f.top + f.bottom) / 2 - (d.bottom - d.top) / 2, d.top);
        ChooseInList(dialog, DatabaseAB);
        PressItem(dialog, IDCANCEL);
    });
    ShowChangeDatabaseDialog(&child);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_TRUE(SwitchRequests.empty());
    EXPECT_EQ(before, SelectorText(Selector));
}

TEST_F(ChangeDatabaseDialogTest, ChoosingANameThatBeginsAnotherSwitchesToThatName)
{
    // a before ab, as in the selector of a server that lists them so: a search
    // of beginnings from the second entry would land on ab.
    FillSelector({DatabaseA, DatabaseAB, "information_schema", "mysql"});
    driver.Then([&](HWND dialog) {
        ChooseInList(dialog, DatabaseA);
        PressItem(dialog, IDOK);
    });
    ShowChangeDatabaseDialog(&child);
    ASSERT_EQ(1u, SwitchRequests.size());
    EXPECT_EQ(MAKEWPARAM(IDC_DATABASESELECTOR, CBN_SELCHANGE), SwitchRequests[0].WParam);
    EXPECT_EQ(0, SwitchRequests[0].LParam);
    EXPECT_EQ(DatabaseA, SwitchRequests[0].Selected);
}

TEST_F(ChangeDatabaseDialogTest, TheMatchIsExactAlsoInCase)
{
    FillSelector({"DIALOGS_TESTS_MIXED", DatabaseMixed, DatabaseA});
    driver.Then([&](HWND dialog) {
        ChooseInList(dialog, DatabaseMixed);
        PressItem(dialog, IDOK);
    });
    ShowChangeDatabaseDialog(&child);
    ASSERT_EQ(1u, SwitchRequests.size());
    EXPECT_EQ(1, SendMessageA(Selector, CB_GETCURSEL, 0, 0));
}

TEST_F(ChangeDatabaseDialogTest, DoubleClickingAnEntrySwitchesToIt)
{
    FillSelector(ServerDatabases());
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
    ShowChangeDatabaseDialog(&child);
    EXPECT_TRUE(driver.Unexpected.empty());
    ASSERT_EQ(1u, SwitchRequests.size());
    EXPECT_EQ(DatabaseAB, SwitchRequests[0].Selected);
}

TEST_F(ChangeDatabaseDialogTest, ANameMissingFromTheSelectorIsAddedAndSwitchedTo)
{
    FillSelector({"information_schema", "mysql"});
    driver.Then([&](HWND dialog) {
        ChooseInList(dialog, DatabaseAB);
        PressItem(dialog, IDOK);
    });
    ShowChangeDatabaseDialog(&child);
    ASSERT_EQ(1u, SwitchRequests.size());
    EXPECT_EQ(DatabaseAB, SwitchRequests[0].Selected);
    EXPECT_EQ(3, SendMessageA(Selector, CB_GETCOUNT, 0, 0));
}

TEST_F(ChangeDatabaseDialogTest, AnEmptyListLeavesOnlyCancel)
{
    // A connection that cannot list databases.
    FreeConnectionInfo(child.Connection);
    child.Connection = NewConnectionInfo(TestHost(), TestUser(), TestPassword());
    child.Connection->Handle = mysql_init(nullptr);
    FillSelector({"mysql"});
    SendMessageA(Selector, CB_SETCURSEL, 0, 0);
    driver.Then([&](HWND dialog) {
        EXPECT_EQ(0, SendDlgItemMessageA(dialog, IDC_DATABASELIST, LB_GETCOUNT, 0, 0));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        PressItem(dialog, IDCANCEL);
    });
    ShowChangeDatabaseDialog(&child);
    EXPECT_TRUE(SwitchRequests.empty());
    EXPECT_EQ("mysql", SelectorText(Selector));
}

} // namespace
