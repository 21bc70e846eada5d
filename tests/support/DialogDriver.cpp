#include "DialogDriver.h"

#include <dlgs.h>

#include <strings.h>

#include "TestSupport.h"
#include "resources/resource.h"

void CALLBACK DriverTimer(HWND, UINT, UINT_PTR, DWORD);

namespace {

DialogDriver *CurrentDriver;
const UINT_PTR DriverTimerId = 0x7D1A;

bool IsDialogWindow(HWND window)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    return strcmp(className, "#32770") == 0 && !(GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
}

} // namespace

LRESULT CALLBACK DriverHook(int code, WPARAM wParam, LPARAM lParam)
{
    DialogDriver *driver = CurrentDriver;
    if (driver && code == HCBT_DESTROYWND && reinterpret_cast<HWND>(wParam) == driver->lastActivated)
        driver->lastActivated = nullptr;
    if (driver && code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialogWindow(window) && window != driver->lastActivated) {
            driver->lastActivated = window;
            SetTimer(window, DriverTimerId, 30, DriverTimer);
        }
    }
    return CallNextHookEx(driver ? driver->hook : nullptr, code, wParam, lParam);
}

void CALLBACK DriverTimer(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    DialogDriver *driver = CurrentDriver;
    if (!driver || !IsWindow(window)) return;
    if (driver->actions.empty()) {
        driver->Unexpected.push_back(WindowText(window));
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    DialogDriver::Action action = driver->actions.front();
    driver->actions.pop_front();
    action(window);
}

DialogDriver::DialogDriver()
{
    CurrentDriver = this;
    hook = SetWindowsHookExA(WH_CBT, DriverHook, nullptr, GetCurrentThreadId());
}

DialogDriver::~DialogDriver()
{
    UnhookWindowsHookEx(hook);
    CurrentDriver = nullptr;
}

DialogDriver &DialogDriver::Then(Action action)
{
    actions.push_back(action);
    return *this;
}

std::string WindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text(length + 1, '\0');
    GetWindowTextA(window, &text[0], length + 1);
    text.resize(strlen(text.c_str()));
    return text;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
void SetItemText(HWND dialog, int id, const std::string &text) { SetDlgItemTextA(dialog, id, text.c_str()); }
bool ItemChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void ClickItem(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PressItem(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void TypeInto(HWND dialog, int id, const std::string &keys)
{
    HWND edit = GetDlgItem(dialog, id);
    for (char key : keys) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(key), 1);
}

namespace {

BOOL CALLBACK CollectStaticText(HWND child, LPARAM lParam)
{
    char className[16] = "";
    GetClassNameA(child, className, sizeof className);
    std::string text = WindowText(child);
    std::string &longest = *reinterpret_cast<std::string *>(lParam);
    if (strcasecmp(className, "Static") == 0 && text.size() > longest.size()) longest = text;
    return TRUE;
}

} // namespace

std::string MessageBoxText(HWND box)
{
    std::string text;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

namespace {

HWND FileNameField(HWND dialog)
{
    HWND field = GetDlgItem(dialog, cmb13);
    if (!field) field = GetDlgItem(dialog, edt1);
    return field;
}

} // namespace

std::string FileDialogName(HWND dialog) { return WindowText(FileNameField(dialog)); }
void SetFileDialogName(HWND dialog, const std::string &path) { SetWindowTextA(FileNameField(dialog), path.c_str()); }

void ConnectSavingThePassword(HWND dialog)
{
    SetItemText(dialog, IDC_USER, TestUser());
    SetItemText(dialog, IDC_PASSWORD, TestPassword());
    if (!ItemChecked(dialog, IDC_SAVEPASSWORD)) ClickItem(dialog, IDC_SAVEPASSWORD);
    PressItem(dialog, IDOK);
}

std::string ComboItems(HWND dialog, int id)
{
    HWND combo = GetDlgItem(dialog, id);
    std::string items;
    for (int i = 0; i < (int)SendMessageA(combo, CB_GETCOUNT, 0, 0); i++) {
        std::string item((size_t)SendMessageA(combo, CB_GETLBTEXTLEN, i, 0) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&item[0]));
        items += (i ? "|" : "") + std::string(item.c_str());
    }
    return items;
}
