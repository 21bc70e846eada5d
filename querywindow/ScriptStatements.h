// The statements of a batch as the server will see them: where each one
// starts, and the script rewritten for the server when it carries the
// DELIMITER lines of command-line clients (dumps of routines and triggers
// do). Plain logic, no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One change that makes a script the server's: a DELIMITER line emptied, or
// a custom delimiter that ends a statement turned into ";" padded with
// spaces to its length, so that lines and columns stay those of the editor.
struct SCRIPTEDIT {
    size_t Offset;
    size_t Length;
    bool Removed; // emptied rather than padded
};

// Editor lines whose line end lies inside a string or a quoted name: the
// server does not count those line ends.
struct UNCOUNTEDLINES {
    int32_t FirstLine;
    int32_t Count;
};

struct SCRIPTSTATEMENTS {
    // In the order of the text; none when the text goes as it is.
    std::vector<SCRIPTEDIT> Edits;
    // Where each statement starts as the server counts its lines: the line
    // (0-based, within the text) of its first character that is not white
    // space. A comment counts: the server runs it as a statement.
    std::vector<int32_t> StartLines;
    // The byte offset (within the text as scanned) of the same character.
    std::vector<size_t> StartOffsets;
    // Statements that are CALLs: their result sets come back as several
    // results, so counting results no longer counts statements after them.
    std::vector<bool> IsCall;
    std::vector<UNCOUNTEDLINES> UncountedLines;
    // False when the boundaries could not be told for sure (an unclosed
    // string or comment, a DELIMITER line without a delimiter, a compound
    // statement that ";" does not end): nothing is rewritten then, and no
    // line is placed.
    bool Certain = true;
};

// Scans text (UTF-8, a byte-order mark already left out) with the rules of
// MariaDB's parser for strings, quoted names and comments, in one pass.
SCRIPTSTATEMENTS ScanStatements(const char *text, size_t length);

// Applies the scan's edits to the same text in place (they never lengthen
// it) and returns its new length.
size_t RewriteForServer(char *text, size_t length, const SCRIPTSTATEMENTS &statements);

// The line (0-based, within the text) that the server's "at line N" names in
// the statement of the given index, or -1 when it lies beyond any line.
int32_t TextLineOf(const SCRIPTSTATEMENTS &statements, size_t statement, int32_t serverLine);

// The line number N of a server error text ending in "... at line N", or 0.
int32_t ErrorLineOf(const char *errorText);
