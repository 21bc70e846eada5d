// Real query windows inside the real frame, on connections of the test
// account, driven through the frame's commands and the message loop.
#pragma once

#include "TestSupport.h"

#include <string>

#include "querywindow/QueryWindow.h"
#include "querywindow/WindowRecords.h"

// Registers the classes as the program does and creates one frame, shown
// (hiding a top-level window makes Wine wait for a window manager).
HWND TestFrame();
// The parts of a frame as a person sees them, found by their control ids.
HWND FrameToolbar(HWND frame = TestFrame());
HWND FrameSelector(HWND frame = TestFrame());
HWND FrameStatusBar(HWND frame = TestFrame());

// Opens a query window on a new connection (with that current database when
// one is named) and lets the MDI client activate it.
HWND OpenQueryWindow(const char *database = nullptr);
CHILDDATA *ChildOf(HWND window);
// Destroys every query window without asking.
void CloseAllQueryWindows();

// A command as the menu gives it: to the frame, which passes it on.
void FrameCommand(UINT command);
void SetEditorText(CHILDDATA *child, const std::string &text);
std::string EditorText(CHILDDATA *child);
std::string StatusText(CHILDDATA *child, int part);
std::string Title(HWND window);
std::string MessagePaneText(CHILDDATA *child);
// The selector's current entry, "(none)" without one.
std::string SelectorText(HWND frame = TestFrame());
int SelectorCount(HWND frame = TestFrame());
// Part 1 of the frame's status bar: "Connection: %d".
std::string FrameStatusText(HWND frame = TestFrame());
bool MenuGrayed(UINT command);
int ButtonState(UINT command);

// Runs the editor's text (Execute through the frame) and waits for the
// completion; false when it did not come in time.
bool RunBatch(CHILDDATA *child, const std::string &sql, DWORD timeoutMs = 20000);
bool WaitForCompletion(CHILDDATA *child, DWORD timeoutMs = 20000);
// The result the grid shows (null when none) and its number of rows (-1
// when none), as the grid answers.
const GRIDBUFFER *GridBuffer(CHILDDATA *child);
int GridRows(CHILDDATA *child);
