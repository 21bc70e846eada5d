#include "base/TextFold.h"

#include "base/Utf8.h"

#include <algorithm>
#include <iterator>

namespace fold {
namespace {

struct FoldingPair {
    uint32_t codePoint, folded;
};

const FoldingPair foldingPairs[] = {
#include "base/CaseFolding.inc"
};

// The Basic Multilingual Plane as one table made at first use (128 KB): a
// lookup per character instead of a search, for sorts of millions of cells.
struct PlaneTable {
    char16_t units[0x10000];
    PlaneTable() {
        for (uint32_t unit = 0; unit < 0x10000; ++unit) units[unit] = (char16_t)unit;
        for (const FoldingPair &pair : foldingPairs)
            if (pair.codePoint < 0x10000) units[pair.codePoint] = (char16_t)pair.folded;
    }
};

const PlaneTable &Plane() {
    static const PlaneTable *table = new PlaneTable();
    return *table;
}

uint32_t FoldBeyondPlane(uint32_t codePoint) {
    const FoldingPair *end = std::end(foldingPairs);
    const FoldingPair *found = std::lower_bound(
        std::begin(foldingPairs), end, codePoint,
        [](const FoldingPair &pair, uint32_t value) { return pair.codePoint < value; });
    return (found != end && found->codePoint == codePoint) ? found->folded : codePoint;
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
}

bool IsAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

} // namespace

uint32_t CodePoint(uint32_t codePoint) {
    if (codePoint < 0x80) return (uint32_t)(unsigned char)FoldAscii((char)codePoint);
    if (codePoint < 0x10000) return Plane().units[codePoint];
    return FoldBeyondPlane(codePoint);
}

void AppendUtf8(std::string &out, std::string_view text) {
    if (IsAscii(text)) {
        size_t start = out.size();
        out.append(text);
        for (size_t i = start; i < out.size(); ++i) out[i] = FoldAscii(out[i]);
        return;
    }
    size_t offset = 0;
    while (offset < text.size()) {
        size_t length = 0;
        uint32_t codePoint = utf8::Decode(text, offset, &length);
        if (codePoint == 0xFFFD && length == 1 && (unsigned char)text[offset] >= 0x80)
            out.push_back(text[offset]);
        else
            utf8::Append(out, CodePoint(codePoint));
        offset += length;
    }
}

std::string Utf8(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    AppendUtf8(folded, text);
    return folded;
}

void Utf16(char16_t *text, size_t length) {
    const PlaneTable &plane = Plane();
    for (size_t i = 0; i < length; ++i) {
        char16_t unit = text[i];
        bool pair = unit >= 0xD800 && unit < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
                    text[i + 1] < 0xE000;
        if (!pair) {
            text[i] = plane.units[unit];
            continue;
        }
        uint32_t codePoint = 0x10000 + (((uint32_t)unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        uint32_t folded = FoldBeyondPlane(codePoint) - 0x10000;
        text[i] = (char16_t)(0xD800 + (folded >> 10));
        text[++i] = (char16_t)(0xDC00 + (folded & 0x3FF));
    }
}

int Compare(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned char ca = (unsigned char)a[i], cb = (unsigned char)b[j];
        // ASCII against ASCII, the common case, without decoding.
        if (ca < 0x80 && cb < 0x80) {
            char fa = FoldAscii((char)ca), fb = FoldAscii((char)cb);
            if (fa != fb) return (unsigned char)fa < (unsigned char)fb ? -1 : 1;
            ++i, ++j;
            continue;
        }
        size_t la = 0, lb = 0;
        uint32_t pa = utf8::Decode(a, i, &la), pb = utf8::Decode(b, j, &lb);
        uint32_t fa = CodePoint(pa), fb = CodePoint(pb);
        if (fa != fb) return fa < fb ? -1 : 1;
        if (pa == 0xFFFD && ca != cb) return ca < cb ? -1 : 1;
        i += la, j += lb;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool Contains(std::string_view text, std::string_view foldedNeedle, std::string &scratch) {
    if (foldedNeedle.empty()) return true;
    scratch.clear();
    AppendUtf8(scratch, text);
    return std::string_view(scratch).find(foldedNeedle) != std::string_view::npos;
}

} // namespace fold
