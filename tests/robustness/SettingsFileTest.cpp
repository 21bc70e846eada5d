// settings.ini that is not what the program wrote: random bytes, one line of
// a megabyte, a file that cannot be written. The real connect dialog runs
// over the real frame and, on OK, opens a real query window.
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

    // What a missing file gives.
    static void ExpectDefaults(HWND dialog)
    {
        EXPECT_EQ("localhost", ItemText(dialog, IDC_HOST));
        EXPECT_EQ("", ItemText(dialog, IDC_USER));
        EXPECT_EQ("", ItemText(dialog, IDC_PASSWORD));
        EXPECT_FALSE(ItemChecked(dialog, IDC_STARTSERVER));
        EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
    }

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

TEST_F(SettingsFile, RandomBytesReadAsDefaultsAndAnOkStillConnectsAndIsRemembered)
{
    std::mt19937 random(20240611);
    std::string bytes(64 << 10, '\0');
    for (char &byte : bytes) byte = static_cast<char>(random());
    bytes[0] = 'x'; // not a byte-order mark
    WriteUnixFile(settings, bytes);

    int windows = QueryWindowCount();
    driver.Then([&](HWND dialog) {
        ExpectDefaults(dialog);
        ConnectSavingThePassword(dialog);
    });
    Run();
    EXPECT_EQ(windows + 1, QueryWindowCount());
    ExpectSavedAccount();
    EXPECT_TRUE(driver.Unexpected.empty());
}

TEST_F(SettingsFile, OneLineOfAMegabyteReadsAsDefaultsOrIsCutTo255Characters)
{
    // No line break at all, and no section.
    WriteUnixFile(settings, "host=" + std::string(1 << 20, 'h'));
    driver.Then([&](HWND dialog) {
        ExpectDefaults(dialog);
        PressItem(dialog, IDCANCEL);
    });
    Run();

    // The section, then a value of a megabyte.
    WriteUnixFile(settings, "[connection]\r\nuser=" + std::string(1 << 20, 'u'));
    int windows = QueryWindowCount();
    driver.Then([&](HWND dialog) {
        EXPECT_EQ("localhost", ItemText(dialog, IDC_HOST));
        EXPECT_EQ(std::string(255, 'u'), ItemText(dialog, IDC_USER));
        EXPECT_FALSE(ItemChecked(dialog, IDC_SAVEPASSWORD));
        ConnectSavingThePassword(dialog);
    });
    Run();
    EXPECT_EQ(windows + 1, QueryWindowCount());
    ExpectSavedAccount();
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
