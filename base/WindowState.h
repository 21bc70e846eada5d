// Every window of the program keeps a pointer to its state record in its
// window extra storage (one pointer, index 0); these two reach it.
#pragma once

#include <windows.h>

template <typename T>
T *StateOf(HWND window)
{
    return window ? reinterpret_cast<T *>(GetWindowLongPtrA(window, 0)) : nullptr;
}
inline void AttachState(HWND window, void *state) { SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(state)); }

// Sends the parent a WM_NOTIFY of the control with the given code, as the
// program's own controls report to their owner.
inline LRESULT NotifyParent(HWND control, UINT code)
{
    NMHDR header = {control, static_cast<UINT_PTR>(GetDlgCtrlID(control)), code};
    return SendMessageA(GetParent(control), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}
