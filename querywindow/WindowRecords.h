// The state records of the frame and of a query window, the program-wide
// values beside them, and the query window's layout, status bar and title
// (WindowLayout.cpp).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "base/WindowState.h"
#include "grid/ResultBuffer.h"
#include "query/BatchWorker.h"
#include "server/ClientLibrary.h"

// The executable's directory without a trailing backslash; settings.ini,
// templates\ and vrl.chm are found under it. Set when the frame is created.
extern char AppDirectory[MAX_PATH];
// Fills AppDirectory from the module's path.
void ComputeAppDirectory();
// The frame's MDI client, in which the query windows live.
extern HWND MdiClientWindow;

enum { ToolbarButtonCount = 32 };

struct FRAMEDATA {
    HWND FrameWindow;
    HMENU MainMenu;
    HMENU NewPopup;            // File > New
    HMENU FilePopup;
    HMENU EditPopup;
    HMENU QueryPopup;
    HMENU WindowPopup;
    HMENU HelpPopup;
    HMENU InsertTemplatePopup; // Edit > Insert Template
    HWND StatusBar;
    HWND ToolbarHost;
    HWND Toolbar;
    TBBUTTON ToolbarButtons[ToolbarButtonCount];
    HFONT SelectorFont;
    HWND DatabaseSelector;
    int32_t ConnectionCount;
    int32_t StatusEdges[3];
};

enum { FileNameSize = 516, StatusPartCount = 7 };

struct CHILDDATA {
    HWND Window;
    HWND StatusBar;
    HFONT TabFont;
    HFONT MessageFont;
    HWND Tabs;
    HWND Editor;
    HWND Grid;
    HWND MessagePane;
    HWND Splitter;
    HIMAGELIST TabImages;
    uint8_t ResultsShown;
    int32_t ActiveTab;          // 0 "Results", 1 "Messages"
    CONNECTIONINFO *Connection; // owned
    WNDPROC EditorProc;
    int32_t StatusParts[StatusPartCount];
    OPENFILENAMEA FileDialog;   // its file buffer is FileName
    uint8_t HasFileName;
    uint8_t Modified;
    HWND FocusPane;
    // The outcome of a batch is its BATCHJOB's, read once when the batch
    // ends; only the rows stay with the window.
    GRIDBUFFER *Buffer;         // the last batch's result set, owned; the grid shows it
    int32_t RowCount;           // rows of the running batch's result counted so far
    uint8_t Executing;
    FRAMEDATA *Frame;
    uint32_t StartTicks;
    uint32_t LastTicks;
    char FileName[FileNameSize];
    // The running batch's record, shared with its worker until the worker
    // posts WM_EXECUTE_DONE; null between batches.
    BATCHJOB *Batch;
    // The statements of the batch text (for the lines of its errors), the
    // editor line where that text starts, and whether a selection ran.
    struct SCRIPTSTATEMENTS *Statements;
    int32_t BatchFirstLine;
    uint8_t BatchWasSelection;
};

// Control ids inside a query window.
enum { IDC_TABS = 1, IDC_CHILDSTATUS = 2, IDC_EDITOR = 3, IDC_GRID = 4, IDC_MESSAGEPANE = 5, IDC_SPLITTER = 6 };
// Control ids inside the frame, the toolbar host and the toolbar.
enum { IDC_TOOLBARHOST = 1, IDC_FRAMESTATUS = 2, IDC_TOOLBAR = 2, IDC_DATABASESELECTOR = 3 };

// Toolbar button states.
enum { ButtonEnabled = TBSTATE_ENABLED, ButtonGrayed = TBSTATE_INDETERMINATE };

// Sets one status part of a query window, then refits the parts.
void SetStatusText(CHILDDATA *child, int part, const char *text);
// Recomputes the seven part widths from their current texts.
void FitStatusParts(CHILDDATA *child);
// "Query - host.database.account - file" with "*" while modified; written
// into buffer (cut to fit).
void BuildTitle(CHILDDATA *child, char *buffer, int bufferSize);
// BuildTitle, then SetWindowText of the query window.
void UpdateTitle(CHILDDATA *child);
// Places the tab control, editor, splitter, grid, message pane and status
// bar; full = 1 also hands the splitter its area anew.
void LayoutWindow(CHILDDATA *child, int full);
void ShowResultsPane(CHILDDATA *child);
void HideResultsPane(CHILDDATA *child);
// True when the query window is the active one of its MDI client: the
// frame's commands and selector speak for that window only.
bool IsActiveQueryWindow(CHILDDATA *child);
// The buffer the window's grid shows now, or null.
GRIDBUFFER *BufferShownByGrid(CHILDDATA *child);
// Sets "Connection: %d" with the frame's ConnectionCount in the frame's
// status bar.
void ShowConnectionCount(FRAMEDATA *frame);
// Enables or grays a command in a menu and the button of the same id on the
// frame's toolbar (either may be null/absent).
void SetMenuItemEnabled(HMENU menu, UINT command, bool enabled);
void SetToolbarButtonState(FRAMEDATA *frame, UINT command, BYTE state);
