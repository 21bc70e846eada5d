// The query window's subclass of its editor: menu commands become
// editor operations; the right button's release never reaches the editor.
#pragma once

#include <windows.h>

// Notification codes to the editor's parent for Save and Save As.
enum { EDITORN_SAVE = 401, EDITORN_SAVEAS = 402 };

// The subclass procedure. It reaches the editor's own procedure through the
// query window's CHILDDATA::EditorProc (the editor's parent's parent) and
// calls it with CallWindowProcW.
LRESULT CALLBACK EditorSubclassProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam);

// Installs EditorSubclassProc with SetWindowLongPtrW (so that the editor
// stays a Unicode window and typed text keeps arriving as UTF-16) and
// returns the editor's own procedure, to be kept in CHILDDATA::EditorProc.
WNDPROC SubclassEditor(HWND editor);
// Puts the editor's own procedure back.
void UnsubclassEditor(HWND editor, WNDPROC editorProc);
