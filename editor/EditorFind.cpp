// Find and replace through the common dialogs FindTextA and ReplaceTextA.
// Searching wraps around the end (or the start, searching up) once; the
// search text never spans lines (the dialogs take one line). Match case
// off compares characters by their simple case folding, as the grid's find
// and sort do: "Ä" finds "ä", and a match may differ in length in bytes.
#include "editor/EditorWindow.h"

#include "base/ModelessDialogs.h"
#include "base/TextFold.h"
#include "base/Utf8.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsWordByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c >= 0x80;
}

const size_t NoMatch = std::string::npos;

// The length in bytes of the line's text at at that equals what, character
// by folded character; NoMatch when none.
size_t FoldedMatchLength(const std::string &line, size_t at, const std::string &what)
{
    size_t i = at, j = 0;
    while (j < what.size()) {
        if (i >= line.size()) return NoMatch;
        unsigned char a = (unsigned char)line[i], b = (unsigned char)what[j];
        if (a < 0x80 && b < 0x80) {
            if (fold::CodePoint(a) != fold::CodePoint(b)) return NoMatch;
            i++, j++;
            continue;
        }
        size_t la = 0, lb = 0;
        uint32_t ca = utf8::Decode(line, i, &la), cb = utf8::Decode(what, j, &lb);
        // Bytes that are not UTF-8 match only themselves.
        if (fold::CodePoint(ca) != fold::CodePoint(cb) || (ca == 0xFFFD && a != b)) return NoMatch;
        i += la, j += lb;
    }
    return i - at;
}

// The length of the match at at, or NoMatch; a match starts on a character.
size_t MatchAt(const std::string &line, size_t at, const std::string &what, DWORD flags)
{
    if (at >= line.size() || ((unsigned char)line[at] & 0xC0) == 0x80) return NoMatch;
    size_t length;
    if (flags & FR_MATCHCASE)
        length = at + what.size() <= line.size() && line.compare(at, what.size(), what) == 0 ? what.size() : NoMatch;
    else
        length = FoldedMatchLength(line, at, what);
    if (length == NoMatch) return NoMatch;
    if (flags & FR_WHOLEWORD) {
        if (at > 0 && IsWordByte(line[at - 1]) && IsWordByte(what.front())) return NoMatch;
        size_t end = at + length;
        if (end < line.size() && IsWordByte(line[end]) && IsWordByte(what.back())) return NoMatch;
    }
    return length;
}

// Finds what from pos in the direction of the flags; wraps once when wrap.
bool FindFrom(const TextBuffer &buffer, const std::string &what, DWORD flags, TextPos pos, bool wrap,
              Selection *found)
{
    if (what.empty()) return false;
    int lines = buffer.LineCount();
    bool down = flags & FR_DOWN;
    for (int step = 0; step <= lines; ++step) {
        int index = down ? pos.line + step : pos.line - step;
        if (index >= lines || index < 0) {
            if (!wrap) return false;
            index = (index % lines + lines) % lines;
        }
        const std::string &line = buffer.Line(index);
        bool first = step == 0, last = step == lines;
        if (down) {
            size_t from = first ? pos.col : 0;
            size_t to = last ? std::min<size_t>(pos.col, line.size()) : line.size();
            for (size_t at = from; at < line.size() && at <= to; ++at) {
                size_t length = MatchAt(line, at, what, flags);
                if (length != NoMatch) {
                    *found = {{index, int(at)}, {index, int(at + length)}};
                    return true;
                }
            }
        } else {
            // A match ends before the place searching up starts from.
            long from = first ? long(pos.col) - 1 : long(line.size()) - 1;
            long to = last ? long(pos.col) : 0;
            for (long at = from; at >= 0 && at >= (last ? to : 0); --at) {
                size_t length = MatchAt(line, at, what, flags);
                if (length != NoMatch && (!first || at + long(length) <= long(pos.col))) {
                    *found = {{index, int(at)}, {index, int(at + length)}};
                    return true;
                }
            }
        }
    }
    return false;
}

bool SelectionMatches(EditorState *state, const std::string &what, DWORD flags)
{
    Selection sel = state->sel;
    if (sel.Empty() || sel.Start().line != sel.End().line) return false;
    const std::string &line = state->doc.Buffer().Line(sel.Start().line);
    return size_t(sel.End().col - sel.Start().col) == MatchAt(line, sel.Start().col, what, flags);
}

bool FindNext(EditorState *state, const std::string &what, DWORD flags)
{
    TextPos from = (flags & FR_DOWN) ? state->sel.End() : state->sel.Start();
    Selection found;
    if (!FindFrom(state->doc.Buffer(), what, flags, from, true, &found)) return false;
    SetSelection(state, {found.Start(), found.End()});
    return true;
}

int ReplaceAll(EditorState *state, const std::string &what, const std::string &with, DWORD flags)
{
    Selection before = state->sel;
    TextDocument &doc = state->doc;
    doc.BeginStep(TextDocument::Other, before);
    int count = 0;
    TextPos pos{0, 0};
    Selection found;
    TextPos lastEnd{0, 0};
    while (FindFrom(doc.Buffer(), what, flags | FR_DOWN, pos, false, &found)) {
        doc.Erase(found.Start(), found.End());
        pos = lastEnd = with.empty() ? found.Start() : doc.Insert(found.Start(), with);
        ++count;
    }
    Selection after = count ? Selection{lastEnd, lastEnd} : before;
    state->sel = after;
    doc.EndStep(after);
    if (count) Refresh(state, true, before);
    return count;
}

void NotFound(EditorState *state, const std::string &what)
{
    if (state->findDialog && IsWindowVisible(state->findDialog)) {
        std::string message = "Cannot find \"" + what + "\"";
        MessageBoxA(state->findDialog, message.c_str(), "Find", MB_OK | MB_ICONINFORMATION);
    } else {
        MessageBeep(MB_OK);
    }
}

} // namespace

UINT FindMessageId()
{
    static UINT id = RegisterWindowMessageA(FINDMSGSTRINGA);
    return id;
}

void CloseFindDialog(EditorState *state)
{
    if (!state->findDialog) return;
    TrackModelessDialog(state->findDialog, false);
    if (IsWindow(state->findDialog)) DestroyWindow(state->findDialog);
    state->findDialog = nullptr;
}

void ShowFindDialog(EditorState *state, bool replace)
{
    bool isReplace = state->find.lStructSize && state->find.wReplaceWithLen != 0;
    if (state->findDialog && IsWindow(state->findDialog) && isReplace == replace) {
        SetActiveWindow(state->findDialog);
        return;
    }
    CloseFindDialog(state);
    // A selection within one line becomes the text to find.
    Selection sel = state->sel;
    if (!sel.Empty() && sel.Start().line == sel.End().line) {
        std::string text = state->doc.Buffer().Text(sel.Start(), sel.End(), false);
        if (text.size() < sizeof state->findWhat) strcpy(state->findWhat, text.c_str());
    }
    DWORD keep = state->find.lStructSize ? state->find.Flags & (FR_MATCHCASE | FR_WHOLEWORD | FR_DOWN) : FR_DOWN;
    state->find = FINDREPLACEA{};
    state->find.lStructSize = sizeof state->find;
    state->find.hwndOwner = state->window;
    state->find.Flags = keep;
    state->find.lpstrFindWhat = state->findWhat;
    state->find.wFindWhatLen = sizeof state->findWhat;
    if (replace) {
        state->find.lpstrReplaceWith = state->replaceWith;
        state->find.wReplaceWithLen = sizeof state->replaceWith;
    }
    state->findDialog = replace ? ReplaceTextA(&state->find) : FindTextA(&state->find);
    if (state->findDialog) TrackModelessDialog(state->findDialog, true);
}

void FindAgain(EditorState *state, bool up)
{
    if (!state->findWhat[0]) return ShowFindDialog(state, false);
    FINDREPLACEA request = state->find;
    request.Flags = (request.Flags & ~(FR_DOWN | FR_REPLACE | FR_REPLACEALL | FR_DIALOGTERM)) | FR_FINDNEXT |
                    (up ? 0 : FR_DOWN);
    request.lpstrFindWhat = state->findWhat;
    HandleFindMessage(state, &request);
}

void HandleFindMessage(EditorState *state, FINDREPLACEA *request)
{
    if (!request) return;
    DWORD flags = request->Flags;
    if (flags & FR_DIALOGTERM) {
        if (state->findDialog) TrackModelessDialog(state->findDialog, false);
        state->findDialog = nullptr;
        return;
    }
    std::string what = request->lpstrFindWhat ? request->lpstrFindWhat : "";
    std::string with = request->lpstrReplaceWith ? request->lpstrReplaceWith : "";
    if (request != &state->find) {
        // Kept for F3.
        snprintf(state->findWhat, sizeof state->findWhat, "%s", what.c_str());
        state->find.Flags = flags & (FR_MATCHCASE | FR_WHOLEWORD | FR_DOWN);
        if (!state->find.lStructSize) state->find.lStructSize = sizeof state->find;
    }
    if (what.empty()) return;
    if (flags & FR_REPLACEALL) {
        if (!ReplaceAll(state, what, with, flags)) NotFound(state, what);
        return;
    }
    if (flags & FR_REPLACE) {
        flags |= FR_DOWN;
        if (SelectionMatches(state, what, flags)) ReplaceSelection(state, with, TextDocument::Other);
    }
    if ((flags & (FR_FINDNEXT | FR_REPLACE)) && !FindNext(state, what, flags)) NotFound(state, what);
}
