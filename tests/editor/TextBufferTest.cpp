// The text buffer and undo history, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "EditorFixture.h"
#include "base/Utf8.h"
#include "editor/TextBuffer.h"

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

namespace {

// The document's steps against a plain string with LF breaks and its
// history of whole texts. Steps merge as TextDocument says they do: a
// Typing, Backspace or Delete step that goes on where the last one of its
// kind ended, with nothing undone or redone in between.
class Model {
public:
    const std::string &Text() const { return history_[current_]; }
    void Step(TextDocument::StepKind kind, Selection before, Selection after, std::string text)
    {
        bool merge = kind != TextDocument::Other && mergeable_ && current_ + 1 == history_.size() &&
                     lastKind_ == kind && lastAfter_ == before;
        history_.resize(current_ + 1);
        if (merge) {
            history_[current_] = std::move(text);
        } else {
            history_.push_back(std::move(text));
            ++current_;
        }
        lastKind_ = kind;
        lastAfter_ = after;
        mergeable_ = kind != TextDocument::Other;
    }
    void Undo()
    {
        if (current_ == 0) return;
        --current_;
        mergeable_ = false;
    }
    void Redo()
    {
        if (current_ + 1 == history_.size()) return;
        ++current_;
        mergeable_ = false;
    }
    // A step that began and failed: the redo history is gone, nothing else.
    void Failed()
    {
        history_.resize(current_ + 1);
        mergeable_ = false;
    }

private:
    std::vector<std::string> history_{""};
    size_t current_ = 0;
    bool mergeable_ = false;
    TextDocument::StepKind lastKind_ = TextDocument::Other;
    Selection lastAfter_;
};

TextPos PosOf(const std::string &text, size_t offset)
{
    size_t lineStart = text.rfind('\n', offset == 0 ? std::string::npos : offset - 1);
    lineStart = (lineStart == std::string::npos || offset == 0) ? 0 : lineStart + 1;
    return {static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n')), static_cast<int>(offset - lineStart)};
}

} // namespace

// Thousands of random inserts, deletes, undos and redos of UTF-8 text (wide
// characters, 4-byte characters, CR LF) keep the document equal to the
// plain string; so do steps that fail half-way (the test seam) and are
// taken back.
TEST(TextDocument, RandomEditsMatchAPlainString)
{
    const char *const pieces[] = {"a", "xyz", "\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\n", "\r\n",
                                  "\t", " \xE6\x97\xA5\xF0\x9F\x98\x80\r\n-- ", "select 1;\n"};
    std::mt19937 random(20240611);
    auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    // A random character boundary of the text.
    auto boundary = [&](const std::string &text) { return utf8::Snap(text, below(text.size() + 1)); };
    TextDocument doc;
    Model model;
    size_t caret = 0;  // most edits go on where the last one ended, as typing does
    for (int i = 0; i < 5000; ++i) {
        const std::string text = model.Text();
        caret = utf8::Snap(text, std::min(caret, text.size()));
        bool goOn = below(4) != 0;
        size_t op = below(100);
        if (text.size() > 600 && op < 40) op += 40;  // keep the text small
        if (op < 40) {  // insert, typing or not
            size_t at = goOn ? caret : boundary(text);
            std::string piece = pieces[below(sizeof pieces / sizeof pieces[0])];
            TextDocument::StepKind kind = below(2) ? TextDocument::Typing : TextDocument::Other;
            TextPos pos = PosOf(text, at);
            doc.BeginStep(kind, {pos, pos});
            TextPos end = doc.Insert(pos, piece);
            doc.EndStep({end, end});
            std::string lf = piece;
            for (size_t cr; (cr = lf.find("\r\n")) != std::string::npos;) lf.erase(cr, 1);
            model.Step(kind, {pos, pos}, {end, end}, text.substr(0, at) + lf + text.substr(at));
            EXPECT_EQ(PosOf(model.Text(), at + lf.size()), end) << "step " << i;
            caret = at + lf.size();
        } else if (op < 65) {  // erase, by Backspace, Delete or a selection
            size_t how = below(3);
            size_t a = boundary(text), b = boundary(text);
            if (goOn && how == 0) a = utf8::Previous(text, b = caret);
            if (goOn && how == 1) b = utf8::Next(text, a = caret);
            if (a == b) continue;
            if (b < a) std::swap(a, b);
            TextPos from = PosOf(text, a), to = PosOf(text, b);
            TextDocument::StepKind kind =
                how == 0 ? TextDocument::Backspace : how == 1 ? TextDocument::DeleteForward : TextDocument::Other;
            Selection before = kind == TextDocument::Backspace ? Selection{to, to}
                               : kind == TextDocument::DeleteForward ? Selection{from, from}
                                                                    : Selection{from, to};
            doc.BeginStep(kind, before);
            doc.Erase(from, to);
            doc.EndStep({from, from});
            model.Step(kind, before, {from, from}, text.substr(0, a) + text.substr(b));
            caret = a;
        } else if (op < 80) {
            Selection ignored;
            doc.Undo(&ignored);
            model.Undo();
        } else if (op < 92) {
            Selection ignored;
            doc.Redo(&ignored);
            model.Redo();
        } else if (op < 96) {  // replace a range: two edits in one step
            size_t a = boundary(text), b = boundary(text);
            if (b < a) std::swap(a, b);
            std::string piece = pieces[below(sizeof pieces / sizeof pieces[0])];
            TextPos from = PosOf(text, a), to = PosOf(text, b);
            doc.BeginStep(TextDocument::Other, {from, to});
            doc.Erase(from, to);
            TextPos end = doc.Insert(from, piece);
            doc.EndStep({end, end});
            std::string lf = piece;
            for (size_t cr; (cr = lf.find("\r\n")) != std::string::npos;) lf.erase(cr, 1);
            model.Step(TextDocument::Other, {from, to}, {end, end}, text.substr(0, a) + lf + text.substr(b));
        } else {  // the same, failing at its second edit (or its first)
            size_t a = boundary(text), b = boundary(text);
            if (b <= a || ThrowingAborts) continue;
            TextPos from = PosOf(text, a), to = PosOf(text, b);
            doc.BeginStep(TextDocument::Other, {from, to});
            FailTextChangeAfter(static_cast<int>(1 + below(2)));
            EXPECT_THROW(
                {
                    doc.Erase(from, to);
                    doc.Insert(from, "x");
                },
                std::bad_alloc);
            FailTextChangeAfter(0);
            Selection restored;
            EXPECT_TRUE(doc.AbortStep(&restored));
            EXPECT_EQ(from, restored.anchor);
            model.Failed();
        }
        ASSERT_EQ(model.Text(), doc.Buffer().WholeText(false)) << "after step " << i << " (op " << op << ")";
        ASSERT_EQ(doc.Buffer().WholeText(true).size(), doc.Buffer().WholeLength(true));
    }
}

TEST(TextDocument, FailedChangesLeaveTextAndHistory)
{
    SKIP_WHERE_THROWING_ABORTS();
    TextDocument doc;
    doc.SetText("one\ntwo");
    FailTextChangeAfter(1);
    EXPECT_THROW(doc.SetText("three"), std::bad_alloc);
    EXPECT_EQ("one\ntwo", doc.Buffer().WholeText(false));
    doc.Insert({0, 3}, " and");
    FailTextChangeAfter(1);
    EXPECT_THROW(doc.Insert({1, 0}, "x\ny"), std::bad_alloc);
    FailTextChangeAfter(1);
    EXPECT_THROW(doc.Erase({0, 0}, {1, 1}), std::bad_alloc);
    EXPECT_EQ("one and\ntwo", doc.Buffer().WholeText(false)) << "an implicit step is taken back whole";
    Selection selection;
    FailTextChangeAfter(1);
    EXPECT_THROW(doc.Undo(&selection), std::bad_alloc);
    EXPECT_EQ("one and\ntwo", doc.Buffer().WholeText(false));
    EXPECT_TRUE(doc.Undo(&selection));
    EXPECT_EQ("one\ntwo", doc.Buffer().WholeText(false));
    EXPECT_FALSE(doc.CanUndo());
}
