// Where the caret goes, without a window: a character at a time, a word at
// a time (Ctrl+Left, Ctrl+Right, Ctrl+Backspace, Ctrl+Delete), the word a
// double-click selects, and Home's stop at the indentation. Positions count
// from 0, as in TextBuffer.h.
//
// A character is a whole UTF-8 character or one invalid byte. For words,
// letters, digits, '_', '$' and every byte from 0x80 up (any character
// beyond ASCII) make words; spaces and tabs are blanks; every other byte is
// punctuation, and a run of punctuation moves like a word. Words never span
// lines: a move from a line's end or start crosses the line break alone.
#pragma once

#include <string>

#include "editor/TextBuffer.h"

// The next or previous character boundary, across line breaks; the text's
// end and start stay where they are.
TextPos NextChar(const TextBuffer &buffer, TextPos pos);
TextPos PreviousChar(const TextBuffer &buffer, TextPos pos);
// Past the word (or punctuation) at pos and the blanks after it.
TextPos WordRight(const TextBuffer &buffer, TextPos pos);
// Back over blanks to the start of the word (or punctuation) before them.
TextPos WordLeft(const TextBuffer &buffer, TextPos pos);
// The run of word, punctuation or blank characters at pos (at the line's
// end: the run before it), with the caret at its end; empty on an empty
// line.
Selection WordAt(const TextBuffer &buffer, TextPos pos);
// Bytes of blanks at the start of a line.
int IndentOf(const std::string &line);
// Home: to the end of the line's indentation, or to its start when the
// caret is there already.
TextPos LineHome(const TextBuffer &buffer, TextPos caret);
