// The control's interface: what each message does and answers. Positions
// of the messages count from 1 (CodeMaxControl.h), the record's from 0.
#include "editor/EditorWindow.h"

#include <algorithm>
#include <cstring>

#include "base/Utf8.h"

namespace {

TextPos FromPosition(const EditorState *state, const EDITORPOSITION &position)
{
    return BufferOf(state).Clamp({position.Line - 1, position.Column - 1});
}

EDITORPOSITION ToPosition(TextPos pos) { return EDITORPOSITION{pos.line + 1, pos.col + 1}; }

// A null range is the whole text.
void RangeOf(const EditorState *state, const EDITORRANGE *range, TextPos *from, TextPos *to)
{
    *from = {0, 0};
    *to = BufferOf(state).End();
    if (!range) return;
    *from = FromPosition(state, range->Start);
    *to = FromPosition(state, range->End);
}

size_t LengthOf(const WCHAR *text)
{
    size_t length = 0;
    if (text) while (text[length]) ++length;
    return length;
}

} // namespace

// The window's name is its first text (not an undo step).
LRESULT OnCreate(EditorState *state, const CREATESTRUCTW *create)
{
    ApplyFont(state, nullptr);
    const WCHAR *name = create->lpszName;
    size_t length = name && !IS_INTRESOURCE(name) ? LengthOf(name) : 0;
    if (length) state->doc.SetText(utf8::FromUtf16(reinterpret_cast<const char16_t *>(name), length));
    UpdateScrollBars(state);
    return 0;
}

// The window text is the whole text in UTF-16, with CR LF breaks.
LRESULT OnSetText(EditorState *state, const WCHAR *text)
{
    ReplaceText(state, utf8::FromUtf16(reinterpret_cast<const char16_t *>(text), LengthOf(text)));
    state->encoding = FileEncoding::Utf8;
    return TRUE;
}

LRESULT OnGetTextLength(EditorState *state)
{
    return static_cast<LRESULT>(utf8::ToUtf16(BufferOf(state).WholeText(true)).size());
}

LRESULT OnGetText(EditorState *state, WCHAR *buffer, size_t capacity)
{
    if (capacity == 0 || !buffer) return 0;
    std::u16string text = utf8::ToUtf16(BufferOf(state).WholeText(true));
    size_t count = std::min<size_t>(text.size(), capacity - 1);
    memcpy(buffer, text.data(), count * sizeof(WCHAR));
    buffer[count] = 0;
    return static_cast<LRESULT>(count);
}

LRESULT OnSetLanguage(EditorState *state, const char *name)
{
    state->language = FindLanguage(name);
    state->statesValid = 0;
    InvalidateRect(state->window, nullptr, FALSE);
    return state->language || !name ? EDITOR_OK : EDITOR_FAILED;
}

LRESULT OnSetColors(EditorState *state, const EDITORCOLORS *colors)
{
    if (!colors) return EDITOR_BADARGUMENT;
    state->colors = *colors;
    InvalidateRect(state->window, nullptr, FALSE);
    return EDITOR_OK;
}

LRESULT OnGetColors(EditorState *state, EDITORCOLORS *colors)
{
    if (!colors) return EDITOR_BADARGUMENT;
    *colors = state->colors;
    return EDITOR_OK;
}

LRESULT OnInsertText(EditorState *state, const EDITORPOSITION *at, const char *text)
{
    if (!at || !text) return EDITOR_BADARGUMENT;
    if (*text) InsertTextAt(state, FromPosition(state, *at), text);
    return EDITOR_OK;
}

// The length GETTEXT copies, without the terminating zero.
LRESULT OnGetRangeLength(EditorState *state, const EDITORRANGE *range)
{
    TextPos from, to;
    RangeOf(state, range, &from, &to);
    return static_cast<LRESULT>(BufferOf(state).Length(from, to, true));
}

LRESULT OnGetRangeText(EditorState *state, const EDITORRANGE *range, char *buffer)
{
    if (!buffer) return EDITOR_BADARGUMENT;
    TextPos from, to;
    RangeOf(state, range, &from, &to);
    buffer[BufferOf(state).CopyText(from, to, true, buffer)] = '\0';
    return EDITOR_OK;
}

// Normalized: start before end; else anchor, then caret.
LRESULT OnGetSel(EditorState *state, bool normalized, EDITORRANGE *range)
{
    if (!range) return EDITOR_BADARGUMENT;
    range->Start = ToPosition(normalized ? state->sel.Start() : state->sel.anchor);
    range->End = ToPosition(normalized ? state->sel.End() : state->sel.caret);
    return EDITOR_OK;
}

LRESULT OnSetSel(EditorState *state, const EDITORRANGE *range)
{
    if (!range) return EDITOR_BADARGUMENT;
    SetSelection(state, {FromPosition(state, range->Start), FromPosition(state, range->End)});
    return EDITOR_OK;
}

LRESULT OnReplaceSel(EditorState *state, const char *text)
{
    if (!text) return EDITOR_BADARGUMENT;
    if (state->sel.Empty() && !*text) return EDITOR_OK;
    ReplaceSelection(state, text, TextDocument::Other);
    return EDITOR_OK;
}

static_assert(static_cast<int>(FileEncoding::Utf8) == EDITORENCODING_UTF8 &&
                  static_cast<int>(FileEncoding::Utf8Bom) == EDITORENCODING_UTF8BOM &&
                  static_cast<int>(FileEncoding::Utf16Le) == EDITORENCODING_UTF16LE &&
                  static_cast<int>(FileEncoding::Utf16Be) == EDITORENCODING_UTF16BE &&
                  static_cast<int>(FileEncoding::Windows1252) == EDITORENCODING_WINDOWS1252,
              "the message's values are the encodings' own");

LRESULT OnSetEncoding(EditorState *state, WPARAM encoding)
{
    if (encoding > EDITORENCODING_WINDOWS1252) return EDITOR_BADARGUMENT;
    state->encoding = static_cast<FileEncoding>(encoding);
    return EDITOR_OK;
}

LRESULT OnExecCommand(EditorState *state, WPARAM command)
{
    switch (command) {
    case EDITORCMD_SELECTALL: SelectAll(state); return EDITOR_OK;
    case EDITORCMD_FIND: ShowFindDialog(state, false); return EDITOR_OK;
    case EDITORCMD_REPLACE: ShowFindDialog(state, true); return EDITOR_OK;
    }
    return EDITOR_BADARGUMENT;
}

LRESULT OnShowScrollBar(EditorState *state, bool horizontal, bool show)
{
    (horizontal ? state->showHScroll : state->showVScroll) = show;
    ShowScrollBar(state->window, horizontal ? SB_HORZ : SB_VERT, show);
    (horizontal ? state->hBar : state->vBar)[0] = -1;  // set the bar again
    UpdateScrollBars(state);
    return EDITOR_OK;
}

LRESULT OnSetLineNumbering(EditorState *state, const EDITORLINENUMBERS *numbers)
{
    if (!numbers) return EDITOR_OK;
    state->lineNumbers = numbers->Enabled != 0;
    state->lineNumberStart = numbers->StartAt;
    InvalidateRect(state->window, nullptr, FALSE);
    UpdateScrollBars(state);
    return EDITOR_OK;
}
