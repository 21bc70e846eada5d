// The text buffer and undo history, without a window.
#include <gtest/gtest.h>

#include "editor/TextBuffer.h"
#include "editor/Utf8.h"

TEST(TextBuffer, SplitsLfAndCrLfAndKeepsLoneCr)
{
    TextBuffer buffer;
    buffer.SetText("a\r\nb\nc\rd");
    ASSERT_EQ(3, buffer.LineCount());
    EXPECT_EQ("c\rd", buffer.Line(2));
    EXPECT_EQ("a\r\nb\r\nc\rd", buffer.WholeText(true));
    EXPECT_EQ(buffer.WholeText(true).size(), buffer.WholeLength(true));
}

TEST(TextBuffer, InsertAndEraseAcrossLines)
{
    TextBuffer buffer;
    buffer.SetText("hello world");
    TextPos end = buffer.Insert({0, 5}, ",\r\nnew\nline");
    EXPECT_EQ(2, end.line);
    EXPECT_EQ(4, end.col);
    EXPECT_EQ("hello,\nnew\nline world", buffer.WholeText(false));
    EXPECT_EQ("new\nli", buffer.Erase({1, 0}, {2, 2}));
    EXPECT_EQ("hello,\nne world", buffer.WholeText(false));
    EXPECT_EQ(buffer.WholeText(true).size(), buffer.WholeLength(true));
    EXPECT_EQ(7u, buffer.Length({0, 3}, {1, 2}, true));
}

TEST(TextBuffer, ClampSnapsToCharacterStart)
{
    TextBuffer buffer;
    buffer.SetText("a\xC3\xBC" "b");  // a ü b
    EXPECT_EQ(1, buffer.Clamp({0, 2}).col);
    EXPECT_EQ(4, buffer.Clamp({0, 99}).col);
    EXPECT_EQ(0, buffer.Clamp({5, 1}).line + 0);
}

TEST(Utf8, InvalidBytesAreSingleCharacters)
{
    std::string text = "\xFF\xC3\xBC\xE2\x82";
    EXPECT_EQ(1u, utf8::Next(text, 0));
    EXPECT_EQ(3u, utf8::Next(text, 1));
    EXPECT_EQ(4u, utf8::Next(text, 3));
    EXPECT_EQ(1u, utf8::Previous(text, 3));
    EXPECT_EQ(1u, utf8::Snap(text, 2));
    EXPECT_EQ(u"\xFC", utf8::ToUtf16("\xC3\xBC"));
    EXPECT_EQ("\xF0\x9F\x98\x80", utf8::FromUtf16(u"\U0001F600", 2));
}

TEST(TextDocument, TypedRunIsOneUndoStep)
{
    TextDocument doc;
    Selection sel;
    for (char c : std::string("select")) {
        doc.BeginStep(TextDocument::Typing, sel);
        TextPos end = doc.Insert(sel.caret, std::string(1, c));
        sel = {end, end};
        doc.EndStep(sel);
    }
    doc.BeginStep(TextDocument::Other, sel);
    TextPos end = doc.Insert(sel.caret, "\n");
    sel = {end, end};
    doc.EndStep(sel);
    EXPECT_EQ("select\n", doc.Buffer().WholeText(false));
    ASSERT_TRUE(doc.Undo(&sel));
    EXPECT_EQ("select", doc.Buffer().WholeText(false));
    ASSERT_TRUE(doc.Undo(&sel));
    EXPECT_EQ("", doc.Buffer().WholeText(false));
    EXPECT_FALSE(doc.CanUndo());
    ASSERT_TRUE(doc.Redo(&sel));
    EXPECT_EQ("select", doc.Buffer().WholeText(false));
    EXPECT_EQ(6, sel.caret.col);
}

TEST(TextDocument, BackspaceRunAndBreakMerge)
{
    TextDocument doc;
    doc.SetText("abcdef");
    Selection sel{{0, 6}, {0, 6}};
    for (int i = 0; i < 3; ++i) {
        doc.BeginStep(TextDocument::Backspace, sel);
        doc.Erase({0, sel.caret.col - 1}, sel.caret);
        sel = {{0, sel.caret.col - 1}, {0, sel.caret.col - 1}};
        doc.EndStep(sel);
    }
    EXPECT_EQ("abc", doc.Buffer().WholeText(false));
    doc.Undo(&sel);
    EXPECT_EQ("abcdef", doc.Buffer().WholeText(false));
    EXPECT_EQ(6, sel.caret.col);
}

TEST(TextDocument, NewEditDropsRedo)
{
    TextDocument doc;
    doc.Insert({0, 0}, "one");
    Selection sel;
    doc.Undo(&sel);
    EXPECT_TRUE(doc.CanRedo());
    doc.Insert({0, 0}, "two");
    EXPECT_FALSE(doc.CanRedo());
}
