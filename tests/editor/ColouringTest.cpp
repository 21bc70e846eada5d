// Colouring of the "MySQL" language, checked on the painted pixels; the
// picture is also written to editor_colouring.bmp for a look.
#include "EditorFixture.h"

#include <cstdio>

#include "querywindow/EditorSetup.h"

namespace {

const COLORREF Keyword = RGB(0, 0, 255), Gray = RGB(128, 128, 128), Teal = RGB(0, 128, 128), Red = RGB(255, 0, 0),
               Black = RGB(0, 0, 0);

} // namespace

class ColouringTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        SetupEditor(editor);
        SetFocus(parent);  // no caret, no focused selection colours
        SetFocus(nullptr);
        Select(1, 1, 1, 1);
        Send(WM_EDITOR_GETSEL, 0, 0);
        HDC dc = GetDC(editor);
        HGDIOBJ old = SelectObject(dc, EditorFont);
        TEXTMETRICA metrics;
        GetTextMetricsA(dc, &metrics);
        SIZE size;
        GetTextExtentPoint32A(dc, "M", 1, &size);
        SelectObject(dc, old);
        ReleaseDC(editor, dc);
        cell = size.cx;
        lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    }
    // Pixels of a colour in the cells [col1, col2) of a line (1-based).
    int CountIn(const Picture &picture, COLORREF color, int line, int col1, int col2)
    {
        return picture.Count(color, 4 + (col1 - 1) * cell, (line - 1) * lineHeight, 4 + (col2 - 1) * cell,
                             line * lineHeight);
    }
    int cell = 8, lineHeight = 16;
};

TEST_F(ColouringTest, KeywordsOperatorsCommentsStrings)
{
    SetText("SELECT a.b, 'it\\'s' FROM selected -- note\n"
            "select --x\n"
            "/* open\n"
            "select */ select \"two\n"
            "lines\" # end");
    Picture picture(editor, 600, 300);
    picture.Save("editor_colouring.bmp");
    // Line 1: keyword, operator, string, keyword, a non-keyword, a comment.
    EXPECT_GT(CountIn(picture, Keyword, 1, 1, 7), 10);
    EXPECT_GT(CountIn(picture, Gray, 1, 9, 10), 0);
    EXPECT_GT(CountIn(picture, Red, 1, 13, 20), 10);
    EXPECT_GT(CountIn(picture, Keyword, 1, 21, 25), 10);
    EXPECT_EQ(0, CountIn(picture, Keyword, 1, 26, 34)) << "'selected' is no keyword";
    EXPECT_GT(CountIn(picture, Teal, 1, 35, 42), 10);
    // Line 2: "--x" is no comment.
    EXPECT_EQ(0, CountIn(picture, Teal, 2, 8, 11));
    EXPECT_GT(CountIn(picture, Gray, 2, 8, 10), 0);
    // Lines 3 and 4: the /* */ comment across lines, then a keyword.
    EXPECT_GT(CountIn(picture, Teal, 3, 1, 8), 10);
    EXPECT_GT(CountIn(picture, Teal, 4, 1, 10), 10);
    EXPECT_EQ(0, CountIn(picture, Keyword, 4, 1, 10));
    EXPECT_GT(CountIn(picture, Keyword, 4, 11, 17), 10);
    // Lines 4 and 5: a string across lines, then a # comment.
    EXPECT_GT(CountIn(picture, Red, 4, 18, 22), 10);
    EXPECT_GT(CountIn(picture, Red, 5, 1, 7), 10);
    EXPECT_GT(CountIn(picture, Teal, 5, 8, 13), 10);
}

TEST_F(ColouringTest, OpeningACommentRecoloursFollowingLines)
{
    SetText("select 1;\nselect 2;\nselect 3;");
    {
        Picture picture(editor, 600, 300);
        EXPECT_GT(CountIn(picture, Keyword, 3, 1, 7), 10);
    }
    Insert(1, 1, "/*");
    {
        Picture picture(editor, 600, 300);
        EXPECT_EQ(0, CountIn(picture, Keyword, 3, 1, 7));
        EXPECT_GT(CountIn(picture, Teal, 3, 1, 7), 10);
    }
    Send(WM_EDITOR_UNDO);
    Picture picture(editor, 600, 300);
    EXPECT_GT(CountIn(picture, Keyword, 3, 1, 7), 10);
}
