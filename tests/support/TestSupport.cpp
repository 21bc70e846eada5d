#include "TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

const char *TestHost() { return "localhost"; }

const char *TestUser()
{
    const char *user = getenv("VINTREL_TEST_USER");
    return user ? user : "vintrel";
}

const char *TestPassword()
{
    // Set by the scripts that start the test server (scripts/mariadb.sh).
    const char *password = getenv("VINTREL_TEST_PASSWORD");
    return password ? password : "";
}

MYSQL *ConnectTestServer()
{
    MYSQL *mysql = mysql_init(nullptr);
    if (!mysql_real_connect(mysql, TestHost(), TestUser(), TestPassword(), nullptr, 3306, nullptr, 0)) {
        ADD_FAILURE() << "cannot connect to the test server: " << mysql_error(mysql);
        mysql_close(mysql);
        return nullptr;
    }
    return mysql;
}

void ExecSql(MYSQL *mysql, const std::string &sql)
{
    ASSERT_TRUE(mysql);
    if (mysql_query(mysql, sql.c_str()) != 0) {
        ADD_FAILURE() << sql << ": " << mysql_error(mysql);
        return;
    }
    MYSQL_RES *result = mysql_store_result(mysql);
    if (result) mysql_free_result(result);
}

MYSQL_RES *QueryResult(MYSQL *mysql, const std::string &sql)
{
    if (!mysql || mysql_query(mysql, sql.c_str()) != 0) {
        ADD_FAILURE() << sql << ": " << (mysql ? mysql_error(mysql) : "no connection");
        return nullptr;
    }
    MYSQL_RES *result = mysql_store_result(mysql);
    if (!result) ADD_FAILURE() << sql << " gave no result";
    return result;
}

std::string QueryValue(MYSQL *mysql, const std::string &sql)
{
    MYSQL_RES *result = QueryResult(mysql, sql);
    if (!result) return "";
    MYSQL_ROW row = mysql_fetch_row(result);
    std::string value = row && row[0] ? row[0] : "(null)";
    mysql_free_result(result);
    return value;
}

CONNECTIONINFO *OpenTestConnection()
{
    CONNECTIONINFO *connection = NewConnectionInfo(TestHost(), TestUser(), TestPassword());
    if (!connection || !OpenConnection(connection)) {
        ADD_FAILURE() << "cannot open a connection to the test server";
        FreeConnectionInfo(connection);
        return nullptr;
    }
    return connection;
}

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (milliseconds) Sleep(1);
    } while (GetTickCount() - start < milliseconds);
}

bool HasGeneralLog() { return getenv("VINTREL_TEST_GENERAL_LOG") != nullptr; }

std::string ReadGeneralLog()
{
    const char *path = getenv("VINTREL_TEST_GENERAL_LOG");
    if (!path) return "";
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ClipboardText()
{
    // What other programs read: the Unicode text, as UTF-8.
    std::string text = "(no text)";
    if (!OpenClipboard(nullptr)) return "(clipboard busy)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const WCHAR *locked = static_cast<const WCHAR *>(GlobalLock(data))) {
            // WCHAR is 16 bits here, unlike the Linux wchar_t.
            int units = 0, limit = (int)(GlobalSize(data) / sizeof(WCHAR));
            while (units < limit && locked[units]) units++;
            int bytes = WideCharToMultiByte(CP_UTF8, 0, locked, units, nullptr, 0, nullptr, nullptr);
            text.assign((size_t)bytes, '\0');
            if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, locked, units, &text[0], bytes, nullptr, nullptr);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}
