// One rule for comparing text without regard to case, shared by the grid's
// sort and find, the editor's find, the object browser's filter and the
// history's search: Unicode's simple case folding (one character to one
// character, as CompareStringOrdinal does when told to ignore case), from
// our own table so that both builds fold alike whatever the system's
// tables. "Ä" matches "ä", "Σ", "σ" and "ς" match one another, "straße"
// does not match "STRASSE" (that would be the full folding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fold {

// The folded form of one code point (lower case, mostly).
uint32_t CodePoint(uint32_t codePoint);

// A folded copy of UTF-8 text. Bytes that are not valid UTF-8 are kept as
// they are, so a folded needle still finds them in folded text.
std::string Utf8(std::string_view text);
// Appends the folded form of text to out (no allocation once out is large
// enough: for callers folding millions of cells into one buffer).
void AppendUtf8(std::string &out, std::string_view text);
// Folds UTF-16 text (WCHAR text, cast to char16_t) in place; the folding
// of a surrogate pair is a pair again.
void Utf16(char16_t *text, size_t length);

// Three-way comparison of the folded texts by code point (an invalid byte
// counts as U+FFFD, then by its value); <0, 0 or >0. Equal folded texts of
// different bytes compare 0: callers that need a total order break the tie
// by the bytes.
int Compare(std::string_view a, std::string_view b);

// Whether text, folded, contains foldedNeedle (already folded by Utf8).
// scratch is the caller's buffer, reused between calls.
bool Contains(std::string_view text, std::string_view foldedNeedle, std::string &scratch);

} // namespace fold
