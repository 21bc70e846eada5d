// Out of memory inside the window procedure (through the text buffer's
// test seam, FailTextChangeAfter): no exception leaves it, the message
// answers failure, and the text is as it was.
#include "EditorFixture.h"

#include "base/Clipboard.h"
#include "editor/TextBuffer.h"

namespace {

class FailureTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        SKIP_WHERE_THROWING_ABORTS();
    }
    void TearDown() override
    {
        FailTextChangeAfter(0);
        EditorTest::TearDown();
    }
};

} // namespace

TEST_F(FailureTest, LoadThatRunsOutOfMemoryLeavesTheText)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    std::string path = std::string(directory) + "vintrel_editor_failure.sql";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written;
    WriteFile(file, "\xFF\xFEx\0", 4, &written, nullptr);  // UTF-16: its encoding must not stick either
    CloseHandle(file);
    SetText("keep me");
    Type(u"!");
    notifications.clear();
    FailTextChangeAfter(1);
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(path.c_str())));
    DeleteFileA(path.c_str());
    EXPECT_EQ("!keep me", Text());
    EXPECT_EQ(0, CountNotifications(EDITORN_CHANGE));
    EXPECT_EQ(1, Send(WM_EDITOR_CANUNDO)) << "the history stays too";
    std::string saved = std::string(directory) + "vintrel_editor_failure_saved.sql";
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SAVEFILE, 0, reinterpret_cast<LPARAM>(saved.c_str())));
    file = CreateFileA(saved.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char bytes[16] = "";
    DWORD read = 0;
    ReadFile(file, bytes, sizeof bytes, &read, nullptr);
    CloseHandle(file);
    DeleteFileA(saved.c_str());
    EXPECT_EQ("!keep me", std::string(bytes, read)) << "still UTF-8";
}

TEST_F(FailureTest, PasteThatRunsOutOfMemoryHalfWayIsTakenBack)
{
    SetText("select a from t");
    Select(1, 8, 1, 9);
    const char replacement[] = "b,\r\nc";
    ASSERT_TRUE(CopyUtf8ToClipboard(nullptr, replacement, sizeof replacement - 1));
    FailTextChangeAfter(2);  // the selection is erased, then inserting fails
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_PASTE));
    EXPECT_EQ("select a from t", Text());
    EXPECT_EQ(0, Send(WM_EDITOR_CANUNDO));
    EDITORRANGE sel = Sel();
    EXPECT_EQ(8, sel.Start.Column);
    EXPECT_EQ(9, sel.End.Column) << "the selection is back";
    // The same through the keyboard; then the editor works on.
    FailTextChangeAfter(2);
    Key('V', true);
    EXPECT_EQ("select a from t", Text());
    Key('V', true);
    EXPECT_EQ("select b,\r\nc from t", Text());
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("select a from t", Text());
}

TEST_F(FailureTest, OtherMessagesAnswerFailure)
{
    SetText("abc");
    FailTextChangeAfter(1);
    EXPECT_FALSE(SetWindowTextA(editor, "xyz"));
    EXPECT_EQ("abc", Text());
    FailTextChangeAfter(1);
    Insert(1, 1, "x");
    EXPECT_EQ("abc", Text());
    FailTextChangeAfter(1);
    Type(u"q");
    EXPECT_EQ("abc", Text());
    Type(u"q");
    EXPECT_EQ("qabc", Text());
    FailTextChangeAfter(1);
    EXPECT_EQ(EDITOR_FAILED, Send(WM_EDITOR_UNDO));
    EXPECT_EQ("qabc", Text());
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_UNDO));
    EXPECT_EQ("abc", Text());
}
