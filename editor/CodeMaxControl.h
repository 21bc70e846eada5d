// The SQL editing control: window class "CodeMax", registered by
// CMRegisterControl and driven through the messages below.
//
// Lines and columns count from 1: line 1, column 1 is the start of the text,
// so "Ln %d, Col %d" of the caret reads as users expect. A column counts
// bytes of the line's UTF-8 text, plus one.
#pragma once

#include <windows.h>

#include <cstdint>

#define CODEMAX_CLASS "CodeMax"

struct EDITORPOSITION {
    int32_t Line;
    int32_t Column;
};

struct EDITORRANGE {
    EDITORPOSITION Start;
    EDITORPOSITION End;
};

// A language definition handed to CMRegisterLanguage. List texts hold their
// items each followed by a line feed.
struct EDITORLANGUAGE {
    int32_t Style;
    int32_t CaseInsensitive;         // nonzero: keywords match in any case
    const char *Keywords;
    const char *Operators;
    const char *SingleLineComments;  // e.g. "#\n-- "
    const char *MultiLineCommentStart;
    const char *MultiLineCommentEnd;
    const char *OpeningBrackets;
    const char *ClosingBrackets;
    const char *StringDelimiters;    // e.g. "'\n\""
    uint16_t EscapeCharacter;
    uint16_t StatementTerminator;
    const char *Reserved1;
    const char *Reserved2;
    const char *Reserved3;
};

// The control's colour table: one RGB value (COLORREF) per entry.
enum { EditorColorCount = 20 };
struct EDITORCOLORS {
    COLORREF Colors[EditorColorCount];
};

// Registers the window class "CodeMax"; version is 0x2100.
BOOL CMRegisterControl(DWORD version);
// Keeps a copy of the definition under the name (replacing one of the same
// name). Returns TRUE on success.
BOOL CMRegisterLanguage(const char *name, const EDITORLANGUAGE *definition);

enum EditorMessage : UINT {
    WM_EDITOR_SETLANGUAGE = 2624,
    WM_EDITOR_SETCOLORS = 2654,
    WM_EDITOR_GETCOLORS = 2664,
    WM_EDITOR_LOADFILE = 3324,
    WM_EDITOR_SAVEFILE = 3334,
    WM_EDITOR_INSERTTEXT = 3354,
    WM_EDITOR_GETTEXTLENGTH = 3374,
    WM_EDITOR_GETTEXT = 3384,
    WM_EDITOR_GETSEL = 3444,
    WM_EDITOR_SETSEL = 3454,
    WM_EDITOR_DELETESEL = 3464,
    WM_EDITOR_EXECCMD = 3724,
    WM_EDITOR_CANUNDO = 4324,
    WM_EDITOR_CANREDO = 4334,
    WM_EDITOR_CANCUT = 4344,
    WM_EDITOR_CANCOPY = 4354,
    WM_EDITOR_CANPASTE = 4364,
    WM_EDITOR_REDO = 4374,
    WM_EDITOR_UNDO = 4384,
    WM_EDITOR_CUT = 4394,
    WM_EDITOR_COPY = 4404,
    WM_EDITOR_PASTE = 4414,
};

// Commands of WM_EDITOR_EXECCMD.
enum { EDITORCMD_SELECTALL = 137, EDITORCMD_REPLACE = 169, EDITORCMD_FIND = 178 };

// Notification codes sent to the parent as WM_NOTIFY.
enum { EDITORN_CHANGE = 100, EDITORN_SELCHANGE = 130 };
