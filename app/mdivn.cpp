// Vintrel's entry: prepares the platform libraries, registers the window
// classes, shows the frame and the connect dialog, and runs the message
// loop until the frame is destroyed.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/MdiFrame.h"
#include "app/VnRebar.h"
#include "editor/CodeMaxControl.h"
#include "grid/GridOutput.h"
#include "querywindow/MdiChild.h"
#include "querywindow/SplitterWnd.h"
#include "resources/resource.h"
#include "server/ConnectionDialog.h"
#include "server/mysql.h"

namespace {

void RegisterWindowClasses()
{
    MdiFrameProc(nullptr, WM_USER, 0, 0);
    MdiChildProc(nullptr, WM_USER, 0, 0);
    GridOutputProc(nullptr, WM_USER, 0, 0);
    VnRebarProc(nullptr, WM_USER, 0, 0);
    SplitterWndFunc(nullptr, WM_USER, 0, 0);
}

int FrameShowCommand()
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    bool minimized = (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_SHOWMINNOACTIVE;
    return minimized ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
}

// Without its client library the program cannot reach a server; say so in
// plain words, naming the file or the functions, and open all the same.
void ReportClientLibraryProblem(HWND frame)
{
    char message[1024];
    if (ClientLibraryStatus == StatusLibraryMissing) {
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

int RunMessageLoop(HWND frame)
{
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (MdiClientWindow && TranslateMDISysAccel(MdiClientWindow, &message)) continue;
        if (TranslateAcceleratorA(frame, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    LoadClientLibrary("");
    InitCommonControls();
    LoadLibraryA("RICHED32.DLL");
    CMRegisterControl(0x2100);
    RegisterWindowClasses();

    HWND frame = CreateWindowExA(0, FRAME_CLASS, "Vintrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    ShowWindow(frame, FrameShowCommand());
    UpdateWindow(frame);
    if (ClientLibraryStatus != StatusReady) ReportClientLibraryProblem(frame);
    ShowConnectionDialog(frame);
    int exitCode = RunMessageLoop(frame);
    UnloadClientLibrary();
    return exitCode;
}
