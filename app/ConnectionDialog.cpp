#include "app/ConnectionDialog.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/DesktopShell.h"
#include "app/SettingsLocation.h"
#include "base/ActionFailure.h"
#include "base/DialogPlacement.h"
#include "base/Text.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"

namespace {

// The dialog's own record, attached to the dialog at WM_INITDIALOG.
struct CONNECTIONDIALOGDATA {
    char *SettingsPath;
    char *SavedPassword;  // null unless "savepassword" was exactly 1
    bool PasswordEdited;  // the user typed into the password field
};

CONNECTIONDIALOGDATA *NewDialogRecord() { return new (std::nothrow) CONNECTIONDIALOGDATA(); }

// Frees the record with what it holds.
void FreeDialogRecord(CONNECTIONDIALOGDATA *data)
{
    if (!data) return;
    free(data->SettingsPath);
    free(data->SavedPassword);
    delete data;
}

CONNECTIONDIALOGDATA *DialogData(HWND dialog)
{
    return reinterpret_cast<CONNECTIONDIALOGDATA *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// The whole text of a control, however long; empty text when out of memory.
char *ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthA(control);
    char *text = static_cast<char *>(calloc(length + 1, 1));
    if (text) GetWindowTextA(control, text, length + 1);
    return text;
}

// settings.ini --------------------------------------------------------------

void ReadSettingText(const char *path, const char *key, const char *fallback, char (&buffer)[SettingsTextSize])
{
    GetPrivateProfileStringA(SETTINGS_SECTION, key, fallback, buffer, SettingsTextSize, path);
}

// A flag is stored as a 4-byte struct value with a checksum. The call fails on
// a wrong checksum after it has already decoded the bytes, so the value is
// only trusted when the call succeeds.
int32_t ReadSettingFlag(const char *path, const char *key)
{
    int32_t value = 0;
    if (!GetPrivateProfileStructA(SETTINGS_SECTION, key, &value, sizeof value, path)) value = 0;
    return value;
}

bool WriteSettingFlag(const char *path, const char *key, bool set)
{
    int32_t value = set ? 1 : 0;
    return WritePrivateProfileStructA(SETTINGS_SECTION, key, &value, sizeof value, path) != FALSE;
}

bool WriteSettingText(const char *path, const char *key, const char *text)
{
    return WritePrivateProfileStringA(SETTINGS_SECTION, key, text, path) != FALSE;
}

// Decided each time the dialog opens: the program's directory may have
// become writable or read-only since the last time.
char *BuildSettingsPath()
{
    std::string path = SettingsDirectory() + SETTINGS_FILE;
    return DuplicateText(path.c_str());
}

// The user's settings folder is made on the first save only, so that a
// dialog cancelled leaves nothing behind. Only its last level can be
// missing: the application-data folder above it exists.
void MakeSettingsDirectory(const char *path)
{
    std::string directory = path;
    size_t separator = directory.rfind('\\');
    if (separator == std::string::npos || separator == 0) return;
    directory.erase(separator);
    if (GetFileAttributesA(directory.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryA(directory.c_str(), nullptr);
}

// Dialog handlers -------------------------------------------------------------

void ReleaseDialogData(HWND dialog)
{
    CONNECTIONDIALOGDATA *data = DialogData(dialog);
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
    FreeDialogRecord(data);
}

void SetCheck(HWND dialog, int id, bool set) { CheckDlgButton(dialog, id, set ? BST_CHECKED : BST_UNCHECKED); }
bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

BOOL OnInitDialog(HWND dialog)
{
    CenterOverFrame(dialog, GetWindow(dialog, GW_OWNER));

    // Attached before anything else is made, so that WM_DESTROY frees it
    // whatever happens next.
    CONNECTIONDIALOGDATA *data = NewDialogRecord();
    if (data) SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
    if (data) data->SettingsPath = BuildSettingsPath();
    if (!data || !data->SettingsPath) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    const char *path = data->SettingsPath;

    char text[SettingsTextSize];
    ReadSettingText(path, "host", "localhost", text);
    SetDlgItemTextA(dialog, IDC_HOST, text);
    SetCheck(dialog, IDC_STARTSERVER, ReadSettingFlag(path, "startmysql") == 1);
    ReadSettingText(path, "user", "", text);
    SetDlgItemTextA(dialog, IDC_USER, text);
    int32_t savePassword = ReadSettingFlag(path, "savepassword");
    SetCheck(dialog, IDC_SAVEPASSWORD, savePassword == 1);

    if (savePassword == 1) {
        ReadSettingText(path, "password", "", text);
        data->SavedPassword = DuplicateText(text);
        SecureZeroMemory(text, sizeof text);
        if (data->SavedPassword) SetDlgItemTextA(dialog, IDC_PASSWORD, SAVED_PASSWORD_PLACEHOLDER);
        // Setting the placeholder raised the same EN_CHANGE as typing does.
        data->PasswordEdited = false;
    }
    return TRUE;
}

void OnPasswordChanged(HWND dialog)
{
    if (CONNECTIONDIALOGDATA *data = DialogData(dialog)) data->PasswordEdited = true;
}

// Settings are written before the connect attempt, so a failed attempt still
// remembers what was typed. Clearing "Save password" also forgets the host
// and the user. Returns false when any value could not be written.
bool WriteSettings(HWND dialog, const char *path, const char *host, const char *user, const char *password)
{
    bool savePassword = IsChecked(dialog, IDC_SAVEPASSWORD);
    MakeSettingsDirectory(path);
    // Made empty and private first, so that the password is never in a file
    // others can read.
    HANDLE made = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool created = made != INVALID_HANDLE_VALUE;
    if (created) CloseHandle(made);
    // A settings file made here, or one that now holds a password, is for
    // its owner's eyes only.
    if (created || (savePassword && password && *password)) MakeFileOwnerOnly(path);
    bool written = WriteSettingFlag(path, "savepassword", savePassword);
    written = WriteSettingFlag(path, "startmysql", IsChecked(dialog, IDC_STARTSERVER)) && written;
    written = WriteSettingText(path, "host", savePassword ? host : "localhost") && written;
    written = WriteSettingText(path, "user", savePassword ? user : "") && written;
    written = WriteSettingText(path, "password", savePassword ? password : "") && written;
    return written;
}

// Without this the user would believe the settings saved and find them
// forgotten at the next start. The connect goes ahead all the same.
void ReportUnsavedSettings(HWND dialog, const char *path)
{
    char text[MAX_PATH + 320];
    snprintf(text, sizeof text,
             "The connection settings could not be saved to %s.\n\n"
             "Check that the file is not read-only and not in use by another program. "
             "Vintrel connects all the same, but will not remember these settings.",
             path);
    MessageBoxA(dialog, text, "Vintrel", MB_OK | MB_ICONWARNING);
}

bool ClientLibraryLoaded()
{
    return ClientLibraryStatus == StatusReady || ClientLibraryStatus == StatusFunctionMissing;
}

void ReportMissingClientLibrary(HWND dialog)
{
    char text[512];
    snprintf(text, sizeof text,
             "Vintrel could not load the MySQL client library \"%s\" when it started, "
             "so it cannot connect to a server.\n\n"
             "Install the library (on Windows, place it beside vintrel.exe) and start Vintrel again.",
             DefaultClientLibraryName());
    MessageBoxA(dialog, text, "Vintrel", MB_OK | MB_ICONERROR);
}

} // namespace

void ShowConnectFailure(HWND owner, const char *error)
{
    // The server's or the library's own words tell a wrong password from a
    // host where nothing listens.
    std::string text = "Can't establish connection";
    if (error && *error) text += std::string("\n\n") + error;
    MessageBoxA(owner, text.c_str(), "Vintrel", MB_OK);
}

namespace {

enum ConnectOutcome { Connected, ConnectFailed, NoQueryWindow };

// Connected: a query window now owns the new connection. NoQueryWindow:
// the server answered but the window could not be made, and the
// connection is closed again.
ConnectOutcome Connect(const char *host, const char *user, const char *password, char *error, size_t errorSize)
{
    CONNECTIONINFO *connection = NewConnectionInfo(host, user, password);
    if (!connection) return ConnectFailed;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    bool connected = OpenConnectionWithin(connection, ConnectTimeoutSeconds, error, errorSize);
    SetCursor(previous);
    if (!connected) {
        FreeConnectionInfo(connection);
        return ConnectFailed;
    }
    return CreateQueryWindow(connection, ActiveQueryWindowMaximized()) ? Connected : NoQueryWindow;
}

void ReportConnectOutcome(HWND dialog, ConnectOutcome outcome, const char *error)
{
    if (outcome == ConnectFailed)
        ShowConnectFailure(dialog, error);
    else if (outcome == NoQueryWindow)
        MessageBoxA(dialog, "The server answered, but no query window could be opened for the connection "
                            "(the system is short of memory or window resources). Close some windows and try again.",
                    "Vintrel", MB_OK | MB_ICONERROR);
}

void OnOk(HWND dialog)
{
    CONNECTIONDIALOGDATA *data = DialogData(dialog);
    if (!data) return;
    char *host = ControlText(dialog, IDC_HOST);
    char *user = ControlText(dialog, IDC_USER);
    char *typedPassword = ControlText(dialog, IDC_PASSWORD);
    if (host && user && typedPassword) {
        const char *password =
            data->SavedPassword && !data->PasswordEdited ? data->SavedPassword : typedPassword;
        if (IsChecked(dialog, IDC_STARTSERVER)) StartLocalServer();
        if (!WriteSettings(dialog, data->SettingsPath, host, user, password))
            ReportUnsavedSettings(dialog, data->SettingsPath);

        if (!ClientLibraryLoaded())
            ReportMissingClientLibrary(dialog);
        else {
            char error[512] = "";
            ConnectOutcome outcome = Connect(host, user, password, error, sizeof error);
            if (outcome == Connected)
                EndDialog(dialog, 0);
            else
                ReportConnectOutcome(dialog, outcome, error);
        }
    }
    if (typedPassword) SecureZeroMemory(typedPassword, strlen(typedPassword));
    free(host);
    free(user);
    free(typedPassword);
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_PASSWORD:
        if (code == EN_CHANGE) OnPasswordChanged(dialog);
        break;
    }
}

} // namespace

namespace {

INT_PTR HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        ReleaseDialogData(dialog);
        return TRUE;
    }
    return FALSE;
}

} // namespace

// No C++ exception leaves the procedure: it would unwind through the
// system's code. A dialog that could not be set up goes away.
INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    try {
        return HandleDialogMessage(dialog, message, wParam);
    } catch (...) {
        ReportFailedAction(dialog);
        if (message == WM_INITDIALOG) EndDialog(dialog, 0);
        return TRUE;
    }
}

void ShowConnectionDialog(HWND frame)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), "ConnectionDialog", frame, ConnectionDialogProc, 0);
}

