// What every end-to-end test has: the test server's account, the program
// under test, and a screenshot of the screen when the test fails.
#pragma once

#include "ServerAccess.h"
#include "VintrelProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace e2e {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        account = TestAccount();
        ASSERT_FALSE(account.Socket.empty()) << "run through ./test: the test server's socket is not set";
        if (TestingWindowsBuild()) {
            std::string reason = WindowsBuildUnusable();
            if (!reason.empty()) GTEST_SKIP() << reason;
        }
    }
    void TearDown() override
    {
        if (HasFailure())
            Screenshot("/tmp/vintrel-e2e-" +
                       std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".png");
        program.Kill();
    }

    // Starts the program with the account's settings saved, connects and
    // maximizes the query window.
    void StartConnected(const Account &as)
    {
        program.WriteSettings("localhost", as.User, &as.Password);
        ASSERT_TRUE(program.StartConnected(as.Socket)) << program.FrameTitle();
    }

    // Why the Windows build cannot run against the test server, or "".
    std::string WindowsBuildUnusable() const
    {
        std::string library = WindowsBuildDirectory() + "/libmysql.dll";
        if (ReadFile(library).empty())
            return "no " + library + ": scripts/client-dll.sh could not build the client library (see its note)";
        std::string port = QueryValue(account, "select @@port");
        if (!getenv("VINTREL_E2E_PORT_FORWARDED") && port != "3306")
            return "the Windows build reaches localhost on port 3306 only, the test server listens on " + port +
                   ", and no network namespace could lead 3306 to it";
        return "";
    }

    // How the server sees the program's connection: through the socket, or
    // from the Windows build straight over TCP.
    static std::string Transport()
    {
        return TestingWindowsBuild() && !getenv("VINTREL_E2E_PORT_FORWARDED") ? "TCP/IP" : "Socket";
    }

    Account account;
    VintrelProcess program;
};

} // namespace e2e
