// The lexer with the "MySQL" definition, without a window.
#include <gtest/gtest.h>

#include "editor/Lexer.h"
#include "querywindow/EditorSetup.h"

namespace {

Language MySql() { return Language::FromDefinition(MySqlLanguage()); }

// One letter per byte: k keyword, o operator, b bracket, c comment, s
// string, n number, '.' text.
std::string Kinds(const std::string &line, uint8_t state = LexPlain, uint8_t *next = nullptr)
{
    Language language = MySql();
    std::vector<Token> tokens;
    uint8_t end = LexLine(language, line, state, &tokens);
    if (next) *next = end;
    std::string kinds(line.size(), '.');
    for (const Token &token : tokens)
        for (uint32_t i = token.start; i < token.start + token.length; ++i) kinds[i] = "tkobcsn"[token.kind];
    return kinds;
}

} // namespace

TEST(Lexer, KeywordsAnyCaseWholeWordsOnly)
{
    EXPECT_EQ("kkkkkk.o.kkkk.........", Kinds("SELECT *\tFrom selected"));
    EXPECT_EQ(".......", Kinds("select_"));
    EXPECT_EQ(".......", Kinds("xselect"));
}

TEST(Lexer, DashDashCommentOnlyWithSpace)
{
    EXPECT_EQ("n.ccccccccc", Kinds("1 -- note 2"));
    EXPECT_EQ("n.oon", Kinds("1 --2"));
    EXPECT_EQ("ccccc", Kinds("# abc"));
}

TEST(Lexer, OperatorsAndBrackets)
{
    EXPECT_EQ(".oo.n.b.o.b", Kinds("a:= 1 ( = )"));
    EXPECT_EQ("kkkkkkkkkkkkkk", std::string(Kinds("auto_increment")));
}

TEST(Lexer, BlockCommentAcrossLines)
{
    uint8_t state;
    EXPECT_EQ("kkkkkk.ccccccc", Kinds("select /* open", LexPlain, &state));
    EXPECT_EQ(LexBlockComment, state);
    EXPECT_EQ("cccccccc...kkkk", Kinds("still */ x from", state, &state));
    EXPECT_EQ(LexPlain, state);
}

TEST(Lexer, StringsWithEscapesAcrossLines)
{
    uint8_t state;
    EXPECT_EQ("kkkkkk.ssssssssss", Kinds("select 'it\\'s -- ", LexPlain, &state));
    EXPECT_EQ(LexStringBase, state);
    EXPECT_EQ("ssss.kkkk.ssssss", Kinds("end' from \"a\\\"b\"", state, &state));
    EXPECT_EQ(LexPlain, state);
    EXPECT_EQ("sss", Kinds("\"x\\", LexPlain, &state));
    EXPECT_EQ(LexStringBase + 1, state);
}

TEST(Lexer, QuotedNamesArePlain)
{
    EXPECT_EQ(".........kkkk", Kinds("`select` from"));
}
