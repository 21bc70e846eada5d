// The connect dialog: the only place where the user enters a server, a user
// name and a password. It remembers them in settings.ini beside the program,
// opens a connection and hands it to a new query window.
#pragma once

#include <windows.h>

#include "server/ClientLibrary.h"

// Section and keys of settings.ini.
#define SETTINGS_SECTION "connection"
#define SETTINGS_FILE "\\settings.ini"

// The password field shows this instead of a saved password, which never
// leaves the dialog's own record.
#define SAVED_PASSWORD_PLACEHOLDER "777777777777777"

// Texts are read from settings.ini into buffers of this size, so at most 63
// characters of a host, user name or password come back.
enum { SettingsTextSize = 64 };

// Runs the dialog modally, owned by the frame. Every successful OK adds one
// connection and one query window; the settings are written on every OK.
void ShowConnectionDialog(HWND frame);

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Starts the local database server without waiting for it: "net start mysql"
// on Windows; on Linux the embedded server's script named by the environment
// variable VINTREL_EMBEDDED_SERVER (nothing when it is unset).
void StartLocalServer();
