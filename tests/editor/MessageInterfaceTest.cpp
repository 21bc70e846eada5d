// The message interface: ranges, lengths, flags, notifications.
#include "EditorFixture.h"

#include <commctrl.h>

TEST_F(EditorTest, WholeTextAndLengthAgreeWithCrLf)
{
    SetText("select 1;\nselect 2;");
    EXPECT_EQ(20, Length());
    EXPECT_EQ("select 1;\r\nselect 2;", Text());
    SetText("");
    EXPECT_EQ(0, Length());
    EXPECT_EQ("", Text());
}

TEST_F(EditorTest, RangeTextAndLengthAgree)
{
    SetText("abc\r\ndef\r\nghi");
    EDITORRANGE range = Range(1, 2, 3, 2);
    EXPECT_EQ("bc\r\ndef\r\ng", Text(&range));
    EXPECT_EQ(10, Length(&range));
    EDITORRANGE reversed = Range(3, 2, 1, 2);
    EXPECT_EQ("bc\r\ndef\r\ng", Text(&reversed));
    EDITORRANGE past = Range(2, 99, 9, 9);
    EXPECT_EQ("\r\nghi", Text(&past));
    EDITORRANGE empty = Range(2, 2, 2, 2);
    EXPECT_EQ(0, Length(&empty));
}

TEST_F(EditorTest, SelectionFlags)
{
    SetText("one\ntwo\nthree");
    Select(3, 3, 1, 2);
    EDITORRANGE normal = Sel(1);
    EXPECT_EQ(1, normal.Start.Line);
    EXPECT_EQ(2, normal.Start.Column);
    EXPECT_EQ(3, normal.End.Line);
    EXPECT_EQ(3, normal.End.Column);
    EDITORRANGE caret = Sel(0);
    EXPECT_EQ(1, caret.End.Line) << "flag 0: End is the caret";
    EXPECT_EQ(2, caret.End.Column);
    EXPECT_EQ(3, caret.Start.Line);
}

TEST_F(EditorTest, PositionsCountFromOneAndSnapToCharacters)
{
    SetText("\xC3\xBC" "x");  // üx
    EDITORRANGE start = Sel();
    EXPECT_EQ(1, start.End.Line);
    EXPECT_EQ(1, start.End.Column);
    Select(1, 2, 1, 2);  // inside ü
    EXPECT_EQ(1, Sel().End.Column);
    Select(1, 3, 1, 3);
    EXPECT_EQ(3, Sel().End.Column);
    Select(5, 1, 5, 1);  // past the end
    EXPECT_EQ(1, Sel().End.Line);
    EXPECT_EQ(4, Sel().End.Column);
}

TEST_F(EditorTest, InsertTextMovesCaretAfterIt)
{
    SetText("select  from t");
    Insert(1, 8, "a,\r\nb");
    EXPECT_EQ("select a,\r\nb from t", Text());
    EDITORRANGE caret = Sel();
    EXPECT_EQ(2, caret.End.Line);
    EXPECT_EQ(2, caret.End.Column);
}

TEST_F(EditorTest, DeleteSelectionAndSelectAll)
{
    SetText("abc\ndef");
    Select(1, 2, 2, 2);
    Send(WM_EDITOR_DELETESEL);
    EXPECT_EQ("aef", Text());
    Send(WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL);
    EDITORRANGE all = Sel();
    EXPECT_EQ(1, all.Start.Column);
    EXPECT_EQ(4, all.End.Column);
    EXPECT_EQ(1, Send(WM_EDITOR_CANCUT));
    EXPECT_EQ(1, Send(WM_EDITOR_CANCOPY));
}

TEST_F(EditorTest, ReplaceSelectionIsOneUndoStep)
{
    SetText("abc\ndef");
    Select(1, 2, 2, 2);
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_REPLACESEL, 0, reinterpret_cast<LPARAM>("X\r\nY")));
    EXPECT_EQ("aX\r\nYef", Text());
    EXPECT_EQ(2, Sel().End.Line);
    EXPECT_EQ(2, Sel().End.Column);
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("abc\r\ndef", Text());
    EXPECT_EQ(EDITOR_BADARGUMENT, Send(WM_EDITOR_REPLACESEL, 0, 0));
}

// The query window's "Clear Window": the whole text replaced (or deleted) as
// one step, which one undo brings back exactly.
TEST_F(EditorTest, WholeTextReplacedAsOneUndoStep)
{
    const std::string text = "select 1;\r\n\t-- \xE6\x97\xA5\xF0\x9F\x98\x80\r\nselect 2;";
    SetText(text);
    Type(u"x");
    Send(WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL);
    Send(WM_EDITOR_REPLACESEL, 0, reinterpret_cast<LPARAM>(""));
    EXPECT_EQ("", Text());
    Key('Z', true);
    EXPECT_EQ("x" + text, Text());
    Send(WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL);
    Send(WM_EDITOR_REPLACESEL, 0, reinterpret_cast<LPARAM>("select 3;"));
    EXPECT_EQ("select 3;", Text());
    Key('Z', true);
    EXPECT_EQ("x" + text, Text());
    Send(WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL);
    Send(WM_EDITOR_DELETESEL);
    EXPECT_EQ("", Text());
    Key('Z', true);
    EXPECT_EQ("x" + text, Text()) << "select all and DELETESEL is one step too";
    Key('Z', true);
    EXPECT_EQ(text, Text());
}

TEST_F(EditorTest, NotificationsForChangesAndMoves)
{
    SetText("abc");
    EXPECT_EQ(1, CountNotifications(EDITORN_CHANGE));
    notifications.clear();
    Select(1, 2, 1, 2);
    EXPECT_EQ(0, CountNotifications(EDITORN_CHANGE));
    EXPECT_EQ(1, CountNotifications(EDITORN_SELCHANGE));
    notifications.clear();
    Type(u"x");
    EXPECT_EQ(1, CountNotifications(EDITORN_CHANGE));
    EXPECT_EQ(1, CountNotifications(EDITORN_SELCHANGE));
    notifications.clear();
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ(1, CountNotifications(EDITORN_CHANGE));
    notifications.clear();
    Send(WM_EDITOR_REDO);
    EXPECT_EQ(1, CountNotifications(EDITORN_CHANGE));
    notifications.clear();
    Insert(1, 1, "q");
    EXPECT_EQ(1, CountNotifications(EDITORN_CHANGE));
    notifications.clear();
    Key(VK_LEFT);
    EXPECT_EQ(0, CountNotifications(EDITORN_CHANGE));
    EXPECT_EQ(1, CountNotifications(EDITORN_SELCHANGE));
}

TEST_F(EditorTest, FocusNotifications)
{
    SetFocus(parent);
    notifications.clear();
    SetFocus(editor);
    EXPECT_EQ(1, CountNotifications(NM_SETFOCUS));
    SetFocus(parent);
    EXPECT_EQ(1, CountNotifications(NM_KILLFOCUS));
}

TEST_F(EditorTest, WindowTextCarriesUtf8ThroughAnsiCalls)
{
    const char *text = "SELECT 'Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC';\r\n-- \xE6\x97\xA5";
    ASSERT_TRUE(SetWindowTextA(editor, text));
    EXPECT_EQ(text, Text());
    char buffer[128] = "";
    int length = GetWindowTextA(editor, buffer, sizeof buffer);
    EXPECT_STREQ(text, buffer);
    EXPECT_EQ(static_cast<int>(strlen(text)), length);
    EXPECT_GE(GetWindowTextLengthA(editor), static_cast<int>(strlen(text)));
    SetWindowTextA(editor, "");
    EXPECT_EQ(0, Length());
}

TEST_F(EditorTest, ColoursAndSetupMessagesAreAccepted)
{
    EDITORCOLORS colors{};
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_GETCOLORS, 0, reinterpret_cast<LPARAM>(&colors)));
    colors.Colors[14] = RGB(1, 2, 3);
    EXPECT_EQ(EDITOR_OK, Send(WM_EDITOR_SETCOLORS, 0, reinterpret_cast<LPARAM>(&colors)));
    EDITORCOLORS again{};
    Send(WM_EDITOR_GETCOLORS, 0, reinterpret_cast<LPARAM>(&again));
    EXPECT_EQ(RGB(1, 2, 3), again.Colors[14]);
    char zeros[12] = {};
    EXPECT_EQ(EDITOR_OK, Send(2634, 1, 0));
    EXPECT_EQ(EDITOR_OK, Send(4784, 1, 0));
    EXPECT_EQ(EDITOR_OK, Send(2904, 0, 0));
    EXPECT_EQ(EDITOR_OK, Send(4724, 1, 1));
    EXPECT_EQ(EDITOR_OK, Send(4724, 0, 1));
    EXPECT_EQ(EDITOR_OK, Send(4804, 0, reinterpret_cast<LPARAM>(zeros)));
    EXPECT_EQ(EDITOR_OK, Send(4954, 0, 0));
}

TEST_F(EditorTest, WindowNameBecomesTheText)
{
    HWND named = CreateWindowExA(0, CODEMAX_CLASS, "select 1", WS_CHILD, 0, 0, 100, 100, parent, nullptr, nullptr,
                                 nullptr);
    ASSERT_TRUE(named);
    EXPECT_EQ(8, SendMessageA(named, WM_EDITOR_GETTEXTLENGTH, 0, 1));
    DestroyWindow(named);
}
