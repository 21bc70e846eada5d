// What the window shows of the text: the scroll bars, the first visible
// line and cell, the caret, and the font that sizes them; and, after every
// change, the notifications to the parent.
#include "editor/EditorWindow.h"

#include <imm.h>

#include <algorithm>
#include <climits>

#include "base/WindowState.h"

#define W16(text) reinterpret_cast<const WCHAR *>(u"" text)

namespace {

int VisibleCells(const EditorState *state)
{
    RECT client;
    GetClientRect(state->window, &client);
    return std::max(1, static_cast<int>((client.right - TextLeft(state)) / state->cellWidth));
}

int MaxTopLine(const EditorState *state) { return std::max(0, BufferOf(state).LineCount() - VisibleLines(state)); }

// Scroll bar calls are slow (each repaints the bar): only changes are made.
void SetBar(EditorState *state, int bar, int max, int page, int pos)
{
    int *last = bar == SB_VERT ? state->vBar : state->hBar;
    if (last[0] == max && last[1] == page && last[2] == pos) return;
    last[0] = max;
    last[1] = page;
    last[2] = pos;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMax = max;
    info.nPage = page;
    info.nPos = pos;
    SetScrollInfo(state->window, bar, &info, TRUE);
}

POINT CaretPoint(const EditorState *state)
{
    const std::string &line = BufferOf(state).Line(state->sel.caret.line);
    int x = TextLeft(state) + (CellOfColumn(line, state->sel.caret.col) - state->leftCell) * state->cellWidth;
    int y = (state->sel.caret.line - state->topLine) * state->lineHeight;
    return POINT{x, y};
}

void ScrollCaretIntoView(EditorState *state)
{
    int top = state->topLine, left = state->leftCell;
    int lines = VisibleLines(state), cells = VisibleCells(state);
    TextPos caret = state->sel.caret;
    if (caret.line < top) top = caret.line;
    if (caret.line >= top + lines) top = caret.line - lines + 1;
    int cell = CellOfColumn(BufferOf(state).Line(caret.line), caret.col);
    int margin = std::min(8, cells / 4);
    if (cell < left) left = std::max(0, cell - margin);
    if (cell >= left + cells) left = cell - cells + 1 + margin;
    ScrollTo(state, top, left);
}

} // namespace

int VisibleLines(const EditorState *state)
{
    RECT client;
    GetClientRect(state->window, &client);
    return std::max(1, static_cast<int>(client.bottom / state->lineHeight));
}

void UpdateScrollBars(EditorState *state)
{
    state->topLine = std::max(0, std::min(state->topLine, MaxTopLine(state)));
    state->leftCell = std::max(0, state->leftCell);
    if (state->showVScroll)
        SetBar(state, SB_VERT, BufferOf(state).LineCount() - 1, VisibleLines(state), state->topLine);
    if (state->showHScroll)
        // The range grows in steps of 32 cells, not with every typed character.
        SetBar(state, SB_HORZ, static_cast<int>(std::min<size_t>(BufferOf(state).LongestLine(), INT_MAX / 2) | 31) + 1,
               VisibleCells(state), state->leftCell);
}

// An input method's composition window sits at the caret, in the editor's
// font.
void PlaceComposition(EditorState *state)
{
    HIMC context = ImmGetContext(state->window);
    if (!context) return;
    COMPOSITIONFORM form{};
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = CaretPoint(state);
    ImmSetCompositionWindow(context, &form);
    LOGFONTW font;
    if (GetObjectW(state->font, sizeof font, &font)) ImmSetCompositionFontW(context, &font);
    ImmReleaseContext(state->window, context);
}

void UpdateCaret(EditorState *state)
{
    if (!state->focused) return;
    POINT caret = CaretPoint(state);
    if (caret.x < TextLeft(state) - 1) caret.x = -100;
    SetCaretPos(caret.x, caret.y);
    if (state->composing) PlaceComposition(state);
}

void ScrollTo(EditorState *state, int topLine, int leftCell)
{
    topLine = std::max(0, std::min(topLine, MaxTopLine(state)));
    leftCell = std::max(0, leftCell);
    if (topLine == state->topLine && leftCell == state->leftCell) return;
    state->topLine = topLine;
    state->leftCell = leftCell;
    UpdateScrollBars(state);
    InvalidateRect(state->window, nullptr, FALSE);
    UpdateCaret(state);
}

void Refresh(EditorState *state, bool textChanged, const Selection &before)
{
    if (textChanged) UpdateScrollBars(state);
    ScrollCaretIntoView(state);
    InvalidateRect(state->window, nullptr, FALSE);
    UpdateCaret(state);
    FollowCompletion(state);
    if (textChanged) NotifyParent(state->window, EDITORN_CHANGE);
    if (state->sel != before) NotifyParent(state->window, EDITORN_SELCHANGE);
}

void ApplyFont(EditorState *state, HFONT font)
{
    state->font = font ? font : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    HDC dc = GetDC(state->window);
    HGDIOBJ old = SelectObject(dc, state->font);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SIZE cell;
    GetTextExtentPoint32W(dc, W16("M"), 1, &cell);
    state->ascent = metrics.tmAscent;
    if (state->symbolFont) DeleteObject(state->symbolFont);
    state->symbolFont = CreateSymbolFont(dc, state->font);
    state->symbolAscent = state->ascent;
    state->symbolGlyphs.clear();
    if (state->symbolFont) {
        SelectObject(dc, state->symbolFont);
        TEXTMETRICW symbol;
        if (GetTextMetricsW(dc, &symbol)) state->symbolAscent = symbol.tmAscent;
        state->symbolGlyphs = ReadSymbolGlyphs(dc);
    }
    SelectObject(dc, old);
    ReleaseDC(state->window, dc);
    state->lineHeight = std::max(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
    state->cellWidth = std::max(1, static_cast<int>(cell.cx));
    UpdateScrollBars(state);
    UpdateCaret(state);
}

void OnSize(EditorState *state)
{
    UpdateScrollBars(state);
    InvalidateRect(state->window, nullptr, FALSE);
}

void OnSetFont(EditorState *state, HFONT font, bool redraw)
{
    ApplyFont(state, font);
    if (redraw) InvalidateRect(state->window, nullptr, FALSE);
}
