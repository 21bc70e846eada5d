// The connect dialog run for real inside an MDI frame: what it reads from and
// writes to settings.ini, where that file lives, which password it connects
// with, and the query window it asks the MDI client for.
#include "TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <vector>

#include "DialogDriver.h"
#include "TestFiles.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"
#include "app/ConnectionDialog.h"
#include "app/DesktopShell.h"
#include "app/SettingsLocation.h"
#include "querywindow/QueryWindow.h"

namespace {

// What the MDI client was asked to create.
struct CreateRequest {
    std::string ClassName;
    DWORD Style;
    int X, Y, Width, Height;
    CONNECTIONINFO *Connection;
};
std::vector<CreateRequest> CreateRequests;
WNDPROC MdiClientProc;

// While set, the client fails every creation the way a query window that
// runs out of memory does: no window, and the connection freed.
bool RefuseQueryWindows;

LRESULT CALLBACK RecordingClientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MDICREATE) {
        auto *create = reinterpret_cast<MDICREATESTRUCTA *>(lParam);
        CreateRequests.push_back({create->szClass, create->style, create->x, create->y, create->cx, create->cy,
                                  reinterpret_cast<CONNECTIONINFO *>(create->lParam)});
        if (RefuseQueryWindows) {
            FreeConnectionInfo(reinterpret_cast<CONNECTIONINFO *>(create->lParam));
            CreateRequests.back().Connection = nullptr;
            return 0;
        }
    }
    return CallWindowProcA(MdiClientProc, window, message, wParam, lParam);
}

// Stand-in query window: owns the connection it was created with. (Where a
// test of the same program registered the program's own query window first,
// that one is created instead.)
LRESULT CALLBACK StandInQueryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        auto *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
        auto *mdi = reinterpret_cast<MDICREATESTRUCTA *>(create->lpCreateParams);
        SetWindowLongPtrA(window, 0, mdi->lParam);
        break;
    }
    case WM_DESTROY:
        FreeConnectionInfo(reinterpret_cast<CONNECTIONINFO *>(GetWindowLongPtrA(window, 0)));
        SetWindowLongPtrA(window, 0, 0);
        break;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK TestFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        CLIENTCREATESTRUCT client = {};
        client.idFirstChild = 1000;
        MdiClientWindow = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0,
                                          0, window, nullptr, GetModuleHandleA(nullptr), &client);
        MdiClientProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(MdiClientWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingClientProc)));
        return 0;
    }
    return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
}

void RegisterTestClasses()
{
    static bool done;
    if (done) return;
    done = true;
    WNDCLASSA frame = {};
    frame.lpfnWndProc = TestFrameProc;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.lpszClassName = "DialogsTestFrame";
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassA(&frame);
    WNDCLASSA child = {};
    child.lpfnWndProc = StandInQueryWindowProc;
    child.cbWndExtra = sizeof(void *);
    child.hInstance = GetModuleHandleA(nullptr);
    child.lpszClassName = "vn_child";
    RegisterClassA(&child);
}

class ConnectionDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        CreateRequests.clear();
        frame = CreateWindowExA(0, "DialogsTestFrame", "Dialogs test frame", WS_OVERLAPPEDWINDOW, 120, 80,
                                900, 640, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        snprintf(AppDirectory, sizeof AppDirectory, "%s", directory.Path().c_str());
        settings = directory.File("settings.ini");
    }
    void TearDown() override
    {
        DestroyWindow(frame);
        MdiClientWindow = nullptr;
    }

    // Writes a settings file the way the program does.
    void StoreSettings(int savePassword, const char *password)
    {
        int32_t value = savePassword;
        WritePrivateProfileStructA("connection", "savepassword", &value, sizeof value, settings.c_str());
        value = 0;
        WritePrivateProfileStructA("connection", "startmysql", &value, sizeof value, settings.c_str());
        WritePrivateProfileStringA("connection", "host", TestHost(), settings.c_str());
        WritePrivateProfileStringA("connection", "user", TestUser(), settings.c_str());
        WritePrivateProfileStringA("connection", "password", password, settings.c_str());
    }

    // Runs the dialog; the driver answers it.
    void Run() { ShowConnectionDialog(frame); }

    CONNECTIONINFO *LastConnection() { return CreateRequests.empty() ? nullptr : CreateRequests.back().Connection; }

    TempDirectory directory;
    std::string settings;
    HWND frame = nullptr;
    DialogDriver driver;
};

int UnixFileMode(const std::string &windowsPath)
{
    // WCHARs, not std::wstring, whose compiled parts take 4-byte characters.
    std::vector<WCHAR> wide(windowsPath.begin(), windowsPath.end());
    wide.push_back(0);
    char *path = wine_get_unix_file_name(wide.data());
    struct stat status = {};
    int mode = path && stat(path, &status) == 0 ? (int)(status.st_mode & 0777) : -1;
    HeapFree(GetProcessHeap(), 0, path);
    return mode;
}

// ./test starts a keyring on a private session bus for the run; the same
// program runs again where no keyring answers (app_tests_without_keyring).
bool KeyringAnswers()
{
    const char *keyring = getenv("VINTREL_TEST_KEYRING");
    return keyring && *keyring;
}

// The password the keyring holds for a section of a settings file, read
// with the desktop's own tool; "" when it holds none. The tool runs without
// the memory check's run-time, which only the test program is meant to
// have (GLib deadlocks under it).
std::string KeyringPassword(const std::string &settings, const std::string &section)
{
    std::string command = "env -u LD_PRELOAD -u ASAN_OPTIONS -u LSAN_OPTIONS secret-tool lookup settings '" +
                          settings + "' section '" + section + "' 2>/dev/null";
    std::string password;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char chunk[256];
        for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) password.append(chunk, got);
        pclose(pipe);
    }
    while (!password.empty() && password.back() == '\n') password.pop_back();
    return password;
}

// settings.ini as OK writes it: the password itself stands in the file only
// where no keyring answers.
std::string Expected(const char *host, const char *user, const char *password, bool save, bool start,
                     const char *database = "", const char *name = "")
{
    bool inKeyring = save && *password && KeyringAnswers();
    return std::string("[connection]\r\n") + "savepassword=" + (save ? "0100000001" : "0000000000") + "\r\n" +
           "startmysql=" + (start ? "0100000001" : "0000000000") + "\r\n" + "host=" + host + "\r\n" + "user=" + user +
           "\r\n" + "password=" + (inKeyring ? "" : password) + "\r\n" + (inKeyring ? "passwordstore=keyring\r\n" : "") +
           "database=" + database + "\r\n" + "name=" + name + "\r\n";
}


// Picks a name from the list as the mouse does: the selection changes and
// the dialog hears of it.
void Pick(HWND dialog, const std::string &name)
{
    HWND combo = GetDlgItem(dialog, IDC_CONNECTIONNAME);
    LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(CB_ERR, index) << name;
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CONNECTIONNAME, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// Fills the fields and presses "Save".
void SaveAs(HWND dialog, const std::string &name, const std::string &user, const std::string &password,
            const std::string &database)
{
    SetItemText(dialog, IDC_CONNECTIONNAME, name);
    SetItemText(dialog, IDC_USER, user);
    SetItemText(dialog, IDC_PASSWORD, password);
    SetItemText(dialog, IDC_DATABASE, database);
    if (ItemChecked(dialog, IDC_SAVEPASSWORD) != !password.empty()) ClickItem(dialog, IDC_SAVEPASSWORD);
    ClickItem(dialog, IDC_SAVECONNECTION);
}

TEST_F(ConnectionDialogTest, FirstRunShowsDefaultsAndCancelWritesNothing)
{
    HWND seen = nullptr;
    driver.Then([&](HWND dialog) {
        seen = dialog;
        EXPECT_EQ("Connect to MySQL Server", WindowText(dialog));
        EXPECT_EQ("localhost", ItemText(dialog, IDC_HOST));
        EXPECT_EQ("", ItemText(dialog, IDC_USER));
        EXPECT_EQ("", ItemText(dialog, IDC_PASSWORD));
        EXPECT_FALSE(ItemChecked(dialog, IDC_STARTSERVER));
        EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
        EXPECT_EQ("Start local server if it is stopped", ItemText(dialog, IDC_STARTSERVER));
        // The fields scroll: long host names of managed servers fit.
        for (int id : {IDC_HOST, IDC_USER, IDC_PASSWORD})
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & ES_AUTOHSCROLL) << id;
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
        EXPECT_EQ("", ItemText(dialog, IDC_DATABASE));
        EXPECT_EQ("", ItemText(dialog, IDC_CONNECTIONNAME));
        EXPECT_EQ("", ComboItems(dialog, IDC_CONNECTIONNAME));
        // The focus in the server field; the tab order of the fields as it
        // always was, the database and the saved connections after them.
        EXPECT_EQ(GetDlgItem(dialog, IDC_HOST), GetFocus());
        std::vector<int> order;
        HWND control = GetDlgItem(dialog, IDC_HOST);
        for (int i = 0; i < 17; i++) {
            order.push_back(GetDlgCtrlID(control));
            control = GetNextDlgTabItem(dialog, control, FALSE);
        }
        EXPECT_EQ((std::vector<int>{IDC_HOST, IDC_STARTSERVER, IDC_USER, IDC_PASSWORD, IDC_SAVEPASSWORD, IDC_DATABASE,
                                    IDC_TLSMODE, IDC_TLSCA, IDC_TLSFINGERPRINT, IDC_SSHHOST, IDC_SSHUSER, IDC_SSHKEY,
                                    IDC_CONNECTIONNAME, IDC_SAVECONNECTION, IDC_DELETECONNECTION, IDOK, IDCANCEL}),
                  order);
        // A new connection prefers TLS and has no tunnel; the pin's label
        // names the fingerprint the library compares.
        EXPECT_EQ("Preferred", ItemText(dialog, IDC_TLSMODE));
        EXPECT_EQ("Pin (SHA-1):", ItemText(dialog, IDC_FINGERPRINTLABEL));
        EXPECT_EQ("", ItemText(dialog, IDC_SSHHOST));
        // Centred over the frame.
        RECT f, d;
        GetWindowRect(frame, &f);
        GetWindowRect(dialog, &d);
        EXPECT_EQ((f.left + f.right) / 2 - (d.right - d.left) / 2, d.left);
        EXPECT_EQ((f.top + f.bottom) / 2 - (d.bottom - d.top) / 2, d.top);
        EXPECT_EQ(frame, GetWindow(dialog, GW_OWNER));
        SetItemText(dialog, IDC_USER, "somebody");
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(FileExists(settings));
    EXPECT_TRUE(CreateRequests.empty());
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ConnectionDialogTest, OverAFrameMostlyOffScreenTheDialogStaysOnScreen)
{
    RECT screen;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
    MoveWindow(frame, screen.right - 100, screen.bottom - 80, 900, 640, FALSE);
    driver.Then([&](HWND dialog) {
        RECT d;
        GetWindowRect(dialog, &d);
        EXPECT_LE(d.right, screen.right);
        EXPECT_LE(d.bottom, screen.bottom);
        EXPECT_GE(d.left, screen.left);
        EXPECT_GE(d.top, screen.top);
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ConnectionDialogTest, OkWritesTheSettingsInOrderAndOpensAQueryWindow)
{
    driver.Then(ConnectSavingThePassword);
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ(Expected("localhost", TestUser(), TestPassword(), true, false), ReadBytes(settings));

    ASSERT_EQ(1u, CreateRequests.size());
    const CreateRequest &request = CreateRequests[0];
    EXPECT_EQ("vn_child", request.ClassName);
    EXPECT_EQ(static_cast<DWORD>(WS_CLIPCHILDREN), request.Style);
    EXPECT_EQ(CW_USEDEFAULT, request.X);
    EXPECT_EQ(CW_USEDEFAULT, request.Width);
    CONNECTIONINFO *connection = request.Connection;
    ASSERT_TRUE(connection);
    EXPECT_STREQ("localhost", connection->Host);
    EXPECT_STREQ(TestUser(), connection->User);
    EXPECT_STREQ(TestPassword(), connection->Password);
    EXPECT_STREQ("", connection->Database);
    ASSERT_TRUE(connection->Handle);
    EXPECT_EQ(std::string(TestUser()) + "@localhost", QueryValue(connection->Handle, "select current_user()"));
    // The query window was really created in the MDI client.
    EXPECT_TRUE(SendMessageA(MdiClientWindow, WM_MDIGETACTIVE, 0, 0));
    // A file that holds a password is for its owner's eyes only.
    EXPECT_EQ(0600, UnixFileMode(settings));
}

// A file of an earlier version, with the password in clear text: it is read,
// written back (not the placeholder) into the keyring, and read from there
// at the next opening.
TEST_F(ConnectionDialogTest, SavedPasswordIsUsedWhileTheFieldIsUntouchedAndLeavesTheFile)
{
    StoreSettings(1, TestPassword());
    for (int opening = 0; opening < 2; opening++) {
        driver.Then([&](HWND dialog) {
            EXPECT_EQ(SAVED_PASSWORD_PLACEHOLDER, ItemText(dialog, IDC_PASSWORD));
            EXPECT_EQ(15u, ItemText(dialog, IDC_PASSWORD).size());
            EXPECT_TRUE(ItemChecked(dialog, IDC_SAVEPASSWORD));
            EXPECT_EQ(TestUser(), ItemText(dialog, IDC_USER));
            PressItem(dialog, IDOK);
        });
        Run();
        EXPECT_TRUE(driver.Unexpected.empty());
        ASSERT_TRUE(LastConnection());
        EXPECT_STREQ(TestPassword(), LastConnection()->Password);
        EXPECT_EQ(Expected(TestHost(), TestUser(), TestPassword(), true, false), ReadBytes(settings));
        if (KeyringAnswers()) {
            EXPECT_EQ(TestPassword(), KeyringPassword(settings, "connection"));
        }
    }
}

TEST_F(ConnectionDialogTest, TypingAndDeletingACharacterCountsAsEditingThePassword)
{
    StoreSettings(1, TestPassword());
    std::string message, caption;
    driver
        .Then([&](HWND dialog) {
            TypeInto(dialog, IDC_PASSWORD, "x\b");
            EXPECT_EQ(SAVED_PASSWORD_PLACEHOLDER, ItemText(dialog, IDC_PASSWORD));
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            caption = WindowText(box);
            PressItem(box, IDOK);
        })
        .Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    Run();
    EXPECT_EQ("Can't establish connection\n\nAccess denied for user '" + std::string(TestUser()) +
                  "'@'localhost' (using password: YES)",
              message);
    EXPECT_EQ("Vintrel", caption);
    EXPECT_TRUE(CreateRequests.empty());
    // The placeholder was the password tried and is now the one remembered.
    EXPECT_EQ(Expected(TestHost(), TestUser(), SAVED_PASSWORD_PLACEHOLDER, true, false), ReadBytes(settings));
}

TEST_F(ConnectionDialogTest, WrongPasswordKeepsTheDialogOpenWithSettingsAlreadyWritten)
{
    std::string message, caption, settingsDuringMessage, userAfterMessage;
    HWND connectDialog = nullptr;
    bool dialogVisibleDuringMessage = false;
    driver
        .Then([&](HWND dialog) {
            connectDialog = dialog;
            SetItemText(dialog, IDC_HOST, TestHost());
            SetItemText(dialog, IDC_USER, TestUser());
            SetItemText(dialog, IDC_PASSWORD, "not-the-password");
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            caption = WindowText(box);
            dialogVisibleDuringMessage = IsWindowVisible(connectDialog);
            EXPECT_EQ(connectDialog, GetWindow(box, GW_OWNER));
            settingsDuringMessage = ReadBytes(settings);
            PressItem(box, IDOK);
        })
        .Then([&](HWND dialog) {
            EXPECT_EQ(connectDialog, dialog);
            userAfterMessage = ItemText(dialog, IDC_USER);
            PressItem(dialog, IDCANCEL);
        });
    Run();
    EXPECT_EQ("Can't establish connection\n\nAccess denied for user '" + std::string(TestUser()) +
                  "'@'localhost' (using password: YES)",
              message);
    EXPECT_EQ("Vintrel", caption);
    EXPECT_TRUE(dialogVisibleDuringMessage);
    EXPECT_EQ(TestUser(), userAfterMessage);
    // "Save password" was clear: host and user are forgotten as well.
    EXPECT_EQ(Expected("localhost", "", "", false, false), settingsDuringMessage);
    EXPECT_TRUE(CreateRequests.empty());
    EXPECT_TRUE(driver.Unexpected.empty());
}

// Clearing "Save password" forgets host and user, and with them the
// database, the saved connection's name and the password in the keyring.
TEST_F(ConnectionDialogTest, ClearingSavePasswordForgetsHostAndUserForTheNextOpening)
{
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_HOST, TestHost());
            SaveAs(dialog, "Mine", TestUser(), TestPassword(), "mysql");
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND dialog) {
            EXPECT_EQ("Mine", ItemText(dialog, IDC_CONNECTIONNAME));
            EXPECT_EQ("mysql", ItemText(dialog, IDC_DATABASE));
            ClickItem(dialog, IDC_SAVEPASSWORD);
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND dialog) {
            EXPECT_EQ("localhost", ItemText(dialog, IDC_HOST));
            EXPECT_EQ("", ItemText(dialog, IDC_USER));
            EXPECT_EQ("", ItemText(dialog, IDC_PASSWORD));
            EXPECT_EQ("", ItemText(dialog, IDC_DATABASE));
            EXPECT_EQ("", ItemText(dialog, IDC_CONNECTIONNAME));
            EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
            PressItem(dialog, IDCANCEL);
        });
    Run();
    if (KeyringAnswers()) {
        EXPECT_EQ(TestPassword(), KeyringPassword(settings, "connection"));
    }
    Run();
    // The connection itself used the saved values.
    ASSERT_EQ(2u, CreateRequests.size());
    EXPECT_STREQ(TestUser(), LastConnection()->User);
    EXPECT_STREQ(TestPassword(), LastConnection()->Password);
    EXPECT_STREQ("Mine", LastConnection()->Name);
    EXPECT_EQ("", KeyringPassword(settings, "connection"));
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
    // The saved connection keeps what was saved.
    EXPECT_NE(std::string::npos, ReadBytes(settings).find("[connection:Mine]\r\n")) << ReadBytes(settings);
}

void ShowRoute(HWND dialog, int mode, const char *ca, const char *pin, const char *sshHost, const char *sshUser,
               const char *sshKey)
{
    SendDlgItemMessageA(dialog, IDC_TLSMODE, CB_SETCURSEL, mode, 0);
    SetItemText(dialog, IDC_TLSCA, ca);
    SetItemText(dialog, IDC_TLSFINGERPRINT, pin);
    SetItemText(dialog, IDC_SSHHOST, sshHost);
    SetItemText(dialog, IDC_SSHUSER, sshUser);
    SetItemText(dialog, IDC_SSHKEY, sshKey);
}

std::string RouteText(HWND dialog)
{
    std::string text = ItemText(dialog, IDC_TLSMODE);
    for (int id : {IDC_TLSCA, IDC_TLSFINGERPRINT, IDC_SSHHOST, IDC_SSHUSER, IDC_SSHKEY}) text += "|" + ItemText(dialog, id);
    return text;
}

size_t Occurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

// Names round-trip whatever they hold; picking one fills every field, and
// its password is read back from where it was kept at the next opening.
TEST_F(ConnectionDialogTest, SavedConnectionsKeepAnyNameAndPickingOneFillsTheFields)
{
    MYSQL *mysql = ConnectTestServer();
    ExecSql(mysql, "CREATE DATABASE IF NOT EXISTS dialog_saved_db");
    const std::string odd = "x=1]; [y]", wide = "\xe6\x97\xa5\xe6\x9c\xac db 100%";
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_HOST, TestHost());
            SaveAs(dialog, "Test server", TestUser(), TestPassword(), "dialog_saved_db");
            std::string where = KeyringAnswers() ? " Its password is in the desktop's keyring."
                                                 : " No keyring answered: its password is in settings.ini, readable only by you.";
            EXPECT_EQ("Saved \"Test server\"." + where, ItemText(dialog, IDC_CONNECTIONNOTE));
            SaveAs(dialog, odd, "odd-user", "", "");
            EXPECT_EQ("Saved \"" + odd + "\".", ItemText(dialog, IDC_CONNECTIONNOTE));
            // One with TLS checked against a CA and a tunnel; the next ones
            // without.
            ShowRoute(dialog, 2, "/certs/ca.pem", "AB:CD", "bastion:2222", "me", "/keys/id_ed25519");
            SaveAs(dialog, wide, "wide-user", "", "wide_db");
            ShowRoute(dialog, 0, "", "", "", "", "");
            SaveAs(dialog, "Prod", "first", "", "");
            SaveAs(dialog, "prod", "second", "", "");
            EXPECT_EQ("prod|Test server|" + odd + "|" + wide, ComboItems(dialog, IDC_CONNECTIONNAME));

            Pick(dialog, odd);
            EXPECT_EQ("odd-user", ItemText(dialog, IDC_USER));
            EXPECT_EQ("", ItemText(dialog, IDC_PASSWORD));
            EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
            Pick(dialog, wide);
            EXPECT_EQ("wide-user", ItemText(dialog, IDC_USER));
            EXPECT_EQ("wide_db", ItemText(dialog, IDC_DATABASE));
            EXPECT_EQ("Verify CA|/certs/ca.pem|AB:CD|bastion:2222|me|/keys/id_ed25519", RouteText(dialog));
            Pick(dialog, "prod");
            EXPECT_EQ("second", ItemText(dialog, IDC_USER));
            EXPECT_EQ("Preferred|||||", RouteText(dialog));
            PressItem(dialog, IDCANCEL);
        })
        .Then([&](HWND dialog) {
            // Cancel wrote nothing of [connection]; the saved ones stay.
            EXPECT_EQ("", ItemText(dialog, IDC_CONNECTIONNAME));
            Pick(dialog, "Test server");
            EXPECT_EQ(TestUser(), ItemText(dialog, IDC_USER));
            EXPECT_EQ("dialog_saved_db", ItemText(dialog, IDC_DATABASE));
            EXPECT_EQ(SAVED_PASSWORD_PLACEHOLDER, ItemText(dialog, IDC_PASSWORD));
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND dialog) {
            EXPECT_EQ("Test server", ItemText(dialog, IDC_CONNECTIONNAME));
            SetItemText(dialog, IDC_CONNECTIONNAME, odd);
            PressItem(dialog, IDC_DELETECONNECTION);
        })
        .Then([&](HWND box) {
            EXPECT_EQ("Delete the saved connection \"" + odd + "\"?", MessageBoxText(box));
            PressItem(box, IDYES);
        })
        .Then([&](HWND dialog) {
            EXPECT_EQ("prod|Test server|" + wide, ComboItems(dialog, IDC_CONNECTIONNAME));
            EXPECT_EQ("Deleted \"" + odd + "\".", ItemText(dialog, IDC_CONNECTIONNOTE));
            PressItem(dialog, IDCANCEL);
        });
    Run();
    Run();
    ASSERT_EQ(1u, CreateRequests.size());
    CONNECTIONINFO *connection = LastConnection();
    ASSERT_TRUE(connection && connection->Handle);
    EXPECT_STREQ("Test server", connection->Name);
    EXPECT_STREQ(TestPassword(), connection->Password);
    EXPECT_STREQ("dialog_saved_db", connection->Database);
    EXPECT_EQ("dialog_saved_db", QueryValue(connection->Handle, "select database()"));
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());

    // As the file keeps them: one section each, the name's odd bytes
    // escaped, the password where it went.
    std::string bytes = ReadBytes(settings);
    EXPECT_NE(std::string::npos, bytes.find("[connection:Test server]\r\n")) << bytes;
    EXPECT_NE(std::string::npos, bytes.find("[connection:%E6%97%A5%E6%9C%AC db 100%25]\r\n")) << bytes;
    // TLS and the tunnel after the database, only where they are set.
    EXPECT_NE(std::string::npos, bytes.find("database=wide_db\r\ntls=verify-ca\r\ntlsca=/certs/ca.pem\r\n"
                                            "tlsfingerprint=AB:CD\r\nsshhost=bastion:2222\r\nsshuser=me\r\n"
                                            "sshkey=/keys/id_ed25519\r\n"))
        << bytes;
    EXPECT_EQ(1u, Occurrences(bytes, "tls="));
    EXPECT_EQ(TlsPreferred, connection->Route.TlsMode);
    EXPECT_STREQ("", connection->Route.SshHost);
    EXPECT_EQ(std::string::npos, bytes.find("[connection:x")) << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("Prod")) << bytes;
    if (KeyringAnswers()) {
        EXPECT_EQ(std::string::npos, bytes.find(TestPassword())) << bytes;
        EXPECT_EQ(TestPassword(), KeyringPassword(settings, "connection:test server"));
    }
    ExecSql(mysql, "DROP DATABASE dialog_saved_db");
    mysql_close(mysql);
}

// A database the server does not know fails the connect with its reason;
// one it knows is where the window starts.
TEST_F(ConnectionDialogTest, TheDatabaseFieldIsWhereTheWindowStarts)
{
    std::string message;
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_DATABASE, "dialog_no_such_db");
            ConnectSavingThePassword(dialog);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            PressItem(box, IDOK);
        })
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_DATABASE, " information_schema ");
            PressItem(dialog, IDOK);
        });
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("Can't establish connection\n\nUnknown database 'dialog_no_such_db'", message);
    ASSERT_EQ(1u, CreateRequests.size());
    ASSERT_TRUE(LastConnection() && LastConnection()->Handle);
    EXPECT_STREQ("information_schema", LastConnection()->Database);
    EXPECT_EQ("information_schema", QueryValue(LastConnection()->Handle, "select database()"));
    EXPECT_EQ(Expected("localhost", TestUser(), TestPassword(), true, false, "information_schema"), ReadBytes(settings));
}

// Where no keyring answers (app_tests_without_keyring): the password goes
// into settings.ini, readable by its owner only, and the user is told so
// once, on OK; "Save" says it in the dialog.
class PasswordFallback : public ConnectionDialogTest {};

TEST_F(PasswordFallback, WithoutAKeyringThePasswordStaysInTheFileAndTheDialogSaysSo)
{
    if (KeyringAnswers()) GTEST_SKIP() << "runs where no keyring answers (app_tests_without_keyring)";
    std::string notice;
    driver.Then(ConnectSavingThePassword).Then([&](HWND box) {
        notice = MessageBoxText(box);
        PressItem(box, IDOK);
    });
    Run();
    EXPECT_EQ("No keyring answered, so the password was saved in clear text in " + settings +
                  ", which only you can read.",
              notice);
    EXPECT_EQ(Expected("localhost", TestUser(), TestPassword(), true, false), ReadBytes(settings));
    EXPECT_EQ(0600, UnixFileMode(settings));
    driver.Then([&](HWND dialog) {
        SaveAs(dialog, "Here", TestUser(), TestPassword(), "");
        EXPECT_EQ("Saved \"Here\". No keyring answered: its password is in settings.ini, readable only by you.",
                  ItemText(dialog, IDC_CONNECTIONNOTE));
        PressItem(dialog, IDOK);
    });
    Run();
    EXPECT_EQ(2u, CreateRequests.size());
    EXPECT_TRUE(driver.Unexpected.empty()) << "the notice came again for a password already in the file";
}

TEST_F(ConnectionDialogTest, StoredSavePasswordOtherThanOneGivesNoSavedPassword)
{
    StoreSettings(2, TestPassword());
    driver.Then([&](HWND dialog) {
        EXPECT_EQ("", ItemText(dialog, IDC_PASSWORD));
        EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ConnectionDialogTest, LongValuesAreSavedWholeAndReadBackCutTo255Characters)
{
    std::string longUser(300, 'u');
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_USER, longUser);
            SetItemText(dialog, IDC_PASSWORD, "x");
            ClickItem(dialog, IDC_SAVEPASSWORD);
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) { PressItem(box, IDOK); })
        .Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    Run();
    EXPECT_NE(std::string::npos, ReadBytes(settings).find("user=" + longUser + "\r\n"));

    driver.Then([&](HWND dialog) {
        EXPECT_EQ(longUser.substr(0, 255), ItemText(dialog, IDC_USER));
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ConnectionDialogTest, StartLocalServerRunsTheEmbeddedServerScriptWithoutWaiting)
{
    char unixDirectory[] = "/tmp/vintrel-dialogs-start-XXXXXX";
    ASSERT_TRUE(mkdtemp(unixDirectory));
    std::string base = unixDirectory;
    std::string script = base + "/embedded-server.sh";
    // The script cannot finish before the test releases it (or ten seconds
    // pass), so a dialog that waited for it would find it finished.
    std::ofstream(script) << "[[ -n $BASH_VERSION ]] || exit 3\n"
                          << "echo \"$1\" > '" << base << "/started'\n"
                          << "for i in $(seq 100); do [ -e '" << base << "/release' ] && break; sleep 0.1; done\n"
                          << "touch '" << base << "/finished'\n";
    setenv("VINTREL_EMBEDDED_SERVER", script.c_str(), 1);

    driver.Then([&](HWND dialog) {
        SetItemText(dialog, IDC_USER, TestUser());
        SetItemText(dialog, IDC_PASSWORD, TestPassword());
        ClickItem(dialog, IDC_STARTSERVER);
        PressItem(dialog, IDOK);
    });
    Run();
    unsetenv("VINTREL_EMBEDDED_SERVER");
    EXPECT_FALSE(std::ifstream(base + "/finished").good());
    EXPECT_EQ(1u, CreateRequests.size());
    EXPECT_NE(std::string::npos, ReadBytes(settings).find("startmysql=0100000001\r\n"));
    EXPECT_TRUE(PumpUntil([&] { return std::ifstream(base + "/started").good(); }, 5000));
    std::string argument;
    std::ifstream(base + "/started") >> argument;
    EXPECT_EQ("start", argument);
    std::ofstream(base + "/release").put('\n');
    EXPECT_TRUE(PumpUntil([&] { return std::ifstream(base + "/finished").good(); }, 5000));
    for (const char *name : {"/embedded-server.sh", "/started", "/release", "/finished"}) remove((base + name).c_str());

    // A script that fails says why, in a box of its own.
    std::ofstream(script) << "echo 'starting' >&2\necho 'port 3306 is taken' >&2\nexit 1\n";
    setenv("VINTREL_EMBEDDED_SERVER", script.c_str(), 1);
    StartLocalServer();
    unsetenv("VINTREL_EMBEDDED_SERVER");
    HWND box = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (box = FindWindowA("#32770", "Vintrel")) != nullptr; }, 5000));
    if (box) {
        EXPECT_EQ("The local server could not be started.\n\nport 3306 is taken", MessageBoxText(box));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }, 5000));
    }
    remove(script.c_str());
    rmdir(unixDirectory);

    // The box is remembered.
    driver.Then([&](HWND dialog) {
        EXPECT_TRUE(ItemChecked(dialog, IDC_STARTSERVER));
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(ConnectionDialogTest, NewQueryWindowIsMaximizedWhenTheActiveOneIs)
{
    CONNECTIONINFO *first = OpenTestConnection();
    ASSERT_TRUE(first);
    HWND firstWindow = CreateQueryWindow(first, false);
    ASSERT_TRUE(firstWindow);
    SendMessageA(MdiClientWindow, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(firstWindow), 0);
    ASSERT_TRUE(ActiveQueryWindowMaximized());

    driver.Then([&](HWND dialog) {
        SetItemText(dialog, IDC_USER, TestUser());
        SetItemText(dialog, IDC_PASSWORD, TestPassword());
        PressItem(dialog, IDOK);
    });
    Run();
    ASSERT_EQ(2u, CreateRequests.size());
    EXPECT_EQ(static_cast<DWORD>(WS_CLIPCHILDREN), CreateRequests[0].Style);
    EXPECT_EQ(static_cast<DWORD>(WS_CLIPCHILDREN | WS_MAXIMIZE), CreateRequests[1].Style);
}

// The server answered but no window could hold the connection: the user is
// told so, and the dialog stays instead of closing as if connected.
TEST_F(ConnectionDialogTest, AQueryWindowThatCannotBeMadeIsReportedAndTheDialogStays)
{
    std::string message;
    bool dialogAfterMessage = false;
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_HOST, TestHost());
            SetItemText(dialog, IDC_USER, TestUser());
            SetItemText(dialog, IDC_PASSWORD, TestPassword());
            RefuseQueryWindows = true;
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            PressItem(box, IDOK);
        })
        .Then([&](HWND dialog) {
            dialogAfterMessage = true;
            PressItem(dialog, IDCANCEL);
        });
    Run();
    RefuseQueryWindows = false;
    EXPECT_NE(std::string::npos, message.find("no query window could be opened")) << message;
    EXPECT_TRUE(dialogAfterMessage);
    EXPECT_EQ(nullptr, (HWND)SendMessageA(MdiClientWindow, WM_MDIGETACTIVE, 0, 0));
}

TEST_F(ConnectionDialogTest, MissingClientLibraryIsNamedInsteadOfFailingSilently)
{
    LoadClientLibrary("libvintrel-no-such-client.so");
    std::string message;
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_USER, TestUser());
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            PressItem(box, IDOK);
        })
        .Then([&](HWND dialog) { PressItem(dialog, IDCANCEL); });
    Run();
    LoadClientLibrary("");
    EXPECT_NE(std::string::npos, message.find(DefaultClientLibraryName())) << message;
    EXPECT_TRUE(CreateRequests.empty());
    EXPECT_TRUE(driver.Unexpected.empty());
}

// Where settings.ini lives ------------------------------------------------------

// The user's application-data folder as the system hands it to every
// process (%APPDATA%), followed by \Vintrel.
std::string UserFolder()
{
    char appData[MAX_PATH] = "";
    ExpandEnvironmentStringsA("%APPDATA%", appData, sizeof appData);
    return std::string(appData) + "\\Vintrel";
}

int EntriesIn(const std::string &directory)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) count++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// The program's directory, set for a test and restored after it.
struct ProgramDirectory {
    explicit ProgramDirectory(const std::string &path)
    {
        snprintf(Saved, sizeof Saved, "%s", AppDirectory);
        snprintf(AppDirectory, sizeof AppDirectory, "%s", path.c_str());
    }
    ~ProgramDirectory() { snprintf(AppDirectory, sizeof AppDirectory, "%s", Saved); }
    char Saved[MAX_PATH];
};

// The user's settings folder emptied for a test; what was there is put back.
struct UserFolderSet {
    UserFolderSet() : Folder(UserFolder()), File(Folder + "\\settings.ini")
    {
        Had = FileExists(File);
        if (Had) Kept = ReadBytes(File);
        Clear();
    }
    ~UserFolderSet()
    {
        Clear();
        if (Had) {
            CreateDirectoryA(Folder.c_str(), nullptr);
            WriteBytes(File, Kept);
        }
    }
    void Clear()
    {
        SetFileAttributesA(File.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(File.c_str());
        RemoveDirectoryA(Folder.c_str());
        DeleteFileA(Folder.c_str());
    }
    std::string Folder, File, Kept;
    bool Had = false;
};

TEST(SettingsLocation, ADirectoryIsWritableOnlyWhenAFileCanBeMadeInIt)
{
    TempDirectory directory;
    EXPECT_TRUE(DirectoryWritable(directory.Path().c_str()));
    EXPECT_TRUE(DirectoryWritable(directory.Path().c_str())) << "the first probe was left behind";
    EXPECT_EQ(0, EntriesIn(directory.Path()));

    // Not there, a file in its place, no path at all, or a path so long that
    // no file fits in it.
    EXPECT_FALSE(DirectoryWritable(directory.File("missing").c_str()));
    EXPECT_FALSE(DirectoryWritable((directory.File("missing") + "\\deeper").c_str()));
    WriteBytes(directory.File("a-file"), "x");
    EXPECT_FALSE(DirectoryWritable(directory.File("a-file").c_str()));
    EXPECT_FALSE(DirectoryWritable(""));
    EXPECT_FALSE(DirectoryWritable(nullptr));
    EXPECT_FALSE(DirectoryWritable(directory.File(std::string(MAX_PATH, 'x')).c_str()));
    EXPECT_EQ(1, EntriesIn(directory.Path()));
}

std::string Probed;
bool ProbeSaysWritable(const char *directory) { return Probed = directory, true; }
bool ProbeSaysReadOnly(const char *directory) { return Probed = directory, false; }

TEST(SettingsLocation, TheProgramDirectoryWhenWritableElseTheUsersFolder)
{
    // The decision, whatever the rights of whoever runs the test (root
    // writes to read-only directories).
    EXPECT_EQ("D:\\Tools\\Vintrel", SettingsDirectory("D:\\Tools\\Vintrel", ProbeSaysWritable));
    EXPECT_EQ("D:\\Tools\\Vintrel", Probed);
    EXPECT_EQ(UserFolder(), SettingsDirectory("C:\\Program Files\\Vintrel", ProbeSaysReadOnly));
    EXPECT_EQ("C:\\Program Files\\Vintrel", Probed);
    EXPECT_EQ(UserFolder(), UserSettingsDirectory());
    EXPECT_NE(std::string::npos, UserFolder().find("\\AppData\\Roaming\\Vintrel")) << UserFolder();

    // With the real probe, on the program's own directory.
    TempDirectory directory;
    {
        ProgramDirectory program(directory.Path());
        EXPECT_EQ(directory.Path(), SettingsDirectory());
        // Where the installer put the program, writable or not: an
        // uninstall must not take the settings with it.
        WriteBytes(directory.File(INSTALLED_MARKER), "");
        EXPECT_EQ(UserFolder(), SettingsDirectory());
        DeleteFileA(directory.File(INSTALLED_MARKER).c_str());
    }
    {
        ProgramDirectory program(directory.File("not-there"));
        EXPECT_EQ(UserFolder(), SettingsDirectory());
    }
    WriteBytes(directory.File("a-file"), "x");
    ProgramDirectory program(directory.File("a-file"));
    EXPECT_EQ(UserFolder(), SettingsDirectory());
}

// As where an installer put the program: its directory cannot be written
// (here it is not there at all). The settings are read from and written to
// the user's folder, which the first save makes; a cancelled dialog leaves
// nothing behind.
TEST_F(ConnectionDialogTest, WithoutAWritableProgramDirectoryTheSettingsLiveInTheUsersFolder)
{
    UserFolderSet user;
    ProgramDirectory program(directory.File("not-there"));
    driver.Then([&](HWND dialog) {
        EXPECT_EQ("localhost", ItemText(dialog, IDC_HOST));
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_FALSE(FileExists(user.Folder));

    driver.Then(ConnectSavingThePassword);
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ(1u, CreateRequests.size());
    EXPECT_EQ(Expected("localhost", TestUser(), TestPassword(), true, false), ReadBytes(user.File));
    EXPECT_EQ(0600, UnixFileMode(user.File));
    EXPECT_FALSE(FileExists(directory.File("not-there")));

    // Read back from there at the next opening.
    driver.Then([&](HWND dialog) {
        EXPECT_EQ(TestUser(), ItemText(dialog, IDC_USER));
        EXPECT_EQ(SAVED_PASSWORD_PLACEHOLDER, ItemText(dialog, IDC_PASSWORD));
        PressItem(dialog, IDCANCEL);
    });
    Run();
    EXPECT_TRUE(driver.Unexpected.empty());
}

// When the user's folder cannot be made either (a file holds its name), the
// user is told which file could not be written, and the connect goes ahead.
TEST_F(ConnectionDialogTest, AUsersFolderThatCannotBeMadeIsReportedByItsPath)
{
    UserFolderSet user;
    WriteBytes(user.Folder, "not a folder");
    ProgramDirectory program(directory.File("not-there"));
    std::string message;
    driver
        .Then([&](HWND dialog) {
            SetItemText(dialog, IDC_USER, TestUser());
            SetItemText(dialog, IDC_PASSWORD, TestPassword());
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            PressItem(box, IDOK);
        });
    Run();
    EXPECT_NE(std::string::npos, message.find(user.File)) << message;
    EXPECT_EQ(1u, CreateRequests.size());
    EXPECT_EQ("not a folder", ReadBytes(user.Folder));
    EXPECT_TRUE(driver.Unexpected.empty());
}

} // namespace
