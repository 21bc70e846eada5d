#include "app/FrameBrowser.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "app/ObjectBrowser.h"
#include "app/SavedConnections.h"
#include "app/SettingsLocation.h"
#include "base/Dpi.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"

namespace {

const char Section[] = "browser";
// At 96 DPI; Scaled gives them at the frame's scale.
const int DefaultWidth = 240, MinimumWidth = 80, SplitterWidth = 4;

int Scaled(const BROWSERPLACE &place, int size96) { return ScaleForDpi(size96, place.Dpi); }

std::string SettingsPath() { return SettingsDirectory() + SETTINGS_FILE; }

void SaveSettings(const BROWSERPLACE &place)
{
    std::string path = SettingsPath();
    WritePrivateProfileStringA(Section, "shown", place.Shown ? "1" : "0", path.c_str());
    // At 96 DPI, so that a start on a monitor of another scale keeps the
    // proportion.
    int width = RescaleForDpi(place.Width, place.Dpi, BaseDpi);
    WritePrivateProfileStringA(Section, "width", std::to_string(width).c_str(), path.c_str());
}

void Relayout(HWND frame)
{
    RECT client;
    GetClientRect(frame, &client);
    SendMessageA(frame, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void Show(BROWSERPLACE &place, HWND frame, bool shown)
{
    if (!shown && BrowserHasFocus(place.Pane)) {
        // The focus goes back to where the person types.
        if (HWND active = ActiveQueryWindow()) SetFocus(active);
        else SetFocus(frame);
    }
    place.Shown = shown;
    ShowWindow(place.Pane, shown ? SW_SHOW : SW_HIDE);
    Relayout(frame);
    if (shown) FocusBrowserFilter(place.Pane);
    SaveSettings(place);
}

bool InSplitter(const BROWSERPLACE &place, HWND frame, int x, int y)
{
    if (!place.Shown) return false;
    RECT pane;
    GetWindowRect(place.Pane, &pane);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT *>(&pane), 2);
    return x >= pane.right && x < pane.right + Scaled(place, SplitterWidth) && y >= pane.top && y < pane.bottom;
}

} // namespace

void CreateBrowserPane(BROWSERPLACE &place, HWND frame)
{
    std::string path = SettingsPath();
    place.Shown = GetPrivateProfileIntA(Section, "shown", 0, path.c_str()) != 0;
    place.Dpi = WindowDpi(frame);
    int width = (int)GetPrivateProfileIntA(Section, "width", DefaultWidth, path.c_str());
    place.Width = Scaled(place, std::max(MinimumWidth, width));
    place.Pane = CreateWindowExA(0, OBJECTBROWSER_CLASS, nullptr,
                                 WS_CHILD | WS_CLIPCHILDREN | (place.Shown ? WS_VISIBLE : 0), 0, 0, 0, 0, frame,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
}

int LayoutBrowserPane(BROWSERPLACE &place, int top, int height)
{
    if (!place.Pane || !place.Shown) return 0;
    MoveWindow(place.Pane, 0, top, place.Width, height, TRUE);
    return place.Width + Scaled(place, SplitterWidth);
}

// F8 shows the pane and goes into its filter box, or from elsewhere into
// the filter box, or from the filter box hides the pane. The menu item
// shows and hides it.
void OnBrowserCommand(BROWSERPLACE &place, HWND frame, bool fromAccelerator)
{
    if (!place.Pane) return;
    if (!place.Shown) return Show(place, frame, true);
    if (!fromAccelerator || GetFocus() == BrowserFilterBox(place.Pane)) return Show(place, frame, false);
    FocusBrowserFilter(place.Pane);
}

bool RouteEditCommandToBrowser(BROWSERPLACE &place, UINT command)
{
    switch (command) {
    case CMD_UNDO:
    case CMD_CUT:
    case CMD_COPY:
    case CMD_COPYWITHNAMES:
    case CMD_PASTE:
    case CMD_DELETE:
    case CMD_SELECTALL:
    case CMD_CLEARWINDOW:
    case CMD_REDO:
        if (!place.Shown || !BrowserHasFocus(place.Pane)) return false;
        BrowserEditCommand(place.Pane, command == CMD_COPYWITHNAMES ? CMD_COPY : command);
        return true;
    }
    return false;
}

bool OnBrowserSplitterMouse(BROWSERPLACE &place, HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_SETCURSOR: {
        POINT at;
        GetCursorPos(&at);
        ScreenToClient(frame, &at);
        if (!place.Dragging && !InSplitter(place, frame, at.x, at.y)) return false;
        SetCursor(LoadCursorA(nullptr, IDC_SIZEWE));
        return true;
    }
    case WM_LBUTTONDOWN:
        if (!InSplitter(place, frame, x, y)) return false;
        place.Dragging = true;
        place.DragOffset = place.Width - x;
        SetCapture(frame);
        return true;
    case WM_MOUSEMOVE: {
        if (!place.Dragging) return false;
        RECT client;
        GetClientRect(frame, &client);
        int least = Scaled(place, MinimumWidth);
        place.Width = std::max(least, std::min((int)client.right - least, x + place.DragOffset));
        Relayout(frame);
        return true;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        // A lost capture ends the drag as a release does: the width stays
        // where it was last drawn.
        if (!place.Dragging) return false;
        place.Dragging = false;
        if (message == WM_LBUTTONUP) ReleaseCapture();
        SaveSettings(place);
        return true;
    }
    return false;
}

void ScaleBrowserPane(BROWSERPLACE &place, int dpi)
{
    if (dpi <= 0 || dpi == place.Dpi) return;
    place.Width = RescaleForDpi(place.Width, place.Dpi, dpi);
    place.Dpi = dpi;
    if (place.Pane) SendMessageA(place.Pane, WM_DPICHANGED_AFTERPARENT, dpi, 0);
}

void CheckBrowserItem(const BROWSERPLACE &place, HMENU windowPopup)
{
    CheckMenuItem(windowPopup, CMD_OBJECTBROWSER, MF_BYCOMMAND | (place.Shown ? MF_CHECKED : MF_UNCHECKED));
}
