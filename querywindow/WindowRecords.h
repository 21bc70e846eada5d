// The query window's state record, and its layout, status bar and title
// (WindowLayout.cpp). The record is the query window module's own: the
// frame reaches a query window through QueryWindow.h, and a query window
// the frame through FrameServices.h.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/WindowState.h"
#include "query/BatchWorker.h"
#include "querywindow/ProgramValues.h"
#include "results/ResultBuffer.h"
#include "server/ClientLibrary.h"

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
    int32_t ActiveTab;          // the tab of the last batch's outcome: a result's (from 0), or "Messages" (MessagesTab)
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
    // The grids of the last batch's further result sets, each in a tab of
    // its own after Grid's, each showing (and owning) its buffer.
    std::vector<HWND> MoreGrids;
    // While a batch runs: its result sets begun so far (the job's), shown
    // as they arrive by the grid of the same place.
    std::vector<GRIDBUFFER *> Arriving;
    // Results begun whose tabs are still to be made, in order, and whether
    // the batch's end waits for them (QueryBatch.cpp).
    struct BegunResult {
        int32_t Index, Statement;
        GRIDBUFFER *Source;
    };
    std::vector<BegunResult> BegunWaiting;
    uint8_t EndWaiting;
    int32_t RowCount;           // rows of the running batch's result counted so far
    uint8_t Executing;
    HWND Frame;                 // the frame window; null outside a frame
    uint32_t StartTicks;
    uint32_t LastTicks;
    char FileName[FileNameSize];
    // The running batch's record, shared with its worker until the worker
    // posts WM_EXECUTE_DONE; null between batches.
    BATCHJOB *Batch;
    // The statements of the batch text (for the lines of its errors), the
    // editor line where that text starts, and whether a selection ran.
    struct SCRIPTSTATEMENTS *Statements;
    // The first line of each statement of the batch text, and of the
    // statement of each result of the last batch, or of the running one as
    // each result begins: the tabs' tooltips.
    std::vector<std::string> StatementFirstLines;
    std::vector<std::string> ResultTips;
    HWND TabTips;               // the tooltip of the results pane's tabs
    int32_t TipTab;             // the tab whose tip it holds, -1 none
    int32_t BatchFirstLine;
    uint8_t BatchWasSelection;
    // The window's recovery copy (ScriptRecovery.h); null while the program
    // keeps none.
    struct SCRIPTRECOVERY *Recovery;
    // Name completion's state (NameCompletion.h); null until first used.
    struct COMPLETIONDATA *Completion;
    // The running batch's text and the database it started in: when it
    // ends, a batch that created, altered, dropped or renamed objects has
    // the cache of names load those databases again.
    std::string BatchText;
    std::string BatchDatabase;
    // The running batch's entry for the history, recorded when it ends;
    // null between batches or when no history is kept.
    struct HISTORYENTRY *HistoryEntry;
    // The display scale the window's fonts, images and bars are made for
    // (WindowScale.h), and the status bar's font at that scale.
    int32_t Dpi;
    HFONT StatusFont;
    HFONT EditorFont; // the shared editor font at Dpi; null at 96 DPI, where the shared one serves
};

// A zeroed record and its release (nothing it points to is freed): the
// window frees what the record holds in ReleaseQueryWindow. Null when
// memory ran out.
CHILDDATA *NewQueryWindowRecord();
void FreeQueryWindowRecord(CHILDDATA *child);

// Control ids inside a query window.
enum { IDC_TABS = 1, IDC_CHILDSTATUS = 2, IDC_EDITOR = 3, IDC_GRID = 4, IDC_MESSAGEPANE = 5, IDC_SPLITTER = 6 };

// Sets one status part of a query window, then refits the parts.
void SetStatusText(CHILDDATA *child, int part, const char *text);
// Recomputes the seven part widths from their current texts.
void FitStatusParts(CHILDDATA *child);
// "Query - host.database.account - file" with "*" while modified (the
// saved connection's name in place of the host when it has one); written
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

// The results pane's tabs: one per result set of the last batch ("Results"
// alone, or "Result 1", "Result 2", ...), then "Messages".
int32_t MessagesTab(const CHILDDATA *child);
// The grid of the tab'th result (Grid first), or null.
HWND ResultGrid(const CHILDDATA *child, int32_t tab);
// The tab shown (the person may have chosen another since the batch), and
// its grid, or null when "Messages" is shown.
int32_t TabShown(const CHILDDATA *child);
HWND ShownGrid(const CHILDDATA *child);
bool IsResultGrid(const CHILDDATA *child, HWND window);
// Shows the tab's pane alone; ShowTab also makes it the batch's tab and
// selects it.
void ShowPaneOfTab(CHILDDATA *child, int32_t tab);
void ShowTab(CHILDDATA *child, int32_t tab);
// Ctrl+Page Down and Ctrl+Page Up: the next or previous tab, wrapping; the
// focus follows when it was in the results pane.
void StepTab(CHILDDATA *child, int32_t step);
// Gives the grids of further results one buffer each (taken over), making
// grids as needed and removing those left over, and names the tabs anew.
// The buffers shown before are released. keepPlace: each buffer is the one
// its grid showed, grown (the person's selection and scroll position stay).
void ReplaceMoreResults(CHILDDATA *child, GRIDBUFFER *const *buffers, int32_t count, bool keepPlace = false);
// The mouse moved over the tab control (client point): its tooltip takes
// the text of the tab under it, the first line of that result's statement.
void TrackTabTip(CHILDDATA *child, int32_t x, int32_t y);
// One more result's grid (the buffer taken over) and its tab before
// "Messages", the tab shown staying shown. False (the buffer released)
// when no grid could be made.
bool AddMoreResult(CHILDDATA *child, GRIDBUFFER *buffer);
