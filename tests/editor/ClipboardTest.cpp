// Cut, copy and paste through the clipboard as CF_TEXT.
#include "EditorFixture.h"

namespace {

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr)) return "(not open)";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char *>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const std::string &text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

} // namespace

TEST_F(EditorTest, CopyPutsCrLfUtf8Text)
{
    SetText("select '\xC3\xBC'\nfrom t");
    Select(1, 8, 2, 5);
    Send(WM_EDITOR_COPY);
    EXPECT_EQ("'\xC3\xBC'\r\nfrom", ClipboardText());
    EXPECT_EQ(1, Send(WM_EDITOR_CANPASTE));
}

TEST_F(EditorTest, CutAndPasteWithKeys)
{
    SetText("abc def");
    Select(1, 1, 1, 5);
    Key('X', true);
    EXPECT_EQ("def", Text());
    EXPECT_EQ("abc ", ClipboardText());
    Key(VK_END);
    Key('V', true);
    EXPECT_EQ("defabc ", Text());
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("def", Text());
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("abc def", Text());
}

TEST_F(EditorTest, PasteMultiLineText)
{
    SetClipboardText("one\r\ntwo\nthree");
    Send(WM_EDITOR_PASTE);
    EXPECT_EQ("one\r\ntwo\r\nthree", Text());
    EXPECT_EQ(3, Sel().End.Line);
    EXPECT_EQ(6, Sel().End.Column);
    EXPECT_EQ(0, Send(WM_EDITOR_CANCUT));
}
