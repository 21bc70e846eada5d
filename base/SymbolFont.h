// Characters beyond the Basic Multilingual Plane (emoji) on screen. GDI's
// font links do not reach them (Wine's looks each half of a surrogate pair
// up on its own), so the editor and the grid draw them by glyph number from
// a symbol font of their own. Plain GDI, no window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Code points first..last have glyphs glyph, glyph + 1, ... of a font (its
// cmap table's format 12 groups).
struct SymbolGlyphs {
    uint32_t first, last, glyph;
};

// The first installed of "Segoe UI Emoji", "Segoe UI Symbol" and "Symbola"
// at the height and weight of font, or null when none is installed.
HFONT CreateSymbolFont(HDC dc, HFONT font);
// The glyph groups of the font selected into dc.
std::vector<SymbolGlyphs> ReadSymbolGlyphs(HDC dc);
// The glyph of a code point, 0 when the font has none.
uint16_t GlyphOfSymbol(const std::vector<SymbolGlyphs> &groups, uint32_t codePoint);
