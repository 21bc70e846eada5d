// The query window's editor set-up: font, the "MySQL" language,
// colours.
#pragma once

#include <windows.h>

#include "editor/CodeMaxControl.h"

// The "MySQL" definition (static texts).
const EDITORLANGUAGE &MySqlLanguage();
// The editor font: "Courier New", height 16, made by the first SetupEditor
// and shared by every editor.
extern HFONT EditorFont;
// Prepares a newly created editor, in its fixed order.
void SetupEditor(HWND editor);
