// Stepping over UTF-8 text and converting it. Bytes that do not form
// a valid UTF-8 sequence count as one character each, so any byte string can
// be walked without ever stopping inside a valid character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace utf8 {

// Length in bytes of the character that starts at offset (1 for an invalid
// byte); 0 at or past the end.
size_t CharLength(std::string_view text, size_t offset);
// Decodes the character at offset; an invalid byte gives 0xFFFD and length 1.
uint32_t Decode(std::string_view text, size_t offset, size_t *length);
// Offset of the next character boundary after offset (text.size() at most).
size_t Next(std::string_view text, size_t offset);
// Offset of the character boundary before offset (0 at least).
size_t Previous(std::string_view text, size_t offset);
// The boundary at or before offset: offset itself unless it lies inside a
// valid multi-byte character.
size_t Snap(std::string_view text, size_t offset);

// Conversions between UTF-16 (WCHAR text, cast to char16_t) and UTF-8;
// invalid input becomes U+FFFD.
std::string FromUtf16(const char16_t *text, size_t length);
std::u16string ToUtf16(std::string_view text);
// Appends the UTF-8 form of a code point.
void Append(std::string &out, uint32_t codePoint);

// Whether the bytes are valid UTF-8 throughout (no byte that Decode turns
// into an invalid 0xFFFD).
bool IsValid(std::string_view text);

// Cells a character takes in the fixed-pitch editor: 2 for East Asian Wide
// and Fullwidth characters (Unicode's EastAsianWidth W and F) and emoji
// shown as pictures, 1 for every other one. Our own table: mingw-w64 has no
// wcwidth, and the editor must count the same on both builds.
int Cells(uint32_t codePoint);

} // namespace utf8
