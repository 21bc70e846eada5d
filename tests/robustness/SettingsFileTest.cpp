// settings.ini that is not what the program wrote: random bytes, lines of a
// megabyte, wrong checksums, a file that cannot be written. The real connect
// dialog runs over the real frame and, on OK, opens a real query window.
#include "RobustnessSupport.h"

#include <random>

#include "DialogDriver.h"
#include "resources/resource.h"
#include "app/ConnectionDialog.h"

namespace {

class SettingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        TestFrame();
        snprintf(AppDirectory, sizeof AppDirectory, "%s", directory.Path().c_str());
        settings = directory.UnixFile("settings.ini");
    }
    void TearDown() override { CloseAllQueryWindows(); }

    // Runs the dialog; the driver answers it.
    void Run() { ShowConnectionDialog(TestFrame()); }

    // Types the test account with "Save password" set and presses OK.
    // The file now holds the account, whatever else it holds.
    void ExpectSavedAccount()
    {
        std::string bytes = ReadUnixFile(settings);
        for (std::string line : {std::string("[connection]"), std::string("savepassword=0100000001"),
                                 std::string("user=") + TestUser(), std::string("password=") + TestPassword()})
            EXPECT_NE(std::string::npos, bytes.find(line + "\r\n")) << line;
    }

    ScratchDirectory directory;
    std::string settings;
    DialogDriver driver;
};

// Files that are not what the program wrote read as a missing file does,
// values cut to 255 characters; an OK over them connects, and the file then
// holds the account.
TEST_F(SettingsFile, MalformedFilesReadAsDefaultsAndAnOkStillConnectsAndIsRemembered)
{
    std::mt19937 random(20240611);
    std::string randomBytes(64 << 10, '\0');
    for (char &byte : randomBytes) byte = static_cast<char>(random());
    randomBytes[0] = 'x'; // not a byte-order mark
    const std::string megabyte(1 << 20, 'x'), longLine(300000, 'x'), cut(255, 'x');
    struct Malformed {
        const char *Name;
        std::string Bytes, Host, User;
        bool ConnectOverIt;
    };
    const Malformed files[] = {
        {"random bytes", randomBytes, "localhost", "", true},
        {"one line of a megabyte, no section", "host=" + megabyte, "localhost", "", false},
        {"a value of a megabyte", "[connection]\r\nuser=" + megabyte, "localhost", cut, true},
        {"long lines", "[connection]\r\n" + longLine + "\r\nhost=" + longLine + "\r\nuser=" + longLine + "\r\n", cut,
         cut, false},
        {"wrong checksums", "[connection]\r\nsavepassword=0100000002\r\nstartmysql=01000000FF\r\npassword=secret\r\n",
         "localhost", "", false},
        {"not hexadecimal", "[connection]\r\nsavepassword=01000000zz\r\nstartmysql=1\r\n", "localhost", "", false},
        {"section name only", "[connection", "localhost", "", false},
        {"empty file", "", "localhost", "", false},
    };
    for (const Malformed &file : files) {
        SCOPED_TRACE(file.Name);
        WriteUnixFile(settings, file.Bytes);
        int windows = QueryWindowCount();
        driver.Then([&](HWND dialog) {
            EXPECT_EQ(file.Host, ItemText(dialog, IDC_HOST));
            EXPECT_EQ(file.User, ItemText(dialog, IDC_USER));
            EXPECT_EQ("", ItemText(dialog, IDC_PASSWORD));
            EXPECT_FALSE(ItemChecked(dialog, IDC_STARTSERVER));
            EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
            if (file.ConnectOverIt)
                ConnectSavingThePassword(dialog);
            else
                PressItem(dialog, IDCANCEL);
        });
        Run();
        if (!file.ConnectOverIt) continue;
        EXPECT_EQ(windows + 1, QueryWindowCount());
        ExpectSavedAccount();
    }
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenIsReportedKeptAndTheConnectGoesAhead)
{
    const std::string stored = std::string("[connection]\r\nsavepassword=0100000001\r\nstartmysql=0000000000\r\n") +
                               "host=" + TestHost() + "\r\nuser=" + TestUser() + "\r\npassword=" + TestPassword() +
                               "\r\n";
    WriteUnixFile(settings, stored);
    const std::string path = directory.File("settings.ini");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    // The read-only attribute does not stop root, under whom the tests may
    // run: another program also holds the file, sharing it for reading only.
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    // Clearing "Save password" would forget host and user, but the file
    // cannot take it: the user is told, and the saved password connects.
    int windows = QueryWindowCount();
    std::string message;
    bool dialogShownBehind = false;
    driver
        .Then([&](HWND dialog) {
            EXPECT_EQ(TestUser(), ItemText(dialog, IDC_USER));
            EXPECT_EQ(SAVED_PASSWORD_PLACEHOLDER, ItemText(dialog, IDC_PASSWORD));
            ClickItem(dialog, IDC_SAVEPASSWORD);
            PressItem(dialog, IDOK);
        })
        .Then([&](HWND box) {
            message = MessageBoxText(box);
            dialogShownBehind = IsWindowVisible(GetWindow(box, GW_OWNER));
            PressItem(box, IDOK);
        });
    Run();
    CloseHandle(holder);
    EXPECT_NE(std::string::npos, message.find(path)) << message;
    EXPECT_TRUE(dialogShownBehind);
    EXPECT_EQ(windows + 1, QueryWindowCount()) << "the connect went ahead";
    EXPECT_EQ(stored, ReadUnixFile(settings));
    EXPECT_TRUE(driver.Unexpected.empty());
}

} // namespace
