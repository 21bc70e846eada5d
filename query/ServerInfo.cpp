#include "query/ServerInfo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

MYSQL *HandleOf(CHILDDATA *child)
{
    return child && child->Connection ? child->Connection->Handle : nullptr;
}

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

// Calls add(name) for each database in the order the server lists them.
template <typename Add>
void ForEachDatabase(MYSQL *handle, Add add)
{
    if (!handle) return;
    MYSQL_RES *result = mysql_list_dbs(handle, nullptr);
    if (!result) return;
    int count = static_cast<int>(static_cast<uint32_t>(mysql_num_rows(result)));
    for (int i = 0; i < count; i++) {
        MYSQL_ROW row = mysql_fetch_row(result);
        if (!row) break;
        if (row[0]) add(row[0]);
    }
    mysql_free_result(result);
}

} // namespace

void ShowServerUser(CHILDDATA *child)
{
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(child), "select user()", &result, &value)) return;
    SetStatusText(child, 3, value ? value : "");
    mysql_free_result(result);
}

void GetServerUser(CHILDDATA *child)
{
    if (!child || !child->Connection || !child->Connection->ServerUser) return;
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(child), "select user()", &result, &value)) return;
    CopyCut(child->Connection->ServerUser, ServerUserSize, value);
    mysql_free_result(result);
}

void GetServerVersion(CHILDDATA *child, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0) return;
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(child), "select version()", &result, &value)) return;
    CopyCut(buffer, bufferSize, value);
    mysql_free_result(result);
}

void RefreshCurrentDatabase(CHILDDATA *child)
{
    MYSQL_RES *result;
    const char *value;
    if (!AskFirstValue(HandleOf(child), "select database()", &result, &value)) return;
    if (value && *value) {
        ReplaceConnectionText(&child->Connection->Database, value);
    } else {
        // No current database. The empty name keeps room for "mysql", as a
        // new connection's does, because activation may copy that name in.
        char *empty = static_cast<char *>(calloc(1, sizeof("mysql")));
        if (empty) {
            free(child->Connection->Database);
            child->Connection->Database = empty;
        }
    }
    mysql_free_result(result);
}

void FillDatabaseSelector(CHILDDATA *child)
{
    if (!child || !child->Frame || !child->Frame->DatabaseSelector) return;
    HWND selector = child->Frame->DatabaseSelector;
    ForEachDatabase(HandleOf(child), [selector](const char *name) {
        SendMessageA(selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    });
}

void FillDatabaseList(CHILDDATA *child, HWND listBox)
{
    if (!listBox) return;
    ForEachDatabase(HandleOf(child), [listBox](const char *name) {
        SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    });
}

void FormatServerStatus(const char *host, const char *version, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0) return;
    snprintf(buffer, bufferSize, "%s (%s)", host ? host : "", version ? version : "");
}

int FindExactEntry(HWND comboBox, const char *name)
{
    int count = (int)SendMessageA(comboBox, CB_GETCOUNT, 0, 0);
    size_t nameLength = strlen(name);
    for (int i = 0; i < count; i++) {
        LRESULT length = SendMessageA(comboBox, CB_GETLBTEXTLEN, i, 0);
        if (length < 0 || (size_t)length != nameLength) continue;
        char *text = static_cast<char *>(calloc((size_t)length + 1, 1));
        if (!text) return CB_ERR;
        SendMessageA(comboBox, CB_GETLBTEXT, i, (LPARAM)text);
        bool same = strcmp(text, name) == 0;
        free(text);
        if (same) return i;
    }
    return CB_ERR;
}

int SelectExactEntry(HWND comboBox, const char *name)
{
    int found = FindExactEntry(comboBox, name);
    SendMessageA(comboBox, CB_SETCURSEL, found, 0);
    return found;
}

void RefillDatabaseSelector(CHILDDATA *child)
{
    HWND selector = child->Frame ? child->Frame->DatabaseSelector : nullptr;
    if (!selector) return;
    const char *database = child->Connection->Database ? child->Connection->Database : "";
    SendMessageA(selector, CB_RESETCONTENT, 0, 0);
    FillDatabaseSelector(child);
    // A server that cannot list its databases any more still leaves the
    // selector naming the database the window works in.
    if (SendMessageA(selector, CB_GETCOUNT, 0, 0) <= 0 && database[0])
        SendMessageA(selector, CB_ADDSTRING, 0, (LPARAM)database);
    SelectExactEntry(selector, database);
}
