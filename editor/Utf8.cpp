#include "editor/Utf8.h"

namespace utf8 {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

} // namespace

uint32_t Decode(std::string_view text, size_t offset, size_t *length)
{
    if (offset >= text.size()) {
        *length = 0;
        return 0;
    }
    unsigned char c = static_cast<unsigned char>(text[offset]);
    *length = 1;
    if (c < 0x80) return c;
    size_t need;
    uint32_t cp, min;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1; cp = c & 0x1F; min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2; cp = c & 0x0F; min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3; cp = c & 0x07; min = 0x10000;
    } else {
        return 0xFFFD;
    }
    if (offset + need >= text.size()) return 0xFFFD;
    for (size_t i = 1; i <= need; ++i) {
        unsigned char d = static_cast<unsigned char>(text[offset + i]);
        if (!IsContinuation(d)) return 0xFFFD;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    *length = need + 1;
    return cp;
}

size_t CharLength(std::string_view text, size_t offset)
{
    size_t length;
    Decode(text, offset, &length);
    return length;
}

size_t Next(std::string_view text, size_t offset)
{
    if (offset >= text.size()) return text.size();
    return offset + CharLength(text, offset);
}

size_t Snap(std::string_view text, size_t offset)
{
    if (offset >= text.size()) return text.size();
    // A valid character is at most 4 bytes: look back for its lead byte.
    for (size_t back = 1; back <= 3 && back <= offset; ++back) {
        size_t start = offset - back;
        unsigned char c = static_cast<unsigned char>(text[start]);
        if (!IsContinuation(c)) {
            size_t length = CharLength(text, start);
            return start + length > offset ? start : offset;
        }
    }
    return offset;
}

size_t Previous(std::string_view text, size_t offset)
{
    if (offset == 0) return 0;
    if (offset > text.size()) return text.size();
    return Snap(text, offset - 1);
}

void Append(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string FromUtf16(const char16_t *text, size_t length)
{
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = static_cast<uint16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
            uint32_t d = static_cast<uint16_t>(text[i + 1]);
            if (d >= 0xDC00 && d <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        Append(out, c);
    }
    return out;
}

std::u16string ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t offset = 0;
    while (offset < text.size()) {
        size_t length;
        uint32_t cp = Decode(text, offset, &length);
        offset += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

} // namespace utf8
