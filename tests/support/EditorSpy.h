// The real SQL editor control with a spy on it: the script-file tests see
// the editor's lines and selection and count the insertions and selection
// changes that reach it, while the control itself does the work.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "editor/CodeMaxControl.h"

struct EditorSpy {
    HWND Editor = nullptr;
    std::vector<std::string> Lines;  // as the editor holds them now
    EDITORRANGE Selection = {};       // start never after end
    EDITORPOSITION InsertedEnd = {};  // where the last insertion ended
    int SetSelCount = 0;
    int InsertCount = 0;

    std::string Text() const;         // lines joined by CR LF
    void SetText(const std::string &text);
    EditorSpy &Refresh();
};

// Creates the editor as control 3 of the parent, with its spy.
HWND CreateSpiedEditor(HWND parent);
// The spy of an editor made by CreateSpiedEditor, brought up to date.
EditorSpy &SpyOf(HWND editor);
