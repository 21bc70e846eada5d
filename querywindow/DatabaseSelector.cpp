#include "querywindow/DatabaseSelector.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "query/ServerInfo.h"
#include "querywindow/QueryBatch.h"

namespace {

void AddToComboBox(const char *name, void *comboBox)
{
    SendMessageA(static_cast<HWND>(comboBox), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

void AddToListBox(const char *name, void *listBox)
{
    SendMessageA(static_cast<HWND>(listBox), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

} // namespace

void ShowServerUser(CHILDDATA *child)
{
    char user[512];
    if (child && AskServerUser(child->Connection, user, sizeof user)) SetStatusText(child, 3, user);
}

void FillDatabaseSelector(CHILDDATA *child)
{
    if (!child || !child->Frame || !child->Frame->DatabaseSelector) return;
    ForEachDatabase(child->Connection, AddToComboBox, child->Frame->DatabaseSelector);
}

void FillDatabaseList(CHILDDATA *child, HWND listBox)
{
    if (child && listBox) ForEachDatabase(child->Connection, AddToListBox, listBox);
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

namespace {

bool Reconnect(CHILDDATA *child, char *error, size_t errorSize)
{
    CONNECTIONINFO *connection = child->Connection;
    bool transactionLost = connection->InTransaction != 0;
    if (!ReconnectConnection(connection, error, errorSize)) return false;
    char line[400];
    if (transactionLost)
        FormatLostTransaction(connection->Host, line, sizeof line);
    else
        FormatReconnected(connection->Host, line, sizeof line);
    SetMessagePaneText(child->MessagePane, line, 0);
    return true;
}

} // namespace

bool UseDatabase(CHILDDATA *child, const char *name, char *error, size_t errorSize)
{
    CONNECTIONINFO *connection = child->Connection;
    if (connection->Lost && !Reconnect(child, error, errorSize)) return false;
    if (mysql_select_db(connection->Handle, name) == 0) return true;
    if (IsConnectionLostError(mysql_errno(connection->Handle)) && Reconnect(child, error, errorSize) &&
        mysql_select_db(connection->Handle, name) == 0)
        return true;
    if (connection->Handle && mysql_errno(connection->Handle))
        snprintf(error, errorSize, "Error %u: %s", mysql_errno(connection->Handle), mysql_error(connection->Handle));
    return false;
}
