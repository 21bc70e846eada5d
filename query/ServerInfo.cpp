#include "query/ServerInfo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

MYSQL *HandleOf(CONNECTIONINFO *connection) { return connection ? connection->Handle : nullptr; }

// One single-value question: the stored result and its first column's
// text (null for SQL NULL). False, with nothing to free, when the query
// fails or answers no row.
bool AskFirstValue(MYSQL *handle, const char *query, MYSQL_RES **result, const char **value)
{
    *result = nullptr;
    *value = nullptr;
    if (!handle || mysql_query(handle, query) != 0) return false;
    MYSQL_RES *stored = mysql_store_result(handle);
    if (!stored) return false;
    MYSQL_ROW row = mysql_num_fields(stored) > 0 ? mysql_fetch_row(stored) : nullptr;
    if (!row) {
        mysql_free_result(stored);
        return false;
    }
    *result = stored;
    *value = row[0];
    return true;
}

void CopyCut(char *buffer, int bufferSize, const char *text)
{
    if (!buffer || bufferSize <= 0) return;
    snprintf(buffer, bufferSize, "%s", text ? text : "");
}

} // namespace

void ForEachDatabase(CONNECTIONINFO *connection, void (*add)(const char *name, void *context), void *context)
{
    MYSQL *handle = HandleOf(connection);
    if (!handle) return;
    MYSQL_RES *result = mysql_list_dbs(handle, nullptr);
    if (!result) return;
    int count = static_cast<int>(static_cast<uint32_t>(mysql_num_rows(result)));
    for (int i = 0; i < count; i++) {
        MYSQL_ROW row = mysql_fetch_row(result);
        if (!row) break;
        if (row[0]) add(row[0], context);
    }
    mysql_free_result(result);
}

bool AskServerUser(CONNECTIONINFO *connection, char *buffer, int bufferSize)
{
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(connection), "select user()", &result, &value)) return false;
    CopyCut(buffer, bufferSize, value);
    mysql_free_result(result);
    return true;
}

void GetServerUser(CONNECTIONINFO *connection)
{
    if (connection && connection->ServerUser) AskServerUser(connection, connection->ServerUser, ServerUserSize);
}

void GetServerVersion(CONNECTIONINFO *connection, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0) return;
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(connection), "select version()", &result, &value)) return;
    CopyCut(buffer, bufferSize, value);
    mysql_free_result(result);
}

void RefreshCurrentDatabase(CONNECTIONINFO *connection)
{
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(connection), "select database()", &result, &value)) return;
    if (value && *value) {
        ReplaceConnectionText(&connection->Database, value);
    } else {
        // No current database. The empty name keeps room for "mysql", as a
        // new connection's does, because activation may copy that name in.
        char *empty = static_cast<char *>(calloc(1, sizeof("mysql")));
        if (empty) {
            free(connection->Database);
            connection->Database = empty;
        }
    }
    mysql_free_result(result);
}

void FormatServerStatus(const char *host, const char *version, char *buffer, int bufferSize, bool encrypted,
                        bool verified)
{
    if (!buffer || bufferSize <= 0) return;
    const char *format = !encrypted ? "%s (%s)" : verified ? "%s (%s, TLS verified)" : "%s (%s, TLS)";
    snprintf(buffer, bufferSize, format, host ? host : "", version ? version : "");
}

