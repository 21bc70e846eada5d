// The connect dialog: the only place where the user enters a server, a user
// name and a password. It remembers them in settings.ini (beside the program,
// or in the user's own folder when the program's cannot be written: see
// SettingsLocation.h), opens a connection and hands it to a new query window.
#pragma once

#include <windows.h>

#include "server/ClientLibrary.h"

// Section and keys of settings.ini.
#define SETTINGS_SECTION "connection"
#define SETTINGS_FILE "\\settings.ini"

// The password field shows this instead of a saved password, which never
// leaves the dialog's own record.
#define SAVED_PASSWORD_PLACEHOLDER "777777777777777"

// Texts are read from settings.ini into buffers of this size, so at most 255
// characters of a host, user name or password come back (managed servers'
// host names are long).
enum { SettingsTextSize = 256 };

// Runs the dialog modally, owned by the frame. Every successful OK adds one
// connection and one query window; the settings are written on every OK.
void ShowConnectionDialog(HWND frame);

// "Can't establish connection", and under it the reason the server or the
// client library gave (when there is one), in a message box owned by owner.
void ShowConnectFailure(HWND owner, const char *error);

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

