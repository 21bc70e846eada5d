// The last guard of a window or dialog procedure: no C++ exception may
// unwind through the system's code that called it. A handler that threw
// (std::bad_alloc from a string or a vector when memory ran out) left its
// action unfinished; the user is told so, and the window goes on.
#pragma once

#include <windows.h>

inline void ReportFailedAction(HWND window)
{
    MessageBoxA(window, "The action could not be finished: the system is out of memory.", "Vintrel",
                MB_OK | MB_ICONWARNING);
}
