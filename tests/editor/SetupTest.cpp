// SetupEditor and EditorSubclassProc with a plain parent chain:
// query window (holding a CHILDDATA) > tab control stand-in > editor.
#include "EditorFixture.h"

#include "querywindow/EditorSetup.h"
#include "querywindow/EditorSubclass.h"
#include "querywindow/WindowRecords.h"

namespace {

std::vector<int> SaveCodes;

LRESULT CALLBACK TabsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        SaveCodes.push_back(int(reinterpret_cast<NMHDR *>(lParam)->code));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class SubclassTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CMRegisterControl(0x2100));
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.cbWndExtra = sizeof(void *);
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SubclassTestQuery";
        RegisterClassA(&windowClass);
        windowClass.lpfnWndProc = TabsProc;
        windowClass.lpszClassName = "SubclassTestTabs";
        RegisterClassA(&windowClass);
        query = CreateWindowExA(0, "SubclassTestQuery", "q", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
        tabs = CreateWindowExA(0, "SubclassTestTabs", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, query, nullptr,
                               nullptr, nullptr);
        editor = CreateWindowExA(0, CODEMAX_CLASS, "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, tabs,
                                 reinterpret_cast<HMENU>(IDC_EDITOR), nullptr, nullptr);
        ASSERT_TRUE(editor);
        child.Editor = editor;
        AttachState(query, &child);
        SetupEditor(editor);
        child.EditorProc = SubclassEditor(editor);
        SaveCodes.clear();
    }
    void TearDown() override
    {
        UnsubclassEditor(editor, child.EditorProc);
        DestroyWindow(query);
    }
    std::string Text()
    {
        int length = int(SendMessageA(editor, WM_EDITOR_GETTEXTLENGTH, 0, 1));
        std::string text(length + 1, '\0');
        SendMessageA(editor, WM_EDITOR_GETTEXT, 0, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(length);
        return text;
    }
    void Command(int id) { EXPECT_EQ(0, SendMessageA(editor, WM_COMMAND, id, 0)); }

    CHILDDATA child{};
    HWND query = nullptr, tabs = nullptr, editor = nullptr;
};

} // namespace

TEST(SetupEditor, RegistersMySqlWithItsFontAndColours)
{
    ASSERT_TRUE(CMRegisterControl(0x2100));
    HWND editor = CreateWindowExA(0, CODEMAX_CLASS, "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(editor);
    SetupEditor(editor);
    EXPECT_EQ(reinterpret_cast<LRESULT>(EditorFont), SendMessageA(editor, WM_GETFONT, 0, 0));
    EDITORCOLORS colors{};
    SendMessageA(editor, WM_EDITOR_GETCOLORS, 0, reinterpret_cast<LPARAM>(&colors));
    EXPECT_EQ(RGB(128, 128, 128), colors.Colors[10]);
    EXPECT_EQ(RGB(128, 128, 128), colors.Colors[12]);
    EXPECT_EQ(RGB(0, 128, 128), colors.Colors[14]);
    EXPECT_EQ(RGB(255, 0, 0), colors.Colors[16]);
    EXPECT_EQ(EDITOR_OK, SendMessageA(editor, WM_EDITOR_SETLANGUAGE, 0, reinterpret_cast<LPARAM>("mysql")));
    DestroyWindow(editor);
    int keywords = 0;
    for (const char *p = MySqlLanguage().Keywords; *p; ++p) keywords += *p == '\n';
    EXPECT_EQ(156, keywords);
}

TEST_F(SubclassTest, EditCommandsBecomeEditorOperations)
{
    SetWindowTextA(editor, "select 1");
    Command(113);  // Select All
    EDITORRANGE range{};
    SendMessageA(editor, WM_EDITOR_GETSEL, 1, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(9, range.End.Column);
    Command(109);  // Cut
    EXPECT_EQ("", Text());
    Command(111);  // Paste
    Command(111);
    EXPECT_EQ("select 1select 1", Text());
    Command(108);  // Undo
    EXPECT_EQ("select 1", Text());
    Command(123);  // Redo
    EXPECT_EQ("select 1select 1", Text());
    Command(113);
    Command(110);  // Copy
    Command(112);  // Delete
    EXPECT_EQ("", Text());
}

TEST_F(SubclassTest, SaveCommandsNotifyTheParent)
{
    Command(105);
    Command(106);
    ASSERT_EQ(2u, SaveCodes.size());
    EXPECT_EQ(401, SaveCodes[0]);
    EXPECT_EQ(402, SaveCodes[1]);
}

TEST_F(SubclassTest, RightButtonReleaseIsKeptFromTheEditor)
{
    EXPECT_EQ(0, SendMessageA(editor, WM_RBUTTONUP, 0, 0));
    EXPECT_TRUE(IsWindowUnicode(editor)) << "subclassed with the W function, typed text stays UTF-16";
    SendMessageW(editor, WM_CHAR, 0xFC, 1);
    EXPECT_EQ("\xC3\xBC", Text());
}
