// The completion list: a child window of its own class
// ("CodeMaxCompletion") over the editor's text that never takes the focus,
// so typing goes on in the editor; the editor hands it the keys that move
// in it. The list draws only its visible rows from
// the array of shown indexes: a million candidates cost no more to show
// than ten. It draws its scroll bar too: under Wine a window's standard
// scroll bar is redrawn in 4 to 8 ms whenever its range changes, which
// narrowing does at every keystroke, and that was most of a keystroke's
// time.
#include "editor/EditorWindow.h"

#include <windowsx.h>

#include <algorithm>

#include "base/TextFold.h"
#include "base/Utf8.h"
#include "base/WindowState.h"

#define W16(text) reinterpret_cast<const WCHAR *>(u"" text)

namespace {

const WCHAR *const ListClass = W16("CodeMaxCompletion");
enum { MaxRows = 12, MinWidthCells = 16, MaxWidthCells = 64, MeasuredCandidates = 200 };

CompletionState &ListOf(EditorState *state) { return state->completion; }

// The editor whose list the popup shows (kept in the popup's user data).
EditorState *EditorOfList(HWND list)
{
    return StateOf<EditorState>(reinterpret_cast<HWND>(GetWindowLongPtrW(list, GWLP_USERDATA)));
}

int ShownCount(const CompletionState &list) { return static_cast<int>(list.candidates.Shown().size()); }

void SendCompletionNotice(EditorState *state, UINT code, int32_t reason, uint32_t character, const char *chosen)
{
    NMEDITORCOMPLETION notice{};
    notice.Header = {state->window, static_cast<UINT_PTR>(GetDlgCtrlID(state->window)), code};
    notice.Reason = reason;
    notice.Character = character;
    notice.Caret = {state->sel.caret.line + 1, state->sel.caret.col + 1};
    notice.Chosen = chosen;
    SendMessageA(GetParent(state->window), WM_NOTIFY, notice.Header.idFrom, reinterpret_cast<LPARAM>(&notice));
}

// The typed part, or false when the caret has left it (another line, before
// its start, a selection) or it holds a character no name has.
bool TypedPart(EditorState *state, std::string &typed)
{
    const CompletionState &list = ListOf(state);
    TextPos caret = state->sel.caret;
    if (!state->sel.Empty() || caret.line != list.start.line || caret.col < list.start.col) return false;
    const std::string &line = BufferOf(state).Line(caret.line);
    typed.assign(line, static_cast<size_t>(list.start.col), static_cast<size_t>(caret.col - list.start.col));
    // The first character may be an opening quote; the rest must continue.
    std::string_view opening;
    size_t offset = 0;
    if (!typed.empty() && IsOpeningQuote(static_cast<unsigned char>(typed[0]))) {
        opening = std::string_view(typed).substr(0, 1);
        offset = 1;
    }
    while (offset < typed.size()) {
        size_t length = 0;
        uint32_t codePoint = utf8::Decode(typed, offset, &length);
        if (!ContinuesTypedPart(opening, codePoint)) return false;
        offset += length;
    }
    return true;
}

int WidthCells(EditorState *state)
{
    const CompletionState &list = ListOf(state);
    size_t widest = 0;
    size_t measured = std::min<size_t>(list.candidates.Shown().size(), MeasuredCandidates);
    for (size_t row = 0; row < measured; row++) {
        uint32_t index = list.candidates.Shown()[row];
        widest = std::max(widest, list.candidates.Text(index).size() + list.candidates.KindLabel(index).size() + 3);
    }
    return std::max<int>(MinWidthCells, std::min<int>(MaxWidthCells, static_cast<int>(widest)));
}

// Below the start of the typed part, or above its line when the editor has
// more room there; as many rows as fit, in the editor's client coordinates.
RECT ListPlace(EditorState *state)
{
    CompletionState &list = ListOf(state);
    const std::string &line = BufferOf(state).Line(list.start.line);
    RECT client;
    GetClientRect(state->window, &client);
    int x = TextLeft(state) + (CellOfColumn(line, list.start.col) - state->leftCell) * state->cellWidth;
    int below = (list.start.line - state->topLine + 1) * state->lineHeight;
    int above = below - state->lineHeight;
    int border = 2 * GetSystemMetrics(SM_CXBORDER);
    int width = list.widthCells * state->cellWidth + GetSystemMetrics(SM_CXVSCROLL) + border + 4;
    int room = std::max<int>(client.bottom - below, above) - border;
    list.rows = std::max(1, std::min(list.rows, room / std::max(1, state->lineHeight)));
    int height = list.rows * state->lineHeight + border;
    int y = below + height <= client.bottom || client.bottom - below >= above ? below : above - height;
    x = std::max<int>(0, std::min<int>(x, client.right - width));
    return {x, y, x + width, y + height};
}

// The scroll bar's track and thumb, in the list's client coordinates; an
// empty track when every row is in view.
struct ListScrollBar {
    RECT track{}, thumb{};
    bool Shown() const { return track.right > track.left; }
};

ListScrollBar ScrollBarOf(const CompletionState &list)
{
    ListScrollBar bar;
    RECT client;
    GetClientRect(list.list, &client);
    int shown = ShownCount(list);
    if (shown <= list.rows) return bar;
    bar.track = {client.right - GetSystemMetrics(SM_CXVSCROLL), client.top, client.right, client.bottom};
    int height = client.bottom - client.top;
    int thumbHeight = std::min(height, std::max<int>(GetSystemMetrics(SM_CYVTHUMB),
                                                     static_cast<int>(static_cast<long long>(height) * list.rows / shown)));
    int thumbTop = static_cast<int>(static_cast<long long>(height - thumbHeight) * list.top / (shown - list.rows));
    bar.thumb = {bar.track.left, client.top + thumbTop, bar.track.right, client.top + thumbTop + thumbHeight};
    return bar;
}

// The first row shown when the thumb's top is at y.
int TopForThumbAt(const CompletionState &list, int y)
{
    ListScrollBar bar = ScrollBarOf(list);
    int travel = (bar.track.bottom - bar.track.top) - (bar.thumb.bottom - bar.thumb.top);
    if (travel <= 0) return 0;
    long long rows = ShownCount(list) - list.rows;
    return static_cast<int>((static_cast<long long>(y - bar.track.top) * rows + travel / 2) / travel);
}

void PaintScrollBar(HDC dc, const ListScrollBar &bar)
{
    FillRect(dc, &bar.track, GetSysColorBrush(COLOR_SCROLLBAR));
    RECT thumb = bar.thumb;
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
}

void EndThumbDrag(HWND window);

// Shows, moves or hides the popup as the list now stands; a popup already
// in place is only repainted.
void PlaceList(EditorState *state)
{
    CompletionState &list = ListOf(state);
    bool visible = list.open && ShownCount(list) > 0;
    if (!visible) {
        if (list.thumbGrab >= 0) EndThumbDrag(list.list);
        if (list.visible) ShowWindow(list.list, SW_HIDE);
        list.visible = false;
        return;
    }
    list.rows = std::min(ShownCount(list), static_cast<int>(MaxRows));
    RECT place = ListPlace(state);
    if (!list.visible || !EqualRect(&place, &list.placed))
        SetWindowPos(list.list, HWND_TOP, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
    list.placed = place;
    list.visible = true;
    InvalidateRect(list.list, nullptr, FALSE);
}

void ScrollListTo(EditorState *state, int top)
{
    CompletionState &list = ListOf(state);
    list.top = std::max(0, std::min(top, ShownCount(list) - list.rows));
    InvalidateRect(list.list, nullptr, FALSE);
}

void SelectRow(EditorState *state, int row)
{
    CompletionState &list = ListOf(state);
    if (ShownCount(list) == 0) return;
    list.selected = std::max(0, std::min(row, ShownCount(list) - 1));
    int top = list.top;
    if (list.selected < top) top = list.selected;
    if (list.selected >= top + list.rows) top = list.selected - list.rows + 1;
    ScrollListTo(state, top);
}

std::string ChosenText(EditorState *state)
{
    CompletionState &list = ListOf(state);
    if (!list.open || list.selected < 0 || list.selected >= ShownCount(list)) return {};
    return std::string(list.candidates.Text(list.candidates.Shown()[static_cast<size_t>(list.selected)]));
}

// Filters by the typed part anew; the chosen candidate (by its text) stays
// chosen while it is shown, else the first row is.
void FilterList(EditorState *state, const std::string &typed, const std::string &chosen = {})
{
    CompletionState &list = ListOf(state);
    list.typed = typed;
    list.candidates.Filter(fold::Utf8(FilterPart(typed)));
    list.selected = ShownCount(list) > 0 ? 0 : -1;
    list.top = 0;
    if (!chosen.empty()) {
        const std::vector<uint32_t> &shown = list.candidates.Shown();
        for (size_t row = 0; row < shown.size(); row++)
            if (list.candidates.Text(shown[row]) == chosen) {
                list.selected = static_cast<int>(row);
                list.top = std::max(0, list.selected - MaxRows / 2);
                break;
            }
    }
}

// Replaces the typed part with the candidate, as one undo step.
void InsertCandidate(EditorState *state, uint32_t index)
{
    CompletionState &list = ListOf(state);
    std::string typed = list.typed;
    std::string_view given = list.candidates.Insert(index);
    std::string text = list.candidates.TypedCase(index) ? InTypedCase(given, FilterPart(typed)) : std::string(given);
    TextPos start = list.start;
    CloseCompletion(state);
    state->sel = {start, state->sel.caret};
    ReplaceSelection(state, text, TextDocument::Other);
    SendCompletionNotice(state, EDITORN_COMPLETIONCHOSEN, 0, 0, text.c_str());
}

void AcceptChoice(EditorState *state)
{
    CompletionState &list = ListOf(state);
    if (list.selected < 0 || list.selected >= ShownCount(list)) return CloseCompletion(state);
    InsertCandidate(state, list.candidates.Shown()[static_cast<size_t>(list.selected)]);
}

// A child of the editor, not a popup of its own: showing a popup maps a
// window of the display server each time (5 to 15 ms under Wine), a child
// costs nothing of the kind. The editor then leaves the list's pixels to
// it.
bool EnsureListWindow(EditorState *state)
{
    CompletionState &list = ListOf(state);
    if (list.list) return true;
    LONG_PTR style = GetWindowLongPtrW(state->window, GWL_STYLE);
    SetWindowLongPtrW(state->window, GWL_STYLE, style | WS_CLIPCHILDREN);
    list.list = CreateWindowExW(0, ListClass, W16(""), WS_CHILD | WS_BORDER | WS_CLIPSIBLINGS, 0, 0, 10,
                                10, state->window, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!list.list) return false;
    SetWindowLongPtrW(list.list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state->window));
    return true;
}

void PaintRow(EditorState *state, HDC dc, const RECT &row, uint32_t index, bool selected)
{
    const CompletionState &list = ListOf(state);
    SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    std::u16string text = utf8::ToUtf16(list.candidates.Text(index));
    ExtTextOutW(dc, row.left + 2, row.top, ETO_OPAQUE | ETO_CLIPPED, &row, reinterpret_cast<LPCWSTR>(text.data()),
                static_cast<UINT>(text.size()), nullptr);
    std::u16string label = utf8::ToUtf16(list.candidates.KindLabel(index));
    if (label.empty()) return;
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    ExtTextOutW(dc, row.right - 2, row.top, ETO_OPAQUE | ETO_CLIPPED, nullptr, reinterpret_cast<LPCWSTR>(label.data()),
                static_cast<UINT>(label.size()), nullptr);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
}

void PaintList(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    EditorState *state = EditorOfList(window);
    RECT client;
    GetClientRect(window, &client);
    int drawnTo = client.top;
    if (state) {
        const CompletionState &list = ListOf(state);
        ListScrollBar bar = ScrollBarOf(list);
        if (bar.Shown()) {
            PaintScrollBar(dc, bar);
            client.right = bar.track.left;
        }
        HGDIOBJ oldFont = SelectObject(dc, state->font);
        const std::vector<uint32_t> &shown = list.candidates.Shown();
        for (int row = list.top; row < static_cast<int>(shown.size()) && drawnTo < client.bottom; row++) {
            RECT rect = {client.left, drawnTo, client.right, drawnTo + state->lineHeight};
            PaintRow(state, dc, rect, shown[static_cast<size_t>(row)], row == list.selected);
            drawnTo += state->lineHeight;
        }
        SelectObject(dc, oldFont);
    }
    RECT rest = {client.left, drawnTo, client.right, client.bottom};
    if (rest.bottom > rest.top) FillRect(dc, &rest, GetSysColorBrush(COLOR_WINDOW));
    EndPaint(window, &paint);
}

// A click on the scroll bar: on the thumb it starts a drag, above or below
// it moves a page.
void OnScrollBarClick(EditorState *state, const ListScrollBar &bar, int y)
{
    CompletionState &list = ListOf(state);
    if (y < bar.thumb.top) return ScrollListTo(state, list.top - list.rows);
    if (y >= bar.thumb.bottom) return ScrollListTo(state, list.top + list.rows);
    list.thumbGrab = y - bar.thumb.top;
    SetCapture(list.list);
}

void OnListClick(HWND window, int x, int y, bool doubleClick)
{
    EditorState *state = EditorOfList(window);
    if (!state) return;
    CompletionState &list = ListOf(state);
    ListScrollBar bar = ScrollBarOf(list);
    if (bar.Shown() && x >= bar.track.left) return OnScrollBarClick(state, bar, y);
    SelectRow(state, list.top + y / std::max(1, state->lineHeight));
    if (doubleClick) AcceptChoice(state);
}

void OnListMouseMove(HWND window, int y)
{
    EditorState *state = EditorOfList(window);
    if (!state || ListOf(state).thumbGrab < 0) return;
    CompletionState &list = ListOf(state);
    ScrollListTo(state, TopForThumbAt(list, y - list.thumbGrab));
}

void EndThumbDrag(HWND window)
{
    EditorState *state = EditorOfList(window);
    if (!state || ListOf(state).thumbGrab < 0) return;
    ListOf(state).thumbGrab = -1;
    if (GetCapture() == window) ReleaseCapture();
}

LRESULT CALLBACK CompletionListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEWHEEL:
        if (EditorState *state = EditorOfList(window)) CompletionWheel(state, GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_PAINT: PaintList(window); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_LBUTTONDOWN: OnListClick(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), false); return 0;
    case WM_LBUTTONDBLCLK: OnListClick(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), true); return 0;
    case WM_MOUSEMOVE: OnListMouseMove(window, GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: EndThumbDrag(window); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool RegisterCompletionListClass()
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = CompletionListProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = ListClass;
    return RegisterClassW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT OnShowCompletion(EditorState *state, const EDITORCOMPLETION *completion)
{
    CompletionState &list = ListOf(state);
    if (!completion || (completion->Count && !completion->Items)) return 0;
    bool refresh = (completion->Flags & EDITORCOMPLETION_REFRESH) != 0;
    if (refresh && !list.open) return 0;
    if (!refresh) {
        CloseCompletion(state);
        TextPos caret = state->sel.caret;
        int start = std::max(0, std::min(completion->StartColumn - 1, caret.col));
        list.start = BufferOf(state).Clamp({caret.line, start});
    }
    std::string typed;
    if (!TypedPart(state, typed)) return 0;
    std::string chosen = refresh ? ChosenText(state) : std::string();
    list.candidates.Assign(completion->Items, completion->Count, completion->KindLabels, completion->KindCount);
    FilterList(state, typed, chosen);
    if (!refresh && (completion->Flags & EDITORCOMPLETION_INSERTSINGLE) && ShownCount(list) == 1) {
        InsertCandidate(state, list.candidates.Shown()[0]);
        return 0;
    }
    if (!EnsureListWindow(state)) return 0;
    list.open = true;
    if (!refresh) list.widthCells = WidthCells(state);
    PlaceList(state);
    return ShownCount(list);
}

void CloseCompletion(EditorState *state)
{
    CompletionState &list = ListOf(state);
    list.open = false;
    PlaceList(state);
}

void DestroyCompletionList(EditorState *state)
{
    CompletionState &list = ListOf(state);
    list.open = false;
    if (list.list) DestroyWindow(list.list);
    list.list = nullptr;
}

LRESULT OnGetCompletion(EditorState *state, EDITORCOMPLETIONSTATE *answer)
{
    if (!answer) return EDITOR_BADARGUMENT;
    const CompletionState &list = ListOf(state);
    answer->Open = list.open ? 1 : 0;
    answer->Shown = list.open ? ShownCount(list) : 0;
    answer->Selected = list.open ? list.selected : -1;
    answer->Total = list.open ? static_cast<int32_t>(list.candidates.Count()) : 0;
    answer->Start = {list.start.line + 1, list.start.col + 1};
    answer->List = list.list;
    return EDITOR_OK;
}

LRESULT OnGetCompletionItem(EditorState *state, WPARAM row, char *buffer)
{
    const CompletionState &list = ListOf(state);
    if (!list.open || row >= list.candidates.Shown().size()) return -1;
    std::string_view text = list.candidates.Text(list.candidates.Shown()[row]);
    if (buffer) {
        memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
    }
    return static_cast<LRESULT>(text.size());
}

LRESULT OnSetCompletionTriggers(EditorState *state, const char *characters)
{
    ListOf(state).triggers = characters ? characters : "";
    return EDITOR_OK;
}

bool CompletionKey(EditorState *state, WPARAM key, bool ctrl, bool shift)
{
    CompletionState &list = ListOf(state);
    if (!list.open) return false;
    if (key == VK_ESCAPE) {
        CloseCompletion(state);
        return true;
    }
    if (ctrl || shift || ShownCount(list) == 0) return false;
    switch (key) {
    case VK_UP: SelectRow(state, list.selected - 1); return true;
    case VK_DOWN: SelectRow(state, list.selected + 1); return true;
    case VK_PRIOR: SelectRow(state, list.selected - list.rows); return true;
    case VK_NEXT: SelectRow(state, list.selected + list.rows); return true;
    case VK_HOME: SelectRow(state, 0); return true;
    case VK_END: SelectRow(state, ShownCount(list) - 1); return true;
    case VK_RETURN:
    case VK_TAB:
        list.swallow = key == VK_RETURN ? L'\r' : L'\t';
        AcceptChoice(state);
        return true;
    }
    return false;
}

bool CompletionWheel(EditorState *state, int delta)
{
    CompletionState &list = ListOf(state);
    if (!list.open || !list.visible) return false;
    ScrollListTo(state, list.top - delta * 3 / WHEEL_DELTA);
    return true;
}

void RequestCompletion(EditorState *state)
{
    ListOf(state).swallow = L' ';
    SendCompletionNotice(state, EDITORN_COMPLETIONNEEDED, EDITORCOMPLETE_REQUEST, 0, nullptr);
}

bool SwallowCompletionChar(EditorState *state, WCHAR c)
{
    CompletionState &list = ListOf(state);
    WCHAR swallow = list.swallow;
    list.swallow = 0;
    // Ctrl+Space is a NUL under X, a space on Windows; Ctrl+Enter a line feed.
    return swallow && (c == swallow || (swallow == L' ' && c == 0) || (swallow == L'\r' && c == L'\n'));
}

void NoteTypedForCompletion(EditorState *state, const std::string &typed)
{
    const std::string &triggers = ListOf(state).triggers;
    if (typed.empty() || triggers.find(typed) == std::string::npos) return;
    size_t length = 0;
    uint32_t character = utf8::Decode(typed, 0, &length);
    SendCompletionNotice(state, EDITORN_COMPLETIONNEEDED, EDITORCOMPLETE_TRIGGER, character, nullptr);
}

void FollowCompletion(EditorState *state)
{
    CompletionState &list = ListOf(state);
    if (!list.open) return;
    std::string typed;
    if (!TypedPart(state, typed)) return CloseCompletion(state);
    if (typed != list.typed) FilterList(state, typed);
    PlaceList(state);
}
