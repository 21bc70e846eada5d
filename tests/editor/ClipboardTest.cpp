// Cut, copy and paste: CF_UNICODETEXT out, CF_UNICODETEXT (or CF_TEXT) in.
#include "EditorFixture.h"

#include "base/Clipboard.h"

namespace {

std::u16string ClipboardUnicode()
{
    std::u16string text;
    if (!OpenClipboard(nullptr)) return u"(not open)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const char16_t *>(GlobalLock(data));
        GlobalUnlock(data);
    } else {
        text = u"(no CF_UNICODETEXT)";
    }
    CloseClipboard();
    return text;
}

void SetClipboard(UINT format, const void *data, size_t bytes)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), data, bytes);
    GlobalUnlock(memory);
    SetClipboardData(format, memory);
    CloseClipboard();
}

void SetClipboardUnicode(const std::u16string &text)
{
    SetClipboard(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

void SetClipboardAnsi(const std::string &text) { SetClipboard(CF_TEXT, text.c_str(), text.size() + 1); }

void EmptyTheClipboard()
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

} // namespace

TEST_F(EditorTest, CopyPutsCrLfUnicodeText)
{
    SetText("select '\xC3\xBC\xE6\x97\xA5\xF0\x9F\x98\x80'\nfrom t");
    Select(1, 8, 2, 5);
    Send(WM_EDITOR_COPY);
    EXPECT_EQ(u"'\xFC\x65E5\U0001F600'\r\nfrom", ClipboardUnicode());
    EXPECT_EQ(1, Send(WM_EDITOR_CANPASTE));
}

TEST_F(EditorTest, CopyReplacesInvalidBytes)
{
    Insert(1, 1, "a\xFF" "b\xC3");
    Send(WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL);
    Send(WM_EDITOR_COPY);
    EXPECT_EQ(u"a\xFFFD" u"b\xFFFD", ClipboardUnicode());
}

TEST_F(EditorTest, CutAndPasteWithKeys)
{
    SetText("abc def");
    Select(1, 1, 1, 5);
    Key('X', true);
    EXPECT_EQ("def", Text());
    EXPECT_EQ(u"abc ", ClipboardUnicode());
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
    SetClipboardUnicode(u"one\r\ntwo\nthree");
    Send(WM_EDITOR_PASTE);
    EXPECT_EQ("one\r\ntwo\r\nthree", Text());
    EXPECT_EQ(3, Sel().End.Line);
    EXPECT_EQ(6, Sel().End.Column);
    EXPECT_EQ(0, Send(WM_EDITOR_CANCUT));
}

TEST_F(EditorTest, PasteUnicodeBecomesUtf8)
{
    SetClipboardUnicode(u"\x65E5\x672C \U0001F600 \xFC");
    Send(WM_EDITOR_PASTE);
    EXPECT_EQ("\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 \xC3\xBC", Text());
    SetText("");
    SetClipboardUnicode(std::u16string(u"x\xD800y"));
    Send(WM_EDITOR_PASTE);
    EXPECT_EQ("x\xEF\xBF\xBDy", Text()) << "an unpaired surrogate becomes U+FFFD";
}

TEST_F(EditorTest, PasteTakesCfText)
{
    // The system offers CF_UNICODETEXT for it too (converted from the ANSI
    // code page), which the editor reads first.
    SetClipboardAnsi("select 1");
    EXPECT_EQ(1, Send(WM_EDITOR_CANPASTE));
    Send(WM_EDITOR_PASTE);
    EXPECT_EQ("select 1", Text());
}

TEST_F(EditorTest, CanPasteAnswersForEitherFormat)
{
    EmptyTheClipboard();
    EXPECT_EQ(0, Send(WM_EDITOR_CANPASTE));
    SetText("keep");
    Send(WM_EDITOR_PASTE);
    EXPECT_EQ("keep", Text());
    SetClipboardUnicode(u"x");
    EXPECT_EQ(1, Send(WM_EDITOR_CANPASTE));
    SetClipboardAnsi("x");
    EXPECT_EQ(1, Send(WM_EDITOR_CANPASTE));
}

TEST(Clipboard, FunctionsForOtherWindowsRoundTripUtf8)
{
    const std::string text = "a\r\n\xE6\x97\xA5\xF0\x9F\x98\x80";
    ASSERT_TRUE(CopyUtf8ToClipboard(nullptr, text.data(), text.size()));
    EXPECT_EQ(u"a\r\n\x65E5\U0001F600", ClipboardUnicode());
    std::string back;
    ASSERT_TRUE(PasteUtf8FromClipboard(nullptr, back));
    EXPECT_EQ(text, back);
    EXPECT_TRUE(ClipboardHasText());
}
