// Answers the modal dialogs that a test opens, so that no person is needed:
// every dialog (window class "#32770": our dialogs, message boxes, the file
// dialogs) that becomes active gets the next scripted action, run from a
// timer inside the dialog's own modal loop. A dialog with no action left is
// cancelled and recorded as unexpected.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class DialogDriver {
public:
    using Action = std::function<void(HWND dialog)>;

    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;

    DialogDriver &Then(Action action);
    size_t Pending() const { return actions.size(); }

    // Titles of the dialogs that appeared with no action left for them.
    std::vector<std::string> Unexpected;

private:
    friend LRESULT CALLBACK DriverHook(int, WPARAM, LPARAM);
    friend void CALLBACK DriverTimer(HWND, UINT, UINT_PTR, DWORD);
    std::deque<Action> actions;
    HHOOK hook = nullptr;
    HWND lastActivated = nullptr;
};

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string &text);
bool ItemChecked(HWND dialog, int id);
// Clicks a button the way the mouse does (check boxes toggle).
void ClickItem(HWND dialog, int id);
// Presses a push button: its command reaches the dialog from the queue.
void PressItem(HWND dialog, int id);
// Typing into an edit control, one WM_CHAR per character ("\b" deletes).
void TypeInto(HWND dialog, int id, const std::string &keys);

// The text of a message box (its static text).
std::string MessageBoxText(HWND box);
// In the connect dialog: the test account, "Save password" ticked, OK.
void ConnectSavingThePassword(HWND dialog);
// The items of a combo box's list, "|" between them.
std::string ComboItems(HWND dialog, int id);

// The file name field of the common open and save dialogs.
std::string FileDialogName(HWND dialog);
void SetFileDialogName(HWND dialog, const std::string &path);
