#include "editor/FileEncoding.h"

#include <cstdint>

#include "base/Utf8.h"

namespace {

// Windows-1252's bytes 0x80 to 0x9F; the rest of its bytes are the code
// points of the same number (Latin-1).
const uint16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; }

std::string FromUtf16Bytes(std::string_view bytes, bool bigEndian)
{
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    if (bytes.size() % 2) units += u'\xFFFD';
    return utf8::FromUtf16(units.data(), units.size());
}

std::string FromCp1252(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80)
            text += c;
        else
            utf8::Append(text, b < 0xA0 ? Cp1252High[b - 0x80] : b);
    }
    return text;
}

bool ToCp1252(std::string_view text, std::string *bytes)
{
    bytes->reserve(text.size());
    size_t offset = 0;
    while (offset < text.size()) {
        size_t length;
        uint32_t cp = utf8::Decode(text, offset, &length);
        offset += length;
        if (cp == 0xFFFD) return false;  // an invalid byte, or U+FFFD itself
        int byte = -1;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            byte = static_cast<int>(cp);
        } else {
            for (int i = 0; i < 32; ++i)
                if (Cp1252High[i] == cp) byte = 0x80 + i;
        }
        if (byte < 0) return false;
        *bytes += static_cast<char>(byte);
    }
    return true;
}

} // namespace

FileEncoding DecodeFile(std::string *bytes)
{
    if (StartsWith(*bytes, "\xEF\xBB\xBF")) {
        bytes->erase(0, 3);
        return FileEncoding::Utf8Bom;
    }
    if (StartsWith(*bytes, "\xFF\xFE") || StartsWith(*bytes, "\xFE\xFF")) {
        bool bigEndian = (*bytes)[0] == '\xFE';
        *bytes = FromUtf16Bytes(std::string_view(*bytes).substr(2), bigEndian);
        return bigEndian ? FileEncoding::Utf16Be : FileEncoding::Utf16Le;
    }
    if (utf8::IsValid(*bytes)) return FileEncoding::Utf8;
    *bytes = FromCp1252(*bytes);
    return FileEncoding::Windows1252;
}

bool EncodeFile(std::string_view text, FileEncoding encoding, std::string *bytes)
{
    bytes->clear();
    switch (encoding) {
    case FileEncoding::Utf8:
        bytes->assign(text);
        return true;
    case FileEncoding::Utf8Bom:
        bytes->reserve(text.size() + 3);
        *bytes = "\xEF\xBB\xBF";
        bytes->append(text);
        return true;
    case FileEncoding::Utf16Le:
    case FileEncoding::Utf16Be: {
        std::u16string units = utf8::ToUtf16(text);
        bool bigEndian = encoding == FileEncoding::Utf16Be;
        bytes->reserve(units.size() * 2 + 2);
        *bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : units) {
            char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
            *bytes += bigEndian ? high : low;
            *bytes += bigEndian ? low : high;
        }
        return true;
    }
    case FileEncoding::Windows1252:
        if (ToCp1252(text, bytes)) return true;
        bytes->clear();
        return false;
    }
    return false;
}
