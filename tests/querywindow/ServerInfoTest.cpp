// The fixed questions to the real server, with a real status bar, combo box
// and list box as their targets.
#include "TestSupport.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FrameStandIn.h"
#include "query/ServerInfo.h"
#include "querywindow/DatabaseSelector.h"
#include "querywindow/WindowRecords.h"

namespace {

const char *const OwnDatabases[] = {"records_tests_si_a", "records_tests_si_b", "records_tests_si_c"};
const char DroppedDatabase[] = "records_tests_si_dropped";

std::vector<std::string> Entries(HWND control, UINT countMessage, UINT textMessage)
{
    std::vector<std::string> entries;
    int count = static_cast<int>(SendMessageA(control, countMessage, 0, 0));
    for (int i = 0; i < count; i++) {
        char text[256] = "";
        SendMessageA(control, textMessage, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

std::vector<std::string> OwnOnly(const std::vector<std::string> &names)
{
    std::vector<std::string> own;
    for (const std::string &name : names)
        if (name.rfind("records_tests_si_", 0) == 0) own.push_back(name);
    return own;
}

class ServerInfo : public testing::Test {
protected:
    static MYSQL *admin;
    HWND host = nullptr;
    CHILDDATA *child = nullptr;
    std::unique_ptr<FrameStandIn> frame;

    static void SetUpTestSuite()
    {
        admin = ConnectTestServer();
        for (const char *name : OwnDatabases) ExecSql(admin, std::string("CREATE DATABASE IF NOT EXISTS ") + name);
    }
    static void TearDownTestSuite()
    {
        for (const char *name : OwnDatabases) ExecSql(admin, std::string("DROP DATABASE IF EXISTS ") + name);
        ExecSql(admin, std::string("DROP DATABASE IF EXISTS ") + DroppedDatabase);
        mysql_close(admin);
    }

    void SetUp() override
    {
        host = CreateWindowExA(0, "STATIC", "server info", WS_OVERLAPPEDWINDOW, 0, 0, 600, 300, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        child = NewQueryWindowRecord();
        child->Window = host;
        child->StatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                           host, reinterpret_cast<HMENU>(IDC_CHILDSTATUS), GetModuleHandleA(nullptr),
                                           nullptr);
        SendMessageA(child->StatusBar, SB_SETPARTS, StatusPartCount, reinterpret_cast<LPARAM>(child->StatusParts));
        frame.reset(new FrameStandIn(host));
        child->Frame = frame->Window;
        child->Connection = OpenTestConnection();
        ASSERT_TRUE(child->Connection);
        child->Connection->ServerUser = static_cast<char *>(calloc(1, ServerUserSize));
    }
    void TearDown() override
    {
        if (child) FreeConnectionInfo(child->Connection);
        FreeQueryWindowRecord(child);
        frame.reset();
        DestroyWindow(host);
        PumpMessages();
    }

    // Ends the window's connection from the server's side: every later
    // question on it fails.
    void KillConnection()
    {
        ExecSql(admin, "KILL " + std::to_string(mysql_thread_id(child->Connection->Handle)));
        PumpUntil([&] { return mysql_query(child->Connection->Handle, "select 1") != 0; }, 5000);
    }

    std::string StatusPart(int part)
    {
        char text[256] = "";
        SendMessageA(child->StatusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
        return text;
    }
};
MYSQL *ServerInfo::admin = nullptr;

TEST_F(ServerInfo, AccountIsTheServersAnswerNotTheLoginName)
{
    std::string expected = QueryValue(admin, "select user()");
    ASSERT_EQ(std::string(TestUser()) + "@localhost", expected);
    GetServerUser(child->Connection);
    EXPECT_EQ(expected, child->Connection->ServerUser);
    ShowServerUser(child);
    EXPECT_EQ(expected, StatusPart(3));
    EXPECT_EQ("", StatusPart(2)) << "only part 3 is written";
    EXPECT_GT(child->StatusParts[3] - child->StatusParts[2], 15) << "the part was fitted to the text";
}

TEST_F(ServerInfo, VersionIsCutToItsBuffer)
{
    char version[ServerVersionSize] = "";
    GetServerVersion(child->Connection, version);
    EXPECT_EQ(QueryValue(admin, "select version()"), version);

    char cut[12];
    memset(cut, 'x', sizeof(cut));
    GetServerVersion(child->Connection, cut, 6);
    EXPECT_EQ(std::string(version, 5), cut);
    EXPECT_EQ('x', cut[6]);
}

TEST_F(ServerInfo, ServerStatusOfALongHostIsCutToSixtyFourBytes)
{
    char status[ServerStatusSize + 8];
    memset(status, 'x', sizeof(status));
    FormatServerStatus("localhost", "10.11.6-MariaDB", status);
    EXPECT_STREQ("localhost (10.11.6-MariaDB)", status);
    FormatServerStatus("localhost", "10.11.6-MariaDB", status, ServerStatusSize, true, true);
    EXPECT_STREQ("localhost (10.11.6-MariaDB, TLS verified)", status);

    memset(status, 'x', sizeof(status));
    std::string longHost(200, 'h');
    FormatServerStatus(longHost.c_str(), "10.11.6-MariaDB", status);
    EXPECT_EQ(std::string(ServerStatusSize - 1, 'h'), status);
    EXPECT_EQ('x', status[ServerStatusSize]);
}

TEST_F(ServerInfo, CurrentDatabaseFollowsTheConnection)
{
    RefreshCurrentDatabase(child->Connection);
    EXPECT_STREQ("", child->Connection->Database) << "no database chosen yet";

    ASSERT_EQ(0, mysql_select_db(child->Connection->Handle, OwnDatabases[1]));
    RefreshCurrentDatabase(child->Connection);
    EXPECT_STREQ(OwnDatabases[1], child->Connection->Database);

    // Dropping the current database on the same connection leaves none.
    ExecSql(child->Connection->Handle, std::string("CREATE DATABASE IF NOT EXISTS ") + DroppedDatabase);
    ASSERT_EQ(0, mysql_select_db(child->Connection->Handle, DroppedDatabase));
    ExecSql(child->Connection->Handle, std::string("DROP DATABASE ") + DroppedDatabase);
    RefreshCurrentDatabase(child->Connection);
    ASSERT_TRUE(child->Connection->Database);
    EXPECT_STREQ("", child->Connection->Database) << "NULL from the server stores an empty name";
}

TEST_F(ServerInfo, DatabaseListsAddEveryNameInTheServersOrder)
{
    std::vector<std::string> listed;
    MYSQL_RES *result = QueryResult(admin, "SHOW DATABASES");
    ASSERT_TRUE(result);
    while (MYSQL_ROW row = mysql_fetch_row(result)) listed.push_back(row[0]);
    mysql_free_result(result);
    std::vector<std::string> own(std::begin(OwnDatabases), std::end(OwnDatabases));
    ASSERT_EQ(own, OwnOnly(listed));

    FillDatabaseSelector(child);
    std::vector<std::string> selector = Entries(frame->Selector, CB_GETCOUNT, CB_GETLBTEXT);
    EXPECT_EQ(own, OwnOnly(selector));
    EXPECT_NE(selector.end(), std::find(selector.begin(), selector.end(), "mysql"));
    FillDatabaseSelector(child);
    EXPECT_EQ(6u, OwnOnly(Entries(frame->Selector, CB_GETCOUNT, CB_GETLBTEXT)).size())
        << "the selector is not emptied first";

    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, host, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    FillDatabaseList(child, list);
    EXPECT_EQ(own, OwnOnly(Entries(list, LB_GETCOUNT, LB_GETTEXT)));
}

TEST_F(ServerInfo, FailedQueriesLeaveEveryTargetAsItWas)
{
    KillConnection();
    strcpy(child->Connection->ServerUser, "earlier@host");
    ReplaceConnectionText(&child->Connection->Database, "earlier_db");
    SetStatusText(child, 3, "earlier");
    char version[ServerVersionSize] = "earlier version";

    GetServerUser(child->Connection);
    ShowServerUser(child);
    GetServerVersion(child->Connection, version);
    RefreshCurrentDatabase(child->Connection);
    FillDatabaseSelector(child);
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 200, 200, host, nullptr, GetModuleHandleA(nullptr), nullptr);
    FillDatabaseList(child, list);

    EXPECT_STREQ("earlier@host", child->Connection->ServerUser);
    EXPECT_STREQ("earlier_db", child->Connection->Database);
    EXPECT_EQ("earlier", StatusPart(3));
    EXPECT_STREQ("earlier version", version);
    EXPECT_EQ(0, SendMessageA(frame->Selector, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, SendMessageA(list, LB_GETCOUNT, 0, 0));
}

TEST_F(ServerInfo, ClosedConnectionIsLeftAlone)
{
    mysql_close(child->Connection->Handle);
    child->Connection->Handle = nullptr;
    char version[ServerVersionSize] = "";
    GetServerUser(child->Connection);
    GetServerVersion(child->Connection, version);
    RefreshCurrentDatabase(child->Connection);
    FillDatabaseSelector(child);
    EXPECT_STREQ("", child->Connection->ServerUser);
    EXPECT_STREQ("", version);
    EXPECT_EQ(0, SendMessageA(frame->Selector, CB_GETCOUNT, 0, 0));
}

} // namespace
