// The connect dialog: the only place where the user enters a server, a user
// name and a password. It remembers them in settings.ini (beside the program,
// or in the user's own folder when the program's cannot be written: see
// SettingsLocation.h), keeps a list of saved connections there
// (SavedConnections.h) with their passwords where the system protects them
// (PasswordStore.h), opens a connection and hands it to a new query window.
#pragma once

#include <windows.h>

#include "app/SavedConnections.h"
#include "server/ClientLibrary.h"

// The password field shows this instead of a saved password, which never
// leaves the dialog's own record.
#define SAVED_PASSWORD_PLACEHOLDER "777777777777777"

// Runs the dialog modally, owned by the frame. Every successful OK adds one
// connection and one query window; the settings are written on every OK.
void ShowConnectionDialog(HWND frame);

// "Can't establish connection", and under it the reason the server or the
// client library gave (when there is one), in a message box owned by owner.
void ShowConnectFailure(HWND owner, const char *error);

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

