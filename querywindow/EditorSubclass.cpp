#include "querywindow/EditorSubclass.h"

#include "editor/CodeMaxControl.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"

namespace {

const char EditorProcProperty[] = "VintrelEditorProc";

// The editor's own procedure, found in the query window's record; the copy
// that SubclassEditor keeps serves while there is no record yet.
WNDPROC EditorProcOf(HWND editor)
{
    HWND tabs = GetParent(editor);
    CHILDDATA *child = tabs ? StateOf<CHILDDATA>(GetParent(tabs)) : nullptr;
    if (child && child->EditorProc) return child->EditorProc;
    return reinterpret_cast<WNDPROC>(GetPropA(editor, EditorProcProperty));
}

// Carries out the frame's edit commands on the editor; false for any other
// command.
bool HandleCommand(HWND editor, WORD command)
{
    switch (command) {
    case CMD_SAVE: NotifyParent(editor, EDITORN_SAVE); return true;
    case CMD_SAVEAS: NotifyParent(editor, EDITORN_SAVEAS); return true;
    case CMD_UNDO: SendMessageW(editor, WM_EDITOR_UNDO, 0, 0); return true;
    case CMD_REDO: SendMessageW(editor, WM_EDITOR_REDO, 0, 0); return true;
    case CMD_CUT: SendMessageW(editor, WM_EDITOR_CUT, 0, 0); return true;
    case CMD_COPY: SendMessageW(editor, WM_EDITOR_COPY, 0, 0); return true;
    case CMD_PASTE: SendMessageW(editor, WM_EDITOR_PASTE, 0, 0); return true;
    case CMD_DELETE: SendMessageW(editor, WM_EDITOR_DELETESEL, 0, 0); return true;
    case CMD_SELECTALL: SendMessageW(editor, WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL, 0); return true;
    }
    return false;
}

} // namespace

LRESULT CALLBACK EditorSubclassProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC editorProc = EditorProcOf(editor);
    if (message == WM_COMMAND && HandleCommand(editor, LOWORD(wParam))) return 0;
    if (message == WM_RBUTTONUP) return 0;
    if (!editorProc) return DefWindowProcW(editor, message, wParam, lParam);
    return CallWindowProcW(editorProc, editor, message, wParam, lParam);
}

WNDPROC SubclassEditor(HWND editor)
{
    WNDPROC own = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(editor, GWLP_WNDPROC));
    SetPropA(editor, EditorProcProperty, reinterpret_cast<HANDLE>(own));
    SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditorSubclassProc));
    return own;
}

void UnsubclassEditor(HWND editor, WNDPROC editorProc)
{
    if (!editorProc) return;
    SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editorProc));
    RemovePropA(editor, EditorProcProperty);
}
