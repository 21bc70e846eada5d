// Drawing the editor: only the visible lines, each split into runs of one
// colour that ExtTextOutW places cell by cell.
//
// A character takes one cell of the fixed-pitch font, or two for wide East
// Asian characters and emoji (utf8::Cells); a tab reaches the next multiple
// of four cells, control characters show as a middle dot and invalid UTF-8
// bytes as U+FFFD, one cell per byte. A glyph the font lacks comes from the
// fonts linked to it (on Wine: the prefix's FontLink entries).
#include "editor/EditorWindow.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "base/Utf8.h"

namespace {

// utf8::Decode with ASCII (most of a script) decoded in place.
inline uint32_t DecodeAt(const std::string &line, size_t offset, size_t *length)
{
    unsigned char c = static_cast<unsigned char>(line[offset]);
    if (c < 0x80) {
        *length = 1;
        return c;
    }
    return utf8::Decode(line, offset, length);
}

int ColorIndexOf(TokenKind kind)
{
    switch (kind) {
    case TokKeyword: return EDITORCOLOR_KEYWORD;
    case TokOperator: return EDITORCOLOR_OPERATOR;
    case TokBracket: return EDITORCOLOR_BRACKET;
    case TokComment: return EDITORCOLOR_COMMENT;
    case TokString: return EDITORCOLOR_STRING;
    case TokNumber: return EDITORCOLOR_NUMBER;
    default: return EDITORCOLOR_TEXT;
    }
}

int LineNumberWidth(const EditorState *state)
{
    if (!state->lineNumbers) return 0;
    char digits[16];
    int count = snprintf(digits, sizeof digits, "%d", state->lineNumberStart + state->doc.Buffer().LineCount());
    return (std::max(count, 3) + 1) * state->cellWidth;
}

// A run of characters of one colour being collected for one ExtTextOutW.
struct Run {
    std::u16string text;
    std::vector<INT> widths;
    int x = 0;
    int pixels = 0;
    COLORREF fore = 0;
    COLORREF back = 0;
    bool symbols = false;  // glyph numbers of the symbol font, not characters
};

void FlushRun(const EditorState *state, HDC dc, Run &run, int y, int height)
{
    if (run.text.empty()) return;
    SetTextColor(dc, run.fore);
    SetBkColor(dc, run.back);
    RECT box{run.x, y, run.x + run.pixels, y + height};
    HGDIOBJ old = nullptr;
    int top = y;
    if (run.symbols && state->symbolFont) {
        old = SelectObject(dc, state->symbolFont);
        top = y + state->ascent - state->symbolAscent;  // on the editor font's baseline
    }
    UINT glyphs = run.symbols ? ETO_GLYPH_INDEX : 0;
    ExtTextOutW(dc, run.x, top, ETO_OPAQUE | ETO_CLIPPED | glyphs, &box, reinterpret_cast<const WCHAR *>(run.text.data()),
                static_cast<UINT>(run.text.size()), run.widths.data());
    if (old) SelectObject(dc, old);
    run.text.clear();
    run.widths.clear();
    run.pixels = 0;
}

void PaintLine(EditorState *state, HDC dc, int index, int y, int right, std::vector<Token> &tokens)
{
    const std::string &line = state->doc.Buffer().Line(index);
    tokens.clear();
    if (state->language) LexLine(*state->language, line, state->lineStates[index], &tokens);

    const COLORREF *colors = state->colors.Colors;
    COLORREF window = colors[EDITORCOLOR_WINDOW];
    COLORREF selectFore = GetSysColor(state->focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    COLORREF selectBack = GetSysColor(state->focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    TextPos start = state->sel.Start(), end = state->sel.End();
    size_t selFrom = SIZE_MAX, selTo = 0;
    bool breakSelected = false;
    if (!state->sel.Empty() && start.line <= index && index <= end.line) {
        selFrom = index == start.line ? start.col : 0;
        selTo = index == end.line ? end.col : line.size();
        breakSelected = index < end.line;
    }

    int left = TextLeft(state);
    int firstCell = state->leftCell;
    int lastCell = firstCell + (right - left) / state->cellWidth + 1;
    Run run;
    bool runSelected = false;
    int runColor = -1;
    size_t token = 0;
    int cell = 0;
    size_t offset = 0;
    while (offset < line.size() && cell <= lastCell) {
        size_t length;
        uint32_t cp = DecodeAt(line, offset, &length);
        int cells = CharCells(cp, cell);
        if (cell + cells > firstCell) {
            while (token < tokens.size() && tokens[token].start + tokens[token].length <= offset) ++token;
            TokenKind kind = token < tokens.size() && tokens[token].start <= offset ? tokens[token].kind : TokText;
            bool selected = offset >= selFrom && offset < selTo;
            int colorIndex = ColorIndexOf(kind);
            uint16_t glyph = cp >= 0x10000 ? SymbolGlyph(state, cp) : 0;
            bool symbol = glyph != 0;
            if (!run.text.empty() && (selected != runSelected || colorIndex != runColor || symbol != run.symbols))
                FlushRun(state, dc, run, y, state->lineHeight);
            if (run.text.empty()) {
                run.x = left + (cell - firstCell) * state->cellWidth;
                run.symbols = symbol;
                runSelected = selected;
                runColor = colorIndex;
                COLORREF back = colors[colorIndex + 1];
                run.fore = selected ? selectFore : colors[colorIndex];
                run.back = selected ? selectBack : (back == CLR_INVALID ? window : back);
            }
            int width = cells * state->cellWidth;
            if (cp == 0xFFFD && length == 1) {
                run.text += u'\xFFFD';
            } else if (cp == '\t') {
                run.text += u' ';
            } else if (cp < 0x20 || cp == 0x7F) {
                run.text += u'\x00B7';
            } else if (symbol) {
                run.text += static_cast<char16_t>(glyph);
            } else if (cp >= 0x10000) {
                cp -= 0x10000;
                run.text += static_cast<char16_t>(0xD800 + (cp >> 10));
                run.text += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
                run.widths.push_back(width);
                width = 0;
            } else {
                run.text += static_cast<char16_t>(cp);
            }
            run.widths.push_back(width);
            run.pixels += cells * state->cellWidth;
        }
        cell += cells;
        offset += length;
    }
    FlushRun(state, dc, run, y, state->lineHeight);
    if (breakSelected && cell >= firstCell) {
        // The selected line break shows as one highlighted cell.
        int x = left + (cell - firstCell) * state->cellWidth;
        RECT box{x, y, x + state->cellWidth, y + state->lineHeight};
        SetBkColor(dc, selectBack);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
    }
}

} // namespace

uint16_t SymbolGlyph(const EditorState *state, uint32_t codePoint) { return GlyphOfSymbol(state->symbolGlyphs, codePoint); }

int CharCells(uint32_t codePoint, int cell)
{
    if (codePoint < 0x1100) return codePoint == '\t' ? EditorTabCells - cell % EditorTabCells : 1;
    return utf8::Cells(codePoint);
}

int CellOfColumn(const std::string &line, int col)
{
    int cell = 0;
    size_t offset = 0, end = std::min<size_t>(std::max(col, 0), line.size());
    while (offset < end) {
        size_t length;
        uint32_t cp = DecodeAt(line, offset, &length);
        cell += CharCells(cp, cell);
        offset += length;
    }
    return cell;
}

int ColumnOfHalfCell(const std::string &line, int halves)
{
    int at = 0;
    size_t offset = 0;
    while (offset < line.size()) {
        size_t length;
        uint32_t cp = DecodeAt(line, offset, &length);
        int cells = CharCells(cp, at);
        if (halves < 2 * at + cells) return static_cast<int>(offset);
        at += cells;
        offset += length;
    }
    return static_cast<int>(line.size());
}

int ColumnOfCell(const std::string &line, int cell) { return ColumnOfHalfCell(line, 2 * cell); }

int TextLeft(const EditorState *state) { return LineNumberWidth(state) + EditorTextPadding; }

void EnsureLineStates(EditorState *state, int line)
{
    TextBuffer &buffer = state->doc.Buffer();
    state->statesValid = std::min(state->statesValid, buffer.ChangedLine());
    buffer.ResetChangedLine();
    line = std::min(line, buffer.LineCount() - 1);
    if (state->lineStates.size() != static_cast<size_t>(buffer.LineCount()))
        state->lineStates.resize(buffer.LineCount());
    state->lineStates[0] = LexPlain;
    if (!state->language) return;
    for (int i = state->statesValid; i < line; ++i)
        state->lineStates[i + 1] = LexLine(*state->language, buffer.Line(i), state->lineStates[i], nullptr);
    state->statesValid = std::max(state->statesValid, line);
}

void PaintEditor(EditorState *state, HDC dc, const RECT &client)
{
    const COLORREF *colors = state->colors.Colors;
    HBRUSH background = CreateSolidBrush(colors[EDITORCOLOR_WINDOW]);
    FillRect(dc, &client, background);
    DeleteObject(background);

    HGDIOBJ oldFont = SelectObject(dc, state->font);
    const TextBuffer &buffer = state->doc.Buffer();
    int lines = client.bottom / state->lineHeight + 1;
    int last = std::min(buffer.LineCount() - 1, state->topLine + lines);
    EnsureLineStates(state, last);

    HRGN clip = CreateRectRgn(TextLeft(state), 0, client.right, client.bottom);
    SelectClipRgn(dc, clip);
    std::vector<Token> tokens;
    for (int i = state->topLine; i <= last; ++i)
        PaintLine(state, dc, i, (i - state->topLine) * state->lineHeight, client.right, tokens);
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);

    if (state->lineNumbers) {
        RECT margin{0, 0, LineNumberWidth(state), client.bottom};
        HBRUSH brush = CreateSolidBrush(colors[EDITORCOLOR_MARGIN]);
        FillRect(dc, &margin, brush);
        DeleteObject(brush);
        SetTextColor(dc, colors[EDITORCOLOR_LINENUMBER]);
        SetBkMode(dc, TRANSPARENT);
        for (int i = state->topLine; i <= last; ++i) {
            char number[16];
            int count = snprintf(number, sizeof number, "%d", state->lineNumberStart + i);
            RECT box{0, (i - state->topLine) * state->lineHeight, margin.right - state->cellWidth / 2,
                     (i - state->topLine + 1) * state->lineHeight};
            DrawTextA(dc, number, count, &box, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
        }
        SetBkMode(dc, OPAQUE);
    }
    SelectObject(dc, oldFont);
}

void OnPaint(EditorState *state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(state->window, &paint);
    RECT client;
    GetClientRect(state->window, &client);
    HBITMAP bitmap = client.right > 0 && client.bottom > 0 ? state->backBuffer.For(dc, client.right, client.bottom)
                                                           : nullptr;
    if (bitmap) {
        // Drawn off screen, then copied: no flicker.
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap);
        bool painted = true;
        try {
            PaintEditor(state, memory, client);
        } catch (...) {
            painted = false;  // out of memory: nothing shown this time
        }
        if (painted) BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    EndPaint(state->window, &paint);
}

void OnPrintClient(EditorState *state, HDC dc)
{
    RECT client;
    GetClientRect(state->window, &client);
    PaintEditor(state, dc, client);
}
