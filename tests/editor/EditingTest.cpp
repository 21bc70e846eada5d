// Editing by keyboard and mouse, scrolling, undo and redo, find.
#include "EditorFixture.h"

#include <string>

TEST_F(EditorTest, TypingUtf16BecomesUtf8)
{
    Type(u"s\xFC\x20AC\U0001F600");
    EXPECT_EQ("s\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80", Text());
    EXPECT_EQ(11, Sel().End.Column);
    Key(VK_LEFT);
    EXPECT_EQ(7, Sel().End.Column) << "the caret steps over a whole character";
    Key(VK_BACK);
    EXPECT_EQ("s\xC3\xBC\xF0\x9F\x98\x80", Text());
    Key(VK_DELETE);
    EXPECT_EQ("s\xC3\xBC", Text());
}

TEST_F(EditorTest, EnterKeepsIndentationAndTabInserts)
{
    Type(u"  select");
    Key(VK_RETURN);
    Key(VK_TAB);
    Type(u"a");
    EXPECT_EQ("  select\r\n  \ta", Text());
}

TEST_F(EditorTest, CaretMovesByKeyboard)
{
    SetText("select a, b\nfrom t\n  where x");
    Key(VK_END, true);
    EXPECT_EQ(3, Sel().End.Line);
    EXPECT_EQ(10, Sel().End.Column);
    Key(VK_HOME);
    EXPECT_EQ(3, Sel().End.Column) << "Home goes to the indentation first";
    Key(VK_HOME);
    EXPECT_EQ(1, Sel().End.Column);
    Key(VK_UP);
    Key(VK_END);
    EXPECT_EQ(2, Sel().End.Line);
    EXPECT_EQ(7, Sel().End.Column);
    Key(VK_HOME, true);
    Key(VK_RIGHT, true);
    EXPECT_EQ(8, Sel().End.Column) << "Ctrl+Right skips the word and the space";
    Key(VK_RIGHT, true, true);
    EDITORRANGE sel = Sel(0);
    EXPECT_EQ(8, sel.Start.Column);
    EXPECT_EQ(9, sel.End.Column);
    Key(VK_LEFT, true);
    EXPECT_EQ(8, Sel(0).End.Column);
    Key(VK_DOWN);
    EXPECT_EQ(2, Sel().End.Line);
    EXPECT_EQ(7, Sel().End.Column) << "Down keeps within the shorter line";
}

TEST_F(EditorTest, UndoRedoGroupTypedRun)
{
    Type(u"select");
    Type(u" 1");
    EXPECT_EQ(1, Send(WM_EDITOR_CANUNDO));
    EXPECT_EQ(0, Send(WM_EDITOR_CANREDO));
    Key('Z', true);
    EXPECT_EQ("", Text());
    EXPECT_EQ(1, Send(WM_EDITOR_CANREDO));
    Key('Y', true);
    EXPECT_EQ("select 1", Text());
    Key(VK_LEFT);
    Type(u"x");
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("select 1", Text()) << "a caret move starts a new step";
}

TEST_F(EditorTest, BackspaceAndDeleteJoinLines)
{
    SetText("ab\ncd");
    Select(2, 1, 2, 1);
    Key(VK_BACK);
    EXPECT_EQ("abcd", Text());
    Key(VK_END);
    Key(VK_DELETE);
    EXPECT_EQ("abcd", Text());
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("ab\r\ncd", Text());
}

TEST_F(EditorTest, TypingReplacesSelection)
{
    SetText("select 1");
    Select(1, 8, 1, 9);
    Type(u"2");
    EXPECT_EQ("select 2", Text());
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("select 1", Text());
}

TEST_F(EditorTest, MouseClickDragAndDoubleClick)
{
    SetText("select column_name from t");
    RECT client;
    GetClientRect(editor, &client);
    // Measure a cell from the caret: column 8 is at 7 cells.
    Select(1, 8, 1, 8);
    SetFocus(editor);
    POINT caret;
    GetCaretPos(&caret);
    int cell = (caret.x - 4) / 7;
    ASSERT_GT(cell, 0);
    int y = 5;
    SendMessageW(editor, WM_LBUTTONDBLCLK, 0, MAKELPARAM(4 + 10 * cell, y));
    EDITORRANGE word = Sel(1);
    EXPECT_EQ(8, word.Start.Column);
    EXPECT_EQ(19, word.End.Column);
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(4 + 10 * cell, y));
    SendMessageW(editor, WM_LBUTTONDOWN, 0, MAKELPARAM(4 + 1 * cell, y));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(4 + 6 * cell, y));
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(4 + 6 * cell, y));
    EDITORRANGE drag = Sel(0);
    EXPECT_EQ(2, drag.Start.Column);
    EXPECT_EQ(7, drag.End.Column);
}

TEST_F(EditorTest, FindAndReplaceRequests)
{
    SetText("select a from t where a = 'A'; select A");
    FINDREPLACEA request{};
    request.lStructSize = sizeof request;
    char what[] = "a";
    char with[] = "bb";
    request.lpstrFindWhat = what;
    request.lpstrReplaceWith = with;
    request.Flags = FR_FINDNEXT | FR_DOWN | FR_WHOLEWORD | FR_MATCHCASE;
    UINT message = RegisterWindowMessageA(FINDMSGSTRINGA);
    SendMessageA(editor, message, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(8, Sel().Start.Column);
    SendMessageA(editor, message, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(23, Sel().Start.Column);
    request.Flags = FR_FINDNEXT | FR_WHOLEWORD;  // up, any case
    SendMessageA(editor, message, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(8, Sel().Start.Column);
    request.Flags = FR_REPLACEALL | FR_WHOLEWORD;
    SendMessageA(editor, message, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ("select bb from t where bb = 'bb'; select bb", Text());
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("select a from t where a = 'A'; select A", Text()) << "replace all is one step";

    // Without Match case, letters beyond ASCII fold as the grid's find folds them.
    SetText("x \xC3\x84RGER");
    char folded[] = "\xC3\xA4rger";
    request.lpstrFindWhat = folded;
    request.Flags = FR_FINDNEXT | FR_DOWN | FR_MATCHCASE;
    SendMessageA(editor, message, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_NE(3, Sel().Start.Column) << "case matters with Match case";
    request.Flags = FR_FINDNEXT | FR_DOWN;
    SendMessageA(editor, message, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(3, Sel().Start.Column);
}

TEST_F(EditorTest, FindDialogsOpen)
{
    SetText("select 1");
    Send(WM_EDITOR_EXECCMD, EDITORCMD_FIND);
    HWND find = FindWindowA(nullptr, "Find");
    EXPECT_TRUE(find != nullptr);
    Send(WM_EDITOR_EXECCMD, EDITORCMD_REPLACE);
    HWND replace = FindWindowA(nullptr, "Replace");
    EXPECT_TRUE(replace != nullptr);
    EXPECT_FALSE(IsWindow(find));
}

TEST_F(EditorTest, TabIndentsSelectedLines)
{
    SetText("select a\nfrom t\nwhere x");
    Select(1, 3, 2, 2);
    Key(VK_TAB);
    EXPECT_EQ("\tselect a\r\n\tfrom t\r\nwhere x", Text());
    Key(VK_TAB, false, true);
    EXPECT_EQ("select a\r\nfrom t\r\nwhere x", Text());
    Send(WM_EDITOR_UNDO);
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("select a\r\nfrom t\r\nwhere x", Text());
    EXPECT_EQ(0, Send(WM_EDITOR_CANUNDO));
}

TEST_F(EditorTest, ScrollingKeepsCaretInView)
{
    std::string text;
    for (int i = 1; i <= 500; ++i) text += "select " + std::to_string(i) + ";\n";
    SetText(text);
    EXPECT_EQ(0, GetScrollPos(editor, SB_VERT));
    Key(VK_NEXT);
    int page = Sel().End.Line - 1;
    EXPECT_GT(page, 5);
    EXPECT_GT(GetScrollPos(editor, SB_VERT), 0);
    Key(VK_END, true);
    EXPECT_EQ(501, Sel().End.Line);
    EXPECT_GT(GetScrollPos(editor, SB_VERT), 400) << "the caret is kept in view";
    Key(VK_HOME, true);
    EXPECT_EQ(0, GetScrollPos(editor, SB_VERT));
    SendMessageW(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_GT(GetScrollPos(editor, SB_VERT), 0);
    SendMessageW(editor, WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessageW(editor, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_GT(GetScrollPos(editor, SB_VERT), 400);
}

TEST_F(EditorTest, DragPastTheBottomScrolls)
{
    std::string text;
    for (int i = 1; i <= 200; ++i) text += "select " + std::to_string(i) + ";\n";
    SetText(text);
    RECT client;
    GetClientRect(editor, &client);
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 5));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, client.bottom + 40));
    POINT below{20, client.bottom + 40};
    ClientToScreen(editor, &below);
    SetCursorPos(below.x, below.y);
    for (int i = 0; i < 5; ++i) SendMessageW(editor, WM_TIMER, 1, 0);
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(20, client.bottom + 40));
    EXPECT_GT(GetScrollPos(editor, SB_VERT), 0);
    EDITORRANGE sel = Sel(0);
    EXPECT_EQ(1, sel.Start.Line);
    EXPECT_GT(sel.End.Line, client.bottom / 16);
}
