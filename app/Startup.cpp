#include "app/Startup.h"

#include <commctrl.h>

#include <cstdio>

#include "app/ConnectionDialog.h"
#include "app/FrameWindow.h"
#include "app/RecoveryStartup.h"
#include "app/ToolbarHost.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridWindow.h"
#include "querywindow/ProgramValues.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/SplitterWnd.h"
#include "resources/resource.h"
#include "server/ClientLibrary.h"

namespace {

// Without its client library the program cannot reach a server; say so in
// plain words, naming the file or the functions, and open all the same.
void ReportClientLibraryProblem(HWND frame)
{
    char message[1024];
    if (ClientLibraryStatus == StatusLibraryMissing || ClientLibraryStatus == StatusNotLoaded) {
        snprintf(message, sizeof message,
                 "The MySQL client library could not be loaded.\n\nVintrel looked for the file \"%s\". "
                 "Without it no connection to a server can be opened.",
                 DefaultClientLibraryName());
    } else {
        char missing[512];
        MissingCalledFunctions(missing, sizeof missing);
        if (!missing[0]) return;
        snprintf(message, sizeof message,
                 "The MySQL client library \"%s\" lacks functions that Vintrel needs:\n\n%s\n\n"
                 "Connections to a server may fail.",
                 DefaultClientLibraryName(), missing);
    }
    MessageBoxA(frame, message, "Vintrel", MB_OK | MB_ICONWARNING);
}

} // namespace

void RegisterProgramClasses()
{
    InitCommonControls();
    LoadLibraryA("RICHED32.DLL");
    CMRegisterControl(0x2100);
    MdiFrameProc(nullptr, WM_USER, 0, 0);
    MdiChildProc(nullptr, WM_USER, 0, 0);
    GridOutputProc(nullptr, WM_USER, 0, 0);
    VnRebarProc(nullptr, WM_USER, 0, 0);
    SplitterWndFunc(nullptr, WM_USER, 0, 0);
}

int FrameShowCommandFor(bool useShowWindow, WORD showWindow)
{
    return useShowWindow && showWindow == SW_SHOWMINNOACTIVE ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
}

HWND StartVintrel(HINSTANCE instance)
{
    HWND frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    ShowWindow(frame, FrameShowCommandFor(startup.dwFlags & STARTF_USESHOWWINDOW, startup.wShowWindow));
    UpdateWindow(frame);
    if (ClientLibraryStatus != StatusReady) ReportClientLibraryProblem(frame);
    ShowConnectionDialog(frame);
    OfferRecoveredScripts(frame);
    return frame;
}

bool TranslateProgramMessage(HWND frame, HACCEL accelerators, MSG *message)
{
    if (MdiClientWindow && TranslateMDISysAccel(MdiClientWindow, message)) return true;
    return TranslateAcceleratorA(frame, accelerators, message) != 0;
}

int RunMessageLoop(HWND frame)
{
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateProgramMessage(frame, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
