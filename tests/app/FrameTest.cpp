// The frame with its menus, toolbar band, database selector and status bar,
// before any query window exists; and the About box.
#include "QueryWindowFixture.h"

#include <climits>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "app/AboutDialog.h"
#include "app/FrameWindow.h"
#include "app/Startup.h"
#include "app/ToolbarHost.h"
#include "querywindow/FrameServices.h"
#include "resources/resource.h"
#include "version.h"

namespace {

// Commands that reach windows of this thread, recorded by a hook.
std::vector<std::pair<HWND, UINT>> SeenCommands;

LRESULT CALLBACK RecordCommands(int code, WPARAM wParam, LPARAM lParam)
{
    CWPSTRUCT *message = reinterpret_cast<CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && message->message == WM_COMMAND)
        SeenCommands.push_back({message->hwnd, LOWORD(message->wParam)});
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CommandReached(HWND window, UINT command)
{
    for (auto &seen : SeenCommands)
        if (seen.first == window && seen.second == command) return true;
    return false;
}

// The popup menu that was open, and where: read from inside the menu's own
// modal loop, which then ends.
HMENU ShownMenu;
RECT ShownMenuPlace;

void CALLBACK WatchMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menu = FindWindowA("#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return;
    ShownMenu = (HMENU)SendMessageA(menu, MN_GETHMENU, 0, 0);
    GetWindowRect(menu, &ShownMenuPlace);
    EndMenu();
}

class Frame : public testing::Test {
protected:
    HWND frame = nullptr;
    HWND toolbar = nullptr;

    static void SetUpTestSuite() { RegisterProgramClasses(); }

    void SetUp() override
    {
        frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 900, 600,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, frame);
        ShowWindow(frame, SW_SHOWNORMAL);
        PumpMessages(20);
        toolbar = FrameToolbar(frame);
        ASSERT_NE(nullptr, toolbar);
    }
    void TearDown() override
    {
        if (IsWindow(frame)) DestroyWindow(frame);
        PumpMessages(); // the WM_QUIT the frame posts is dropped here
    }

    BYTE ButtonState(int command) { return (BYTE)SendMessageA(toolbar, TB_GETSTATE, command, 0); }
    UINT MenuState(HMENU menu, UINT command) { return GetMenuState(menu, command, MF_BYCOMMAND); }
    std::string StatusText(int part)
    {
        char text[64] = "";
        SendMessageA(FrameStatusBar(frame), SB_GETTEXTA, part, (LPARAM)text);
        return text;
    }
    // The popups as a person finds them in the menu bar.
    HMENU Popup(int position) { return GetSubMenu(GetMenu(frame), position); }
    HMENU FilePopup() { return Popup(0); }
    HMENU WindowPopup() { return Popup(3); }
    HMENU HelpPopup() { return Popup(4); }
    HMENU NewPopup() { return GetSubMenu(FilePopup(), 4); }
    HMENU InsertTemplatePopup() { return GetSubMenu(Popup(1), 13); }
};

TEST_F(Frame, StartsWithOnlyConnectExitHelpAndAboutEnabled)
{
    ASSERT_NE(nullptr, GetMenu(frame));
    EXPECT_FALSE(MenuState(FilePopup(), CMD_CONNECT) & MF_GRAYED);
    EXPECT_FALSE(MenuState(FilePopup(), CMD_EXIT) & MF_GRAYED);
    EXPECT_FALSE(MenuState(HelpPopup(), CMD_HELPCONTENTS) & MF_GRAYED);
    EXPECT_FALSE(MenuState(HelpPopup(), CMD_ABOUT) & MF_GRAYED);
    for (UINT command : {CMD_DISCONNECT, CMD_OPEN, CMD_SAVE, CMD_UNDO, CMD_COPY, CMD_EXECUTE, CMD_NEWBLANK,
                         CMD_INSERTFROMFILE, CMD_CHANGEDATABASE, CMD_HISTORY})
        EXPECT_TRUE(MenuState(GetMenu(frame), command) & MF_GRAYED) << command;
    char newText[16] = "";
    GetMenuStringA(FilePopup(), 4, newText, sizeof newText, MF_BYPOSITION);
    EXPECT_STREQ("&New", newText);
    EXPECT_EQ(CMD_NEWBLANK, (int)GetMenuItemID(NewPopup(), 0));
    EXPECT_EQ(CMD_INSERTFROMFILE, (int)GetMenuItemID(InsertTemplatePopup(), 0));
    EXPECT_EQ("Connection: 0", StatusText(1));
    EXPECT_FALSE(IsWindowEnabled(FrameSelector(frame)));
    EXPECT_EQ(0, CountQueryWindows(frame, 0));
}

TEST_F(Frame, NoToolbarButtonReactsWithoutAQueryWindow)
{
    ASSERT_EQ(ToolbarButtonCount, (int)SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    int buttons = 0;
    for (int index = 0; index < ToolbarButtonCount; index++) {
        TBBUTTON button = {};
        SendMessageA(toolbar, TB_GETBUTTON, index, (LPARAM)&button);
        if (button.fsStyle & BTNS_SEP) continue;
        buttons++;
        EXPECT_EQ(TBSTATE_INDETERMINATE, button.fsState) << button.idCommand;
    }
    EXPECT_EQ(12, buttons);
    // A click on a grayed button sends nothing to the frame.
    RECT face;
    SendMessageA(toolbar, TB_GETRECT, CMD_OPEN, (LPARAM)&face);
    SeenCommands.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordCommands, nullptr, GetCurrentThreadId());
    LPARAM point = MAKELPARAM((face.left + face.right) / 2, (face.top + face.bottom) / 2);
    SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(toolbar, WM_LBUTTONUP, 0, point);
    PumpMessages(20);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(CommandReached(frame, CMD_OPEN));
}


TEST_F(Frame, DisconnectAllCascadeAndTileAreGrayedWithoutWindows)
{
    SendMessageA(frame, WM_INITMENUPOPUP, (WPARAM)FilePopup(), 0);
    SendMessageA(frame, WM_INITMENUPOPUP, (WPARAM)WindowPopup(), 3);
    EXPECT_TRUE(MenuState(FilePopup(), CMD_DISCONNECTALL) & MF_GRAYED);
    EXPECT_TRUE(MenuState(WindowPopup(), CMD_CASCADE) & MF_GRAYED);
    EXPECT_TRUE(MenuState(WindowPopup(), CMD_TILEVERTICAL) & MF_GRAYED);
    // With a window counted they follow the count, and gray again after it.
    CountQueryWindows(frame, 1);
    SendMessageA(frame, WM_INITMENUPOPUP, (WPARAM)WindowPopup(), 3);
    EXPECT_FALSE(MenuState(WindowPopup(), CMD_CASCADE) & MF_GRAYED);
    CountQueryWindows(frame, -1);
    SendMessageA(frame, WM_INITMENUPOPUP, (WPARAM)WindowPopup(), 3);
    EXPECT_TRUE(MenuState(WindowPopup(), CMD_TILEVERTICAL) & MF_GRAYED);
}

// What a query window asks of the frame goes through the functions the
// frame handed over: menu items and buttons by command, the results
// button's check, and the count of query windows in the status bar.
TEST_F(Frame, QueryWindowsSetItsCommandsAndCountThroughItsFunctions)
{
    EnableFrameMenuItem(frame, CMD_EXECUTE, true);
    EXPECT_EQ(0u, MenuState(GetMenu(frame), CMD_EXECUTE) & (MF_GRAYED | MF_DISABLED));
    EnableFrameMenuItem(frame, CMD_EXECUTE, false);
    EXPECT_EQ((UINT)MF_GRAYED, MenuState(GetMenu(frame), CMD_EXECUTE) & (MF_GRAYED | MF_DISABLED));
    EnableFrameButton(frame, CMD_EXECUTE, true);
    EXPECT_EQ(TBSTATE_ENABLED, ButtonState(CMD_EXECUTE));
    EnableFrameButton(frame, CMD_SHOWRESULTS, true);
    CheckFrameButton(frame, CMD_SHOWRESULTS, true);
    EXPECT_EQ(TBSTATE_ENABLED | TBSTATE_CHECKED, ButtonState(CMD_SHOWRESULTS));
    EnableFrameButton(frame, CMD_SHOWRESULTS, false);
    EXPECT_EQ(TBSTATE_INDETERMINATE, ButtonState(CMD_SHOWRESULTS)) << "a grayed check button loses its check";

    // Any other window is no frame, whatever its extra storage holds.
    HWND other = FrameStatusBar(frame);
    EnableFrameMenuItem(other, CMD_EXECUTE, true);
    EXPECT_TRUE(MenuState(GetMenu(frame), CMD_EXECUTE) & MF_GRAYED);
    EXPECT_EQ(0, CountQueryWindows(other, 1));

    EXPECT_EQ(3, CountQueryWindows(frame, 3));
    EXPECT_EQ("Connection: 3", StatusText(1));
    EXPECT_EQ("", StatusText(0));
    EXPECT_EQ("", StatusText(2));
    CountQueryWindows(frame, -3);
    CountQueryWindows(frame, INT_MIN);
    EXPECT_EQ("Connection: -2147483648", StatusText(1));
}

TEST_F(Frame, LayoutOfTheBandTheClientAndTheStatusParts)
{
    RECT window, client;
    GetWindowRect(frame, &window);
    GetClientRect(frame, &client);
    // Make the client area 300 pixels wide.
    SetWindowPos(frame, nullptr, 0, 0, (window.right - window.left) - client.right + 300, 400,
                 SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(frame, &client);
    ASSERT_EQ(300, client.right);
    int edges[3] = {};
    SendMessageA(FrameStatusBar(frame), SB_GETPARTS, 3, (LPARAM)edges);
    EXPECT_EQ(150, edges[0]);
    EXPECT_EQ(250, edges[1]);
    EXPECT_EQ(300, edges[2]);

    RECT host, band, mdi, status;
    GetWindowRect(GetDlgItem(frame, IDC_TOOLBARHOST), &host);
    GetWindowRect(toolbar, &band);
    GetWindowRect(MdiClientWindow, &mdi);
    GetWindowRect(FrameStatusBar(frame), &status);
    EXPECT_EQ(30, host.bottom - host.top);
    EXPECT_EQ(4, band.left - host.left);
    EXPECT_EQ(4, band.top - host.top);
    EXPECT_EQ(2, host.right - band.right);
    EXPECT_EQ(22, band.bottom - band.top);
    EXPECT_EQ(host.bottom, mdi.top);
    EXPECT_EQ(status.top, mdi.bottom);
}

TEST_F(Frame, DatabaseSelectorLiesOverTheRunOfSeparators)
{
    RECT first, last, selector;
    SendMessageA(toolbar, TB_GETITEMRECT, 15, (LPARAM)&first);
    SendMessageA(toolbar, TB_GETITEMRECT, 29, (LPARAM)&last);
    GetWindowRect(FrameSelector(frame), &selector);
    MapWindowPoints(nullptr, toolbar, (POINT *)&selector, 2);
    EXPECT_EQ(first.left, selector.left);
    EXPECT_EQ(last.right, selector.right);
    EXPECT_EQ(IDC_DATABASESELECTOR, GetDlgCtrlID(FrameSelector(frame)));
    EXPECT_EQ(0, (int)SendMessageA(FrameSelector(frame), CB_GETCOUNT, 0, 0));
}

TEST_F(Frame, HostSuppliesTheTooltipsOfTheTwelveButtons)
{
    EXPECT_STREQ("New Query (Ctrl+N)", ToolbarTooltip(CMD_NEWBLANK));
    EXPECT_STREQ("Execute Query (Ctrl+E / F5)", ToolbarTooltip(CMD_EXECUTE));
    EXPECT_STREQ("Show Results Pane (Ctrl+R)", ToolbarTooltip(CMD_SHOWRESULTS));
    EXPECT_EQ(nullptr, ToolbarTooltip(CMD_REDO));
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = toolbar;
    info.hdr.idFrom = CMD_INSERTFROMFILE;
    info.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(GetDlgItem(frame, IDC_TOOLBARHOST), WM_NOTIFY, 0, (LPARAM)&info);
    ASSERT_NE(nullptr, info.lpszText);
    EXPECT_STREQ("Insert Template (Ctrl+Shift+Ins)", info.lpszText);
}

// The drop-down arrow opens the New popup under the button; the face sends
// the button's command.
TEST_F(Frame, DropDownArrowOpensThePopupAndTheFaceSendsTheCommand)
{
    SendMessageA(toolbar, TB_SETSTATE, CMD_NEWBLANK, TBSTATE_ENABLED);
    RECT button;
    SendMessageA(toolbar, TB_GETRECT, CMD_NEWBLANK, (LPARAM)&button);

    ShownMenu = nullptr;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, WatchMenu);
    LPARAM arrow = MAKELPARAM(button.right - 3, (button.top + button.bottom) / 2);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, arrow);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, arrow);
    PumpUntil([] { return ShownMenu != nullptr; }, 3000);
    KillTimer(nullptr, timer);
    EXPECT_EQ(NewPopup(), ShownMenu);
    RECT band;
    GetWindowRect(toolbar, &band);
    EXPECT_EQ(band.bottom, ShownMenuPlace.top);

    SeenCommands.clear();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordCommands, nullptr, GetCurrentThreadId());
    LPARAM face = MAKELPARAM(button.left + 4, (button.top + button.bottom) / 2);
    SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, face);
    SendMessageA(toolbar, WM_LBUTTONUP, 0, face);
    PumpMessages(20);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(CommandReached(frame, CMD_NEWBLANK));
}


TEST_F(Frame, ExitWithoutQueryWindowsClosesAtOnce)
{
    SendMessageA(frame, WM_COMMAND, CMD_EXIT, 0);
    EXPECT_FALSE(IsWindow(frame));
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0, (int)quit.wParam);
}

// Enter, Esc, the close box and OK all close the About box.
TEST_F(Frame, AboutBoxClosesByEnterEscCloseBoxAndOk)
{
    std::vector<std::string> titles;
    std::vector<DialogDriver::Action> closers = {
        [](HWND box) { SendMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_RETURN, 0);
                       PostMessageA(box, WM_COMMAND, IDOK, 0); },
        [](HWND box) { PostMessageA(box, WM_COMMAND, IDCANCEL, 0); },
        [](HWND box) { PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0); },
        [](HWND box) { PressItem(box, IDOK); },
    };
    for (auto &closer : closers) {
        DialogDriver driver;
        driver.Then([&](HWND box) {
            titles.push_back(WindowText(box));
            closer(box);
        });
        ShowAboutDialog(frame);
        EXPECT_EQ(0u, driver.Pending());
        EXPECT_TRUE(driver.Unexpected.empty());
    }
    ASSERT_EQ(4u, titles.size());
    for (const std::string &title : titles) EXPECT_EQ("About Vintrel", title);
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_EQ(0, CountQueryWindows(frame, 0));
}

TEST_F(Frame, AboutBoxShowsNameAndVersion)
{
    std::string texts;
    DialogDriver driver;
    driver.Then([&](HWND box) {
        for (HWND item = GetWindow(box, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT))
            texts += WindowText(item) + "|";
        PressItem(box, IDOK);
    });
    ShowAboutDialog(frame);
    // The version of the build, through the version resource.
    EXPECT_NE(std::string::npos, texts.find("Vintrel v" VINTREL_VERSION_TEXT "|")) << texts;
}

} // namespace
