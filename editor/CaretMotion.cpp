#include "editor/CaretMotion.h"

#include "base/Utf8.h"

namespace {

enum CharClass { ClassSpace, ClassWord, ClassPunct };

CharClass ClassOf(const std::string &line, int col)
{
    unsigned char c = static_cast<unsigned char>(line[col]);
    if (c == ' ' || c == '\t') return ClassSpace;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
        c >= 0x80)
        return ClassWord;
    return ClassPunct;
}

} // namespace

TextPos NextChar(const TextBuffer &buffer, TextPos pos)
{
    const std::string &line = buffer.Line(pos.line);
    if (pos.col < static_cast<int>(line.size())) return {pos.line, static_cast<int>(utf8::Next(line, pos.col))};
    if (pos.line + 1 < buffer.LineCount()) return {pos.line + 1, 0};
    return pos;
}

TextPos PreviousChar(const TextBuffer &buffer, TextPos pos)
{
    if (pos.col > 0) return {pos.line, static_cast<int>(utf8::Previous(buffer.Line(pos.line), pos.col))};
    if (pos.line > 0) return {pos.line - 1, static_cast<int>(buffer.Line(pos.line - 1).size())};
    return pos;
}

TextPos WordRight(const TextBuffer &buffer, TextPos pos)
{
    const std::string &line = buffer.Line(pos.line);
    int size = static_cast<int>(line.size());
    if (pos.col >= size) return NextChar(buffer, pos);
    CharClass cls = ClassOf(line, pos.col);
    int col = pos.col;
    if (cls != ClassSpace)
        while (col < size && ClassOf(line, col) == cls) col = static_cast<int>(utf8::Next(line, col));
    while (col < size && ClassOf(line, col) == ClassSpace) ++col;
    return {pos.line, col};
}

TextPos WordLeft(const TextBuffer &buffer, TextPos pos)
{
    const std::string &line = buffer.Line(pos.line);
    if (pos.col == 0) return PreviousChar(buffer, pos);
    int col = pos.col;
    while (col > 0 && ClassOf(line, col - 1) == ClassSpace) --col;
    if (col == 0) return {pos.line, 0};
    int prev = static_cast<int>(utf8::Previous(line, col));
    CharClass cls = ClassOf(line, prev);
    while (col > 0) {
        prev = static_cast<int>(utf8::Previous(line, col));
        if (ClassOf(line, prev) != cls) break;
        col = prev;
    }
    return {pos.line, col};
}

Selection WordAt(const TextBuffer &buffer, TextPos pos)
{
    const std::string &line = buffer.Line(pos.line);
    int size = static_cast<int>(line.size());
    if (size == 0) return {pos, pos};
    int col = pos.col < size ? pos.col : static_cast<int>(utf8::Previous(line, size));
    CharClass cls = ClassOf(line, col);
    int start = col, end = col;
    while (start > 0) {
        int prev = static_cast<int>(utf8::Previous(line, start));
        if (ClassOf(line, prev) != cls) break;
        start = prev;
    }
    while (end < size && ClassOf(line, end) == cls) end = static_cast<int>(utf8::Next(line, end));
    return {{pos.line, start}, {pos.line, end}};
}

int IndentOf(const std::string &line)
{
    int indent = 0;
    while (indent < static_cast<int>(line.size()) && (line[indent] == ' ' || line[indent] == '\t')) ++indent;
    return indent;
}

TextPos LineHome(const TextBuffer &buffer, TextPos caret)
{
    int indent = IndentOf(buffer.Line(caret.line));
    return {caret.line, caret.col == indent ? 0 : indent};
}
