#include "app/AboutDialog.h"

#include "base/DialogPlacement.h"

void ShowAboutDialog(HWND frame)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), "AboutDialog", frame, AboutDialogProc, 0);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterOverFrame(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
