#include "base/ModelessDialogs.h"

#include <algorithm>
#include <vector>

namespace {

HHOOK DialogHook;
std::vector<HWND> OpenDialogs;

LRESULT CALLBACK DialogMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *msg = reinterpret_cast<MSG *>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        for (HWND dialog : OpenDialogs) {
            if (IsWindow(dialog) && IsDialogMessageA(dialog, msg)) {
                msg->message = WM_NULL;
                break;
            }
        }
    }
    return CallNextHookEx(DialogHook, code, wParam, lParam);
}

} // namespace

void TrackModelessDialog(HWND dialog, bool open)
{
    if (open) {
        OpenDialogs.push_back(dialog);
        if (!DialogHook) DialogHook = SetWindowsHookExA(WH_GETMESSAGE, DialogMessageHook, nullptr, GetCurrentThreadId());
    } else {
        OpenDialogs.erase(std::remove(OpenDialogs.begin(), OpenDialogs.end(), dialog), OpenDialogs.end());
        if (OpenDialogs.empty() && DialogHook) {
            UnhookWindowsHookEx(DialogHook);
            DialogHook = nullptr;
        }
    }
}
