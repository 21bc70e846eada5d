// A stand-in for the SQL editor control: a window that keeps its text as
// lines and answers the editor messages that script files and templates use
// (lines and columns from 1, columns counting bytes). Loading a file notifies
// the parent of a text change, as the real control does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "editor/CodeMaxControl.h"

struct StandInEditorState {
    std::vector<std::string> Lines{""};
    EDITORRANGE Selection{{1, 1}, {1, 1}};
    EDITORPOSITION InsertedEnd{0, 0}; // just after the last inserted text
    int SetSelCount = 0;
    int InsertCount = 0;
    std::string Text() const; // lines joined by CR LF
    void SetText(const std::string &text);
};

// Creates the stand-in as child control 3 of the parent.
HWND CreateStandInEditor(HWND parent);
StandInEditorState &EditorState(HWND editor);
