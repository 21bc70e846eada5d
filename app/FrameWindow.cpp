#include "app/FrameWindow.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "app/AboutDialog.h"
#include "app/ConnectionDialog.h"
#include "app/DesktopShell.h"
#include "app/ToolbarHost.h"
#include "editor/CodeMaxControl.h"
#include "querywindow/DatabaseSelector.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/ScriptFiles.h"
#include "resources/resource.h"

namespace {

const int ToolbarBandHeight = 30;
const int FirstSelectorButton = 15, LastSelectorButton = 29;
const int SelectorDropHeight = 200;

HMENU PopupAt(HMENU menu, int position) { return GetSubMenu(menu, position); }

void InstallMenus(FRAMEDATA *frame)
{
    frame->MainMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINMENU));
    frame->FilePopup = PopupAt(frame->MainMenu, 0);
    frame->EditPopup = PopupAt(frame->MainMenu, 1);
    frame->QueryPopup = PopupAt(frame->MainMenu, 2);
    frame->WindowPopup = PopupAt(frame->MainMenu, 3);
    frame->HelpPopup = PopupAt(frame->MainMenu, 4);
    frame->NewPopup = PopupAt(frame->FilePopup, 4);
    frame->InsertTemplatePopup = PopupAt(frame->EditPopup, 13);
    SetMenu(frame->FrameWindow, frame->MainMenu);
}

void CreateMdiClient(FRAMEDATA *frame)
{
    CLIENTCREATESTRUCT client = {frame->WindowPopup, 1000};
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
    FRAMEDATA *frame = new (std::nothrow) FRAMEDATA{};
    if (!frame) return -1;
    AttachState(window, frame);
    frame->FrameWindow = window;
    InstallMenus(frame);
    CreateMdiClient(frame);
    frame->ToolbarHost = CreateWindowExA(0, VNREBAR_CLASS, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
                                         0, window, (HMENU)(INT_PTR)IDC_TOOLBARHOST, GetModuleHandleA(nullptr), nullptr);
    frame->Toolbar = CreateFrameToolbar(frame, frame->ToolbarHost);
    CreateDatabaseSelector(frame);
    frame->ConnectionCount = 0;
    CreateFrameStatusBar(frame);
    ComputeAppDirectory();
    return 0;
}

void OnSize(FRAMEDATA *frame, WPARAM wParam, LPARAM lParam)
{
    int width = LOWORD(lParam), height = HIWORD(lParam);
    RECT status = {};
    GetWindowRect(frame->StatusBar, &status);
    MoveWindow(frame->ToolbarHost, 0, 0, width, ToolbarBandHeight, TRUE);
    MoveWindow(MdiClientWindow, 0, ToolbarBandHeight, width, height - (status.bottom - status.top) - ToolbarBandHeight,
               TRUE);
    FrameStatusEdges(width, frame->StatusEdges);
    int edges[3] = {frame->StatusEdges[0], frame->StatusEdges[1], frame->StatusEdges[2]};
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

bool IsQueryWindow(HWND window)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return strcmp(name, QUERYWINDOW_CLASS) == 0;
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
        if (IsQueryWindow(window) &&
            (!ask || (StateOf<CHILDDATA>(window) && SendMessageA(window, WM_QUERYENDSESSION, 0, 0) == 1)))
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
// The text goes to the editor as the bytes the file holds, as an inserted
// template does: WM_SETTEXT would pass it through the UTF-16 conversion,
// which turns every byte that is not UTF-8 (a Latin-1 file, say) into
// U+FFFD for good. The caret then stands at the start, as after WM_SETTEXT.
void OpenTemplateWindow(FRAMEDATA *frame, const char *text)
{
    char error[512] = "";
    HWND created = cloneConnection(frame, error, sizeof error);
    if (!created) {
        ShowConnectFailure(frame->FrameWindow, error);
        return;
    }
    CHILDDATA *child = StateOf<CHILDDATA>(created);
    if (!child || !text || !*text) return;
    EDITORRANGE start = {{1, 1}, {1, 1}};
    SendMessageA(child->Editor, WM_EDITOR_INSERTTEXT, (WPARAM)&start.Start, (LPARAM)text);
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 1, (LPARAM)&start);
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

// The user picked a database in the selector (or the select-database
// dialog did): make it the active window's current database. A switch the
// server refuses is reported, and everything keeps showing the database
// actually in use.
void SwitchDatabase(FRAMEDATA *frame)
{
    HWND active = ActiveQueryWindow();
    CHILDDATA *child = StateOf<CHILDDATA>(active);
    if (!child) return;
    CONNECTIONINFO *connection = child->Connection;
    int index = (int)SendMessageA(frame->DatabaseSelector, CB_GETCURSEL, 0, 0);
    if (index < 0) return;
    if (child->Executing) {
        // The connection belongs to the running batch: keep showing the
        // database it runs on.
        MessageBeep(MB_ICONWARNING);
        SelectExactEntry(frame->DatabaseSelector, connection->Database);
        return;
    }
    LRESULT length = SendMessageA(frame->DatabaseSelector, CB_GETLBTEXTLEN, index, 0);
    char *name = static_cast<char *>(calloc((size_t)(length > 0 ? length : 0) + 1, 1));
    if (!name) return;
    SendMessageA(frame->DatabaseSelector, CB_GETLBTEXT, index, (LPARAM)name);
    char error[700] = "";
    if (!UseDatabase(child, name, error, sizeof error)) {
        char message[1000];
        snprintf(message, sizeof message, "Can't change the database to %s.\n\n%s", name, error);
        MessageBoxA(frame->FrameWindow, message, "Vintrel", MB_OK | MB_ICONWARNING);
        SelectExactEntry(frame->DatabaseSelector, connection->Database);
        free(name);
        return;
    }
    ReplaceConnectionText(&connection->Database, name);
    free(name);
    UpdateTitle(child);
    SetStatusText(child, 2, connection->Database);
}


LRESULT OnCommand(HWND window, FRAMEDATA *frame, WPARAM wParam, LPARAM lParam)
{
    UINT command = LOWORD(wParam);
    switch (command) {
    case IDC_DATABASESELECTOR:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            SwitchDatabase(frame);
            return 0;
        }
        break;
    case CMD_CONNECT: ShowConnectionDialog(window); return 0;
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
    delete frame;
    PostQuitMessage(0);
}

ATOM RegisterFrame()
{
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

HWND cloneConnection(FRAMEDATA *frame, char *error, size_t errorSize)
{
    HWND source = ActiveQueryWindow();
    CHILDDATA *child = StateOf<CHILDDATA>(source);
    if (!child) return nullptr;
    CONNECTIONINFO *original = child->Connection;
    CONNECTIONINFO *connection = NewConnectionInfo(original->Host, original->User, original->Password);
    if (!connection) return nullptr;
    ReplaceConnectionText(&connection->Database, original->Database);
    if (!OpenConnectionWithin(connection, ConnectTimeoutSeconds, error, errorSize)) {
        FreeConnectionInfo(connection);
        return nullptr;
    }
    return CreateQueryWindow(connection, IsZoomed(source) != 0);
}

LRESULT CALLBACK MdiFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterFrame() : 0;
    if (message == WM_CREATE) return OnCreate(window);
    FRAMEDATA *frame = StateOf<FRAMEDATA>(window);
    if (!frame) return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
    switch (message) {
    case WM_SIZE: OnSize(frame, wParam, lParam); return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(frame, (HMENU)wParam); return 0;
    case WM_NOTIFY: return OnNotify(window, frame, wParam, lParam);
    case WM_COMMAND: return OnCommand(window, frame, wParam, lParam);
    case WM_CLOSE: return OnClose(window);
    case WM_DESTROY: OnDestroy(window, frame); return 0;
    }
    return DefFrameProcA(window, MdiClientWindow, message, wParam, lParam);
}
