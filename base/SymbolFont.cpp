#include "base/SymbolFont.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

int CALLBACK FaceFound(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM found)
{
    *reinterpret_cast<bool *>(found) = true;
    return 0;
}

} // namespace

// The font for characters beyond the BMP (emoji): GDI's font links do not
// reach them (Wine's looks up each half of a surrogate pair on its own), so
// the program draws them by glyph number from a font of its own. The first
// face of the list that is installed, at the given font's height; none:
// they are drawn in that font.
HFONT CreateSymbolFont(HDC dc, HFONT font)
{
    static const char16_t *const faces[] = {u"Segoe UI Emoji", u"Segoe UI Symbol", u"Symbola"};
    LOGFONTW base{};
    if (!GetObjectW(font, sizeof base, &base)) return nullptr;
    for (const char16_t *face : faces) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        size_t length = std::char_traits<char16_t>::length(face);
        memcpy(wanted.lfFaceName, face, (length + 1) * sizeof(WCHAR));
        bool found = false;
        EnumFontFamiliesExW(dc, &wanted, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
        if (!found) continue;
        LOGFONTW symbol{};
        symbol.lfHeight = base.lfHeight;
        symbol.lfWeight = base.lfWeight;
        symbol.lfCharSet = DEFAULT_CHARSET;
        symbol.lfQuality = base.lfQuality;
        memcpy(symbol.lfFaceName, wanted.lfFaceName, sizeof symbol.lfFaceName);
        return CreateFontIndirectW(&symbol);
    }
    return nullptr;
}

uint16_t GlyphOfSymbol(const std::vector<SymbolGlyphs> &groups, uint32_t codePoint)
{
    auto it = std::upper_bound(groups.begin(), groups.end(), codePoint,
                               [](uint32_t cp, const SymbolGlyphs &group) { return cp <= group.last; });
    if (it == groups.end() || codePoint < it->first) return 0;
    uint32_t glyph = it->glyph + (codePoint - it->first);
    return glyph <= 0xFFFF ? static_cast<uint16_t>(glyph) : 0;
}

std::vector<SymbolGlyphs> ReadSymbolGlyphs(HDC dc)
{
    std::vector<SymbolGlyphs> groups;
    const DWORD cmap = 'c' | ('m' << 8) | ('a' << 16) | ('p' << 24);
    DWORD size = GetFontData(dc, cmap, 0, nullptr, 0);
    if (size == GDI_ERROR || size < 4) return groups;
    std::vector<unsigned char> table(size);
    if (GetFontData(dc, cmap, 0, table.data(), size) != size) return groups;
    auto u16 = [&](size_t at) -> uint32_t { return at + 2 <= size ? (table[at] << 8) | table[at + 1] : 0; };
    auto u32 = [&](size_t at) -> uint32_t { return at + 4 <= size ? (u16(at) << 16) | u16(at + 2) : 0; };
    // A Unicode subtable in format 12 (full repertoire): Windows (3, 10) or
    // Unicode (0, 4 or 6).
    for (uint32_t i = 0, count = u16(2); i < count; ++i) {
        size_t record = 4 + 8 * i;
        uint32_t platform = u16(record), encoding = u16(record + 2), offset = u32(record + 4);
        bool unicode = (platform == 3 && encoding == 10) || (platform == 0 && (encoding == 4 || encoding == 6));
        if (!unicode || u16(offset) != 12) continue;
        uint32_t groupCount = u32(offset + 12);
        if (offset + 16 + static_cast<size_t>(groupCount) * 12 > size) continue;
        for (uint32_t g = 0; g < groupCount; ++g) {
            size_t at = offset + 16 + static_cast<size_t>(g) * 12;
            SymbolGlyphs group{u32(at), u32(at + 4), u32(at + 8)};
            if (group.first <= group.last && (groups.empty() || group.first > groups.back().last))
                groups.push_back(group);
        }
        break;
    }
    return groups;
}
