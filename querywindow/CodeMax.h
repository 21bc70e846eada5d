// The query window's editor set-up (Part 3.2): font, the "MySQL" language,
// colours.
#pragma once

#include <windows.h>

#include "editor/CodeMaxControl.h"

// The "MySQL" definition of Part 3.2 (static texts).
const EDITORLANGUAGE &MySqlLanguage();
// The editor font: "Courier New", height 16. The latest one is kept here;
// none is deleted (one per editor, as Part 3.2 allows).
extern HFONT EditorFont;
// Prepares a newly created editor, in the order of Part 3.2.
void SetupEditor(HWND editor);
