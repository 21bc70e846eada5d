#include "base/DialogPlacement.h"

namespace {

int Clamp(int value, int low, int high)
{
    if (value > high) value = high;
    if (value < low) value = low;
    return value;
}

} // namespace

void CenterOverFrame(HWND dialog, HWND frame)
{
    RECT frameRect, dialogRect;
    if (!frame || !GetWindowRect(frame, &frameRect) || !GetWindowRect(dialog, &dialogRect)) return;
    int width = dialogRect.right - dialogRect.left;
    int height = dialogRect.bottom - dialogRect.top;
    int left = (frameRect.left + frameRect.right) / 2 - width / 2;
    int top = (frameRect.top + frameRect.bottom) / 2 - height / 2;

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT &area = monitor.rcWork;
        left = Clamp(left, area.left, area.right - width);
        top = Clamp(top, area.top, area.bottom - height);
    }
    MoveWindow(dialog, left, top, width, height, FALSE);
}
