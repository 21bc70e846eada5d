// The query window's procedure: its messages, notifications and commands,
// each handed to a short handler.
#include "querywindow/QueryWindow.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <richedit.h>

#include "base/ActionFailure.h"
#include "base/Clipboard.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "querywindow/ChangeDatabaseDialog.h"
#include "querywindow/QueryBatch.h"
#include "querywindow/QueryWindowInternal.h"
#include "querywindow/ScriptFiles.h"
#include "querywindow/ScriptRecovery.h"
#include "querywindow/SplitterWnd.h"
#include "querywindow/WindowScale.h"
#include "querywindow/EditorSubclass.h"
#include "querywindow/NameCompletion.h"
#include "resources/resource.h"

namespace {

ATOM RegisterQueryWindowClass()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MdiChildProc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(IDI_QUERYWINDOW));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = QUERYWINDOW_CLASS;
    return RegisterClassExA(&windowClass);
}

LRESULT Default(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefMDIChildProcA(window, message, wParam, lParam);
}

CONNECTIONINFO *ConnectionOf(LPARAM createParameter)
{
    const CREATESTRUCTA *create = reinterpret_cast<const CREATESTRUCTA *>(createParameter);
    const MDICREATESTRUCTA *mdi = create ? static_cast<const MDICREATESTRUCTA *>(create->lpCreateParams) : nullptr;
    return mdi ? reinterpret_cast<CONNECTIONINFO *>(mdi->lParam) : nullptr;
}

LRESULT OnCreate(HWND window, LPARAM lParam)
{
    CONNECTIONINFO *connection = ConnectionOf(lParam);
    // The window owns the connection from here on, even when it fails.
    CHILDDATA *child = connection ? NewQueryWindowRecord() : nullptr;
    if (!child) {
        FreeConnectionInfo(connection);
        return -1;
    }
    AttachState(window, child);
    child->Window = window;
    child->Connection = connection;
    if (CreateQueryWindowPanes(child)) return 0;
    AttachState(window, nullptr);
    ReleaseQueryWindow(child);
    return -1;
}

void OnDestroy(HWND window, CHILDDATA *child)
{
    AttachState(window, nullptr);
    ReleaseQueryWindow(child);
}

LRESULT OnClose(HWND window, CHILDDATA *child)
{
    if (AskToClose(child) == CloseRefused) return 0;
    return Default(window, WM_CLOSE, 0, 0);
}

void OnMdiActivate(HWND window, CHILDDATA *child, WPARAM deactivated, LPARAM activated)
{
    if ((HWND)deactivated == window) DeactivateQueryWindow(child);
    if ((HWND)activated == window) ActivateQueryWindow(child);
}

void ShowSelectedTab(CHILDDATA *child) { ShowPaneOfTab(child, TabShown(child)); }

void MarkModified(CHILDDATA *child)
{
    ScheduleRecoveryCopy(child);
    if (child->Modified) return;
    child->Modified = 1;
    UpdateTitle(child);
}

void EditorGotFocus(CHILDDATA *child)
{
    child->FocusPane = child->Editor;
    UpdateEditorCommands(child);
    SendMessageA(child->Grid, WM_GRID_CLEARSELECTION, 0, 0);
    for (HWND grid : child->MoreGrids) SendMessageA(grid, WM_GRID_CLEARSELECTION, 0, 0);
}

void GridGotFocus(CHILDDATA *child, HWND grid)
{
    child->FocusPane = grid;
    UpdateGridCommands(child);
}

// Answers for the notifications the window handles entirely; the others
// fall through to default processing.
bool OnEditorNotify(CHILDDATA *child, const NMHDR *header)
{
    switch (header->code) {
    case EDITORN_COMPLETIONNEEDED:
        OnCompletionNeeded(child, reinterpret_cast<const NMEDITORCOMPLETION *>(header));
        return true;
    case EDITORN_CHANGE: MarkModified(child); return false;
    case EDITORN_SELCHANGE: ShowCaretPosition(child); return false;
    case EDITORN_SAVE: SaveScript(child); return true;
    case EDITORN_SAVEAS: SaveScriptAs(child); return true;
    case (UINT)NM_SETFOCUS: EditorGotFocus(child); return true;
    case (UINT)NM_KILLFOCUS: GrayEditorCommands(child); return true;
    }
    return false;
}

bool OnGridNotify(CHILDDATA *child, const NMHDR *header)
{
    switch (header->code) {
    case (UINT)NM_SETFOCUS: GridGotFocus(child, header->hwndFrom); return true;
    case GN_SELCHANGED: UpdateGridCommands(child); return true;
    case (UINT)NM_KILLFOCUS: GrayResultPaneCommands(child); return true;
    }
    return false;
}

LRESULT OnNotify(HWND window, CHILDDATA *child, WPARAM wParam, LPARAM lParam)
{
    const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
    switch (header->idFrom) {
    case IDC_TABS:
        if (header->code == (UINT)TCN_SELCHANGE) ShowSelectedTab(child);
        break;
    case IDC_EDITOR:
        if (OnEditorNotify(child, header)) return 0;
        break;
    case IDC_GRID:
        if (OnGridNotify(child, header)) return 0;
        break;
    case IDC_SPLITTER:
        if (header->code == SPLITTER_MOVED) LayoutWindow(child, 0);
        break;
    }
    return Default(window, WM_NOTIFY, wParam, lParam);
}

// The pane the edit commands are meant for: the one with the keyboard
// focus, or the one that had it last when the focus is elsewhere; for the
// results, the grid of the tab shown.
HWND CommandTarget(CHILDDATA *child)
{
    HWND focus = GetFocus();
    if (focus == child->Editor || IsResultGrid(child, focus)) return focus;
    HWND shown = ShownGrid(child);
    return IsResultGrid(child, child->FocusPane) && shown ? shown : child->FocusPane;
}

// Save and Save As export the grid's rows only while the grid itself has the
// focus; from anywhere else (the message pane, another window) they save the
// script.
HWND SaveTarget(CHILDDATA *child) { return IsResultGrid(child, GetFocus()) ? GetFocus() : child->Editor; }

// A result is saved whole: not while its rows still arrive.
void SaveResultOrScript(CHILDDATA *child, WPARAM wParam, LPARAM lParam)
{
    HWND target = SaveTarget(child);
    if (target != child->Editor && ShowsArrivingRows(child, target))
        MessageBeep(MB_ICONWARNING);
    else
        SendMessageA(target, WM_COMMAND, wParam, lParam);
}

// Find searches where the keyboard is: a grid's cells, or the editor.
void Find(CHILDDATA *child)
{
    HWND focus = GetFocus();
    if (IsResultGrid(child, focus))
        SendMessageA(focus, WM_COMMAND, CMD_FIND, 0);
    else
        SendMessageA(child->Editor, WM_EDITOR_EXECCMD, EDITORCMD_FIND, 0);
}

// Emptied as one edit, so that Undo brings the whole text back.
void ClearEditor(CHILDDATA *child)
{
    SendMessageA(child->Editor, WM_EDITOR_EXECCMD, EDITORCMD_SELECTALL, 0);
    SendMessageA(child->Editor, WM_EDITOR_DELETESEL, 0, 0);
    UpdateEditorCommands(child);
}

void ToggleResultsPane(CHILDDATA *child)
{
    if (child->ResultsShown)
        HideResultsPane(child);
    else
        ShowResultsPane(child);
}

// Ctrl+Space, from the menu or the accelerator: only while the editor has
// the focus (from the grid or the object browser's filter box it would open
// a list that no key reaches).
void CompleteNameInEditor(CHILDDATA *child)
{
    if (GetFocus() == child->Editor) CompleteNameAtCaret(child, true);
}

void Execute(CHILDDATA *child)
{
    if (SendMessageA(child->Editor, WM_EDITOR_GETTEXTLENGTH, 0, 1) > 0) StartBatch(child);
}

// The dialog's switch would call mysql_select_db on the connection the
// worker is using.
void ChangeDatabase(CHILDDATA *child)
{
    if (child->Executing)
        MessageBeep(MB_ICONWARNING);
    else
        ShowChangeDatabaseDialog(child);
}

// The rich-text pane tells of its focus through WM_COMMAND.
void OnMessagePaneNotify(CHILDDATA *child, UINT code)
{
    if (code == EN_SETFOCUS) UpdateMessagePaneCommands(child);
    if (code == EN_KILLFOCUS) GrayResultPaneCommands(child);
}

// The pane's selection goes on the clipboard as the grid's cells do, as
// Unicode text alone: the rich-text control's own copy hands other
// programs stray bytes after the text.
void CopyMessagePaneSelection(HWND pane)
{
    CHARRANGE range = {0, 0};
    SendMessageA(pane, EM_EXGETSEL, 0, (LPARAM)&range);
    if (range.cpMax <= range.cpMin) return;
    // The pane is an ANSI window: it hands its text over in the program's
    // code page, up to four bytes a character.
    std::vector<char> bytes((size_t)(range.cpMax - range.cpMin) * 4 + 1);
    TEXTRANGEA request = {range, bytes.data()};
    int length = (int)SendMessageA(pane, EM_GETTEXTRANGE, 0, (LPARAM)&request);
    if (length <= 0) return;
    std::vector<WCHAR> wide((size_t)length);
    int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), length);
    // Other programs expect CR LF between lines.
    std::vector<WCHAR> lines;
    for (int i = 0; i < units; i++) {
        lines.push_back(wide[(size_t)i]);
        if (wide[(size_t)i] == L'\r' && (i + 1 >= units || wide[(size_t)i + 1] != L'\n')) lines.push_back(L'\n');
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, lines.data(), (int)lines.size(), nullptr, 0, nullptr, nullptr);
    std::string text((size_t)(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, lines.data(), (int)lines.size(), &text[0], size, nullptr, nullptr);
    CopyUtf8ToClipboard(pane, text.data(), text.size());
}

// Copy and Select All with the focus in the message pane take its text; the
// other edit commands still go to the editor or the grid.
bool MessagePaneCommand(CHILDDATA *child, UINT command)
{
    if (GetFocus() != child->MessagePane || (command != CMD_COPY && command != CMD_SELECTALL)) return false;
    if (command == CMD_COPY) CopyMessagePaneSelection(child->MessagePane);
    if (command == CMD_SELECTALL) SendMessageA(child->MessagePane, EM_SETSEL, 0, -1);
    return true;
}

LRESULT OnCommand(HWND window, CHILDDATA *child, WPARAM wParam, LPARAM lParam)
{
    UINT command = LOWORD(wParam);
    if (command == IDC_MESSAGEPANE && lParam) {
        OnMessagePaneNotify(child, HIWORD(wParam));
        return 0;
    }
    // Only the grid's rows have column names: elsewhere Ctrl+Shift+C copies
    // as it did before the grid had the command.
    if (command == CMD_COPYWITHNAMES && !IsResultGrid(child, GetFocus())) {
        command = CMD_COPY;
        wParam = MAKEWPARAM(CMD_COPY, HIWORD(wParam));
    }
    if (MessagePaneCommand(child, command)) return 0;
    switch (command) {
    case CMD_OPEN: OpenScript(child); return 0;
    case CMD_SAVE:
    case CMD_SAVEAS: SaveResultOrScript(child, wParam, lParam); return 0;
    case CMD_UNDO:
    case CMD_CUT:
    case CMD_COPY:
    case CMD_COPYWITHNAMES:
    case CMD_PASTE:
    case CMD_SELECTALL:
    case CMD_REDO: SendMessageA(CommandTarget(child), WM_COMMAND, wParam, lParam); return 0;
    case CMD_DELETE: SendMessageA(CommandTarget(child), WM_COMMAND, wParam, lParam); break;
    case CMD_CLEARWINDOW: ClearEditor(child); return 0;
    case CMD_SHOWRESULTS: ToggleResultsPane(child); return 0;
    case CMD_NEXTRESULTTAB: StepTab(child, 1); return 0;
    case CMD_PREVIOUSRESULTTAB: StepTab(child, -1); return 0;
    case CMD_FIND: Find(child); break;
    case CMD_REPLACE: SendMessageA(child->Editor, WM_EDITOR_EXECCMD, EDITORCMD_REPLACE, 0); break;
    case CMD_EXECUTE: Execute(child); return 0;
    case CMD_CANCELQUERY: CancelBatch(child); return 0;
    case CMD_INSERTFROMFILE: InsertTemplateFile(child); return 0;
    case CMD_INSERTDATABASE:
    case CMD_INSERTTABLE:
    case CMD_INSERTINDEX:
    case CMD_INSERTFUNCTION:
    case CMD_INSERTPROCEDURE: InsertTemplate(child, TemplateForCommand(command)); return 0;
    case CMD_CHANGEDATABASE: ChangeDatabase(child); return 0;
    case CMD_COMPLETENAME: CompleteNameInEditor(child); return 0;
    }
    return Default(window, WM_COMMAND, wParam, lParam);
}

void OnTimer(CHILDDATA *child, WPARAM timer)
{
    if (timer == ElapsedTimerId) ShowElapsedTime(child);
    if (timer == ProgressTimerId) ShowBatchProgress(child);
    if (timer == BegunResultsTimerId) ShowBegunResults(child);
    if (timer == RecoveryTimerId) UpdateRecoveryCopy(child);
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) return OnCreate(window, lParam);
    CHILDDATA *child = StateOf<CHILDDATA>(window);
    if (!child) return Default(window, message, wParam, lParam);
    switch (message) {
    case WM_SIZE: LayoutWindow(child, 1); break;
    case WM_DPICHANGED_AFTERPARENT: FollowDisplayScale(child, (int)wParam); break;
    case WM_SETFOCUS: SetFocus(child->FocusPane); return 0;
    case WM_CLOSE: return OnClose(window, child);
    case WM_QUERYENDSESSION: return AskToClose(child);
    case WM_NOTIFY: return OnNotify(window, child, wParam, lParam);
    case WM_COMMAND: return OnCommand(window, child, wParam, lParam);
    case WM_TIMER: OnTimer(child, wParam); break;
    case WM_MDIACTIVATE: OnMdiActivate(window, child, wParam, lParam); return 0;
    case WM_EXECUTE_DONE: OnBatchDone(child); return 0;
    case WM_NAMES_ARRIVED: OnNamesArrived(child); return 0;
    case WM_RESULT_BEGUN:
        OnResultBegun(child, ResultBegunPlace(wParam), ResultBegunStatement(wParam), reinterpret_cast<GRIDBUFFER *>(lParam));
        return 0;
    case WM_CANCEL_FAILED: ReportCancelFailure(child, reinterpret_cast<char *>(lParam)); return 0;
    case WM_DESTROY: OnDestroy(window, child); return 0;
    }
    return Default(window, message, wParam, lParam);
}

} // namespace

// No C++ exception leaves the procedure: it would unwind through the
// system's code.
LRESULT CALLBACK MdiChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterQueryWindowClass() : 0;
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        ReportFailedAction(window);
        return message == WM_CREATE ? -1 : 0;
    }
}
