// Start-up: how the frame is shown, the first connect dialog, the keys of
// the loop; and the Windows build started without any client library.
#include "TestSupport.h"

#include <sys/stat.h>

#include <string>

#include "DialogDriver.h"
#include "app/FrameWindow.h"
#include "app/Startup.h"
#include "querywindow/FrameServices.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"

namespace {

TEST(Startup, FrameShowsMaximizedUnlessStartedMinimizedWithoutActivation)
{
    EXPECT_EQ(SW_SHOWMAXIMIZED, FrameShowCommandFor(false, 0));
    EXPECT_EQ(SW_SHOWMAXIMIZED, FrameShowCommandFor(true, SW_SHOWNORMAL));
    EXPECT_EQ(SW_SHOWMAXIMIZED, FrameShowCommandFor(true, SW_SHOWMAXIMIZED));
    EXPECT_EQ(SW_SHOWMAXIMIZED, FrameShowCommandFor(true, SW_SHOWMINIMIZED));
    EXPECT_EQ(SW_SHOWMINNOACTIVE, FrameShowCommandFor(true, SW_SHOWMINNOACTIVE));
}

// Presses a key with Ctrl held, as the message loop would see it.
bool TranslateCtrlKey(HWND frame, HACCEL accelerators, WPARAM key)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG message = {frame, WM_KEYDOWN, key, 0, GetTickCount(), {0, 0}};
    bool taken = TranslateProgramMessage(frame, accelerators, &message);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    return taken;
}

TEST(Startup, CancelInTheFirstDialogLeavesTheFrameEmptyAndCtrlOOpensItAgain)
{
    RegisterProgramClasses();
    std::string firstTitle, secondTitle;
    DialogDriver driver;
    driver.Then([&](HWND dialog) {
        firstTitle = WindowText(dialog);
        PressItem(dialog, IDCANCEL);
    });
    HWND frame = StartVintrel(GetModuleHandleA(nullptr));
    ASSERT_TRUE(IsWindow(frame));
    EXPECT_EQ("Connect to MySQL Server", firstTitle);
    EXPECT_TRUE(IsZoomed(frame));
    EXPECT_EQ(nullptr, GetWindow(MdiClientWindow, GW_CHILD));
    EXPECT_EQ(0, CountQueryWindows(frame, 0));

    driver.Then([&](HWND dialog) {
        secondTitle = WindowText(dialog);
        PressItem(dialog, IDCANCEL);
    });
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    EXPECT_TRUE(TranslateCtrlKey(frame, accelerators, 'O'));
    EXPECT_EQ("Connect to MySQL Server", secondTitle);
    // Ctrl+N does nothing while no query window exists: its item is grayed.
    EXPECT_FALSE(TranslateCtrlKey(frame, accelerators, 'N') && GetWindow(MdiClientWindow, GW_CHILD));
    EXPECT_EQ(nullptr, GetWindow(MdiClientWindow, GW_CHILD));
    EXPECT_TRUE(driver.Unexpected.empty());
    DestroyWindow(frame);
    PumpMessages();
}

// The whole way in: the first connect dialog, filled with the test
// account, opens a real query window on the server.
TEST(Startup, ConnectingInTheFirstDialogOpensAQueryWindow)
{
    RegisterProgramClasses();
    DialogDriver driver;
    driver.Then([&](HWND dialog) {
        SetItemText(dialog, IDC_HOST, TestHost());
        SetItemText(dialog, IDC_USER, TestUser());
        SetItemText(dialog, IDC_PASSWORD, TestPassword());
        PressItem(dialog, IDOK);
    });
    HWND frame = StartVintrel(GetModuleHandleA(nullptr));
    ASSERT_TRUE(IsWindow(frame));
    PumpMessages(50);
    EXPECT_TRUE(driver.Unexpected.empty());
    HWND window = ActiveQueryWindow();
    ASSERT_NE(nullptr, window);
    CHILDDATA *child = StateOf<CHILDDATA>(window);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(1, CountQueryWindows(frame, 0));
    EXPECT_STREQ(TestHost(), child->Connection->Host);
    EXPECT_EQ(std::string(TestUser()) + "@localhost", child->Connection->ServerUser);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_EQ(std::string("Query - localhost.mysql.") + TestUser() + "@localhost - Untitled1", title);
    child->Modified = 0;
    DestroyWindow(frame);
    PumpMessages();
}

struct FoundBox {
    DWORD process;
    std::string text;
};

BOOL CALLBACK FindProcessMessageBox(HWND window, LPARAM parameter)
{
    FoundBox *found = reinterpret_cast<FoundBox *>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (process != found->process || strcmp(name, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    for (HWND item = GetWindow(window, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT)) {
        char text[1024] = "";
        GetWindowTextA(item, text, sizeof text);
        if (strstr(text, "client library")) found->text = text;
    }
    return found->text.empty();
}

// The Windows build, run under Wine where no libmysql.dll exists: the
// program says which file it looked for, and opens all the same. It runs
// from a copy, for the build directory has the client library beside the
// executable.
TEST(WindowsBuild, SaysPlainlyThatTheClientLibraryIsMissing)
{
    struct stat info;
    if (stat(VINTREL_WINDOWS_EXE, &info) != 0) GTEST_SKIP() << "no Windows build at " << VINTREL_WINDOWS_EXE;
    char directory[] = "/tmp/vintrel-nolib.XXXXXX";
    ASSERT_TRUE(mkdtemp(directory));
    std::string copy = std::string(directory) + "/vintrel.exe";
    ASSERT_EQ(0, system(("cp '" + std::string(VINTREL_WINDOWS_EXE) + "' " + copy).c_str()));
    std::string path = "Z:" + copy;
    for (char &c : path)
        if (c == '/') c = '\\';
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    FoundBox found = {process.dwProcessId, ""};
    DWORD start = GetTickCount();
    while (found.text.empty() && GetTickCount() - start < 30000) {
        EnumWindows(FindProcessMessageBox, (LPARAM)&found);
        PumpMessages(100);
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    system(("rm -rf " + std::string(directory)).c_str());
    EXPECT_NE(std::string::npos, found.text.find("could not be loaded")) << found.text;
    EXPECT_NE(std::string::npos, found.text.find("\"libmysql.dll\"")) << found.text;
}

} // namespace
