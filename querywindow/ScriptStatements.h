// The statements of a batch as the server will see them: where each one
// starts, and the script rewritten for the server when it carries the
// DELIMITER lines of command-line clients (dumps of routines and triggers
// do). Plain logic, no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SCRIPTSTATEMENTS {
    // What to send instead of the text, when it had to be rewritten: each
    // DELIMITER line emptied, each custom delimiter that ends a statement
    // turned into ";" padded with spaces to its length, so that lines and
    // columns stay those of the editor. Empty when the text goes as it is.
    std::string Rewritten;
    bool WasRewritten = false;
    // Where each statement starts as the server counts its lines: the line
    // (0-based, within the text) of its first character that is not white
    // space. A comment counts: the server runs it as a statement.
    std::vector<int32_t> StartLines;
    // Statements that are CALLs: their result sets come back as several
    // results, so counting results no longer counts statements after them.
    std::vector<bool> IsCall;
    // False when the boundaries could not be told for sure (an unclosed
    // string or comment, a DELIMITER line without a delimiter, a compound
    // statement that ";" does not end): nothing is rewritten then, and no
    // line is placed.
    bool Certain = true;
};

// Scans text (UTF-8, a byte-order mark already left out) with the rules of
// MariaDB's parser for strings, quoted names and comments.
SCRIPTSTATEMENTS ScanStatements(const char *text, size_t length);

// The line number N of a server error text ending in "... at line N", or 0.
int32_t ErrorLineOf(const char *errorText);
