// What the tests share: the private test server's account, raw connections
// for preparing data, and a message pump.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "server/ClientLibrary.h"

// The test server is reached as "localhost" through the socket that ./test
// puts into MYSQL_UNIX_PORT.
const char *TestHost();
const char *TestUser();
const char *TestPassword();

// A connection of the test account, or null (the test then fails).
MYSQL *ConnectTestServer();
// Runs one statement; failures are test failures.
void ExecSql(MYSQL *mysql, const std::string &sql);
// The first column of the first row of a query, or "(null)".
std::string QueryValue(MYSQL *mysql, const std::string &sql);
// A stored result of a query (never null: failures are test failures).
MYSQL_RES *QueryResult(MYSQL *mysql, const std::string &sql);

// A CONNECTIONINFO opened on the test account.
CONNECTIONINFO *OpenTestConnection();

// The statements the test server received, from its general log (switched
// on by the test that reads it). ./test's server keeps one; run against
// another server, a test has none to read (HasGeneralLog is false).
bool HasGeneralLog();
std::string ReadGeneralLog();

// The CF_TEXT on the clipboard, "(no text)" when there is none.
std::string ClipboardText();

// Dispatches the thread's pending messages for about the given time.
void PumpMessages(DWORD milliseconds = 0);
// Pumps until the condition holds or the time runs out; true if it held.
template <typename Condition>
bool PumpUntil(Condition condition, DWORD timeoutMs = 10000)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        PumpMessages(5);
    }
    return true;
}
