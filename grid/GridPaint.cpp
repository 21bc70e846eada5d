// Painting of the result grid: everything goes to one off-screen bitmap per
// paint and reaches the screen in a single copy, so nothing flickers.
#include "grid/GridInternal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/SymbolFont.h"

namespace {

// Steps back from a cut so that it ends before a UTF-8 character it would
// otherwise split.
size_t CharacterBoundary(const char *text, size_t cut)
{
    while (cut > 0 && ((unsigned char)text[cut] & 0xC0) == 0x80) cut--;
    return cut;
}

// The length of text if it is at most limit bytes, otherwise some value above
// limit: a million-byte value shown in a narrow column is never measured whole.
size_t LengthUpTo(const char *text, int32_t limit)
{
    return limit < 0 ? strlen(text) : strnlen(text, (size_t)limit + 1);
}

} // namespace

GridFit FitCellText(const char *text, int32_t limit) { return FitCellBytes(text, LengthUpTo(text, limit), limit); }

GridFit FitCellBytes(const char *text, size_t length, int32_t limit)
{
    if (limit >= 0 && length <= (size_t)limit) return GridFit{length, 0};
    size_t keep = limit > 3 ? (size_t)(limit - 3) : 0;
    return GridFit{CharacterBoundary(text, keep), 3};
}

GridFit FitHeaderText(const char *name, int32_t capacity)
{
    if (capacity < 0) return GridFit{0, 0};
    GridFit fit = FitCellText(name, capacity > 3 ? capacity : 4);
    size_t room = (size_t)capacity;
    if (fit.Kept >= room) return GridFit{CharacterBoundary(name, room), 0};
    if (fit.Kept + fit.Dots > room) fit.Dots = (int)(room - fit.Kept);
    return fit;
}

int32_t GridColumnCapacity(const OUTPUTDATA *grid, int32_t width)
{
    int32_t average = grid->Metrics.tmAveCharWidth > 0 ? grid->Metrics.tmAveCharWidth : 1;
    return (width - 4) / average;
}

namespace {

// One symbol font for every grid of the process, made for the height of the
// grid's font the first time a cell holds a character beyond the BMP.
struct GridSymbolFont {
    HFONT Font = nullptr;
    LONG Height = 0;
    bool Tried = false;
    std::vector<SymbolGlyphs> Glyphs;
};

const GridSymbolFont &SymbolFontFor(HDC dc)
{
    static GridSymbolFont symbols;
    LOGFONTW base = {};
    HFONT current = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    GetObjectW(current, sizeof base, &base);
    if (symbols.Tried && symbols.Height == base.lfHeight) return symbols;
    if (symbols.Font) DeleteObject(symbols.Font);
    symbols = GridSymbolFont();
    symbols.Tried = true;
    symbols.Height = base.lfHeight;
    symbols.Font = CreateSymbolFont(dc, current);
    if (symbols.Font) {
        HGDIOBJ previous = SelectObject(dc, symbols.Font);
        symbols.Glyphs = ReadSymbolGlyphs(dc);
        SelectObject(dc, previous);
    }
    return symbols;
}

struct Painter {
    HDC Dc;
    OUTPUTDATA *Grid;
    int32_t Width;
    int32_t Height;
    COLORREF TextColour;
    char Scratch[512];

    void SetText(COLORREF colour)
    {
        if (colour != TextColour) SetTextColor(Dc, colour);
        TextColour = colour;
    }
    void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
    {
        MoveToEx(Dc, x0, y0, nullptr);
        LineTo(Dc, x1, y1);
    }
    // Draws the kept bytes and the dots as one text, clipped to the box.
    void Text(int32_t x, int32_t y, const RECT *box, const char *text, GridFit fit)
    {
        if (fit.Kept == 0 && fit.Dots == 0) return;
        const char *shown = text;
        char *heap = nullptr;
        if (fit.Dots > 0) {
            size_t size = fit.Kept + fit.Dots;
            char *composed = Scratch;
            if (size > sizeof Scratch) {
                heap = static_cast<char *>(malloc(size));
                if (!heap) return;
                composed = heap;
            }
            memcpy(composed, text, fit.Kept);
            memset(composed + fit.Kept, '.', fit.Dots);
            shown = composed;
        }
        DrawUtf8(x, y, box, shown, (int)(fit.Kept + fit.Dots));
        free(heap);
    }
    // Texts are UTF-8. GDI's "A" functions would read them in the code page
    // of the font's character set (1252 for a Western font) whatever the
    // program's code page, so they are drawn as UTF-16.
    void DrawUtf8(int32_t x, int32_t y, const RECT *box, const char *text, int length)
    {
        WCHAR local[512];
        WCHAR *wide = local;
        int count = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
        if (count > (int)(sizeof local / sizeof local[0])) {
            wide = static_cast<WCHAR *>(malloc(sizeof(WCHAR) * (size_t)count));
            if (!wide) return;
        }
        MultiByteToWideChar(CP_UTF8, 0, text, length, wide, count);
        // A zero byte of a binary value is shown as a byte that is no
        // UTF-8 is, not left out.
        for (int i = 0; i < count; i++)
            if (wide[i] == 0) wide[i] = 0xFFFD;
        if (HasSurrogates(wide, count))
            DrawWithSymbols(x, y, box, wide, count);
        else
            ExtTextOutW(Dc, x, y, box ? ETO_CLIPPED : 0, box, wide, (UINT)count, nullptr);
        if (wide != local) free(wide);
    }
    static bool HasSurrogates(const WCHAR *wide, int count)
    {
        for (int i = 0; i < count; i++)
            if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF) return true;
        return false;
    }
    // Characters beyond the BMP (emoji) by glyph number from the symbol
    // font, the rest in the grid's font, run by run from left to right.
    void DrawWithSymbols(int32_t x, int32_t y, const RECT *box, const WCHAR *wide, int count)
    {
        const GridSymbolFont &symbols = SymbolFontFor(Dc);
        UINT clip = box ? ETO_CLIPPED : 0;
        int run = 0;
        for (int i = 0; i <= count; i++) {
            bool pair = i + 1 < count && wide[i] >= 0xD800 && wide[i] <= 0xDBFF && wide[i + 1] >= 0xDC00 &&
                        wide[i + 1] <= 0xDFFF;
            if (i < count && !pair) continue;
            if (i > run) {
                SIZE extent = {0, 0};
                ExtTextOutW(Dc, x, y, clip, box, wide + run, (UINT)(i - run), nullptr);
                GetTextExtentPoint32W(Dc, wide + run, i - run, &extent);
                x += extent.cx;
            }
            if (i == count) break;
            uint32_t codePoint = 0x10000 + (((uint32_t)wide[i] - 0xD800) << 10) + ((uint32_t)wide[i + 1] - 0xDC00);
            WORD glyph = symbols.Font ? GlyphOfSymbol(symbols.Glyphs, codePoint) : 0;
            SIZE extent = {0, 0};
            if (glyph) {
                HGDIOBJ previous = SelectObject(Dc, symbols.Font);
                ExtTextOutW(Dc, x, y, clip | ETO_GLYPH_INDEX, box, reinterpret_cast<const WCHAR *>(&glyph), 1, nullptr);
                GetTextExtentPointI(Dc, &glyph, 1, &extent);
                SelectObject(Dc, previous);
            } else {
                ExtTextOutW(Dc, x, y, clip, box, wide + i, 2, nullptr);
                GetTextExtentPoint32W(Dc, wide + i, 2, &extent);
            }
            x += extent.cx;
            run = i + 2;
            i++;
        }
    }
};

// Left edge of column 0 on the screen.
int32_t FirstColumnLeft(const OUTPUTDATA *grid) { return grid->RowNumWidth - grid->ScrollX; }

// A small filled triangle left of x: pointing up for ascending, down for
// descending.
void DrawSortArrow(Painter &p, int32_t right, int32_t middle, bool descending)
{
    int32_t half = 4;
    POINT up[3] = {{right - 2 * half, middle + half / 2}, {right, middle + half / 2}, {right - half, middle - half / 2 - 1}};
    POINT down[3] = {{right - 2 * half, middle - half / 2}, {right, middle - half / 2}, {right - half, middle + half / 2 + 1}};
    HGDIOBJ brush = SelectObject(p.Dc, GetSysColorBrush(COLOR_BTNSHADOW));
    HGDIOBJ pen = SelectObject(p.Dc, p.Grid->ShadowPen);
    Polygon(p.Dc, descending ? down : up, 3);
    SelectObject(p.Dc, pen);
    SelectObject(p.Dc, brush);
}

void DrawHeaderBand(Painter &p)
{
    OUTPUTDATA *grid = p.Grid;
    const GRIDBUFFER *data = grid->Data;
    int32_t rowHeight = GridRowHeight(grid);
    RECT band = {0, 0, p.Width, rowHeight};
    FillRect(p.Dc, &band, GetSysColorBrush(COLOR_BTNFACE));
    p.Line(0, rowHeight - 1, p.Width, rowHeight - 1); // still the context's default black pen

    int32_t bottom = grid->HeaderHeight - 2;
    int32_t left = FirstColumnLeft(grid);
    for (int32_t i = 0; i < data->Fields.Length(); i++) {
        int32_t w = GridColumnWidth(grid, i);
        int32_t L = left, R = L + w - 1;
        left += w;
        // Header cells left of the corner cell end up under it, and those
        // right of the window are never seen: neither is drawn.
        if (R < grid->RowNumWidth || L >= p.Width) continue;
        bool pressed = grid->PressedCol == i;
        SelectObject(p.Dc, pressed ? grid->ShadowPen : grid->HighlightPen);
        MoveToEx(p.Dc, L, bottom, nullptr);
        LineTo(p.Dc, L, 0);
        LineTo(p.Dc, R, 0);
        SelectObject(p.Dc, pressed ? grid->HighlightPen : grid->ShadowPen);
        LineTo(p.Dc, R, bottom);
        LineTo(p.Dc, L, bottom);
        RECT box = {L, 0, L + w, grid->HeaderHeight};
        bool sorted = grid->SortColumn == i;
        // The sort's arrow takes the place of the name's last two characters.
        int32_t capacity = GridColumnCapacity(grid, w) - (sorted ? 2 : 0);
        p.Text(L + 2, 2, &box, data->Fields[i], FitHeaderText(data->Fields[i], capacity));
        if (sorted) DrawSortArrow(p, R - 4, grid->HeaderHeight / 2, grid->SortDescending != 0);
    }
}

// Slot -1 is the corner cell.
void DrawRowNumberCell(Painter &p, int32_t slot)
{
    OUTPUTDATA *grid = p.Grid;
    int32_t top = grid->HeaderHeight + slot * GridRowHeight(grid);
    int32_t bottom = top + GridRowHeight(grid);
    int32_t right = grid->RowNumWidth - 1;
    RECT cell = {0, top, grid->RowNumWidth, bottom};
    FillRect(p.Dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
    bool pressed = grid->PressedRow == slot;
    SelectObject(p.Dc, pressed ? grid->HighlightPen : grid->ShadowPen);
    MoveToEx(p.Dc, 0, bottom - 1, nullptr);
    LineTo(p.Dc, right, bottom - 1);
    LineTo(p.Dc, right, top);
    SelectObject(p.Dc, pressed ? grid->ShadowPen : grid->HighlightPen);
    LineTo(p.Dc, 0, top);
    LineTo(p.Dc, 0, bottom - 1);
    if (slot < 0) return;
    p.SetText(GetSysColor(COLOR_WINDOWTEXT));
    char number[16];
    int length = snprintf(number, sizeof number, "%d", GridTopRow(grid) + slot + 1);
    TextOutA(p.Dc, 5, top + 2, number, length);
}

int32_t SlotsToDraw(const OUTPUTDATA *grid, int32_t height)
{
    int32_t available = GridRowCount(grid) - GridTopRow(grid);
    int32_t slots = GridVisibleRowsFor(grid, height) + 1; // the partly visible row too
    return available < slots ? (available > 0 ? available : 0) : slots;
}

void DrawCells(Painter &p)
{
    OUTPUTDATA *grid = p.Grid;
    const GRIDBUFFER *data = grid->Data;
    bool selection = !grid->Selection.Empty();
    GRIDRANGE selected = grid->Selection.Normalised();
    COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT), highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    COLORREF nullText = GetSysColor(COLOR_GRAYTEXT);
    HBRUSH selectedFill = GetSysColorBrush(grid->Focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    COLORREF selectedText = grid->Focused ? highlightText : windowText;

    // Cells outside the data area are clipped away whole, so they are skipped.
    int32_t first = 0, left = FirstColumnLeft(grid), columns = data->Fields.Length();
    while (first < columns && left + GridColumnWidth(grid, first) - 1 < grid->RowNumWidth)
        left += GridColumnWidth(grid, first++);

    SelectObject(p.Dc, grid->GridPen);
    int32_t slots = SlotsToDraw(grid, p.Height);
    for (int32_t v = 0; v < slots; v++) {
        int32_t r = GridTopRow(grid) + v;
        const TFieldList &row = data->Rows[GridDataRow(grid, r)];
        int32_t top = grid->HeaderHeight + v * GridRowHeight(grid), bottom = top + GridRowHeight(grid);
        bool rowSelected = selection && r >= selected.Top && r <= selected.Bottom;
        int32_t L = left;
        for (int32_t j = first; j < row.Length() && L < p.Width; L += GridColumnWidth(grid, j), j++) {
            int32_t w = GridColumnWidth(grid, j);
            RECT cell = {L, top, L + w, bottom};
            p.Line(L, bottom, L + w - 1, bottom);
            LineTo(p.Dc, L + w - 1, top - 1);
            // A NULL is grey, so that it is not taken for the text 'NULL';
            // on the focused selection's highlight grey would hardly show.
            bool isNull = IsNullCell(data, row[j]);
            if (rowSelected && j >= selected.Left && j <= selected.Right) {
                FillRect(p.Dc, &cell, selectedFill);
                p.SetText(isNull && !grid->Focused ? nullText : selectedText);
            } else {
                p.SetText(isNull ? nullText : windowText);
            }
            int32_t capacity = GridColumnCapacity(grid, w);
            GridFit fit = row.LengthsKept ? FitCellBytes(row[j], CellLength(row, j), capacity)
                                          : FitCellText(row[j], capacity);
            p.Text(L + 2, top + 2, &cell, row[j], fit);
            if (grid->Focused && r == grid->CursorRow && j == grid->CursorCol) {
                p.SetText(windowText);
                DrawFocusRect(p.Dc, &cell);
            }
        }
    }
}

} // namespace

void GridOutputDrawingProc(HWND window, OUTPUTDATA *grid, HDC target, int32_t width, int32_t height)
{
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = grid->Painted.For(target, width, height);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, grid->Font);
    HGDIOBJ oldPen = GetCurrentObject(dc, OBJ_PEN);
    SetBkMode(dc, TRANSPARENT);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));

    Painter p{dc, grid, width, height, GetTextColor(dc), {}};
    const GRIDBUFFER *data = grid->Data;
    if (data) {
        GridUpdatePages(window, grid, width, height);
        if (data->Fields.Length() > 0) {
            DrawHeaderBand(p);
            DrawRowNumberCell(p, -1);
        }
        if (data->Rows.Length() > 0) {
            int32_t slots = SlotsToDraw(grid, height);
            for (int32_t v = 0; v < slots; v++) DrawRowNumberCell(p, v);
            HRGN clip = CreateRectRgn(grid->RowNumWidth, 0, width, height);
            SelectClipRgn(dc, clip);
            DeleteObject(clip);
            DrawCells(p);
            GridUpdateBorderRegions(grid);
        }
    }

    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
}
