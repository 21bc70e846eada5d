#include "base/Utf8.h"

#include <cstring>

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

namespace utf8 {

bool IsValid(std::string_view text)
{
    size_t offset = 0, size = text.size();
    while (offset < size) {
        // Runs of ASCII (the bulk of a script) are skipped eight bytes at a time.
        while (offset + 8 <= size) {
            uint64_t word;
            memcpy(&word, text.data() + offset, 8);
            if (word & 0x8080808080808080ull) break;
            offset += 8;
        }
        if (offset >= size) break;
        if (static_cast<unsigned char>(text[offset]) < 0x80) {
            ++offset;
            continue;
        }
        size_t length;
        if (Decode(text, offset, &length) == 0xFFFD && length == 1) return false;
        offset += length;
    }
    return true;
}

namespace {

// EastAsianWidth.txt (Unicode 14) W and F ranges, with the blocks reserved
// for wide characters taken whole and gaps of unassigned code points closed,
// plus the emoji blocks to their ends; sorted, not overlapping.
const struct { uint32_t first, last; } WideRanges[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   {0x3041, 0x3247},   {0x3250, 0x4DBF},   {0x4E00, 0xA4C6},   {0xA960, 0xA97C},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6B},   {0xFF01, 0xFF60},
    {0xFFE0, 0xFFE6},   {0x16FE0, 0x1B2FB}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393},
    {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E},
    {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567},
    {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5},
    {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FF},
    {0x1F7E0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x3FFFD},
};

} // namespace

int Cells(uint32_t cp)
{
    if (cp < WideRanges[0].first) return 1;
    size_t low = 0, high = sizeof WideRanges / sizeof WideRanges[0];
    while (low < high) {
        size_t middle = (low + high) / 2;
        if (cp > WideRanges[middle].last)
            low = middle + 1;
        else if (cp < WideRanges[middle].first)
            high = middle;
        else
            return 2;
    }
    return 1;
}

} // namespace utf8
