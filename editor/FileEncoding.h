// The encodings a script file can come in, and the conversions between a
// file's bytes and the editor's UTF-8 text. No window here.
//
// Loading decides by the first bytes and the content: a UTF-8 byte-order
// mark gives UTF-8 (the mark is kept aside, not in the text); a UTF-16 mark
// (FF FE or FE FF) gives UTF-16 LE or BE; other bytes that are valid UTF-8
// throughout give UTF-8; anything else is Windows-1252. Saving writes the
// same encoding (and the same mark) back, so a file that was loaded and not
// edited is saved byte for byte as it was.
#pragma once

#include <string>
#include <string_view>

enum class FileEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Windows1252 };

// The encoding of a file's bytes, which are replaced by its text as UTF-8
// (line breaks as they are; a UTF-8 file's bytes stay as they are, without
// a copy). A UTF-16 file's unpaired surrogates and odd last byte become
// U+FFFD.
FileEncoding DecodeFile(std::string *bytes);

// The file's bytes for the UTF-8 text in the encoding, with its mark.
// Windows-1252 covers the characters of its 256 bytes (the five bytes it
// leaves undefined stand for U+0081, U+008D, U+008F, U+0090 and U+009D, as
// Windows converts them); a text with any other character, or with bytes
// that are not UTF-8, cannot be written in it: false, and bytes is left
// empty. The other encodings write every text (invalid UTF-8 bytes become
// U+FFFD in UTF-16).
bool EncodeFile(std::string_view text, FileEncoding encoding, std::string *bytes);
