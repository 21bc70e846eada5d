// What every end-to-end test has: the test server's account, the program
// under test, and a screenshot of the screen when the test fails.
#pragma once

#include "ServerAccess.h"
#include "VintrelProcess.h"

#include <gtest/gtest.h>

namespace e2e {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        account = TestAccount();
        ASSERT_FALSE(account.Socket.empty()) << "run through ./test: the test server's socket is not set";
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

    Account account;
    VintrelProcess program;
};

} // namespace e2e
