// Vintrel's entry. The client library is loaded before anything else starts
// and unloaded after everything has ended.
#include <windows.h>

#include "app/Startup.h"
#include "server/mysql.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    LoadClientLibrary("");
    RegisterProgramClasses();
    HWND frame = StartVintrel(instance);
    int exitCode = RunMessageLoop(frame);
    UnloadClientLibrary();
    return exitCode;
}
