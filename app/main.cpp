// Program entry: the client library is loaded before anything else starts
// and unloaded after everything has ended.
#include <windows.h>

#include "server/mysql.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    LoadClientLibrary("");
    int exitCode = 0;
    UnloadClientLibrary();
    return exitCode;
}
