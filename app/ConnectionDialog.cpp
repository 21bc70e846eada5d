#include "app/ConnectionDialog.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/DesktopShell.h"
#include "app/PasswordStore.h"
#include "app/SavedConnections.h"
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
    // The saved password of the connection the fields show, read from where
    // it was kept; null when none was saved (or it could not be read).
    char *SavedPassword;
    bool PasswordEdited; // the user typed into the password field
};

CONNECTIONDIALOGDATA *NewDialogRecord() { return new (std::nothrow) CONNECTIONDIALOGDATA(); }

void WipeText(char *text)
{
    if (text) SecureZeroMemory(text, strlen(text));
}

void WipeText(std::string &text)
{
    if (!text.empty()) SecureZeroMemory(&text[0], text.size());
    text.clear();
}

void SetSavedPassword(CONNECTIONDIALOGDATA *data, const char *password)
{
    WipeText(data->SavedPassword);
    free(data->SavedPassword);
    data->SavedPassword = password ? DuplicateText(password) : nullptr;
}

// Frees the record with what it holds.
void FreeDialogRecord(CONNECTIONDIALOGDATA *data)
{
    if (!data) return;
    free(data->SettingsPath);
    SetSavedPassword(data, nullptr);
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

std::string ItemString(HWND dialog, int id)
{
    char *text = ControlText(dialog, id);
    std::string value = text ? text : "";
    WipeText(text);
    free(text);
    return value;
}

// Names and databases are taken without the spaces a paste brings along.
std::string Trimmed(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void SetCheck(HWND dialog, int id, bool set) { CheckDlgButton(dialog, id, set ? BST_CHECKED : BST_UNCHECKED); }
bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetNote(HWND dialog, const std::string &text) { SetDlgItemTextA(dialog, IDC_CONNECTIONNOTE, text.c_str()); }

// Decided each time the dialog opens: the program's directory may have
// become writable or read-only since the last time.
char *BuildSettingsPath()
{
    std::string path = SettingsDirectory() + SETTINGS_FILE;
    return DuplicateText(path.c_str());
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

// The fields and the saved connections' list ---------------------------------

SAVEDCONNECTION FieldsOf(HWND dialog)
{
    SAVEDCONNECTION fields;
    fields.Name = Trimmed(ItemString(dialog, IDC_CONNECTIONNAME));
    fields.Host = ItemString(dialog, IDC_HOST);
    fields.User = ItemString(dialog, IDC_USER);
    fields.Database = Trimmed(ItemString(dialog, IDC_DATABASE));
    fields.StartServer = IsChecked(dialog, IDC_STARTSERVER);
    fields.SavePassword = IsChecked(dialog, IDC_SAVEPASSWORD);
    LRESULT mode = SendDlgItemMessageA(dialog, IDC_TLSMODE, CB_GETCURSEL, 0, 0);
    fields.Tls = TlsModeKey(mode == CB_ERR ? TlsPreferred : (TlsModeValue)mode);
    fields.TlsCa = Trimmed(ItemString(dialog, IDC_TLSCA));
    fields.TlsFingerprint = Trimmed(ItemString(dialog, IDC_TLSFINGERPRINT));
    fields.SshHost = Trimmed(ItemString(dialog, IDC_SSHHOST));
    fields.SshUser = Trimmed(ItemString(dialog, IDC_SSHUSER));
    fields.SshKey = Trimmed(ItemString(dialog, IDC_SSHKEY));
    return fields;
}

void ShowRoute(HWND dialog, const SAVEDCONNECTION &connection)
{
    SendDlgItemMessageA(dialog, IDC_TLSMODE, CB_SETCURSEL, TlsModeOfKey(connection.Tls), 0);
    SetDlgItemTextA(dialog, IDC_TLSCA, connection.TlsCa.c_str());
    SetDlgItemTextA(dialog, IDC_TLSFINGERPRINT, connection.TlsFingerprint.c_str());
    SetDlgItemTextA(dialog, IDC_SSHHOST, connection.SshHost.c_str());
    SetDlgItemTextA(dialog, IDC_SSHUSER, connection.SshUser.c_str());
    SetDlgItemTextA(dialog, IDC_SSHKEY, connection.SshKey.c_str());
}

// The modes in the order of TlsModeValue; the pin's label says which
// fingerprint the loaded library compares.
void PrepareTlsFields(HWND dialog)
{
    for (const char *mode : {"Preferred", "Required", "Verify CA", "Verify identity"})
        SendDlgItemMessageA(dialog, IDC_TLSMODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
    if (FingerprintDigits() == 64) SetDlgItemTextA(dialog, IDC_FINGERPRINTLABEL, "Pin (SHA-256):");
}

// The password field shows the placeholder for a saved password, which
// stays in the record; setting it raises the same EN_CHANGE as typing, so
// the field counts as untouched afterwards.
void ShowSavedPassword(HWND dialog, CONNECTIONDIALOGDATA *data, const char *password)
{
    SetSavedPassword(data, password);
    SetDlgItemTextA(dialog, IDC_PASSWORD, data->SavedPassword ? SAVED_PASSWORD_PLACEHOLDER : "");
    data->PasswordEdited = false;
}

// The saved password while the field is untouched, else what was typed.
std::string PasswordToUse(HWND dialog, const CONNECTIONDIALOGDATA *data)
{
    if (data->SavedPassword && !data->PasswordEdited) return data->SavedPassword;
    return ItemString(dialog, IDC_PASSWORD);
}

// Fills the fields from a section of settings.ini, with the password when
// one was saved there.
SAVEDCONNECTION ShowSection(HWND dialog, CONNECTIONDIALOGDATA *data, const char *section)
{
    const char *path = data->SettingsPath;
    SAVEDCONNECTION connection = ReadConnection(path, section);
    SetDlgItemTextA(dialog, IDC_HOST, connection.Host.c_str());
    SetCheck(dialog, IDC_STARTSERVER, connection.StartServer);
    SetDlgItemTextA(dialog, IDC_USER, connection.User.c_str());
    SetCheck(dialog, IDC_SAVEPASSWORD, connection.SavePassword);
    SetDlgItemTextA(dialog, IDC_DATABASE, connection.Database.c_str());
    ShowRoute(dialog, connection);
    std::string password;
    PasswordPlace place = PasswordPlace::None;
    bool read = connection.SavePassword && LoadPassword(path, section, &password, &place);
    ShowSavedPassword(dialog, data, read ? password.c_str() : nullptr);
    WipeText(password);
    SetNote(dialog, connection.SavePassword && !read
                        ? "The saved password could not be read where it was kept: type it again."
                        : "");
    return connection;
}

// The list sorts itself; the name is selected when it is in the list.
void ShowSavedNames(HWND dialog, const char *path, const std::string &name)
{
    HWND combo = GetDlgItem(dialog, IDC_CONNECTIONNAME);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string &saved : SavedConnectionNames(path))
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(saved.c_str()));
    LRESULT index = name.empty() ? CB_ERR
                                 : SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                                reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    if (index == CB_ERR) SetWindowTextA(combo, name.c_str());
}

// Dialog handlers -------------------------------------------------------------

void ReleaseDialogData(HWND dialog)
{
    CONNECTIONDIALOGDATA *data = DialogData(dialog);
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
    FreeDialogRecord(data);
}

// A name of any length would be kept; this keeps the list readable.
enum { ConnectionNameLimit = 100 };

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
    SendDlgItemMessageA(dialog, IDC_CONNECTIONNAME, CB_LIMITTEXT, ConnectionNameLimit, 0);
    PrepareTlsFields(dialog);
    SAVEDCONNECTION current = ShowSection(dialog, data, CURRENT_CONNECTION_SECTION);
    ShowSavedNames(dialog, data->SettingsPath, current.Name);
    // The system puts the focus in the first field, the server.
    return TRUE;
}

void OnPasswordChanged(HWND dialog)
{
    if (CONNECTIONDIALOGDATA *data = DialogData(dialog)) data->PasswordEdited = true;
}

// Picking a name fills every field from that saved connection.
void OnConnectionPicked(HWND dialog)
{
    CONNECTIONDIALOGDATA *data = DialogData(dialog);
    HWND combo = GetDlgItem(dialog, IDC_CONNECTIONNAME);
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    LRESULT length = index == CB_ERR ? CB_ERR : SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (!data || length == CB_ERR) return;
    std::string name((size_t)length + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&name[0]));
    name.resize(strlen(name.c_str()));
    std::string section = FindSavedSection(data->SettingsPath, name);
    if (!section.empty()) ShowSection(dialog, data, section.c_str());
}

// "Save" keeps the fields under the name typed or picked, and the password
// too while "Save password" is set.
void OnSaveConnection(HWND dialog)
{
    CONNECTIONDIALOGDATA *data = DialogData(dialog);
    if (!data) return;
    SAVEDCONNECTION fields = FieldsOf(dialog);
    if (fields.Name.empty()) {
        SetNote(dialog, "Type a name for the connection first.");
        SetFocus(GetDlgItem(dialog, IDC_CONNECTIONNAME));
        return;
    }
    std::string password = PasswordToUse(dialog, data);
    PasswordPlace place = PasswordPlace::None;
    bool written = SaveConnection(data->SettingsPath, fields, password, &place);
    WipeText(password);
    if (!written) ReportUnsavedSettings(dialog, data->SettingsPath);
    ShowSavedNames(dialog, data->SettingsPath, fields.Name);
    std::string note = "Saved \"" + fields.Name + "\".";
    if (!PasswordPlaceText(place).empty()) note += " " + PasswordPlaceText(place);
    SetNote(dialog, note);
}

void OnDeleteConnection(HWND dialog)
{
    CONNECTIONDIALOGDATA *data = DialogData(dialog);
    if (!data) return;
    std::string name = Trimmed(ItemString(dialog, IDC_CONNECTIONNAME));
    if (name.empty() || FindSavedSection(data->SettingsPath, name).empty()) {
        SetNote(dialog, name.empty() ? "Pick the saved connection to delete."
                                     : "No saved connection is named \"" + name + "\".");
        return;
    }
    std::string question = "Delete the saved connection \"" + name + "\"?";
    if (MessageBoxA(dialog, question.c_str(), "Vintrel", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (!DeleteSavedConnection(data->SettingsPath, name)) ReportUnsavedSettings(dialog, data->SettingsPath);
    ShowSavedNames(dialog, data->SettingsPath, "");
    SetNote(dialog, "Deleted \"" + name + "\".");
}

// Settings are written before the connect attempt, so a failed attempt still
// remembers what was typed. Clearing "Save password" also forgets which
// server, user, database and saved connection it was: only the box of the
// local server stays.
void RememberConnection(HWND dialog, const char *path, const SAVEDCONNECTION &fields, const std::string &password)
{
    SAVEDCONNECTION remembered;
    if (fields.SavePassword)
        remembered = fields;
    else
        remembered.StartServer = fields.StartServer;
    // Said once, when the password first lands in the file, not at every
    // connect of a machine that has no keyring.
    bool alreadyInFile = PasswordInClearText(path, CURRENT_CONNECTION_SECTION, password);
    PasswordPlace place = PasswordPlace::None;
    if (!WriteConnection(path, CURRENT_CONNECTION_SECTION, remembered, password, &place))
        ReportUnsavedSettings(dialog, path);
    else if (place == PasswordPlace::SettingsFile && !alreadyInFile)
        MessageBoxA(dialog, ClearTextNotice(path).c_str(), "Vintrel", MB_OK | MB_ICONINFORMATION);
}

// The window carries the name only while the fields still are that saved
// connection's server and user: a name picked and then edited away from
// would otherwise label another server.
std::string SavedNameOf(const char *path, const SAVEDCONNECTION &fields)
{
    if (fields.Name.empty()) return std::string();
    std::string section = FindSavedSection(path, fields.Name);
    if (section.empty()) return std::string();
    SAVEDCONNECTION saved = ReadConnection(path, section.c_str());
    return saved.Host == fields.Host && saved.User == fields.User ? fields.Name : std::string();
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

// The window starts in the database the user named. One the server refuses
// fails the connect with the server's reason, as a wrong password does;
// with none the window chooses its own, as it always has.
bool EnterDatabase(CONNECTIONINFO *connection, const std::string &database, char *error, size_t errorSize)
{
    if (database.empty()) return true;
    if (mysql_select_db(connection->Handle, database.c_str()) != 0) {
        snprintf(error, errorSize, "%s", mysql_error(connection->Handle));
        return false;
    }
    ReplaceConnectionText(&connection->Database, database.c_str());
    return true;
}

// Connected: a query window now owns the new connection. NoQueryWindow:
// the server answered but the window could not be made, and the
// connection is closed again.
ConnectOutcome Connect(const SAVEDCONNECTION &fields, const char *password, const std::string &name, char *error,
                       size_t errorSize)
{
    CONNECTIONINFO *connection = NewConnectionInfo(fields.Host.c_str(), fields.User.c_str(), password);
    if (!connection) return ConnectFailed;
    if (!name.empty()) ReplaceConnectionText(&connection->Name, name.c_str());
    connection->Route = RouteOf(fields);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    bool connected = OpenConnectionWithin(connection, ConnectTimeoutSeconds, error, errorSize) &&
                     EnterDatabase(connection, fields.Database, error, errorSize);
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
    SAVEDCONNECTION fields = FieldsOf(dialog);
    std::string password = PasswordToUse(dialog, data);
    if (fields.StartServer) StartLocalServer();
    RememberConnection(dialog, data->SettingsPath, fields, password);

    if (!ClientLibraryLoaded())
        ReportMissingClientLibrary(dialog);
    else {
        char error[512] = "";
        ConnectOutcome outcome =
            Connect(fields, password.c_str(), SavedNameOf(data->SettingsPath, fields), error, sizeof error);
        if (outcome == Connected)
            EndDialog(dialog, 0);
        else
            ReportConnectOutcome(dialog, outcome, error);
    }
    WipeText(password);
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
    case IDC_CONNECTIONNAME:
        if (code == CBN_SELCHANGE) OnConnectionPicked(dialog);
        // Reached by Tab or its mnemonic, the name is there to be typed
        // over, as an edit field's text is.
        if (code == CBN_SETFOCUS) SendDlgItemMessageA(dialog, IDC_CONNECTIONNAME, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        break;
    case IDC_SAVECONNECTION:
        OnSaveConnection(dialog);
        break;
    case IDC_DELETECONNECTION:
        OnDeleteConnection(dialog);
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

