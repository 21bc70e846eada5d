// The "CodeMax" window class: messages, keyboard, mouse, clipboard, files.
#include "editor/EditorWindow.h"

#include <commctrl.h>
#include <imm.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "base/Clipboard.h"
#include "base/Utf8.h"

#define W16(text) reinterpret_cast<const WCHAR *>(u"" text)

namespace {

const UINT_PTR DragScrollTimer = 1;

EditorState *StateOf(HWND window) { return reinterpret_cast<EditorState *>(GetWindowLongPtrW(window, 0)); }

const TextBuffer &Buf(const EditorState *state) { return state->doc.Buffer(); }

TextPos FromPosition(const EditorState *state, const EDITORPOSITION &position)
{
    return Buf(state).Clamp({position.Line - 1, position.Column - 1});
}

EDITORPOSITION ToPosition(TextPos pos) { return EDITORPOSITION{pos.line + 1, pos.col + 1}; }

int VisibleLines(const EditorState *state)
{
    RECT client;
    GetClientRect(state->window, &client);
    return std::max(1, static_cast<int>(client.bottom / state->lineHeight));
}

int VisibleCells(const EditorState *state)
{
    RECT client;
    GetClientRect(state->window, &client);
    return std::max(1, static_cast<int>((client.right - TextLeft(state)) / state->cellWidth));
}

void Notify(EditorState *state, int code)
{
    HWND parent = GetParent(state->window);
    if (!parent) return;
    NMHDR header{state->window, static_cast<UINT_PTR>(GetDlgCtrlID(state->window)), static_cast<UINT>(code)};
    SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

int MaxTopLine(const EditorState *state) { return std::max(0, Buf(state).LineCount() - VisibleLines(state)); }

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

void UpdateScrollBars(EditorState *state)
{
    state->topLine = std::max(0, std::min(state->topLine, MaxTopLine(state)));
    state->leftCell = std::max(0, state->leftCell);
    if (state->showVScroll)
        SetBar(state, SB_VERT, Buf(state).LineCount() - 1, VisibleLines(state), state->topLine);
    if (state->showHScroll)
        // The range grows in steps of 32 cells, not with every typed character.
        SetBar(state, SB_HORZ, static_cast<int>(std::min<size_t>(Buf(state).LongestLine(), INT_MAX / 2) | 31) + 1,
               VisibleCells(state), state->leftCell);
}

POINT CaretPoint(const EditorState *state)
{
    const std::string &line = Buf(state).Line(state->sel.caret.line);
    int x = TextLeft(state) + (CellOfColumn(line, state->sel.caret.col) - state->leftCell) * state->cellWidth;
    int y = (state->sel.caret.line - state->topLine) * state->lineHeight;
    return POINT{x, y};
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

void ScrollCaretIntoView(EditorState *state)
{
    int top = state->topLine, left = state->leftCell;
    int lines = VisibleLines(state), cells = VisibleCells(state);
    TextPos caret = state->sel.caret;
    if (caret.line < top) top = caret.line;
    if (caret.line >= top + lines) top = caret.line - lines + 1;
    int cell = CellOfColumn(Buf(state).Line(caret.line), caret.col);
    int margin = std::min(8, cells / 4);
    if (cell < left) left = std::max(0, cell - margin);
    if (cell >= left + cells) left = cell - cells + 1 + margin;
    ScrollTo(state, top, left);
}

// After any change: view, caret and notifications.
void Refresh(EditorState *state, bool textChanged, const Selection &before)
{
    if (textChanged) UpdateScrollBars(state);
    ScrollCaretIntoView(state);
    InvalidateRect(state->window, nullptr, FALSE);
    UpdateCaret(state);
    if (textChanged) Notify(state, EDITORN_CHANGE);
    if (state->sel != before) Notify(state, EDITORN_SELCHANGE);
}

void ReplaceText(EditorState *state, std::string_view text)
{
    Selection before = state->sel;
    state->doc.SetText(text);
    state->sel = Selection{};
    state->topLine = 0;
    state->leftCell = 0;
    state->goalCell = -1;
    Refresh(state, true, before);
}

std::string SelectedText(const EditorState *state, bool crlf)
{
    return Buf(state).Text(state->sel.Start(), state->sel.End(), crlf);
}

// Moves the caret; extend keeps the anchor.
void MoveCaret(EditorState *state, TextPos pos, bool extend, bool keepGoal = false)
{
    Selection before = state->sel;
    state->sel.caret = Buf(state).Clamp(pos);
    if (!extend) state->sel.anchor = state->sel.caret;
    if (!keepGoal) state->goalCell = -1;
    state->doc.BreakMerge();
    Refresh(state, false, before);
}

// Character classes for word moves and double-click.
enum CharClass { ClassSpace, ClassWord, ClassPunct };
CharClass ClassOf(const std::string &line, int col)
{
    unsigned char c = static_cast<unsigned char>(line[col]);
    if (c == ' ' || c == '\t') return ClassSpace;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
        c >= 0x80)
        return ClassWord;
    return ClassPunct;
}

TextPos NextChar(const EditorState *state, TextPos pos)
{
    const std::string &line = Buf(state).Line(pos.line);
    if (pos.col < static_cast<int>(line.size())) return {pos.line, static_cast<int>(utf8::Next(line, pos.col))};
    if (pos.line + 1 < Buf(state).LineCount()) return {pos.line + 1, 0};
    return pos;
}

TextPos PreviousChar(const EditorState *state, TextPos pos)
{
    if (pos.col > 0) return {pos.line, static_cast<int>(utf8::Previous(Buf(state).Line(pos.line), pos.col))};
    if (pos.line > 0) return {pos.line - 1, static_cast<int>(Buf(state).Line(pos.line - 1).size())};
    return pos;
}

TextPos WordRight(const EditorState *state, TextPos pos)
{
    const std::string &line = Buf(state).Line(pos.line);
    int size = static_cast<int>(line.size());
    if (pos.col >= size) return NextChar(state, pos);
    CharClass cls = ClassOf(line, pos.col);
    int col = pos.col;
    if (cls != ClassSpace)
        while (col < size && ClassOf(line, col) == cls) col = static_cast<int>(utf8::Next(line, col));
    while (col < size && ClassOf(line, col) == ClassSpace) ++col;
    return {pos.line, col};
}

TextPos WordLeft(const EditorState *state, TextPos pos)
{
    const std::string &line = Buf(state).Line(pos.line);
    if (pos.col == 0) return PreviousChar(state, pos);
    int col = pos.col;
    while (col > 0 && ClassOf(line, col - 1) == ClassSpace) --col;
    if (col == 0) return {pos.line, 0};
    int prev = static_cast<int>(utf8::Previous(line, col));
    CharClass cls = ClassOf(line, prev);
    while (col > 0) {
        prev = static_cast<int>(utf8::Previous(line, col));
        if (ClassOf(line, prev) != cls) break;
        col = prev;
    }
    return {pos.line, col};
}

// The word (or run of punctuation or spaces) at pos.
Selection WordAt(const EditorState *state, TextPos pos)
{
    const std::string &line = Buf(state).Line(pos.line);
    int size = static_cast<int>(line.size());
    if (size == 0) return {pos, pos};
    int col = pos.col < size ? pos.col : static_cast<int>(utf8::Previous(line, size));
    CharClass cls = ClassOf(line, col);
    int start = col, end = col;
    while (start > 0) {
        int prev = static_cast<int>(utf8::Previous(line, start));
        if (ClassOf(line, prev) != cls) break;
        start = prev;
    }
    while (end < size && ClassOf(line, end) == cls) end = static_cast<int>(utf8::Next(line, end));
    return {{pos.line, start}, {pos.line, end}};
}

bool DeleteSelection(EditorState *state)
{
    if (state->sel.Empty()) return false;
    Selection before = state->sel;
    state->doc.BeginStep(TextDocument::Other, before);
    state->doc.Erase(before.Start(), before.End());
    state->sel = {before.Start(), before.Start()};
    state->doc.EndStep(state->sel);
    state->goalCell = -1;
    Refresh(state, true, before);
    return true;
}

// Erases [from, to) as a Backspace or Delete step.
void EraseRange(EditorState *state, TextPos from, TextPos to, TextDocument::StepKind kind, TextPos caret)
{
    if (from == to) return;
    Selection before = state->sel;
    state->doc.BeginStep(kind, before);
    state->doc.Erase(from, to);
    state->sel = {caret, caret};
    state->doc.EndStep(state->sel);
    state->goalCell = -1;
    Refresh(state, true, before);
}

void Backspace(EditorState *state, bool word)
{
    if (DeleteSelection(state)) return;
    TextPos caret = state->sel.caret;
    TextPos from = word ? WordLeft(state, caret) : PreviousChar(state, caret);
    EraseRange(state, from, caret, word ? TextDocument::Other : TextDocument::Backspace, from);
}

void DeleteForward(EditorState *state, bool word)
{
    if (DeleteSelection(state)) return;
    TextPos caret = state->sel.caret;
    TextPos to = word ? WordRight(state, caret) : NextChar(state, caret);
    EraseRange(state, caret, to, word ? TextDocument::Other : TextDocument::DeleteForward, caret);
}

void NewLine(EditorState *state)
{
    const std::string &line = Buf(state).Line(state->sel.Start().line);
    size_t indent = 0;
    while (indent < line.size() && (line[indent] == ' ' || line[indent] == '\t')) ++indent;
    indent = std::min<size_t>(indent, state->sel.Start().col);
    ReplaceSelection(state, "\n" + line.substr(0, indent), TextDocument::Other);
}

// Tab with a selection over several lines indents those lines by a tab;
// Shift+Tab takes away one tab or up to EditorTabCells spaces. One step.
void IndentLines(EditorState *state, bool outdent)
{
    Selection before = state->sel;
    TextPos start = before.Start(), end = before.End();
    int last = end.col == 0 && end.line > start.line ? end.line - 1 : end.line;
    state->doc.BeginStep(TextDocument::Other, before);
    for (int line = start.line; line <= last; ++line) {
        const std::string &text = Buf(state).Line(line);
        if (!outdent) {
            if (!text.empty()) state->doc.Insert({line, 0}, "\t");
            continue;
        }
        int count = 0;
        if (!text.empty() && text[0] == '\t')
            count = 1;
        else
            while (count < EditorTabCells && count < static_cast<int>(text.size()) && text[count] == ' ') ++count;
        state->doc.Erase({line, 0}, {line, count});
    }
    // The selection covers the whole lines afterwards.
    TextPos from{start.line, 0};
    TextPos to = last + 1 < Buf(state).LineCount() ? TextPos{last + 1, 0}
                                                     : TextPos{last, static_cast<int>(Buf(state).Line(last).size())};
    state->sel = before.caret < before.anchor ? Selection{to, from} : Selection{from, to};
    state->doc.EndStep(state->sel);
    Refresh(state, true, before);
}

void SelectAll(EditorState *state)
{
    Selection before = state->sel;
    state->sel = {{0, 0}, Buf(state).End()};
    state->doc.BreakMerge();
    Refresh(state, false, before);
}

void UndoRedo(EditorState *state, bool redo)
{
    Selection before = state->sel, after;
    if (!(redo ? state->doc.Redo(&after) : state->doc.Undo(&after))) return;
    state->sel = {Buf(state).Clamp(after.anchor), Buf(state).Clamp(after.caret)};
    state->goalCell = -1;
    Refresh(state, true, before);
}

// Copies as CF_UNICODETEXT (editor/Clipboard.h).
bool CopySelection(EditorState *state)
{
    if (state->sel.Empty()) return false;
    std::string text = SelectedText(state, true);
    return CopyUtf8ToClipboard(state->window, text.data(), text.size());
}

void Cut(EditorState *state)
{
    if (CopySelection(state)) DeleteSelection(state);
}

void Paste(EditorState *state)
{
    std::string text;
    if (PasteUtf8FromClipboard(state->window, text) && !text.empty())
        ReplaceSelection(state, text, TextDocument::Other);
}

// Reads the file whole and converts it to UTF-8 (editor/FileEncoding.h); the
// text changes only when all of that worked.
LRESULT LoadFile(EditorState *state, const char *path)
{
    if (!path) return EDITOR_BADARGUMENT;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return EDITOR_FAILED;
    LARGE_INTEGER size;
    std::string bytes;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 31);
    try {
        if (ok) {
            bytes.resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            ok = bytes.empty() || (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                   read == bytes.size());
        }
    } catch (...) {
        CloseHandle(file);
        throw;
    }
    CloseHandle(file);
    if (!ok) return EDITOR_FAILED;
    FileEncoding encoding = DecodeFile(&bytes);
    ReplaceText(state, bytes);
    state->encoding = encoding;
    return EDITOR_OK;
}

// Writes the text in the encoding it was loaded in. A text that Windows-1252
// cannot hold (a character typed or pasted since) is written as UTF-8
// instead, and the window keeps UTF-8 from then on: nothing is lost.
LRESULT SaveFile(EditorState *state, const char *path)
{
    if (!path) return EDITOR_BADARGUMENT;
    std::string bytes;
    FileEncoding encoding = state->encoding;
    if (!EncodeFile(Buf(state).WholeText(true), encoding, &bytes)) {
        encoding = FileEncoding::Utf8;
        EncodeFile(Buf(state).WholeText(true), encoding, &bytes);
    }
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return EDITOR_FAILED;
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    ok = CloseHandle(file) && ok;
    if (ok) state->encoding = encoding;
    return ok ? EDITOR_OK : EDITOR_FAILED;
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

void DefaultColors(EDITORCOLORS *colors)
{
    static const COLORREF defaults[EditorColorCount] = {
        RGB(255, 255, 255), RGB(240, 240, 240), RGB(0, 0, 255),     CLR_INVALID,
        RGB(0, 0, 0),       CLR_INVALID,        RGB(128, 0, 128),   CLR_INVALID,
        RGB(0, 0, 255),     CLR_INVALID,        RGB(128, 0, 0),     CLR_INVALID,
        RGB(0, 0, 128),     CLR_INVALID,        RGB(0, 128, 0),     CLR_INVALID,
        RGB(163, 21, 21),   CLR_INVALID,        RGB(128, 128, 128), CLR_INVALID,
    };
    memcpy(colors->Colors, defaults, sizeof defaults);
}

// --- message handlers -----------------------------------------------------

TextPos PositionFromPoint(EditorState *state, int x, int y)
{
    int line = state->topLine + (y >= 0 ? y / state->lineHeight : -1 + (y + 1) / state->lineHeight);
    line = std::max(0, std::min(line, Buf(state).LineCount() - 1));
    int cellX = x - TextLeft(state) + state->leftCell * state->cellWidth;
    int halves = cellX < 0 ? 0 : cellX * 2 / state->cellWidth;
    return {line, ColumnOfHalfCell(Buf(state).Line(line), halves)};
}

void ExtendDragTo(EditorState *state, int x, int y)
{
    TextPos pos = PositionFromPoint(state, x, y);
    if (!state->wordDrag) {
        MoveCaret(state, pos, true);
        return;
    }
    Selection word = WordAt(state, pos);
    Selection before = state->sel;
    if (pos < state->dragWord.Start())
        state->sel = {state->dragWord.End(), word.Start()};
    else
        state->sel = {state->dragWord.Start(), std::max(word.End(), state->dragWord.End(),
                                                        [](TextPos a, TextPos b) { return a < b; })};
    Refresh(state, false, before);
}

void OnButtonDown(EditorState *state, int x, int y, bool doubleClick)
{
    SetFocus(state->window);
    TextPos pos = PositionFromPoint(state, x, y);
    bool shift = GetKeyState(VK_SHIFT) < 0;
    if (doubleClick) {
        Selection word = WordAt(state, pos);
        Selection before = state->sel;
        state->sel = {word.Start(), word.End()};
        state->dragWord = state->sel;
        state->wordDrag = true;
        state->doc.BreakMerge();
        Refresh(state, false, before);
    } else {
        state->wordDrag = false;
        MoveCaret(state, pos, shift);
    }
    state->dragging = true;
    SetCapture(state->window);
}

void OnMouseMove(EditorState *state, int x, int y)
{
    if (!state->dragging) return;
    RECT client;
    GetClientRect(state->window, &client);
    bool outside = y < 0 || y >= client.bottom || x < TextLeft(state) || x >= client.right;
    if (outside && !state->scrollTimer) state->scrollTimer = SetTimer(state->window, DragScrollTimer, 50, nullptr);
    if (!outside && state->scrollTimer) {
        KillTimer(state->window, DragScrollTimer);
        state->scrollTimer = 0;
    }
    ExtendDragTo(state, x, y);
}

void EndDrag(EditorState *state)
{
    state->dragging = false;
    if (state->scrollTimer) KillTimer(state->window, DragScrollTimer);
    state->scrollTimer = 0;
    if (GetCapture() == state->window) ReleaseCapture();
}

// While a drag is outside the window, scroll towards the mouse.
void OnDragTimer(EditorState *state)
{
    if (!state->dragging) return EndDrag(state);
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(state->window, &point);
    RECT client;
    GetClientRect(state->window, &client);
    int top = state->topLine, left = state->leftCell;
    if (point.y < 0) top -= 1 + (-point.y) / state->lineHeight;
    if (point.y >= client.bottom) top += 1 + (point.y - client.bottom) / state->lineHeight;
    if (point.x < TextLeft(state)) left -= 2;
    if (point.x >= client.right) left += 2;
    ScrollTo(state, top, left);
    // Extend to the first or last visible line at the mouse's column.
    int y = point.y < 0 ? 0 : (point.y >= client.bottom ? client.bottom - 1 : point.y);
    ExtendDragTo(state, point.x, y);
}

void VerticalMove(EditorState *state, int lines, bool extend)
{
    TextPos caret = state->sel.caret;
    if (state->goalCell < 0) state->goalCell = CellOfColumn(Buf(state).Line(caret.line), caret.col);
    int line = caret.line + lines;
    TextPos pos;
    if (line < 0)
        pos = {0, 0};
    else if (line >= Buf(state).LineCount())
        pos = Buf(state).End();
    else
        pos = {line, ColumnOfCell(Buf(state).Line(line), state->goalCell)};
    if (line < 0 || line >= Buf(state).LineCount()) state->goalCell = -1;
    MoveCaret(state, pos, extend, true);
}

void OnKeyDown(EditorState *state, WPARAM key)
{
    // Ctrl and Alt together are AltGr (Windows sends both for it): the key
    // makes a character (WM_CHAR follows), never a Ctrl command.
    bool ctrl = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    TextPos caret = state->sel.caret;
    const std::string &line = Buf(state).Line(caret.line);
    switch (key) {
    case VK_LEFT:
        if (!shift && !ctrl && !state->sel.Empty()) return MoveCaret(state, state->sel.Start(), false);
        return MoveCaret(state, ctrl ? WordLeft(state, caret) : PreviousChar(state, caret), shift);
    case VK_RIGHT:
        if (!shift && !ctrl && !state->sel.Empty()) return MoveCaret(state, state->sel.End(), false);
        return MoveCaret(state, ctrl ? WordRight(state, caret) : NextChar(state, caret), shift);
    case VK_UP:
        if (ctrl) return ScrollTo(state, state->topLine - 1, state->leftCell);
        return VerticalMove(state, -1, shift);
    case VK_DOWN:
        if (ctrl) return ScrollTo(state, state->topLine + 1, state->leftCell);
        return VerticalMove(state, 1, shift);
    case VK_PRIOR:
    case VK_NEXT: {
        int page = std::max(1, VisibleLines(state) - 1) * (key == VK_PRIOR ? -1 : 1);
        ScrollTo(state, state->topLine + page, state->leftCell);
        return VerticalMove(state, page, shift);
    }
    case VK_HOME: {
        if (ctrl) return MoveCaret(state, {0, 0}, shift);
        int indent = 0;
        while (indent < static_cast<int>(line.size()) && (line[indent] == ' ' || line[indent] == '\t')) ++indent;
        return MoveCaret(state, {caret.line, caret.col == indent ? 0 : indent}, shift);
    }
    case VK_END:
        if (ctrl) return MoveCaret(state, Buf(state).End(), shift);
        return MoveCaret(state, {caret.line, static_cast<int>(line.size())}, shift);
    case VK_DELETE:
        if (shift) return Cut(state);
        return DeleteForward(state, ctrl);
    case VK_BACK:
        return Backspace(state, ctrl);
    case VK_INSERT:
        if (ctrl) CopySelection(state);
        if (shift) Paste(state);
        return;
    case VK_F3:
        if (state->findWhat[0]) {
            FINDREPLACEA request = state->find;
            request.Flags = (request.Flags & ~(FR_DOWN | FR_REPLACE | FR_REPLACEALL | FR_DIALOGTERM)) |
                            FR_FINDNEXT | (shift ? 0 : FR_DOWN);
            request.lpstrFindWhat = state->findWhat;
            HandleFindMessage(state, &request);
        } else {
            ShowFindDialog(state, false);
        }
        return;
    }
    if (!ctrl) return;
    switch (key) {
    case 'A': return SelectAll(state);
    case 'C': CopySelection(state); return;
    case 'X': return Cut(state);
    case 'V': return Paste(state);
    case 'Z': return UndoRedo(state, shift);
    case 'Y': return UndoRedo(state, true);
    case 'F': return ShowFindDialog(state, false);
    case 'H': return ShowFindDialog(state, true);
    }
}

void OnChar(EditorState *state, WCHAR c)
{
    if (c >= 0xD800 && c <= 0xDBFF) {
        state->pendingSurrogate = c;
        return;
    }
    std::string text;
    if (c >= 0xDC00 && c <= 0xDFFF) {
        if (!state->pendingSurrogate) return;
        char16_t pair[2] = {static_cast<char16_t>(state->pendingSurrogate), static_cast<char16_t>(c)};
        text = utf8::FromUtf16(pair, 2);
    } else if (c == '\r' || c == '\n') { // Enter, or Ctrl+Enter (a line feed)
        state->pendingSurrogate = 0;
        return NewLine(state);
    } else if (c == '\t' && (state->sel.Start().line != state->sel.End().line || GetKeyState(VK_SHIFT) < 0)) {
        state->pendingSurrogate = 0;
        if (state->sel.Empty()) return;  // Shift+Tab without a selection
        return IndentLines(state, GetKeyState(VK_SHIFT) < 0);
    } else if (c == '\t' || (c >= 0x20 && c != 0x7F)) {
        char16_t single = static_cast<char16_t>(c);
        text = utf8::FromUtf16(&single, 1);
    }
    state->pendingSurrogate = 0;
    if (text.empty()) return;
    ReplaceSelection(state, text, state->sel.Empty() ? TextDocument::Typing : TextDocument::Other);
}

// The result of an input method's composition, inserted as typed text.
void OnCompositionResult(EditorState *state)
{
    HIMC context = ImmGetContext(state->window);
    if (!context) return;
    LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
    std::u16string result;
    if (bytes > 0) {
        result.resize(static_cast<size_t>(bytes) / sizeof(WCHAR));
        ImmGetCompositionStringW(context, GCS_RESULTSTR, &result[0], static_cast<DWORD>(bytes));
    }
    ImmReleaseContext(state->window, context);
    std::string text = utf8::FromUtf16(result.data(), result.size());
    state->pendingSurrogate = 0;
    if (!text.empty())
        ReplaceSelection(state, text, state->sel.Empty() ? TextDocument::Typing : TextDocument::Other);
}

void OnScroll(EditorState *state, int bar, int request)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(state->window, bar, &info);
    int pos = info.nPos, page = std::max(1u, info.nPage);
    int step = bar == SB_VERT ? 1 : 4;
    switch (request) {
    case SB_LINEUP: pos -= step; break;
    case SB_LINEDOWN: pos += step; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = info.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = info.nMax; break;
    default: return;
    }
    if (bar == SB_VERT)
        ScrollTo(state, pos, state->leftCell);
    else
        ScrollTo(state, state->topLine, pos);
}

void OnWheel(EditorState *state, int delta, bool horizontal)
{
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == 0) return;
    int steps = -delta * static_cast<int>(std::min(lines, 100u)) / WHEEL_DELTA;
    if (horizontal)
        ScrollTo(state, state->topLine, state->leftCell - steps);
    else
        ScrollTo(state, state->topLine + steps, state->leftCell);
}

void OnPaint(EditorState *state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(state->window, &paint);
    RECT client;
    GetClientRect(state->window, &client);
    if (client.right > 0 && client.bottom > 0) {
        // Drawn off screen, then copied: no flicker.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        bool painted = true;
        try {
            PaintEditor(state, memory, client);
        } catch (...) {
            painted = false;  // out of memory: nothing shown this time
        }
        if (painted) BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    EndPaint(state->window, &paint);
}

void OnFocus(EditorState *state, bool gained)
{
    state->focused = gained;
    if (gained) {
        CreateCaret(state->window, nullptr, 2, state->lineHeight);
        UpdateCaret(state);
        ShowCaret(state->window);
    } else {
        EndDrag(state);
        DestroyCaret();
    }
    InvalidateRect(state->window, nullptr, FALSE);
    Notify(state, gained ? NM_SETFOCUS : NM_KILLFOCUS);
}

LRESULT OnEditorMessage(EditorState *state, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_EDITOR_SETLANGUAGE: {
        state->language = FindLanguage(reinterpret_cast<const char *>(lParam));
        state->statesValid = 0;
        InvalidateRect(state->window, nullptr, FALSE);
        return state->language || !lParam ? EDITOR_OK : EDITOR_FAILED;
    }
    case WM_EDITOR_SETCOLORS:
        if (!lParam) return EDITOR_BADARGUMENT;
        state->colors = *reinterpret_cast<const EDITORCOLORS *>(lParam);
        InvalidateRect(state->window, nullptr, FALSE);
        return EDITOR_OK;
    case WM_EDITOR_GETCOLORS:
        if (!lParam) return EDITOR_BADARGUMENT;
        *reinterpret_cast<EDITORCOLORS *>(lParam) = state->colors;
        return EDITOR_OK;
    case WM_EDITOR_LOADFILE:
        return LoadFile(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_SAVEFILE:
        return SaveFile(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_INSERTTEXT: {
        if (!wParam || !lParam) return EDITOR_BADARGUMENT;
        TextPos at = FromPosition(state, *reinterpret_cast<const EDITORPOSITION *>(wParam));
        const char *text = reinterpret_cast<const char *>(lParam);
        if (!*text) return EDITOR_OK;
        Selection before = state->sel;
        state->doc.BeginStep(TextDocument::Other, before);
        TextPos end = state->doc.Insert(at, text);
        state->sel = {end, end};
        state->doc.EndStep(state->sel);
        state->goalCell = -1;
        Refresh(state, true, before);
        return EDITOR_OK;
    }
    case WM_EDITOR_GETTEXTLENGTH:
    case WM_EDITOR_GETTEXT: {
        TextPos from{0, 0}, to = Buf(state).End();
        if (wParam) {
            const EDITORRANGE *range = reinterpret_cast<const EDITORRANGE *>(wParam);
            from = FromPosition(state, range->Start);
            to = FromPosition(state, range->End);
        }
        if (message == WM_EDITOR_GETTEXTLENGTH) return static_cast<LRESULT>(Buf(state).Length(from, to, true));
        if (!lParam) return EDITOR_BADARGUMENT;
        std::string text = Buf(state).Text(from, to, true);
        memcpy(reinterpret_cast<char *>(lParam), text.c_str(), text.size() + 1);
        return EDITOR_OK;
    }
    case WM_EDITOR_GETSEL: {
        if (!lParam) return EDITOR_BADARGUMENT;
        EDITORRANGE *range = reinterpret_cast<EDITORRANGE *>(lParam);
        bool normalized = wParam != 0;
        range->Start = ToPosition(normalized ? state->sel.Start() : state->sel.anchor);
        range->End = ToPosition(normalized ? state->sel.End() : state->sel.caret);
        return EDITOR_OK;
    }
    case WM_EDITOR_SETSEL: {
        if (!lParam) return EDITOR_BADARGUMENT;
        const EDITORRANGE *range = reinterpret_cast<const EDITORRANGE *>(lParam);
        Selection before = state->sel;
        state->sel = {FromPosition(state, range->Start), FromPosition(state, range->End)};
        state->goalCell = -1;
        state->doc.BreakMerge();
        Refresh(state, false, before);
        return EDITOR_OK;
    }
    case WM_EDITOR_DELETESEL:
        DeleteSelection(state);
        return EDITOR_OK;
    case WM_EDITOR_REPLACESEL: {
        if (!lParam) return EDITOR_BADARGUMENT;
        const char *text = reinterpret_cast<const char *>(lParam);
        if (state->sel.Empty() && !*text) return EDITOR_OK;
        ReplaceSelection(state, text, TextDocument::Other);
        return EDITOR_OK;
    }
    case WM_EDITOR_EXECCMD:
        switch (wParam) {
        case EDITORCMD_SELECTALL: SelectAll(state); return EDITOR_OK;
        case EDITORCMD_FIND: ShowFindDialog(state, false); return EDITOR_OK;
        case EDITORCMD_REPLACE: ShowFindDialog(state, true); return EDITOR_OK;
        }
        return EDITOR_BADARGUMENT;
    case WM_EDITOR_CANUNDO: return state->doc.CanUndo() ? 1 : 0;
    case WM_EDITOR_CANREDO: return state->doc.CanRedo() ? 1 : 0;
    case WM_EDITOR_CANCUT:
    case WM_EDITOR_CANCOPY: return state->sel.Empty() ? 0 : 1;
    case WM_EDITOR_CANPASTE: return ClipboardHasText() ? 1 : 0;
    case WM_EDITOR_UNDO: UndoRedo(state, false); return EDITOR_OK;
    case WM_EDITOR_REDO: UndoRedo(state, true); return EDITOR_OK;
    case WM_EDITOR_CUT: Cut(state); return EDITOR_OK;
    case WM_EDITOR_COPY: CopySelection(state); return EDITOR_OK;
    case WM_EDITOR_PASTE: Paste(state); return EDITOR_OK;
    case WM_EDITOR_SHOWSCROLLBAR: {
        bool horizontal = wParam != 0, show = lParam != 0;
        (horizontal ? state->showHScroll : state->showVScroll) = show;
        ShowScrollBar(state->window, horizontal ? SB_HORZ : SB_VERT, show);
        (horizontal ? state->hBar : state->vBar)[0] = -1;
        UpdateScrollBars(state);
        return EDITOR_OK;
    }
    case WM_EDITOR_SETLINENUMBERING:
        if (lParam) {
            const EDITORLINENUMBERS *numbers = reinterpret_cast<const EDITORLINENUMBERS *>(lParam);
            state->lineNumbers = numbers->Enabled != 0;
            state->lineNumberStart = numbers->StartAt;
            InvalidateRect(state->window, nullptr, FALSE);
            UpdateScrollBars(state);
        }
        return EDITOR_OK;
    case WM_EDITOR_SETUP2634:
    case WM_EDITOR_SETUP4784:
    case WM_EDITOR_SETUP2904:
    case WM_EDITOR_SETUP4954:
        return EDITOR_OK;
    }
    return DefWindowProcW(state->window, message, wParam, lParam);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    EditorState *state = StateOf(window);
    if (message == WM_NCCREATE) {
        state = new (std::nothrow) EditorState;
        if (!state) return FALSE;
        state->window = window;
        DefaultColors(&state->colors);
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    if (message == FindMessageId() && FindMessageId()) {
        HandleFindMessage(state, reinterpret_cast<FINDREPLACEA *>(lParam));
        return 0;
    }
    switch (message) {
    case WM_CREATE: {
        ApplyFont(state, nullptr);
        const WCHAR *name = reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpszName;
        size_t length = 0;
        if (name && !IS_INTRESOURCE(name)) while (name[length]) ++length;
        if (length) state->doc.SetText(utf8::FromUtf16(reinterpret_cast<const char16_t *>(name), length));
        UpdateScrollBars(state);
        return 0;
    }
    case WM_NCDESTROY:
        CloseFindDialog(state);
        if (state->symbolFont) DeleteObject(state->symbolFont);
        SetWindowLongPtrW(window, 0, 0);
        delete state;
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT: OnPaint(state); return 0;
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(window, &client);
        PaintEditor(state, reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        UpdateScrollBars(state);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_SETFONT:
        ApplyFont(state, reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam)) InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_SETTEXT: {
        const WCHAR *text = reinterpret_cast<const WCHAR *>(lParam);
        size_t length = 0;
        if (text) while (text[length]) ++length;
        ReplaceText(state, utf8::FromUtf16(reinterpret_cast<const char16_t *>(text), length));
        state->encoding = FileEncoding::Utf8;
        return TRUE;
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(utf8::ToUtf16(Buf(state).WholeText(true)).size());
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        std::u16string text = utf8::ToUtf16(Buf(state).WholeText(true));
        size_t count = std::min<size_t>(text.size(), wParam - 1);
        memcpy(reinterpret_cast<WCHAR *>(lParam), text.data(), count * sizeof(WCHAR));
        reinterpret_cast<WCHAR *>(lParam)[count] = 0;
        return static_cast<LRESULT>(count);
    }
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
    case WM_SETFOCUS: OnFocus(state, true); return 0;
    case WM_KILLFOCUS: OnFocus(state, false); return 0;
    case WM_KEYDOWN: OnKeyDown(state, wParam); return 0;
    case WM_CHAR:
    case WM_IME_CHAR: OnChar(state, static_cast<WCHAR>(wParam)); return 0;
    case WM_IME_STARTCOMPOSITION:
        state->composing = true;
        PlaceComposition(state);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_IME_ENDCOMPOSITION:
        state->composing = false;
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_IME_COMPOSITION: {
        // The result is taken here (DefWindowProc would send it again as
        // WM_IME_CHAR); the composition string is the input method's to show.
        const LPARAM result = GCS_RESULTSTR | GCS_RESULTREADSTR | GCS_RESULTCLAUSE | GCS_RESULTREADCLAUSE;
        if (lParam & GCS_RESULTSTR) OnCompositionResult(state);
        if (lParam & ~result) return DefWindowProcW(window, message, wParam, lParam & ~result);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnButtonDown(state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), message == WM_LBUTTONDBLCLK);
        return 0;
    case WM_MOUSEMOVE: OnMouseMove(state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONUP: EndDrag(state); return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window) state->dragging = false;
        return 0;
    case WM_TIMER:
        if (wParam == DragScrollTimer) OnDragTimer(state);
        return 0;
    case WM_VSCROLL: OnScroll(state, SB_VERT, LOWORD(wParam)); return 0;
    case WM_HSCROLL: OnScroll(state, SB_HORZ, LOWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: OnWheel(state, GET_WHEEL_DELTA_WPARAM(wParam), false); return 0;
    case WM_MOUSEHWHEEL: OnWheel(state, -GET_WHEEL_DELTA_WPARAM(wParam), true); return 0;
    }
    if (message >= WM_USER) return OnEditorMessage(state, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// What a message answers when it failed with an exception.
LRESULT FailureAnswer(UINT message)
{
    switch (message) {
    case WM_CREATE: return -1;
    case WM_EDITOR_CANUNDO:
    case WM_EDITOR_CANREDO:
    case WM_EDITOR_CANCUT:
    case WM_EDITOR_CANCOPY:
    case WM_EDITOR_CANPASTE:
    case WM_EDITOR_GETTEXTLENGTH: return 0;
    }
    return message >= WM_USER ? EDITOR_FAILED : 0;
}

// After an exception (std::bad_alloc: a load or paste too big for the
// memory): a half-done edit is taken back, the selection put inside the
// text, and the window shown as it is.
void Recover(HWND window, UINT message)
{
    if (message == WM_PAINT) ValidateRect(window, nullptr);
    EditorState *state = StateOf(window);
    if (!state) return;
    try {
        Selection before = state->sel, restored;
        if (state->doc.AbortStep(&restored)) state->sel = restored;
        state->sel = {Buf(state).Clamp(state->sel.anchor), Buf(state).Clamp(state->sel.caret)};
        state->goalCell = -1;
        state->pendingSurrogate = 0;
        state->doc.BreakMerge();
        UpdateScrollBars(state);
        Refresh(state, false, before);
    } catch (...) {
    }
}

// No C++ exception leaves the window procedure: it would unwind through
// the system's code.
LRESULT CALLBACK EditorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (...) {
        Recover(window, message);
        return FailureAnswer(message);
    }
}

} // namespace

void ReplaceSelection(EditorState *state, const std::string &text, TextDocument::StepKind kind)
{
    Selection before = state->sel;
    state->doc.BeginStep(kind, before);
    if (!before.Empty()) state->doc.Erase(before.Start(), before.End());
    TextPos end = state->doc.Insert(before.Start(), text);
    state->sel = {end, end};
    state->doc.EndStep(state->sel);
    state->goalCell = -1;
    Refresh(state, true, before);
}

void EditorChanged(EditorState *state, const Selection &before) { Refresh(state, true, before); }

void SetSelection(EditorState *state, Selection selection)
{
    Selection before = state->sel;
    state->sel = {Buf(state).Clamp(selection.anchor), Buf(state).Clamp(selection.caret)};
    state->goalCell = -1;
    state->doc.BreakMerge();
    Refresh(state, false, before);
}

BOOL CMRegisterControl(DWORD version)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EditorWindowProc;
    windowClass.cbWndExtra = sizeof(EditorState *);
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
    windowClass.lpszClassName = W16(CODEMAX_CLASS);
    if (RegisterClassW(&windowClass)) return TRUE;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

BOOL CMRegisterLanguage(const char *name, const EDITORLANGUAGE *definition)
{
    if (!name || !definition) return FALSE;
    RegisterLanguage(name, *definition);
    return TRUE;
}
