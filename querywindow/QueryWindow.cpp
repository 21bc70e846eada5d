// The query window's helpers: creation and teardown of its panes, the
// frame's commands kept in step with the editor and the grid, activation
// and deactivation, and the close prompt. The window procedure that calls
// them is in QueryWindowProc.cpp.
#include "querywindow/QueryWindow.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "query/ServerInfo.h"
#include "querywindow/DatabaseSelector.h"
#include "querywindow/FrameServices.h"
#include "querywindow/QueryBatch.h"
#include "querywindow/EditorSetup.h"
#include "querywindow/NameCompletion.h"
#include "querywindow/QueryWindowInternal.h"
#include "querywindow/BatchHistory.h"
#include "querywindow/ScriptFiles.h"
#include "querywindow/ScriptRecovery.h"
#include "querywindow/SplitterWnd.h"
#include "querywindow/EditorSubclass.h"
#include "resources/resource.h"

namespace {

const DWORD PaneStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
// The tabs stay below the panes and never take the focus from them.
const DWORD TabsStyle = PaneStyle | WS_CLIPCHILDREN | TCS_FOCUSNEVER | TCS_BOTTOM;
const DWORD GridStyle = PaneStyle | WS_VSCROLL | WS_HSCROLL;
// Hidden until the Messages tab is chosen.
const DWORD MessagePaneStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | ES_READONLY | ES_MULTILINE;

const char TabsProcProperty[] = "VintrelTabsProc";
const int CaretTextSize = 34;

HWND CreateChild(DWORD exStyle, const char *className, DWORD style, HWND parent, int id)
{
    return CreateWindowExA(exStyle, className, "", style, 0, 0, 0, 0, parent, (HMENU)(INT_PTR)id,
                           GetModuleHandleA(nullptr), nullptr);
}

// The editor and the grid live inside the tab control, so their
// notifications and commands land there; the query window acts on them,
// so they are passed on with their own control ids.
LRESULT CALLBACK TabsSubclassProc(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC own = reinterpret_cast<WNDPROC>(GetPropA(tabs, TabsProcProperty));
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR *>(lParam)->hwndFrom != tabs)
        return SendMessageA(GetParent(tabs), WM_NOTIFY, wParam, lParam);
    if (message == WM_COMMAND && lParam && reinterpret_cast<HWND>(lParam) != tabs)
        return SendMessageA(GetParent(tabs), WM_COMMAND, wParam, lParam);
    if (message == WM_MOUSEMOVE)
        if (CHILDDATA *child = StateOf<CHILDDATA>(GetParent(tabs)))
            TrackTabTip(child, (int16_t)LOWORD(lParam), (int16_t)HIWORD(lParam));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(tabs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropA(tabs, TabsProcProperty);
    }
    return own ? CallWindowProcA(own, tabs, message, wParam, lParam) : DefWindowProcA(tabs, message, wParam, lParam);
}

void SubclassTabs(HWND tabs)
{
    if (!tabs) return;
    LONG_PTR own = GetWindowLongPtrA(tabs, GWLP_WNDPROC);
    SetPropA(tabs, TabsProcProperty, reinterpret_cast<HANDLE>(own));
    SetWindowLongPtrA(tabs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TabsSubclassProc));
}

void AddTabImage(HIMAGELIST images, const char *name)
{
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), name);
    if (!bitmap) return;
    ImageList_Add(images, bitmap, nullptr);
    DeleteObject(bitmap);
}

HFONT CreatePlainFont(int height, const char *face)
{
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

// One tool over the whole tab control, whose text follows the tab under
// the mouse (TrackTabTip): the tabs may scroll, which no notice tells.
void CreateTabTips(CHILDDATA *child)
{
    child->TipTab = -1;
    child->TabTips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, child->Window, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    if (!child->TabTips) return;
    TTTOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = child->Window;
    tool.uId = (UINT_PTR)child->Tabs;
    tool.lpszText = const_cast<char *>("");
    SendMessageA(child->TabTips, TTM_ADDTOOLA, 0, (LPARAM)&tool);
    // A statement's first line may be long.
    SendMessageA(child->TabTips, TTM_SETMAXTIPWIDTH, 0, 600);
}

void CreatePanes(CHILDDATA *child)
{
    HWND window = child->Window;
    child->Tabs = CreateChild(0, WC_TABCONTROLA, TabsStyle, window, IDC_TABS);
    SubclassTabs(child->Tabs);
    if (child->Tabs) CreateTabTips(child);
    child->Editor = CreateChild(WS_EX_CLIENTEDGE, CODEMAX_CLASS, PaneStyle, child->Tabs, IDC_EDITOR);
    child->Grid = CreateChild(WS_EX_CLIENTEDGE, GRID_CLASS_NAME, GridStyle, child->Tabs, IDC_GRID);
    child->MessagePane = CreateChild(WS_EX_CLIENTEDGE, "RichEdit", MessagePaneStyle, child->Tabs, IDC_MESSAGEPANE);
    child->StatusBar = CreateChild(0, STATUSCLASSNAMEA, PaneStyle, window, IDC_CHILDSTATUS);
    child->Splitter = CreateChild(0, SplitterWndClass, PaneStyle, window, IDC_SPLITTER);

    child->TabImages = ImageList_Create(16, 16, ILC_COLOR, 2, 0);
    child->TabFont = CreatePlainFont(13, "tahoma");
    child->MessageFont = CreatePlainFont(16, "courier new");

    if (child->Editor) {
        SetupEditor(child->Editor);
        child->EditorProc = SubclassEditor(child->Editor);
        StartNameCompletion(child);
    }
    AddTabImage(child->TabImages, "tab1");
    AddTabImage(child->TabImages, "tab2");
    SendMessageA(child->Tabs, WM_SETFONT, (WPARAM)child->TabFont, 0);
    SendMessageA(child->MessagePane, WM_SETFONT, (WPARAM)child->MessageFont, 0);
    SendMessageA(child->Tabs, TCM_SETIMAGELIST, 0, (LPARAM)child->TabImages);
}

void ShowInitialStatus(CHILDDATA *child)
{
    child->ResultsShown = 0;
    child->ActiveTab = 0;
    memset(child->StatusParts, 0, sizeof child->StatusParts);
    SendMessageA(child->StatusBar, SB_SETPARTS, StatusPartCount, (LPARAM)child->StatusParts);

    char version[ServerVersionSize] = "";
    GetServerVersion(child->Connection, version, sizeof version);
    char status[ServerStatusSize];
    FormatServerStatus(ConnectionLabel(child->Connection), version, status, sizeof status, child->Connection->Encrypted,
                       child->Connection->Verified);
    SetStatusText(child, 1, status);
    ShowServerUser(child);
    SetStatusText(child, 4, "0 row(s)");
    SetStatusText(child, 5, "00:00:00");
}

// A frame counts the window in; any other parent of the MDI client
// answers 0, and the window then lives without a frame.
void JoinFrame(CHILDDATA *child)
{
    HWND client = GetParent(child->Window);
    HWND frame = client ? GetParent(client) : nullptr;
    child->Frame = CountQueryWindows(frame, 1) > 0 ? frame : nullptr;
}

LRESULT EditorTextLength(CHILDDATA *child) { return SendMessageA(child->Editor, WM_EDITOR_GETTEXTLENGTH, 0, 1); }

bool EditorCan(CHILDDATA *child, UINT question) { return SendMessageA(child->Editor, question, 0, 0) == 1; }

void SetMenuItemEnabled(HMENU menu, UINT command, bool enabled)
{
    if (menu) EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// A menu item and the toolbar button of the same id.
void SetCommand(HWND frame, UINT command, bool enabled)
{
    EnableFrameMenuItem(frame, command, enabled);
    EnableFrameButton(frame, command, enabled);
}

void SetMenuRange(HWND frame, UINT first, UINT last, bool enabled)
{
    for (UINT command = first; command <= last; command++) EnableFrameMenuItem(frame, command, enabled);
}

// The edit commands a pane leaves behind when it loses the focus.
void GrayEditCommands(HWND frame)
{
    static const UINT items[] = {CMD_SAVE, CMD_SAVEAS, CMD_UNDO, CMD_CUT, CMD_COPY, CMD_PASTE, CMD_DELETE, CMD_SELECTALL, CMD_REDO, CMD_COMPLETENAME};
    for (UINT item : items) EnableFrameMenuItem(frame, item, false);
}

// Selector, menus and buttons of the frame for the newly active window.
void EnableWindowCommands(CHILDDATA *child)
{
    HWND frame = child->Frame;
    EnableDatabaseSelector(frame, true);
    EnableFrameMenuItem(frame, CMD_CHANGEDATABASE, true);
    EnableFrameMenuItem(frame, CMD_DISCONNECT, true);
    EnableFrameMenuItem(frame, CMD_HISTORY, true);
    EnableFrameButton(frame, CMD_NEWBLANK, true);
    SetCommand(frame, CMD_OPEN, true);
    if (!child->Executing) SetCommand(frame, CMD_EXECUTE, true);
    EnableFrameMenuItem(frame, CMD_CANCELQUERY, child->Executing);
    EnableFrameButton(frame, CMD_SHOWRESULTS, true);
    CheckFrameButton(frame, CMD_SHOWRESULTS, child->ResultsShown);
    EnableFrameButton(frame, CMD_INSERTFROMFILE, true);
    SetMenuRange(frame, CMD_INSERTFROMFILE, CMD_INSERTPROCEDURE, true);
    SetMenuRange(frame, CMD_NEWBLANK, CMD_NEWTEMPLATE, true);
}

// The window's own database in the selector. While a batch runs the
// connection is the worker's, so the list is not asked for: the selector
// shows the one name known, and the completion fills it.
void SelectOwnDatabase(CHILDDATA *child)
{
    HWND frame = child->Frame;
    CONNECTIONINFO *connection = child->Connection;
    bool hasDatabase = connection->Database && connection->Database[0];
    if (child->Executing) {
        EmptyDatabaseSelector(frame);
        if (hasDatabase) AddToDatabaseSelector(frame, connection->Database);
        SelectInDatabaseSelector(frame, hasDatabase ? connection->Database : "");
        return;
    }
    bool listed = RefillDatabaseSelector(child);
    if (hasDatabase && !listed) return;
    if (!hasDatabase) {
        if (!SelectInDatabaseSelector(frame, "mysql")) return;
        ReplaceConnectionText(&connection->Database, "mysql");
    }
    mysql_select_db(connection->Handle, connection->Database);
    SetStatusText(child, 2, connection->Database);
}

} // namespace

CHILDDATA *NewQueryWindowRecord() { return new (std::nothrow) CHILDDATA(); }

void FreeQueryWindowRecord(CHILDDATA *child)
{
    if (child) ForgetBatchHistory(child);
    delete child;
}

bool CreateQueryWindowPanes(CHILDDATA *child)
{
    CONNECTIONINFO *connection = child->Connection;
    if (!connection->ServerUser) connection->ServerUser = static_cast<char *>(calloc(ServerUserSize, 1));
    if (!connection->ServerUser) return false;
    GetServerUser(connection);
    CreatePanes(child);
    ShowInitialStatus(child);
    JoinFrame(child);
    PrepareFileDialog(child);
    SetUntitledName(child);
    child->HasFileName = 0;
    child->Modified = 0;
    ShowCaretPosition(child);
    child->Buffer = nullptr;
    child->Executing = 0;
    child->FocusPane = child->Editor;
    child->StartTicks = 0;
    child->LastTicks = 0;
    AttachRecoveryCopy(child);
    return true;
}

void ReleaseQueryWindow(CHILDDATA *child)
{
    // The grid is still alive (children go after their parent's
    // WM_DESTROY): take the buffer it shows away from it before freeing.
    GRIDBUFFER *shown = BufferShownByGrid(child);
    if (child->Grid) SendMessageA(child->Grid, WM_GRID_SETBUFFER, 0, 0);
    child->ResultsShown = 0; // the tabs are not named anew for a window going away
    ReplaceMoreResults(child, nullptr, 0);
    KillTimer(child->Window, ElapsedTimerId);
    KillTimer(child->Window, ProgressTimerId);
    if (child->TabFont) DeleteObject(child->TabFont);
    if (child->MessageFont) DeleteObject(child->MessageFont);
    if (child->Tabs) SendMessageA(child->Tabs, TCM_SETIMAGELIST, 0, 0);
    if (child->TabImages) ImageList_Destroy(child->TabImages);
    if (child->Editor) UnsubclassEditor(child->Editor, child->EditorProc);
    CountQueryWindows(child->Frame, -1);
    DropRecoveryCopy(child);
    EndNameCompletion(child);
    ReleaseBuffer(shown);
    if (child->Buffer != shown) ReleaseBuffer(child->Buffer);
    // A running worker still uses the connection: it is handed over and
    // closed by the worker when the batch ends.
    if (!HandOverRunningBatch(child)) FreeConnectionInfo(child->Connection);
    FreeQueryWindowRecord(child);
}

void UpdateEditorCommands(CHILDDATA *child)
{
    HWND frame = child->Frame;
    if (!frame || !IsActiveQueryWindow(child)) return;
    SetCommand(frame, CMD_SAVE, true);
    EnableFrameMenuItem(frame, CMD_SAVEAS, true);
    SetCommand(frame, CMD_UNDO, EditorCan(child, WM_EDITOR_CANUNDO));
    EnableFrameMenuItem(frame, CMD_REDO, EditorCan(child, WM_EDITOR_CANREDO));
    SetCommand(frame, CMD_CUT, EditorCan(child, WM_EDITOR_CANCUT));
    SetCommand(frame, CMD_COPY, EditorCan(child, WM_EDITOR_CANCOPY));
    SetCommand(frame, CMD_PASTE, EditorCan(child, WM_EDITOR_CANPASTE));
    EnableFrameMenuItem(frame, CMD_DELETE, EditorCan(child, WM_EDITOR_CANCUT));
    EnableFrameMenuItem(frame, CMD_SELECTALL, EditorTextLength(child) > 0);
    EnableFrameMenuItem(frame, CMD_REPLACE, EditorTextLength(child) > 0);
    SetCommand(frame, CMD_CLEARWINDOW, EditorTextLength(child) > 0);
    SetCommand(frame, CMD_FIND, EditorTextLength(child) > 0);
    EnableFrameMenuItem(frame, CMD_COMPLETENAME, true);
    bool hasText = EditorTextLength(child) > 0;
    if (!hasText || !child->Executing) SetCommand(frame, CMD_EXECUTE, hasText);
}

void UpdateGridCommands(CHILDDATA *child)
{
    HWND frame = child->Frame;
    if (!frame || !IsActiveQueryWindow(child)) return;
    HWND grid = IsResultGrid(child, child->FocusPane) ? child->FocusPane : child->Grid;
    HMENU contextMenu = reinterpret_cast<HMENU>(SendMessageA(grid, WM_GRID_GETCONTEXTMENU, 0, 0));
    bool selected = SendMessageA(grid, WM_GRID_GETSELECTION, 0, 0) != FALSE;
    SetCommand(frame, CMD_SAVE, true);
    EnableFrameMenuItem(frame, CMD_SAVEAS, true);
    SetMenuItemEnabled(contextMenu, CMD_SAVEAS, true);
    static const UINT grayed[] = {CMD_UNDO, CMD_CUT, CMD_PASTE, CMD_DELETE, CMD_REDO};
    for (UINT item : grayed) EnableFrameMenuItem(frame, item, false);
    EnableFrameMenuItem(frame, CMD_SELECTALL, true);
    SetMenuItemEnabled(contextMenu, CMD_SELECTALL, true);
    SetCommand(frame, CMD_COPY, selected);
    SetMenuItemEnabled(contextMenu, CMD_COPY, selected);
    SetMenuItemEnabled(contextMenu, CMD_COPYWITHNAMES, selected);
    // Find searches the grid's cells, whatever the editor holds.
    SetCommand(frame, CMD_FIND, SendMessageA(grid, WM_GRID_GETBUFFER, 0, 0) != 0);
}

// The message pane is read-only: while it has the focus, Copy and Select All
// act on its text, and Save still saves the script.
void UpdateMessagePaneCommands(CHILDDATA *child)
{
    HWND frame = child->Frame;
    if (!frame || !IsActiveQueryWindow(child)) return;
    GrayEditCommands(frame);
    SetCommand(frame, CMD_SAVE, true);
    EnableFrameMenuItem(frame, CMD_SAVEAS, true);
    EnableFrameMenuItem(frame, CMD_SELECTALL, true);
    SetCommand(frame, CMD_COPY, true);
}

void ShowCaretPosition(CHILDDATA *child)
{
    EDITORRANGE range = {};
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 0, (LPARAM)&range);
    char text[CaretTextSize];
    snprintf(text, sizeof text, "Ln %d, Col %d", range.End.Line, range.End.Column);
    SetStatusText(child, 6, text);
    UpdateEditorCommands(child);
}

void GrayEditorCommands(CHILDDATA *child)
{
    HWND frame = child->Frame;
    if (!frame) return;
    GrayEditCommands(frame);
    static const UINT buttons[] = {CMD_SAVE, CMD_UNDO, CMD_CUT, CMD_COPY, CMD_PASTE, CMD_CLEARWINDOW, CMD_FIND};
    for (UINT button : buttons) EnableFrameButton(frame, button, false);
}

// The grid and the message pane lose the focus alike: both only copy.
void GrayResultPaneCommands(CHILDDATA *child)
{
    HWND frame = child->Frame;
    if (!frame) return;
    GrayEditCommands(frame);
    EnableFrameButton(frame, CMD_SAVE, false);
    EnableFrameButton(frame, CMD_COPY, false);
}

void ActivateQueryWindow(CHILDDATA *child)
{
    if (child->Frame) {
        EnableWindowCommands(child);
        SelectOwnDatabase(child);
    }
    UpdateTitle(child);
}

void DeactivateQueryWindow(CHILDDATA *child)
{
    HWND frame = child->Frame;
    if (!frame) return;
    EnableDatabaseSelector(frame, false);
    EnableFrameMenuItem(frame, CMD_CHANGEDATABASE, false);
    EmptyDatabaseSelector(frame);
    EnableFrameMenuItem(frame, CMD_DISCONNECT, false);
    EnableFrameMenuItem(frame, CMD_OPEN, false);
    EnableFrameMenuItem(frame, CMD_HISTORY, false);
    static const UINT buttons[] = {CMD_NEWBLANK, CMD_OPEN, CMD_EXECUTE, CMD_SHOWRESULTS, CMD_INSERTFROMFILE};
    for (UINT button : buttons) EnableFrameButton(frame, button, false);
    static const UINT items[] = {CMD_EXECUTE, CMD_CANCELQUERY, CMD_FIND, CMD_REPLACE, CMD_CLEARWINDOW};
    for (UINT item : items) EnableFrameMenuItem(frame, item, false);
    SetMenuRange(frame, CMD_INSERTFROMFILE, CMD_INSERTPROCEDURE, false);
    SetMenuRange(frame, CMD_NEWBLANK, CMD_NEWTEMPLATE, false);
}

CloseAnswer AskToClose(CHILDDATA *child)
{
    if (!child->Modified) return CloseAllowed;
    char text[FileNameSize + 80];
    snprintf(text, sizeof text, "The text in %s has changed. Do you want to save the changes?", child->FileName);
    switch (MessageBoxA(child->Window, text, "Vintrel", MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES:
        // A cancelled or failed save keeps the window: the text is not lost.
        return SaveScript(child) ? CloseAllowed : CloseRefused;
    case IDNO: return CloseAllowed;
    default: return CloseRefused;
    }
}

bool IsQueryWindow(HWND window)
{
    char name[sizeof QUERYWINDOW_CLASS + 1] = "";
    return window && GetClassNameA(window, name, sizeof name) && strcmp(name, QUERYWINDOW_CLASS) == 0 &&
           StateOf<CHILDDATA>(window);
}

bool InsertIntoQueryWindow(HWND window, const char *text)
{
    CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
    if (!child || !text) return false;
    SendMessageA(child->Editor, WM_EDITOR_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
    child->FocusPane = child->Editor;
    SetFocus(child->Editor);
    return true;
}

HWND ActiveQueryWindow()
{
    return MdiClientWindow ? (HWND)SendMessageA(MdiClientWindow, WM_MDIGETACTIVE, 0, 0) : nullptr;
}

bool ActiveQueryWindowMaximized()
{
    BOOL maximized = FALSE;
    HWND active = MdiClientWindow ? reinterpret_cast<HWND>(SendMessageA(MdiClientWindow, WM_MDIGETACTIVE, 0,
                                                                       reinterpret_cast<LPARAM>(&maximized)))
                                  : nullptr;
    return active && maximized;
}

HWND CreateQueryWindow(CONNECTIONINFO *connection, bool maximized)
{
    MDICREATESTRUCTA create = {};
    create.szClass = QUERYWINDOW_CLASS;
    create.szTitle = nullptr; // the query window sets its own title
    create.hOwner = GetModuleHandleA(nullptr);
    create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
    create.style = WS_CLIPCHILDREN | (maximized ? WS_MAXIMIZE : 0);
    create.lParam = reinterpret_cast<LPARAM>(connection);
    return reinterpret_cast<HWND>(SendMessageA(MdiClientWindow, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
}

// The text goes to the editor as the bytes it holds, as an inserted
// template does: WM_SETTEXT would pass it through the UTF-16 conversion,
// which turns every byte that is not UTF-8 (a Latin-1 file, say) into
// U+FFFD for good. The caret then stands at the start, as after WM_SETTEXT.
HWND CloneQueryWindow(HWND source, const char *text, char *error, size_t errorSize)
{
    CHILDDATA *original = IsQueryWindow(source) ? StateOf<CHILDDATA>(source) : nullptr;
    if (!original) return nullptr;
    const CONNECTIONINFO *from = original->Connection;
    CONNECTIONINFO *connection = NewConnectionInfo(from->Host, from->User, from->Password);
    if (!connection) return nullptr;
    ReplaceConnectionText(&connection->Database, from->Database);
    connection->Route = from->Route;
    if (from->Name) ReplaceConnectionText(&connection->Name, from->Name);
    if (!OpenConnectionWithin(connection, ConnectTimeoutSeconds, error, errorSize)) {
        FreeConnectionInfo(connection);
        return nullptr;
    }
    HWND created = CreateQueryWindow(connection, IsZoomed(source) != 0);
    CHILDDATA *child = IsQueryWindow(created) ? StateOf<CHILDDATA>(created) : nullptr;
    if (!child || !text || !*text) return created;
    EDITORRANGE start = {{1, 1}, {1, 1}};
    SendMessageA(child->Editor, WM_EDITOR_INSERTTEXT, (WPARAM)&start.Start, (LPARAM)text);
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&start);
    return created;
}

const CONNECTIONINFO *QueryWindowConnection(HWND window)
{
    CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
    return child ? child->Connection : nullptr;
}

bool InsertAtQueryWindowCaret(HWND window, const char *text)
{
    CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
    if (!child || !text) return false;
    EDITORRANGE selection = {};
    // Not normalized: End is where the caret stands.
    SendMessageA(child->Editor, WM_EDITOR_GETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageA(child->Editor, WM_EDITOR_INSERTTEXT, reinterpret_cast<WPARAM>(&selection.End),
                 reinterpret_cast<LPARAM>(text));
    SetFocus(child->Editor);
    return true;
}
