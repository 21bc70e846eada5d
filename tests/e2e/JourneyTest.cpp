// Journeys through the program as a person makes them, each from a fresh
// start of the built program against the server that ./test runs.
#include "ServerAccess.h"
#include "VintrelProcess.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const std::string ConnectedTitle = "Vintrel - [Query - localhost.mysql.vintrel@localhost - Untitled1]";

class Journey : public ::testing::Test {
protected:
    void SetUp() override
    {
        account = TestAccount();
        ASSERT_FALSE(account.Socket.empty()) << "run through ./test: the test server's socket is not set";
        ASSERT_TRUE(Exec(account, "DROP DATABASE IF EXISTS e2e_shop; CREATE DATABASE e2e_shop;"
                                  "CREATE TABLE e2e_shop.items (id INT PRIMARY KEY, name VARCHAR(20), price DECIMAL(6,2));"
                                  "INSERT INTO e2e_shop.items VALUES (1,'pen',1.50),(2,'ink',NULL),(3,'pad',12.00);"
                                  "DROP DATABASE IF EXISTS e2e_other; CREATE DATABASE e2e_other;"));
    }
    void TearDown() override
    {
        if (HasFailure()) Screenshot("/tmp/vintrel-e2e-" + std::string(CurrentName()) + ".png");
        program.Kill();
    }
    static const char *CurrentName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

    void StartConnected()
    {
        program.WriteSettings("localhost", account.User, &account.Password);
        ASSERT_TRUE(program.StartConnected(account.Socket)) << program.FrameTitle();
    }

    Account account;
    VintrelProcess program;
};

TEST_F(Journey, ConnectsThroughTheDialogWithTheSavedPassword)
{
    program.WriteSettings("localhost", account.User, &account.Password);
    ASSERT_TRUE(program.Start(account.Socket));
    EXPECT_EQ("Vintrel", program.FrameTitle());
    ASSERT_TRUE(program.AcceptConnectDialog());
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ(ConnectedTitle, program.FrameTitle());
    // The dialog wrote the settings back unchanged.
    EXPECT_NE(std::string::npos, ReadFile(program.SettingsPath()).find("password=" + account.Password + "\r\n"));
}

TEST_F(Journey, TypedQueryRunsWithF5AndItsRowsAreCopied)
{
    StartConnected();
    program.ReplaceEditorText("select id, name, price from e2e_shop.items order by id");
    Keys("F5");
    EXPECT_TRUE(program.WaitForGrid("1\tpen\t1.50\n2\tink\tNULL\n3\tpad\t12.00"));
    EXPECT_EQ("Vintrel - [Query - localhost.mysql.vintrel@localhost - Untitled1*]", program.FrameTitle());
}

} // namespace
