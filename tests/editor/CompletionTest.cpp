// The completion list: shown at the caret, narrowed and widened by typing,
// moved by keys, inserting the chosen name; closed by what closes it.
#include "EditorFixture.h"

#include <string>
#include <vector>

namespace {

struct Candidate {
    std::string text, insert;
    uint16_t flags = 0;
};

const char *const Labels[] = {"name"};

// The list's own visibility (the test's parent window is never shown).
bool Shows(HWND list) { return (GetWindowLongPtrW(list, GWL_STYLE) & WS_VISIBLE) != 0; }

class CompletionTest : public EditorTest {
protected:
    LRESULT Show(const std::vector<Candidate> &candidates, int startColumn, uint32_t flags = 0)
    {
        std::vector<EDITORCOMPLETIONITEM> items;
        for (const Candidate &c : candidates) {
            EDITORCOMPLETIONITEM item{};
            item.Text = c.text.c_str();
            item.TextLength = static_cast<uint32_t>(c.text.size());
            if (!c.insert.empty()) {
                item.Insert = c.insert.c_str();
                item.InsertLength = static_cast<uint32_t>(c.insert.size());
            }
            item.Flags = c.flags;
            items.push_back(item);
        }
        EDITORCOMPLETION completion{startColumn, static_cast<uint32_t>(items.size()), items.data(), Labels, 1, flags};
        return Send(WM_EDITOR_SHOWCOMPLETION, 0, reinterpret_cast<LPARAM>(&completion));
    }
    EDITORCOMPLETIONSTATE State()
    {
        EDITORCOMPLETIONSTATE state{};
        Send(WM_EDITOR_GETCOMPLETION, 0, reinterpret_cast<LPARAM>(&state));
        return state;
    }
    // The shown names, joined by "|".
    std::string Shown()
    {
        std::string names;
        for (WPARAM row = 0;; row++) {
            LRESULT length = Send(WM_EDITOR_GETCOMPLETIONITEM, row, 0);
            if (length < 0) return names;
            std::string name(static_cast<size_t>(length) + 1, '\0');
            Send(WM_EDITOR_GETCOMPLETIONITEM, row, reinterpret_cast<LPARAM>(&name[0]));
            name.resize(static_cast<size_t>(length));
            names += (row ? "|" : "") + name;
        }
    }
    void TypeAtEnd(const std::string &text)
    {
        SetText(text);
        Key(VK_END, true);
    }

    const std::vector<Candidate> names = {{"customers", ""},
                                          {"accounts_cust", ""},
                                          {"\xC3\x84pfel", "`\xC3\x84pfel`"},
                                          {"order", "`order`"},
                                          {"CURRENT_DATE", "", EDITORCOMPLETIONITEM_TYPEDCASE},
                                          {"my table", "`my table`"}};
};

} // namespace

TEST_F(CompletionTest, TypingNarrowsBackspaceWidensKeysMoveEnterInserts)
{
    TypeAtEnd("select cu");
    EXPECT_EQ(3, Show(names, 8));
    EXPECT_EQ("customers|CURRENT_DATE|accounts_cust", Shown()) << "beginning with the typed part first";
    EXPECT_TRUE(Shows(State().List));
    Type(u"r");
    EXPECT_EQ("CURRENT_DATE", Shown());
    Key(VK_BACK);
    EXPECT_EQ("customers|CURRENT_DATE|accounts_cust", Shown());
    Key(VK_END);
    EXPECT_EQ(2, State().Selected);
    Key(VK_HOME);
    Key(VK_DOWN);
    EXPECT_EQ(1, State().Selected);
    EXPECT_EQ("select cu", Text()) << "the keys moved in the list, not in the text";
    Key(VK_RETURN);
    EXPECT_EQ("select current_date", Text()) << "a keyword in the case of the typed part, no line break";
    EXPECT_FALSE(State().Open);
    EXPECT_FALSE(Shows(State().List));
    EXPECT_EQ(1, CountNotifications(EDITORN_COMPLETIONCHOSEN));
    Send(WM_EDITOR_UNDO);
    EXPECT_EQ("select cu", Text()) << "the insertion is one undo step";
}

TEST_F(CompletionTest, QuotedAndMultiByteNamesMatchWithoutRegardToCase)
{
    TypeAtEnd("select `\xC3\xA4");  // "ä" finds "Äpfel"
    EXPECT_EQ(1, Show(names, 8));
    Key(VK_TAB);
    EXPECT_EQ("select `\xC3\x84pfel`", Text()) << "the opening backtick is replaced too";
    TypeAtEnd("select `my");
    Show(names, 8);
    Type(u" t");
    EXPECT_TRUE(State().Open) << "a space continues a backticked name";
    EXPECT_EQ("my table", Shown());
    Key(VK_RETURN);
    EXPECT_EQ("select `my table`", Text());
}

TEST_F(CompletionTest, WhatClosesTheListAndWhatOpensIt)
{
    TypeAtEnd("select x");
    Show(names, 8);
    EXPECT_TRUE(State().Open);
    EXPECT_EQ(0, State().Shown) << "nothing matches: open, hidden";
    EXPECT_FALSE(Shows(State().List));
    Key(VK_BACK);
    EXPECT_EQ(6, State().Shown) << "Backspace brings the list back";
    Key(VK_ESCAPE);
    EXPECT_FALSE(State().Open);

    Show(names, 8);
    Type(u"(");
    EXPECT_FALSE(State().Open) << "a character no name has";
    Show(names, 9);
    SendMessageW(editor, WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_FALSE(State().Open) << "a click in the text";

    Send(WM_EDITOR_SETCOMPLETIONTRIGGERS, 0, reinterpret_cast<LPARAM>("."));
    TypeAtEnd("select t");
    Type(u".");
    EXPECT_EQ(1, CountNotifications(EDITORN_COMPLETIONNEEDED));
    Key(VK_SPACE, true);
    Type(u" ");
    EXPECT_EQ(2, CountNotifications(EDITORN_COMPLETIONNEEDED)) << "Ctrl+Space without an accelerator";
    EXPECT_EQ("select t.", Text()) << "and its stray space dropped";

    TypeAtEnd("select ord");
    EXPECT_EQ(0, Show(names, 8, EDITORCOMPLETION_INSERTSINGLE));
    EXPECT_EQ("select `order`", Text()) << "a single candidate is inserted at once";
}

TEST_F(CompletionTest, RefreshKeepsTheTypedPartAndTheChoice)
{
    TypeAtEnd("select ci");
    Show({{"cities", ""}, {"cit", ""}}, 8);
    Key(VK_DOWN);
    EXPECT_EQ(3, Show({{"a_cit", ""}, {"cities", ""}, {"cit", ""}}, 1, EDITORCOMPLETION_REFRESH));
    EXPECT_EQ("cities|cit|a_cit", Shown());
    EXPECT_EQ(1, State().Selected) << "the chosen name stays chosen";
    EXPECT_EQ(8, State().Start.Column) << "the typed part stays";
}

// The list draws its own scroll bar: a click below the thumb moves a page,
// dragging the thumb to the end shows the last rows.
TEST_F(CompletionTest, TheListScrollsByItsOwnBar)
{
    std::vector<Candidate> many;
    for (int i = 0; i < 100; i++) many.push_back({"name_" + std::to_string(100 + i), ""});
    TypeAtEnd("select ");
    ASSERT_EQ(100, Show(many, 8));
    HWND list = State().List;
    RECT client;
    GetClientRect(list, &client);
    auto click = [&](int x, int y) {
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    };
    int bar = client.right - 2, bottom = client.bottom - 2;
    click(2, bottom);
    int rows = State().Selected + 1;
    ASSERT_GT(rows, 1);
    ASSERT_LT(rows, 100);
    click(bar, bottom);
    click(2, 2);
    EXPECT_EQ(rows, State().Selected) << "a page down";

    Key(VK_HOME);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar, 1));
    SendMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar, client.bottom + 40));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(bar, client.bottom + 40));
    click(2, bottom);
    EXPECT_EQ(99, State().Selected) << "the thumb dragged to the end";
    EXPECT_EQ("select ", Text());
}
