#include "app/FrameWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/AboutDialog.h"
#include "app/ConnectionDialog.h"
#include "app/DesktopShell.h"
#include "app/FrameBrowser.h"
#include "app/ObjectBrowser.h"
#include "app/HistoryDialog.h"
#include "app/RecoveryStartup.h"
#include "app/SettingsLocation.h"
#include "app/ToolbarHost.h"
#include "base/ActionFailure.h"
#include "base/WindowState.h"
#include "history/HistoryStore.h"
#include "querywindow/FrameServices.h"
#include "querywindow/ProgramValues.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/ScriptFiles.h"
#include "resources/resource.h"

namespace {

// [editor] CompleteAfterDot=0 in settings.ini keeps "." from opening the
// completion list.
void ReadEditorSettings()
{
    std::string path = SettingsDirectory() + "\\settings.ini";
    CompleteAfterDot = GetPrivateProfileIntA("editor", "CompleteAfterDot", 1, path.c_str()) != 0;
}

// The frame's record, its own: the query windows ask the frame through the
// FRAMESERVICES below.
struct FRAMEDATA {
    HWND FrameWindow;
    HMENU MainMenu;
    HMENU NewPopup;            // File > New
    HMENU FilePopup;
    HMENU WindowPopup;
    HMENU InsertTemplatePopup; // Edit > Insert Template
    HWND StatusBar;
    HWND ToolbarHost;
    HWND Toolbar;
    HFONT SelectorFont;
    HWND DatabaseSelector;
    int32_t ConnectionCount;   // the query windows open in the frame
    BROWSERPLACE Browser;      // the object browser left of the MDI client
};

FRAMEDATA *NewFrameRecord() { return new (std::nothrow) FRAMEDATA(); }

void FreeFrameRecord(FRAMEDATA *frame) { delete frame; }

const int ToolbarBandHeight = 30;
// The selector lies over toolbar buttons 15 to 29, in the run of separators
// that the toolbar keeps for it.
const int FirstSelectorButton = 15, LastSelectorButton = 29;
const int SelectorDropHeight = 200;
// The MDI client numbers the Window menu's list of query windows from here.
const UINT FirstWindowListId = 1000;
enum { FilePosition = 0, EditPosition = 1, WindowPosition = 3, NewPosition = 4, InsertTemplatePosition = 13 };

HMENU PopupAt(HMENU menu, int position) { return GetSubMenu(menu, position); }

void SetMenuItemEnabled(HMENU menu, UINT command, bool enabled)
{
    if (menu) EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void ShowConnectionCount(FRAMEDATA *frame)
{
    if (!frame->StatusBar) return;
    // Sized for any 32-bit count, not only for the counts one sees.
    char text[32];
    snprintf(text, sizeof text, "Connection: %d", static_cast<int>(frame->ConnectionCount));
    SendMessageA(frame->StatusBar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text));
}

// The selector picks names by their whole text, case included: with
// databases a and ab a prefix search finds ab for a, and on a server with
// case-sensitive names Test and test are different databases.

// The index of the entry whose text is exactly name, or CB_ERR.
int FindExactEntry(HWND comboBox, const char *name)
{
    int count = (int)SendMessageA(comboBox, CB_GETCOUNT, 0, 0);
    size_t nameLength = strlen(name);
    for (int i = 0; i < count; i++) {
        LRESULT length = SendMessageA(comboBox, CB_GETLBTEXTLEN, i, 0);
        if (length < 0 || (size_t)length != nameLength) continue;
        char *text = static_cast<char *>(calloc((size_t)length + 1, 1));
        if (!text) return CB_ERR;
        SendMessageA(comboBox, CB_GETLBTEXT, i, (LPARAM)text);
        bool same = strcmp(text, name) == 0;
        free(text);
        if (same) return i;
    }
    return CB_ERR;
}

// Selects that entry; no entry when none matches. Returns the index or CB_ERR.
int SelectExactEntry(HWND comboBox, const char *name)
{
    int found = FindExactEntry(comboBox, name);
    SendMessageA(comboBox, CB_SETCURSEL, found, 0);
    return found;
}

void InstallMenus(FRAMEDATA *frame)
{
    frame->MainMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
    frame->FilePopup = PopupAt(frame->MainMenu, FilePosition);
    frame->WindowPopup = PopupAt(frame->MainMenu, WindowPosition);
    frame->NewPopup = PopupAt(frame->FilePopup, NewPosition);
    frame->InsertTemplatePopup = PopupAt(PopupAt(frame->MainMenu, EditPosition), InsertTemplatePosition);
    SetMenu(frame->FrameWindow, frame->MainMenu);
}

void CreateMdiClient(FRAMEDATA *frame)
{
    CLIENTCREATESTRUCT client = {frame->WindowPopup, FirstWindowListId};
    MdiClientWindow = CreateWindowExA(WS_EX_CLIENTEDGE, "MDIClient", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                      0, 0, 0, 0, frame->FrameWindow, nullptr, GetModuleHandleA(nullptr), &client);
}

void CreateDatabaseSelector(FRAMEDATA *frame)
{
    RECT first = {}, last = {};
    SendMessageA(frame->Toolbar, TB_GETITEMRECT, FirstSelectorButton, (LPARAM)&first);
    SendMessageA(frame->Toolbar, TB_GETITEMRECT, LastSelectorButton, (LPARAM)&last);
    frame->DatabaseSelector =
        CreateWindowExA(0, "combobox", nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, first.left, 0,
                        last.right - first.left, SelectorDropHeight, frame->Toolbar,
                        (HMENU)(INT_PTR)IDC_DATABASESELECTOR, GetModuleHandleA(nullptr), nullptr);
    EnableWindow(frame->DatabaseSelector, FALSE);
    frame->SelectorFont = CreateFontA(13, 0, 0, 0, FW_DONTCARE, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
    SendMessageA(frame->DatabaseSelector, WM_SETFONT, (WPARAM)frame->SelectorFont, 0);
}

void CreateFrameStatusBar(FRAMEDATA *frame)
{
    frame->StatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                       frame->FrameWindow, (HMENU)(INT_PTR)IDC_FRAMESTATUS,
                                       GetModuleHandleA(nullptr), nullptr);
    int edges[3] = {0, 0, 0};
    SendMessageA(frame->StatusBar, SB_SETPARTS, 3, (LPARAM)edges);
    ShowConnectionCount(frame);
}

LRESULT OnCreate(HWND window)
{
    FRAMEDATA *frame = NewFrameRecord();
    if (!frame) return -1;
    AttachState(window, frame);
    frame->FrameWindow = window;
    InstallMenus(frame);
    CreateMdiClient(frame);
    frame->ToolbarHost = CreateWindowExA(0, VNREBAR_CLASS, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
                                         0, window, (HMENU)(INT_PTR)IDC_TOOLBARHOST, GetModuleHandleA(nullptr), nullptr);
    frame->Toolbar = CreateFrameToolbar(frame->ToolbarHost);
    CreateDatabaseSelector(frame);
    frame->ConnectionCount = 0;
    CreateFrameStatusBar(frame);
    ComputeAppDirectory();
    ReadEditorSettings();
    CreateBrowserPane(frame->Browser, window);
    return 0;
}

void OnSize(FRAMEDATA *frame, WPARAM wParam, LPARAM lParam)
{
    int width = LOWORD(lParam), height = HIWORD(lParam);
    RECT status = {};
    GetWindowRect(frame->StatusBar, &status);
    MoveWindow(frame->ToolbarHost, 0, 0, width, ToolbarBandHeight, TRUE);
    int bandHeight = height - (status.bottom - status.top) - ToolbarBandHeight;
    int left = LayoutBrowserPane(frame->Browser, ToolbarBandHeight, bandHeight);
    MoveWindow(MdiClientWindow, left, ToolbarBandHeight, width - left, bandHeight, TRUE);
    int32_t edges[3];
    FrameStatusEdges(width, edges);
    SendMessageA(frame->StatusBar, SB_SETPARTS, 3, (LPARAM)edges);
    SendMessageA(frame->StatusBar, WM_SIZE, wParam, lParam);
    InvalidateRect(frame->StatusBar, nullptr, TRUE);
    UpdateWindow(frame->StatusBar);
}

void OnInitMenuPopup(FRAMEDATA *frame, HMENU popup)
{
    bool anyWindow = frame->ConnectionCount >= 1;
    if (popup == frame->FilePopup) SetMenuItemEnabled(popup, CMD_DISCONNECTALL, anyWindow);
    if (popup == frame->WindowPopup) {
        SetMenuItemEnabled(popup, CMD_CASCADE, anyWindow);
        SetMenuItemEnabled(popup, CMD_TILEVERTICAL, anyWindow);
        CheckBrowserItem(frame->Browser, popup);
    }
}

void ShowDropDown(FRAMEDATA *frame, NMTOOLBARA *notice)
{
    HMENU popup = notice->iItem == CMD_NEWBLANK ? frame->NewPopup
                  : notice->iItem == CMD_INSERTFROMFILE ? frame->InsertTemplatePopup
                                                        : nullptr;
    if (!popup) return;
    RECT toolbar, button;
    GetWindowRect(frame->Toolbar, &toolbar);
    SendMessageA(frame->Toolbar, TB_GETRECT, notice->iItem, (LPARAM)&button);
    TrackPopupMenu(popup, TPM_VERTICAL, toolbar.left + button.left, toolbar.bottom, 0, frame->Toolbar, nullptr);
}

LRESULT OnNotify(HWND window, FRAMEDATA *frame, WPARAM wParam, LPARAM lParam)
{
    NMHDR *header = reinterpret_cast<NMHDR *>(lParam);
    if (header->idFrom == IDC_TOOLBAR && header->code == (UINT)TBN_DROPDOWN) {
        ShowDropDown(frame, reinterpret_cast<NMTOOLBARA *>(lParam));
        return 0;
    }
    return DefFrameProcA(window, MdiClientWindow, WM_NOTIFY, wParam, lParam);
}

// Destroys the query windows; with ask, only those that agree when asked
// whether they may close (WM_QUERYENDSESSION).
void CloseQueryWindows(bool ask)
{
    HWND window = GetWindow(MdiClientWindow, GW_CHILD);
    while (window) {
        HWND next = GetWindow(window, GW_HWNDNEXT);
        // Only query windows: the MDI client may hold other windows (icon
        // titles of minimized windows).
        if (IsQueryWindow(window) && (!ask || SendMessageA(window, WM_QUERYENDSESSION, 0, 0) == 1))
            SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)window, 0);
        window = next;
    }
}

void DisconnectAll() { CloseQueryWindows(true); }

// Ctrl+F4 asks a window with changed text before it closes; the menu's
// Disconnect asks the same way, so no text is lost without a question.
void Disconnect()
{
    HWND active = ActiveQueryWindow();
    if (active && SendMessageA(active, WM_QUERYENDSESSION, 0, 0) == 1)
        SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)active, 0);
}

// A new window on a copy of the active connection, holding text (if any).
void OpenTemplateWindow(FRAMEDATA *frame, const char *text)
{
    char error[512] = "";
    if (!CloneQueryWindow(ActiveQueryWindow(), text, error, sizeof error)) ShowConnectFailure(frame->FrameWindow, error);
}

// A template that cannot be read leaves the new window's editor empty.
void NewFromTemplate(FRAMEDATA *frame, UINT command)
{
    char *text = ReadTemplate(TemplateForCommand(command));
    OpenTemplateWindow(frame, text);
    free(text);
}

void OpenTemplateSequence(FRAMEDATA *frame)
{
    char *text = AskForTemplateFile(frame->FrameWindow);
    if (!text) return;
    OpenTemplateWindow(frame, text);
    free(text);
}

// The user picked a database in the selector: the active window switches
// to it, or says why it cannot and keeps showing the database in use.
void OnSelectorChoice(FRAMEDATA *frame)
{
    int index = (int)SendMessageA(frame->DatabaseSelector, CB_GETCURSEL, 0, 0);
    if (index < 0) return;
    LRESULT length = SendMessageA(frame->DatabaseSelector, CB_GETLBTEXTLEN, index, 0);
    char *name = static_cast<char *>(calloc((size_t)(length > 0 ? length : 0) + 1, 1));
    if (!name) return;
    SendMessageA(frame->DatabaseSelector, CB_GETLBTEXT, index, (LPARAM)name);
    SwitchQueryWindowDatabase(ActiveQueryWindow(), name);
    free(name);
}

LRESULT OnCommand(HWND window, FRAMEDATA *frame, WPARAM wParam, LPARAM lParam)
{
    UINT command = LOWORD(wParam);
    if (RouteEditCommandToBrowser(frame->Browser, command)) return 0;
    switch (command) {
    case IDC_DATABASESELECTOR:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            OnSelectorChoice(frame);
            return 0;
        }
        break;
    case CMD_CONNECT:
        // The first connect of the run may come only now, when the one at
        // the start was cancelled.
        ShowConnectionDialog(window);
        OfferRecoveredScripts(window);
        return 0;
    case CMD_DISCONNECT: Disconnect(); return 0;
    case CMD_DISCONNECTALL: DisconnectAll(); return 0;
    case CMD_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); return 0;
    case CMD_CASCADE: SendMessageA(MdiClientWindow, WM_MDICASCADE, 0, 0); return 0;
    case CMD_TILEVERTICAL: SendMessageA(MdiClientWindow, WM_MDITILE, MDITILE_VERTICAL, 0); return 0;
    case CMD_ABOUT: ShowAboutDialog(window); return 0;
    case CMD_NEWBLANK:
        if (ActiveQueryWindow()) OpenTemplateWindow(frame, nullptr);
        return 0;
    case CMD_NEWDATABASE:
    case CMD_NEWTABLE:
    case CMD_NEWINDEX:
    case CMD_NEWFUNCTION:
    case CMD_NEWPROCEDURE:
        if (ActiveQueryWindow()) NewFromTemplate(frame, command);
        return 0;
    case CMD_NEWTEMPLATE:
        if (ActiveQueryWindow()) OpenTemplateSequence(frame);
        return 0;
    case CMD_HELPCONTENTS: ShowHelpContents(); return 0;
    case CMD_OBJECTBROWSER: OnBrowserCommand(frame->Browser, window, HIWORD(wParam) == 1); return 0;
    case CMD_HISTORY:
        if (ActiveQueryWindow()) ShowHistoryDialog(window);
        return 0;
    }
    if (HWND active = ActiveQueryWindow()) SendMessageA(active, WM_COMMAND, wParam, lParam);
    return DefFrameProcA(window, MdiClientWindow, WM_COMMAND, wParam, lParam);
}

LRESULT OnClose(HWND window)
{
    DisconnectAll();
    if (GetWindow(MdiClientWindow, GW_CHILD)) return 0;
    return DefFrameProcA(window, MdiClientWindow, WM_CLOSE, 0, 0);
}

void OnDestroy(HWND window, FRAMEDATA *frame)
{
    // A frame destroyed without WM_CLOSE (DestroyWindow) may still hold query
    // windows. Their teardown counts them out of this frame's record, and they
    // would be destroyed only after it is freed: they go first, unasked.
    CloseQueryWindows(false);
    DeleteObject(frame->SelectorFont);
    AttachState(window, nullptr);
    FreeFrameRecord(frame);
    PostQuitMessage(0);
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) return OnCreate(window);
    FRAMEDATA *frame = StateOf<FRAMEDATA>(window);
    if (!frame) return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
    if (OnBrowserSplitterMouse(frame->Browser, window, message, wParam, lParam)) return message == WM_SETCURSOR;
    switch (message) {
    case WM_SIZE: OnSize(frame, wParam, lParam); return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(frame, (HMENU)wParam); return 0;
    case WM_NOTIFY: return OnNotify(window, frame, wParam, lParam);
    case WM_COMMAND: return OnCommand(window, frame, wParam, lParam);
    case WM_CLOSE: return OnClose(window);
    case WM_ENDSESSION:
        // The system ends the process after this, without closing the
        // windows: their unsaved texts stay for the next start.
        if (wParam) {
            KeepScriptsForNextStart();
            // The batches that ended last are on disk before the session ends.
            FlushHistoryRecorder();
        }
        return 0;
    case WM_DESTROY: OnDestroy(window, frame); return 0;
    }
    return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
}

// What the query windows ask of the frame (FrameServices.h) --------------------

// The record of a frame window; null for any other window, whatever its
// extra storage holds.
FRAMEDATA *FrameOf(HWND window)
{
    char name[sizeof FRAME_CLASS + 1] = "";
    if (!window || !GetClassNameA(window, name, sizeof name) || strcmp(name, FRAME_CLASS) != 0) return nullptr;
    return StateOf<FRAMEDATA>(window);
}

void EnableCommandItem(HWND window, UINT command, bool enabled)
{
    if (FRAMEDATA *frame = FrameOf(window)) SetMenuItemEnabled(frame->MainMenu, command, enabled);
}

// A grayed button is drawn indeterminate: it neither reacts nor looks
// pressed.
void EnableCommandButton(HWND window, UINT command, bool enabled)
{
    BYTE state = enabled ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
    if (FRAMEDATA *frame = FrameOf(window)) SendMessageA(frame->Toolbar, TB_SETSTATE, command, MAKELONG(state, 0));
}

void CheckCommandButton(HWND window, UINT command, bool checked)
{
    if (FRAMEDATA *frame = FrameOf(window)) SendMessageA(frame->Toolbar, TB_CHECKBUTTON, command, MAKELONG(checked, 0));
}

void EnableSelector(HWND window, bool enabled)
{
    if (FRAMEDATA *frame = FrameOf(window)) EnableWindow(frame->DatabaseSelector, enabled);
}

void EmptySelector(HWND window)
{
    if (FRAMEDATA *frame = FrameOf(window)) SendMessageA(frame->DatabaseSelector, CB_RESETCONTENT, 0, 0);
}

void AddToSelector(HWND window, const char *name)
{
    if (FRAMEDATA *frame = FrameOf(window)) SendMessageA(frame->DatabaseSelector, CB_ADDSTRING, 0, (LPARAM)name);
}

bool SelectInSelector(HWND window, const char *name)
{
    FRAMEDATA *frame = FrameOf(window);
    return frame && name && SelectExactEntry(frame->DatabaseSelector, name) != CB_ERR;
}

int CountWindows(HWND window, int change)
{
    FRAMEDATA *frame = FrameOf(window);
    if (!frame) return 0;
    if (change == 0) return frame->ConnectionCount;
    frame->ConnectionCount += change;
    ShowConnectionCount(frame);
    return frame->ConnectionCount;
}

const FRAMESERVICES Services = {EnableCommandItem, EnableCommandButton, CheckCommandButton, EnableSelector,
                                EmptySelector,     AddToSelector,       SelectInSelector,   CountWindows};

ATOM RegisterFrame()
{
    ProvideFrameServices(&Services);
    ObjectBrowserProc(nullptr, WM_USER, 0, 0);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MdiFrameProc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(IDI_FRAME));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = FRAME_CLASS;
    return RegisterClassExA(&windowClass);
}

} // namespace

void FrameStatusEdges(int clientWidth, int32_t edges[3])
{
    edges[0] = clientWidth - 150;
    edges[1] = clientWidth - 50;
    edges[2] = clientWidth;
}

// No C++ exception leaves the procedure: it would unwind through the
// system's code.
LRESULT CALLBACK MdiFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterFrame() : 0;
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        ReportFailedAction(window);
        return message == WM_CREATE ? -1 : 0;
    }
}
