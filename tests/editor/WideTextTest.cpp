// Text beyond ASCII: AltGr characters, wide East Asian characters and emoji
// (two cells), 4-byte characters as one, input methods, and their glyphs
// (font links of the test prefix, scripts/wineprefix.sh).
#include "EditorFixture.h"

#include <imm.h>

#include <vector>

namespace {

// 日 本 😀, U+0378 (unassigned: no font has it) and the replacement "?".
const char *const Sun = "\xE6\x97\xA5", *const Book = "\xE6\x9C\xAC", *const Grin = "\xF0\x9F\x98\x80",
                  *const Unassigned = "\xCD\xB8";

class WideTextTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        font = CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Courier New");
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        SetFocus(editor);
        SetText("MM");
        Select(1, 1, 1, 1);
        left = CaretX();
        Select(1, 2, 1, 2);
        cell = CaretX() - left;
        ASSERT_GT(cell, 3);
        SetText("");
    }
    void TearDown() override
    {
        EditorTest::TearDown();
        DeleteObject(font);
    }
    int CaretX()
    {
        POINT caret;
        GetCaretPos(&caret);
        return caret.x;
    }
    // The caret's x in cells from the text's left edge.
    int CaretCells() { return (CaretX() - left) / cell; }
    void Click(double cells, int line = 1)
    {
        int x = left + static_cast<int>(cells * cell), y = (line - 1) * 16 + 5;
        SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    HFONT font = nullptr;
    int left = 4, cell = 8;
};

} // namespace

TEST_F(EditorTest, AltGrMakesCharactersNotCommands)
{
    SetText("abc");
    Key(VK_END);
    Key('A', true, false, true);  // AltGr+A on a Polish keyboard
    SendMessageW(editor, WM_CHAR, 0x0105, 1);
    EXPECT_EQ("abc\xC4\x85", Text()) << "no Select All before the character";
    EXPECT_EQ(6, Sel(0).Start.Column);
    EXPECT_EQ(6, Sel(0).End.Column);
    Key('Z', true, false, true);
    SendMessageW(editor, WM_CHAR, 0x017C, 1);  // ż
    EXPECT_EQ("abc\xC4\x85\xC5\xBC", Text()) << "no undo";
    Select(1, 1, 1, 2);
    Key('X', true, false, true);
    EXPECT_EQ("abc\xC4\x85\xC5\xBC", Text()) << "no cut";
    SendMessageW(editor, WM_CHAR, 0x017A, 1);  // ź
    EXPECT_EQ("\xC5\xBA" "bc\xC4\x85\xC5\xBC", Text());
    Key('V', true, false, true);
    EXPECT_EQ("\xC5\xBA" "bc\xC4\x85\xC5\xBC", Text()) << "no paste";
    // Ctrl alone still commands.
    Key('A', true);
    EXPECT_EQ(1, Sel().Start.Column);
    EXPECT_EQ(9, Sel().End.Column);
}

TEST_F(WideTextTest, WideCharactersTakeTwoCells)
{
    SetText(std::string("a") + Sun + "b" + Grin + "c\nabcdefgh");
    Select(1, 2, 1, 2);
    EXPECT_EQ(1, CaretCells());
    Select(1, 5, 1, 5);
    EXPECT_EQ(3, CaretCells()) << "after a and a wide character";
    Select(1, 6, 1, 6);
    EXPECT_EQ(4, CaretCells());
    Select(1, 10, 1, 10);
    EXPECT_EQ(6, CaretCells()) << "an emoji is two cells too";
    Key(VK_END);
    EXPECT_EQ(11, Sel().End.Column);
    EXPECT_EQ(7, CaretCells());
    Key(VK_HOME);
    EXPECT_EQ(0, CaretCells());
    // The mouse: the left half of a wide character puts the caret before it,
    // the right half after it.
    Click(1.4);
    EXPECT_EQ(2, Sel().End.Column);
    Click(2.6);
    EXPECT_EQ(5, Sel().End.Column);
    Click(4.8);
    EXPECT_EQ(6, Sel().End.Column);
    Click(5.2);
    EXPECT_EQ(10, Sel().End.Column);
    // Up and Down keep the cell, not the byte column.
    Select(1, 5, 1, 5);
    Key(VK_DOWN);
    EXPECT_EQ(2, Sel().End.Line);
    EXPECT_EQ(4, Sel().End.Column);
    Key(VK_RIGHT);
    Key(VK_UP);
    EXPECT_EQ(6, Sel().End.Column) << "cell 4 is after b";
}

TEST_F(WideTextTest, FourByteCharacterIsOneCharacter)
{
    SetText(std::string("x") + Grin + Sun + "y");
    Select(1, 9, 1, 9);  // after 日
    Key(VK_LEFT, false, true);
    Key(VK_LEFT, false, true);
    EDITORRANGE sel = Sel(0);
    EXPECT_EQ(9, sel.Start.Column);
    EXPECT_EQ(2, sel.End.Column) << "Shift+Left takes 日 and 😀 whole";
    Select(1, 2, 1, 2);
    Key(VK_RIGHT, false, true);
    EXPECT_EQ(6, Sel(0).End.Column);
    Key(VK_DELETE);
    EXPECT_EQ(std::string("x") + Sun + "y", Text());
    Send(WM_EDITOR_UNDO);
    Select(1, 6, 1, 6);
    Key(VK_BACK);
    EXPECT_EQ(std::string("x") + Sun + "y", Text());
    Key(VK_DELETE);
    EXPECT_EQ("xy", Text());
    SetText(Grin);
    Select(1, 3, 1, 3);  // inside the character
    EXPECT_EQ(1, Sel().End.Column);
}

TEST_F(WideTextTest, HorizontalScrollCountsCells)
{
    std::string line;
    for (int i = 0; i < 200; ++i) line += Sun;
    SetText(line);
    RECT client;
    GetClientRect(editor, &client);
    int visible = (client.right - left) / cell;
    Key(VK_END);
    EXPECT_EQ(601, Sel().End.Column);
    int position = GetScrollPos(editor, SB_HORZ);
    EXPECT_GT(position, 400 - visible) << "200 wide characters are 400 cells";
    EXPECT_LE(position, 400);
    EXPECT_GE(CaretX(), left);
    EXPECT_LT(CaretX(), client.right);
    Key(VK_HOME);
    EXPECT_EQ(0, GetScrollPos(editor, SB_HORZ));
}

TEST_F(WideTextTest, SelectionCoversBothCells)
{
    SetText(std::string("a") + Sun + "b");
    Select(1, 2, 1, 5);
    RECT client;
    GetClientRect(editor, &client);
    Picture picture(editor, client.right, client.bottom);
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    auto inCell = [&](int index) { return picture.Count(highlight, left + index * cell, 0, left + (index + 1) * cell, 16); };
    EXPECT_EQ(0, inCell(0));
    EXPECT_GT(inCell(1), 0);
    EXPECT_GT(inCell(2), 0) << "the wide character's second cell";
    EXPECT_EQ(0, inCell(3)) << "b is not selected";
}

TEST_F(WideTextTest, InputMethodCharactersAndResults)
{
    SendMessageW(editor, WM_IME_CHAR, 0x65E5, 1);
    SendMessageW(editor, WM_IME_CHAR, 0xD83D, 1);
    SendMessageW(editor, WM_IME_CHAR, 0xDE00, 1);
    EXPECT_EQ(std::string(Sun) + Grin, Text());

    HIMC context = ImmGetContext(editor);
    ASSERT_TRUE(context != nullptr);
    SendMessageW(editor, WM_IME_STARTCOMPOSITION, 0, 0);
    const WCHAR book[] = {0x672C, 0};
    ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<WCHAR *>(book), sizeof book - sizeof(WCHAR), nullptr, 0);
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    ImmReleaseContext(editor, context);
    EXPECT_EQ(std::string(Sun) + Grin + Book, Text());
}

TEST_F(WideTextTest, CompositionWindowFollowsTheCaret)
{
    SetText("ab");
    Key(VK_END);
    SendMessageW(editor, WM_IME_STARTCOMPOSITION, 0, 0);
    HIMC context = ImmGetContext(editor);
    ASSERT_TRUE(context != nullptr);
    COMPOSITIONFORM form{};
    ASSERT_TRUE(ImmGetCompositionWindow(context, &form));
    EXPECT_EQ(CaretX(), form.ptCurrentPos.x);
    Type(u"\x65E5");
    ASSERT_TRUE(ImmGetCompositionWindow(context, &form));
    EXPECT_EQ(left + 4 * cell, form.ptCurrentPos.x);
    Key(VK_RETURN);
    ASSERT_TRUE(ImmGetCompositionWindow(context, &form));
    EXPECT_EQ(left, form.ptCurrentPos.x);
    EXPECT_GT(form.ptCurrentPos.y, 0);
    SendMessageW(editor, WM_IME_ENDCOMPOSITION, 0, 0);
    ImmReleaseContext(editor, context);
}

namespace {

// Which pixels of a box are not the window's white.
std::vector<bool> Ink(const Picture &picture, int x0, int y0, int x1, int y1)
{
    std::vector<bool> ink;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) ink.push_back(picture.At(x, y) != RGB(255, 255, 255));
    return ink;
}

int Count(const std::vector<bool> &ink)
{
    int count = 0;
    for (bool b : ink) count += b;
    return count;
}

} // namespace

// CJK and emoji glyphs come from the fonts linked to "Courier New" (the
// query window's editor font), not the missing-glyph box: the ink of each
// cell differs from that of an unassigned code point and of "?", and a wide
// glyph inks its second cell too (a box of the fixed-pitch font would not).
TEST_F(WideTextTest, CjkAndEmojiShowAsGlyphs)
{
    SetText(std::string(Sun) + Book + "\n" + Grin + "\n" + Unassigned + "\n?");
    SetFocus(parent);  // no caret
    RECT client;
    GetClientRect(editor, &client);
    Picture picture(editor, client.right, client.bottom);
    picture.Save("editor_wide_glyphs.bmp");
    HDC dc = GetDC(editor);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(editor, dc);
    int height = metrics.tmHeight + metrics.tmExternalLeading;
    auto cellInk = [&](int line, int index) {
        return Ink(picture, left + index * cell, (line - 1) * height, left + (index + 1) * cell, line * height);
    };
    std::vector<bool> missing = cellInk(3, 0), question = cellInk(4, 0);
    struct Glyph {
        const char *name;
        int line, index;
    } glyphs[] = {{"\xE6\x97\xA5", 1, 0}, {"\xE6\x9C\xAC", 1, 2}, {"\xF0\x9F\x98\x80", 2, 0}};
    for (const Glyph &glyph : glyphs) {
        std::vector<bool> first = cellInk(glyph.line, glyph.index), second = cellInk(glyph.line, glyph.index + 1);
        EXPECT_GT(Count(first), 10) << glyph.name;
        EXPECT_GT(Count(second), 10) << glyph.name << " inks its second cell";
        EXPECT_NE(missing, first) << glyph.name << " is not the missing-glyph box";
        EXPECT_NE(question, first) << glyph.name << " is not a question mark";
    }
}
