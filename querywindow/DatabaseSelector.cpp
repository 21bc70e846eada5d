#include "querywindow/DatabaseSelector.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "query/ServerInfo.h"
#include "querywindow/FrameServices.h"
#include "querywindow/QueryBatch.h"
#include "querywindow/QueryWindow.h"

namespace {

struct SelectorFill {
    HWND Frame;
    int Added;
};

void AddToSelector(const char *name, void *context)
{
    SelectorFill *fill = static_cast<SelectorFill *>(context);
    AddToDatabaseSelector(fill->Frame, name);
    fill->Added++;
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

int FillDatabaseSelector(CHILDDATA *child)
{
    if (!child || !child->Frame) return 0;
    SelectorFill fill = {child->Frame, 0};
    ForEachDatabase(child->Connection, AddToSelector, &fill);
    return fill.Added;
}

void FillDatabaseList(CHILDDATA *child, HWND listBox)
{
    if (child && listBox) ForEachDatabase(child->Connection, AddToListBox, listBox);
}

bool RefillDatabaseSelector(CHILDDATA *child)
{
    if (!child->Frame) return false;
    const char *database = child->Connection->Database ? child->Connection->Database : "";
    EmptyDatabaseSelector(child->Frame);
    // A server that cannot list its databases any more still leaves the
    // selector naming the database the window works in.
    if (FillDatabaseSelector(child) <= 0 && database[0]) AddToDatabaseSelector(child->Frame, database);
    return SelectInDatabaseSelector(child->Frame, database);
}

void ShowDatabaseInSelector(CHILDDATA *child, const char *name)
{
    if (!name || !IsActiveQueryWindow(child) || SelectInDatabaseSelector(child->Frame, name) || !name[0]) return;
    AddToDatabaseSelector(child->Frame, name);
    SelectInDatabaseSelector(child->Frame, name);
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

bool SwitchQueryWindowDatabase(HWND window, const char *name)
{
    CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
    if (!child || !name) return false;
    CONNECTIONINFO *connection = child->Connection;
    if (child->Executing) {
        // The connection belongs to the running batch: keep showing the
        // database it runs on.
        MessageBeep(MB_ICONWARNING);
        ShowDatabaseInSelector(child, connection->Database);
        return false;
    }
    char error[700] = "";
    if (!UseDatabase(child, name, error, sizeof error)) {
        char message[1000];
        snprintf(message, sizeof message, "Can't change the database to %s.\n\n%s", name, error);
        MessageBoxA(GetAncestor(window, GA_ROOT), message, "Vintrel", MB_OK | MB_ICONWARNING);
        ShowDatabaseInSelector(child, connection->Database);
        return false;
    }
    ReplaceConnectionText(&connection->Database, name);
    UpdateTitle(child);
    SetStatusText(child, 2, connection->Database);
    ShowDatabaseInSelector(child, connection->Database);
    return true;
}
