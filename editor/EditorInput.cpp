// What the user does to the window: keys, typed characters, input methods,
// focus, the mouse, the scroll bars and the wheel. Each handler turns its
// input into a caret motion (CaretMotion.h) or an editing operation.
#include "editor/EditorWindow.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>

#include "base/Utf8.h"
#include "base/WindowState.h"

namespace {

const UINT_PTR DragScrollTimer = 1;

// Up, Down, Page Up and Page Down keep the column (in cells) where the run
// of such moves began.
void VerticalMove(EditorState *state, int lines, bool extend)
{
    TextPos caret = state->sel.caret;
    if (state->goalCell < 0) state->goalCell = CellOfColumn(BufferOf(state).Line(caret.line), caret.col);
    int line = caret.line + lines;
    TextPos pos;
    if (line < 0)
        pos = {0, 0};
    else if (line >= BufferOf(state).LineCount())
        pos = BufferOf(state).End();
    else
        pos = {line, ColumnOfCell(BufferOf(state).Line(line), state->goalCell)};
    if (line < 0 || line >= BufferOf(state).LineCount()) state->goalCell = -1;
    MoveCaret(state, pos, extend, true);
}

// Ctrl with a letter (not AltGr, which makes characters).
void OnControlKey(EditorState *state, WPARAM key, bool shift)
{
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

void TypeText(EditorState *state, const std::string &text)
{
    state->pendingSurrogate = 0;
    if (!text.empty())
        ReplaceSelection(state, text, state->sel.Empty() ? TextDocument::Typing : TextDocument::Other);
}

TextPos PositionFromPoint(EditorState *state, int x, int y)
{
    int line = state->topLine + (y >= 0 ? y / state->lineHeight : -1 + (y + 1) / state->lineHeight);
    line = std::max(0, std::min(line, BufferOf(state).LineCount() - 1));
    int cellX = x - TextLeft(state) + state->leftCell * state->cellWidth;
    int halves = cellX < 0 ? 0 : cellX * 2 / state->cellWidth;
    return {line, ColumnOfHalfCell(BufferOf(state).Line(line), halves)};
}

// A drag that began with a double-click extends by whole words.
void ExtendDragTo(EditorState *state, int x, int y)
{
    TextPos pos = PositionFromPoint(state, x, y);
    if (!state->wordDrag) {
        MoveCaret(state, pos, true);
        return;
    }
    Selection word = WordAt(BufferOf(state), pos);
    Selection before = state->sel;
    if (pos < state->dragWord.Start())
        state->sel = {state->dragWord.End(), word.Start()};
    else
        state->sel = {state->dragWord.Start(), std::max(word.End(), state->dragWord.End(),
                                                        [](TextPos a, TextPos b) { return a < b; })};
    Refresh(state, false, before);
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

void TakeCompositionResult(EditorState *state)
{
    HIMC context = ImmGetContext(state->window);
    if (!context) return;
    LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
    std::u16string typed;
    if (bytes > 0) {
        typed.resize(static_cast<size_t>(bytes) / sizeof(WCHAR));
        ImmGetCompositionStringW(context, GCS_RESULTSTR, &typed[0], static_cast<DWORD>(bytes));
    }
    ImmReleaseContext(state->window, context);
    TypeText(state, utf8::FromUtf16(typed.data(), typed.size()));
}

} // namespace

void OnKeyDown(EditorState *state, WPARAM key)
{
    // Ctrl and Alt together are AltGr (Windows sends both for it): the key
    // makes a character (WM_CHAR follows), never a Ctrl command.
    bool ctrl = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    // Only the character of this very key may be dropped.
    state->completion.swallow = 0;
    if (CompletionKey(state, key, ctrl, shift)) return;
    if (key == VK_SPACE && ctrl) return RequestCompletion(state);
    TextPos caret = state->sel.caret;
    switch (key) {
    case VK_LEFT:
        if (!shift && !ctrl && !state->sel.Empty()) return MoveCaret(state, state->sel.Start(), false);
        return MoveCaret(state, ctrl ? WordLeft(BufferOf(state), caret) : PreviousChar(BufferOf(state), caret), shift);
    case VK_RIGHT:
        if (!shift && !ctrl && !state->sel.Empty()) return MoveCaret(state, state->sel.End(), false);
        return MoveCaret(state, ctrl ? WordRight(BufferOf(state), caret) : NextChar(BufferOf(state), caret), shift);
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
    case VK_HOME:
        if (ctrl) return MoveCaret(state, {0, 0}, shift);
        return MoveCaret(state, LineHome(BufferOf(state), caret), shift);
    case VK_END:
        if (ctrl) return MoveCaret(state, BufferOf(state).End(), shift);
        return MoveCaret(state, {caret.line, static_cast<int>(BufferOf(state).Line(caret.line).size())}, shift);
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
        return FindAgain(state, shift);
    }
    if (ctrl) OnControlKey(state, key, shift);
}

// A character of a Unicode window comes as UTF-16: one beyond the BMP as
// two messages, a surrogate pair.
void OnChar(EditorState *state, WCHAR c)
{
    if (SwallowCompletionChar(state, c)) return;
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
    TypeText(state, text);
    NoteTypedForCompletion(state, text);
}

void OnCompositionStart(EditorState *state)
{
    state->composing = true;
    PlaceComposition(state);
}

void OnCompositionEnd(EditorState *state) { state->composing = false; }

// The result is taken here, as typed text (DefWindowProc would send it
// again as WM_IME_CHAR); the composition string is the input method's to
// show.
LRESULT OnComposition(EditorState *state, WPARAM wParam, LPARAM changes)
{
    const LPARAM result = GCS_RESULTSTR | GCS_RESULTREADSTR | GCS_RESULTCLAUSE | GCS_RESULTREADCLAUSE;
    if (changes & GCS_RESULTSTR) TakeCompositionResult(state);
    if (changes & ~result) return DefWindowProcW(state->window, WM_IME_COMPOSITION, wParam, changes & ~result);
    return 0;
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
        CloseCompletion(state);
        DestroyCaret();
    }
    InvalidateRect(state->window, nullptr, FALSE);
    NotifyParent(state->window, gained ? NM_SETFOCUS : NM_KILLFOCUS);
}

void OnButtonDown(EditorState *state, int x, int y, bool doubleClick)
{
    CloseCompletion(state);
    SetFocus(state->window);
    TextPos pos = PositionFromPoint(state, x, y);
    bool shift = GetKeyState(VK_SHIFT) < 0;
    if (doubleClick) {
        Selection word = WordAt(BufferOf(state), pos);
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

// The button's release, and the focus's loss: the drag ends.
void EndDrag(EditorState *state)
{
    state->dragging = false;
    if (state->scrollTimer) KillTimer(state->window, DragScrollTimer);
    state->scrollTimer = 0;
    if (GetCapture() == state->window) ReleaseCapture();
}

// Another window took the mouse: the drag's timer ends at its next tick.
void OnCaptureChanged(EditorState *state, HWND capturing)
{
    if (capturing != state->window) state->dragging = false;
}

void OnTimer(EditorState *state, UINT_PTR timer)
{
    if (timer == DragScrollTimer) OnDragTimer(state);
}

void OnScroll(EditorState *state, int bar, int request)
{
    CloseCompletion(state);  // a click on the scroll bar is a click elsewhere
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
    if (!horizontal && CompletionWheel(state, delta)) return;
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == 0) return;
    int steps = -delta * static_cast<int>(std::min(lines, 100u)) / WHEEL_DELTA;
    if (horizontal)
        ScrollTo(state, state->topLine, state->leftCell - steps);
    else
        ScrollTo(state, state->topLine + steps, state->leftCell);
}
