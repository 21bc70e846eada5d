#include "querywindow/ChangeDatabaseDialog.h"

#include <cstdlib>
#include <cstring>

#include "querywindow/DatabaseSelector.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/WindowRecords.h"
#include "resources/resource.h"
#include "base/DialogPlacement.h"

namespace {

CHILDDATA *DialogChild(HWND dialog) { return reinterpret_cast<CHILDDATA *>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// The chosen name, or null when nothing is selected.
char *SelectedName(HWND list)
{
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return nullptr;
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return nullptr;
    char *name = static_cast<char *>(calloc(length + 1, 1));
    if (name) SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(name));
    return name;
}

BOOL OnInitDialog(HWND dialog, CHILDDATA *child)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(child));
    HWND list = GetDlgItem(dialog, IDC_DATABASELIST);
    FillDatabaseList(child, list);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0)
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    else
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    CenterOverFrame(dialog, child->Frame);
    SetFocus(list);
    return FALSE; // the focus is placed
}

void OnSelectionChanged(HWND dialog)
{
    if (SendDlgItemMessageA(dialog, IDC_DATABASELIST, LB_GETCURSEL, 0, 0) != LB_ERR)
        EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
}

void OnOk(HWND dialog)
{
    CHILDDATA *child = DialogChild(dialog);
    char *name = SelectedName(GetDlgItem(dialog, IDC_DATABASELIST));
    if (name && child) SwitchQueryWindowDatabase(child->Window, name);
    free(name);
    EndDialog(dialog, 0);
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_DATABASELIST:
        if (code == LBN_SELCHANGE) OnSelectionChanged(dialog);
        if (code == LBN_DBLCLK) OnOk(dialog);
        break;
    }
}

} // namespace

INT_PTR CALLBACK ChangeDatabaseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, reinterpret_cast<CHILDDATA *>(lParam));
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void ShowChangeDatabaseDialog(CHILDDATA *child)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SELECTDATABASE), child->Window,
                    ChangeDatabaseDialogProc, reinterpret_cast<LPARAM>(child));
}
