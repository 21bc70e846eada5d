// Caret and word motion over the text, without a window.
#include <gtest/gtest.h>

#include <string>

#include "editor/CaretMotion.h"

namespace {

// Line 0 holds a word, punctuation, blanks, and "ü日x" (bytes 18-23: two,
// three and one byte long) between quotes; line 1 starts indented.
TextBuffer Script()
{
    TextBuffer buffer;
    buffer.SetText("select t.col_1,  '\xC3\xBC\xE6\x97\xA5x'\n  from t;");
    return buffer;
}

std::string At(TextPos pos) { return std::to_string(pos.line) + "," + std::to_string(pos.col); }
std::string Span(Selection sel) { return At(sel.anchor) + "-" + At(sel.caret); }

struct Move {
    const char *what;
    TextPos (*move)(const TextBuffer &, TextPos);
    TextPos from, to;
};

const Move Moves[] = {
    {"a word and the blank after it", WordRight, {0, 0}, {0, 7}},
    {"a word up to punctuation", WordRight, {0, 9}, {0, 14}},
    {"punctuation and blanks", WordRight, {0, 14}, {0, 17}},
    {"a quote alone", WordRight, {0, 17}, {0, 18}},
    {"characters beyond ASCII make one word", WordRight, {0, 18}, {0, 24}},
    {"from inside a multi-byte word", WordRight, {0, 20}, {0, 24}},
    {"the line's end to the next line", WordRight, {0, 25}, {1, 0}},
    {"leading blanks", WordRight, {1, 0}, {1, 2}},
    {"the text's end stays", WordRight, {1, 9}, {1, 9}},
    {"back to a word's start", WordLeft, {0, 11}, {0, 9}},
    {"back over a quote", WordLeft, {0, 25}, {0, 24}},
    {"back over a multi-byte word", WordLeft, {0, 24}, {0, 18}},
    {"back over blanks to punctuation", WordLeft, {0, 17}, {0, 14}},
    {"back over a blank to the first word", WordLeft, {0, 7}, {0, 0}},
    {"back over leading blanks", WordLeft, {1, 2}, {1, 0}},
    {"the line's start to the previous line", WordLeft, {1, 0}, {0, 25}},
    {"the text's start stays", WordLeft, {0, 0}, {0, 0}},
    {"a whole two-byte character", NextChar, {0, 18}, {0, 20}},
    {"a whole three-byte character back", PreviousChar, {0, 23}, {0, 20}},
    {"Home to the indentation", LineHome, {1, 5}, {1, 2}},
    {"Home again to the start", LineHome, {1, 2}, {1, 0}},
};

} // namespace

TEST(CaretMotion, MovesByCharactersWordsAndLines)
{
    TextBuffer buffer = Script();
    for (const Move &move : Moves)
        EXPECT_EQ(At(move.to), At(move.move(buffer, move.from))) << move.what << ", from " << At(move.from);
}

TEST(CaretMotion, DoubleClickSelectsTheRunAtThePosition)
{
    TextBuffer buffer = Script();
    EXPECT_EQ("0,18-0,24", Span(WordAt(buffer, {0, 20}))) << "ü日x is one word";
    EXPECT_EQ("0,24-0,25", Span(WordAt(buffer, {0, 25}))) << "at the line's end: the quote before it";
    EXPECT_EQ("0,15-0,17", Span(WordAt(buffer, {0, 15}))) << "a run of blanks";
}
