// Editing operations on the record: each changes the text or the selection
// as one undo step (or none), then brings the view up to date (Refresh).
#include "editor/EditorWindow.h"

#include <algorithm>

#include "base/Clipboard.h"

namespace {

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

} // namespace

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

void MoveCaret(EditorState *state, TextPos pos, bool extend, bool keepGoal)
{
    Selection before = state->sel;
    state->sel.caret = BufferOf(state).Clamp(pos);
    if (!extend) state->sel.anchor = state->sel.caret;
    if (!keepGoal) state->goalCell = -1;
    state->doc.BreakMerge();
    Refresh(state, false, before);
}

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

void InsertTextAt(EditorState *state, TextPos at, std::string_view text)
{
    Selection before = state->sel;
    state->doc.BeginStep(TextDocument::Other, before);
    TextPos end = state->doc.Insert(at, text);
    state->sel = {end, end};
    state->doc.EndStep(state->sel);
    state->goalCell = -1;
    Refresh(state, true, before);
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

void Backspace(EditorState *state, bool word)
{
    if (DeleteSelection(state)) return;
    TextPos caret = state->sel.caret;
    TextPos from = word ? WordLeft(BufferOf(state), caret) : PreviousChar(BufferOf(state), caret);
    EraseRange(state, from, caret, word ? TextDocument::Other : TextDocument::Backspace, from);
}

void DeleteForward(EditorState *state, bool word)
{
    if (DeleteSelection(state)) return;
    TextPos caret = state->sel.caret;
    TextPos to = word ? WordRight(BufferOf(state), caret) : NextChar(BufferOf(state), caret);
    EraseRange(state, caret, to, word ? TextDocument::Other : TextDocument::DeleteForward, caret);
}

void NewLine(EditorState *state)
{
    const std::string &line = BufferOf(state).Line(state->sel.Start().line);
    int indent = std::min(IndentOf(line), state->sel.Start().col);
    ReplaceSelection(state, "\n" + line.substr(0, indent), TextDocument::Other);
}

// Tab indents each line by a tab; Shift+Tab takes away one tab or up to
// EditorTabCells spaces. The selection then covers the whole lines.
void IndentLines(EditorState *state, bool outdent)
{
    Selection before = state->sel;
    TextPos start = before.Start(), end = before.End();
    int last = end.col == 0 && end.line > start.line ? end.line - 1 : end.line;
    state->doc.BeginStep(TextDocument::Other, before);
    for (int line = start.line; line <= last; ++line) {
        const std::string &text = BufferOf(state).Line(line);
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
    const TextBuffer &buffer = BufferOf(state);
    TextPos from{start.line, 0};
    TextPos to = last + 1 < buffer.LineCount() ? TextPos{last + 1, 0}
                                               : TextPos{last, static_cast<int>(buffer.Line(last).size())};
    state->sel = before.caret < before.anchor ? Selection{to, from} : Selection{from, to};
    state->doc.EndStep(state->sel);
    Refresh(state, true, before);
}

void SelectAll(EditorState *state)
{
    Selection before = state->sel;
    state->sel = {{0, 0}, BufferOf(state).End()};
    state->doc.BreakMerge();
    Refresh(state, false, before);
}

void SetSelection(EditorState *state, Selection selection)
{
    Selection before = state->sel;
    state->sel = {BufferOf(state).Clamp(selection.anchor), BufferOf(state).Clamp(selection.caret)};
    state->goalCell = -1;
    state->doc.BreakMerge();
    Refresh(state, false, before);
}

void UndoRedo(EditorState *state, bool redo)
{
    Selection before = state->sel, after;
    if (!(redo ? state->doc.Redo(&after) : state->doc.Undo(&after))) return;
    state->sel = {BufferOf(state).Clamp(after.anchor), BufferOf(state).Clamp(after.caret)};
    state->goalCell = -1;
    Refresh(state, true, before);
}

// Copies as CF_UNICODETEXT, with CR LF breaks.
bool CopySelection(EditorState *state)
{
    if (state->sel.Empty()) return false;
    std::string text = BufferOf(state).Text(state->sel.Start(), state->sel.End(), true);
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
