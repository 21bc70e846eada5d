// The "CodeMax" window class: its record, the window procedure that hands
// each message to its handler, and the guard that keeps C++ exceptions
// inside the procedure.
#include "editor/EditorWindow.h"

#include <windowsx.h>

#include <cstring>
#include <new>

#include "base/Clipboard.h"
#include "base/WindowState.h"

#define W16(text) reinterpret_cast<const WCHAR *>(u"" text)

namespace {

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

// Made at WM_NCCREATE, so that every later message finds it; null when
// there is no memory for it (the record's text allocates too, hence the
// catch).
EditorState *CreateEditorState(HWND window) noexcept
{
    EditorState *state = nullptr;
    try {
        state = new EditorState;
    } catch (...) {
        return nullptr;
    }
    state->window = window;
    DefaultColors(&state->colors);
    AttachState(window, state);
    return state;
}

// Freed at WM_NCDESTROY, the last message; a window whose creation failed
// gets it too.
void FreeEditorState(HWND window, EditorState *state) noexcept
{
    CloseFindDialog(state);
    DestroyCompletionList(state);
    if (state->symbolFont) DeleteObject(state->symbolFont);
    AttachState(window, nullptr);
    delete state;
}

// The control's own messages (from WM_USER up).
LRESULT DispatchEditorMessage(EditorState *state, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_EDITOR_SETLANGUAGE: return OnSetLanguage(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_SETCOLORS: return OnSetColors(state, reinterpret_cast<const EDITORCOLORS *>(lParam));
    case WM_EDITOR_GETCOLORS: return OnGetColors(state, reinterpret_cast<EDITORCOLORS *>(lParam));
    case WM_EDITOR_LOADFILE: return LoadFile(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_SAVEFILE: return SaveFile(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_INSERTTEXT:
        return OnInsertText(state, reinterpret_cast<const EDITORPOSITION *>(wParam),
                            reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_GETTEXTLENGTH: return OnGetRangeLength(state, reinterpret_cast<const EDITORRANGE *>(wParam));
    case WM_EDITOR_GETTEXT:
        return OnGetRangeText(state, reinterpret_cast<const EDITORRANGE *>(wParam), reinterpret_cast<char *>(lParam));
    case WM_EDITOR_GETSEL: return OnGetSel(state, wParam != 0, reinterpret_cast<EDITORRANGE *>(lParam));
    case WM_EDITOR_SETSEL: return OnSetSel(state, reinterpret_cast<const EDITORRANGE *>(lParam));
    case WM_EDITOR_DELETESEL: DeleteSelection(state); return EDITOR_OK;
    case WM_EDITOR_REPLACESEL: return OnReplaceSel(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_GETENCODING: return static_cast<LRESULT>(state->encoding);
    case WM_EDITOR_SETENCODING: return OnSetEncoding(state, wParam);
    case WM_EDITOR_EXECCMD: return OnExecCommand(state, wParam);
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
    case WM_EDITOR_SHOWCOMPLETION: return OnShowCompletion(state, reinterpret_cast<const EDITORCOMPLETION *>(lParam));
    case WM_EDITOR_CLOSECOMPLETION: CloseCompletion(state); return EDITOR_OK;
    case WM_EDITOR_GETCOMPLETION: return OnGetCompletion(state, reinterpret_cast<EDITORCOMPLETIONSTATE *>(lParam));
    case WM_EDITOR_GETCOMPLETIONITEM: return OnGetCompletionItem(state, wParam, reinterpret_cast<char *>(lParam));
    case WM_EDITOR_SETCOMPLETIONTRIGGERS:
        return OnSetCompletionTriggers(state, reinterpret_cast<const char *>(lParam));
    case WM_EDITOR_SHOWSCROLLBAR: return OnShowScrollBar(state, wParam != 0, lParam != 0);
    case WM_EDITOR_SETLINENUMBERING:
        return OnSetLineNumbering(state, reinterpret_cast<const EDITORLINENUMBERS *>(lParam));
    case WM_EDITOR_SETUP2634:
    case WM_EDITOR_SETUP4784:
    case WM_EDITOR_SETUP2904:
    case WM_EDITOR_SETUP4954: return EDITOR_OK;
    }
    return DefWindowProcW(state->window, message, wParam, lParam);
}

// The system's messages; a break leaves the message to DefWindowProc as
// well.
LRESULT Dispatch(EditorState *state, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = state->window;
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_CREATE: return OnCreate(state, reinterpret_cast<const CREATESTRUCTW *>(lParam));
    case WM_NCDESTROY: FreeEditorState(window, state); break;
    case WM_PAINT: OnPaint(state); return 0;
    case WM_PRINTCLIENT: OnPrintClient(state, reinterpret_cast<HDC>(wParam)); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_SIZE: OnSize(state); return 0;
    case WM_SETFONT: OnSetFont(state, reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_SETTEXT: return OnSetText(state, reinterpret_cast<const WCHAR *>(lParam));
    case WM_GETTEXTLENGTH: return OnGetTextLength(state);
    case WM_GETTEXT: return OnGetText(state, reinterpret_cast<WCHAR *>(lParam), wParam);
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
    case WM_SETFOCUS: OnFocus(state, true); return 0;
    case WM_KILLFOCUS: OnFocus(state, false); return 0;
    case WM_KEYDOWN: OnKeyDown(state, wParam); return 0;
    case WM_CHAR:
    case WM_IME_CHAR: OnChar(state, static_cast<WCHAR>(wParam)); return 0;
    case WM_IME_STARTCOMPOSITION: OnCompositionStart(state); break;
    case WM_IME_ENDCOMPOSITION: OnCompositionEnd(state); break;
    case WM_IME_COMPOSITION: return OnComposition(state, wParam, lParam);
    case WM_LBUTTONDOWN: OnButtonDown(state, x, y, false); return 0;
    case WM_LBUTTONDBLCLK: OnButtonDown(state, x, y, true); return 0;
    case WM_MOUSEMOVE: OnMouseMove(state, x, y); return 0;
    case WM_LBUTTONUP: EndDrag(state); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(state, reinterpret_cast<HWND>(lParam)); return 0;
    case WM_TIMER: OnTimer(state, wParam); return 0;
    case WM_VSCROLL: OnScroll(state, SB_VERT, LOWORD(wParam)); return 0;
    case WM_HSCROLL: OnScroll(state, SB_HORZ, LOWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: OnWheel(state, GET_WHEEL_DELTA_WPARAM(wParam), false); return 0;
    case WM_MOUSEHWHEEL: OnWheel(state, -GET_WHEEL_DELTA_WPARAM(wParam), true); return 0;
    default:
        if (message >= WM_USER) return DispatchEditorMessage(state, message, wParam, lParam);
    }
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
    case WM_EDITOR_GETCOMPLETIONITEM: return -1;
    case WM_EDITOR_SHOWCOMPLETION: return 0;
    }
    return message >= WM_USER ? EDITOR_FAILED : 0;
}

// After an exception (std::bad_alloc: a load or paste too big for the
// memory): a half-done edit is taken back, the selection put inside the
// text, and the window shown as it is.
void Recover(HWND window, UINT message)
{
    if (message == WM_PAINT) ValidateRect(window, nullptr);
    EditorState *state = StateOf<EditorState>(window);
    if (!state) return;
    try {
        Selection before = state->sel, restored;
        if (state->doc.AbortStep(&restored)) state->sel = restored;
        state->sel = {BufferOf(state).Clamp(state->sel.anchor), BufferOf(state).Clamp(state->sel.caret)};
        state->goalCell = -1;
        state->pendingSurrogate = 0;
        state->doc.BreakMerge();
        UpdateScrollBars(state);
        Refresh(state, false, before);
    } catch (...) {
    }
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        if (!CreateEditorState(window)) return FALSE;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    EditorState *state = StateOf<EditorState>(window);
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    // The find and replace dialogs report through a registered message.
    if (message == FindMessageId() && FindMessageId()) {
        HandleFindMessage(state, reinterpret_cast<FINDREPLACEA *>(lParam));
        return 0;
    }
    return Dispatch(state, message, wParam, lParam);
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

BOOL CMRegisterControl(DWORD version)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EditorWindowProc;
    windowClass.cbWndExtra = sizeof(EditorState *);
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
    windowClass.lpszClassName = W16(CODEMAX_CLASS);
    if (!RegisterCompletionListClass()) return FALSE;
    if (RegisterClassW(&windowClass)) return TRUE;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

BOOL CMRegisterLanguage(const char *name, const EDITORLANGUAGE *definition)
{
    if (!name || !definition) return FALSE;
    RegisterLanguage(name, *definition);
    return TRUE;
}
