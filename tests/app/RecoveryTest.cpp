// Scripts recovered after a run that did not end normally: the real start-up
// with the real connect dialog and query windows, a recovery folder of the
// test's own. A run "dies" by the end of the user's session (WM_ENDSESSION),
// which leaves its set behind as a kill does, or by leaving a set unlocked.
#include "QueryWindowFixture.h"

#include <string>
#include <vector>

#include "DialogDriver.h"
#include "TestFiles.h"
#include "app/RecoveryStartup.h"
#include "app/Startup.h"
#include "editor/CodeMaxControl.h"
#include "querywindow/FrameServices.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/RecoveryFiles.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"

namespace {

std::vector<std::string> Names(const std::string &pattern, bool directories)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != ".." && ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directories)
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class Recovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedClient = MdiClientWindow;
        RegisterProgramClasses();
    }
    void TearDown() override
    {
        if (IsWindow(frame)) DestroyWindow(frame);
        PumpMessages(20);
        FinishScriptRecovery();
        MdiClientWindow = savedClient;
    }

    // The sets in the recovery folder, and the copies in them.
    std::vector<std::string> Sets()
    {
        std::vector<std::string> sets;
        for (const std::string &name : Names(root.File("*"), true))
            if (name != DAMAGED_FOLDER) sets.push_back(name);
        return sets;
    }
    int Copies()
    {
        int count = 0;
        for (const std::string &set : Sets()) count += (int)Names(root.File(set + "\\*.vrec"), false).size();
        return count;
    }

    // The program's start-up: the connect dialog filled with the test
    // account, then the question, answered.
    void StartConnecting(int answer, std::string *question = nullptr, bool *yesIsDefault = nullptr)
    {
        driver.Then([](HWND dialog) {
            SetItemText(dialog, IDC_HOST, TestHost());
            SetItemText(dialog, IDC_USER, TestUser());
            SetItemText(dialog, IDC_PASSWORD, TestPassword());
            PressItem(dialog, IDOK);
        });
        if (answer)
            driver.Then([=](HWND box) {
                if (question) *question = MessageBoxText(box);
                if (yesIsDefault)
                    *yesIsDefault =
                        (GetWindowLongA(GetDlgItem(box, IDYES), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
                PressItem(box, answer);
            });
        frame = StartVintrel(GetModuleHandleA(nullptr));
        PumpMessages(50);
    }

    void Command(UINT command) { SendMessageA(frame, WM_COMMAND, MAKEWPARAM(command, 0), 0); }

    TempDirectory root;
    DialogDriver driver;
    HWND frame = nullptr;
    HWND savedClient = nullptr;
};

CHILDDATA *Child(HWND window) { return StateOf<CHILDDATA>(window); }

std::string Text(HWND window) { return EditorText(Child(window)); }

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void Type(HWND window, const char *keys)
{
    for (const char *key = keys; *key; key++) SendMessageW(Child(window)->Editor, WM_CHAR, (WCHAR)*key, 1);
}

// Two windows with typed text, one of them an opened Windows-1252 file; the
// session ends under them. At the next start Yes brings both back as they
// were; closed on purpose they leave nothing, and after a normal exit there
// is nothing to ask about.
TEST_F(Recovery, ScriptsOfASessionThatEndedUnderThemComeBackWithYes)
{
    ASSERT_EQ(0, StartScriptRecovery(root.Path()));
    StartConnecting(0);
    HWND opened = ActiveQueryWindow();
    ASSERT_NE(nullptr, opened);
    std::string path = root.File("latin1.sql");
    WriteBytes(path, "select 'caf\xE9'");
    driver.Then([&](HWND dialog) {
        SetFileDialogName(dialog, path);
        PressItem(dialog, IDOK);
    });
    Command(CMD_OPEN);
    Type(opened, "-- ");
    Command(CMD_NEWBLANK);
    HWND typed = ActiveQueryWindow();
    ASSERT_NE(opened, typed);
    SetEditorText(Child(typed), "select 2;\r\nselect 3;");
    EDITORRANGE caret = {{2, 4}, {2, 4}};
    SendMessageA(Child(typed)->Editor, WM_EDITOR_SETSEL, 0, (LPARAM)&caret);
    // Nothing is written while the keys come; a moment later both are.
    EXPECT_EQ(0, Copies());
    EXPECT_TRUE(PumpUntil([&] { return Copies() == 2; }, 5000));

    SendMessageA(frame, WM_ENDSESSION, TRUE, 0);
    DestroyWindow(frame);
    PumpMessages(20);
    FinishScriptRecovery();
    ASSERT_EQ(2, Copies()) << "the copies outlive a run that did not end normally";

    ASSERT_EQ(2, StartScriptRecovery(root.Path()));
    std::string question;
    bool yesIsDefault = false;
    StartConnecting(IDYES, &question, &yesIsDefault);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("Restore 2 unsaved script(s) from the last session?", question);
    EXPECT_TRUE(yesIsDefault);
    EXPECT_EQ(2, CountQueryWindows(frame, 0)) << "the first took the place of the connect's window";
    HWND second = ActiveQueryWindow();
    HWND first = GetWindow(second, GW_HWNDNEXT);
    ASSERT_TRUE(IsQueryWindow(first) && IsQueryWindow(second));
    EXPECT_EQ("select 2;\r\nselect 3;", Text(second));
    EXPECT_TRUE(EndsWith(Title(second), " - Untitled2*")) << Title(second);
    EDITORRANGE at = {};
    SendMessageA(Child(second)->Editor, WM_EDITOR_GETSEL, 0, (LPARAM)&at);
    EXPECT_EQ(2, at.End.Line);
    EXPECT_EQ(4, at.End.Column);
    EXPECT_EQ("-- select 'caf\xC3\xA9'", Text(first));
    EXPECT_TRUE(EndsWith(Title(first), " - " + path + "*")) << Title(first);
    EXPECT_EQ(1u, Sets().size()) << "the old set is gone, the restored scripts are in the new one";
    EXPECT_EQ(2, Copies());

    // Saved where it came from, in its own encoding.
    SendMessageA(MdiClientWindow, WM_MDIACTIVATE, (WPARAM)first, 0);
    Command(CMD_SAVE);
    EXPECT_EQ("-- select 'caf\xE9'", ReadBytes(path));
    SendMessageA(first, WM_CLOSE, 0, 0);
    driver.Then([](HWND box) { PressItem(box, IDNO); });
    SendMessageA(second, WM_CLOSE, 0, 0);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_TRUE(PumpUntil([&] { return Copies() == 0; }, 5000)) << "closed on purpose, nothing is left";

    DestroyWindow(frame);
    FinishScriptRecovery();
    EXPECT_TRUE(Sets().empty());
    EXPECT_EQ(0, StartScriptRecovery(root.Path()));
}

// A set left by a killed run holds a script, a copy half written when it
// died, and two damaged files; another run is alive with a set of its own.
// No discards the dead run's script; the damaged files are noted and set
// aside, and the living run's set is left alone until it ends.
TEST_F(Recovery, NoDiscardsDamagedFilesAreNotedAndAnotherRunsSetIsLeftAlone)
{
    RECOVERYSET dead, alive;
    ASSERT_TRUE(CreateRecoverySet(root.Path(), &dead));
    RECOVERYSCRIPT script;
    script.FileName = "Untitled1";
    script.Text = "select 'dead run'";
    ASSERT_TRUE(WriteRecoveryFile(dead.Folder + "\\script-000001.vrec", script));
    std::string whole = ReadBytes(dead.Folder + "\\script-000001.vrec");
    WriteBytes(dead.Folder + "\\script-000001.vrec.tmp", whole.substr(0, 30));
    WriteBytes(dead.Folder + "\\script-000002.vrec", "\x01\x02 not a recovery file");
    WriteBytes(dead.Folder + "\\script-000003.vrec", whole.substr(0, whole.size() - 3));
    ReleaseRecoverySet(&dead);
    ASSERT_TRUE(CreateRecoverySet(root.Path(), &alive));
    script.Text = "select 'living run'";
    ASSERT_TRUE(WriteRecoveryFile(alive.Folder + "\\script-000001.vrec", script));

    ASSERT_EQ(1, StartScriptRecovery(root.Path()));
    std::string question;
    StartConnecting(IDNO, &question);
    EXPECT_TRUE(driver.Unexpected.empty());
    EXPECT_EQ("Restore 1 unsaved script(s) from the last session?", question);
    HWND window = ActiveQueryWindow();
    ASSERT_TRUE(IsQueryWindow(window));
    EXPECT_EQ(1, CountQueryWindows(frame, 0));
    EXPECT_EQ("", Text(window));
    EXPECT_TRUE(EndsWith(Title(window), " - Untitled1")) << Title(window);
    std::vector<std::string> damaged = Names(root.File(DAMAGED_FOLDER "\\*"), false);
    EXPECT_EQ(2u, damaged.size());
    std::string note = MessagePaneText(Child(window));
    for (const std::string &name : damaged) {
        std::string kept = root.File(DAMAGED_FOLDER "\\" + name);
        EXPECT_NE(std::string::npos, note.find("could not be read and was skipped: " + kept)) << note;
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dead.Folder.c_str()));
    EXPECT_TRUE(FileExists(alive.Folder + "\\script-000001.vrec"));

    DestroyWindow(frame);
    FinishScriptRecovery();
    // The other run dies too: its script is the next run's to offer.
    ReleaseRecoverySet(&alive);
    EXPECT_EQ(1, StartScriptRecovery(root.Path()));
}

} // namespace
