#include "querywindow/MdiChild.h"

#include "resources/resource.h"

namespace {

ATOM RegisterQueryWindowClass()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MdiChildProc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(IDI_QUERYWINDOW));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = QUERYWINDOW_CLASS;
    return RegisterClassExA(&windowClass);
}

} // namespace

void UpdateEditorCommands(CHILDDATA *) {}
void UpdateGridCommands(CHILDDATA *) {}
void ShowCaretPosition(CHILDDATA *) {}

LRESULT CALLBACK MdiChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterQueryWindowClass() : 0;
    return DefMDIChildProcA(window, message, wParam, lParam);
}
