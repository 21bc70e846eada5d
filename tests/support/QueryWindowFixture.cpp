#include "QueryWindowFixture.h"

#include <commctrl.h>

#include "app/FrameWindow.h"
#include "app/Startup.h"
#include "app/ToolbarHost.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "querywindow/SplitterWnd.h"
#include "app/ConnectionDialog.h"
#include "resources/resource.h"

namespace {

HWND Frame;

} // namespace

HWND TestFrame()
{
    if (Frame) return Frame;
    RegisterProgramClasses();
    Frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 1200,
                            900, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpMessages(50);
    return Frame;
}

HWND FrameToolbar(HWND frame) { return GetDlgItem(GetDlgItem(frame, IDC_TOOLBARHOST), IDC_TOOLBAR); }

HWND FrameSelector(HWND frame) { return GetDlgItem(FrameToolbar(frame), IDC_DATABASESELECTOR); }

HWND FrameStatusBar(HWND frame) { return GetDlgItem(frame, IDC_FRAMESTATUS); }

HWND OpenQueryWindow(const char *database)
{
    TestFrame();
    CONNECTIONINFO *connection = OpenTestConnection();
    if (!connection) return nullptr;
    if (database) ReplaceConnectionText(&connection->Database, database);
    HWND window = CreateQueryWindow(connection, false);
    PumpMessages(30);
    return window;
}

CHILDDATA *ChildOf(HWND window) { return StateOf<CHILDDATA>(window); }

void CloseAllQueryWindows()
{
    if (!MdiClientWindow) return;
    while (HWND child = GetWindow(MdiClientWindow, GW_CHILD)) SendMessageA(MdiClientWindow, WM_MDIDESTROY, (WPARAM)child, 0);
    PumpMessages(20);
}

void FrameCommand(UINT command) { SendMessageA(TestFrame(), WM_COMMAND, MAKEWPARAM(command, 0), 0); }

void SetEditorText(CHILDDATA *child, const std::string &text)
{
    SendMessageA(child->Editor, WM_SETTEXT, 0, (LPARAM)text.c_str());
}

std::string EditorText(CHILDDATA *child)
{
    LRESULT length = SendMessageA(child->Editor, WM_EDITOR_GETTEXTLENGTH, 0, 1);
    std::string text((size_t)length + 1, '\0');
    SendMessageA(child->Editor, WM_EDITOR_GETTEXT, 0, (LPARAM)&text[0]);
    text.resize((size_t)length);
    return text;
}

std::string StatusText(CHILDDATA *child, int part)
{
    char text[512] = "";
    SendMessageA(child->StatusBar, SB_GETTEXTA, part, (LPARAM)text);
    return text;
}

std::string Title(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string MessagePaneText(CHILDDATA *child)
{
    char text[2048] = "";
    GetWindowTextA(child->MessagePane, text, sizeof text);
    return text;
}

std::string SelectorText(HWND frame)
{
    HWND selector = FrameSelector(frame);
    int index = (int)SendMessageA(selector, CB_GETCURSEL, 0, 0);
    if (index < 0) return "(none)";
    char text[256] = "";
    SendMessageA(selector, CB_GETLBTEXT, index, (LPARAM)text);
    return text;
}

int SelectorCount(HWND frame) { return (int)SendMessageA(FrameSelector(frame), CB_GETCOUNT, 0, 0); }

std::string FrameStatusText(HWND frame)
{
    char text[64] = "";
    SendMessageA(FrameStatusBar(frame), SB_GETTEXTA, 1, (LPARAM)text);
    return text;
}

bool MenuGrayed(UINT command) { return (GetMenuState(GetMenu(TestFrame()), command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

int ButtonState(UINT command) { return (int)SendMessageA(FrameToolbar(), TB_GETSTATE, command, 0); }

bool WaitForCompletion(CHILDDATA *child, DWORD timeoutMs)
{
    return PumpUntil([&] { return !child->Executing; }, timeoutMs);
}

bool RunBatch(CHILDDATA *child, const std::string &sql, DWORD timeoutMs)
{
    SetEditorText(child, sql);
    FrameCommand(CMD_EXECUTE);
    return WaitForCompletion(child, timeoutMs);
}

const GRIDBUFFER *GridBuffer(CHILDDATA *child)
{
    return reinterpret_cast<const GRIDBUFFER *>(SendMessageA(child->Grid, WM_GRID_GETBUFFER, 0, 0));
}

int GridRows(CHILDDATA *child)
{
    const GRIDBUFFER *shown = GridBuffer(child);
    return shown ? (int)shown->Rows.Count : -1;
}
