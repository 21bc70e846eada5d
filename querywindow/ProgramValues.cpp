#include "querywindow/ProgramValues.h"

#include <cstring>

char AppDirectory[MAX_PATH];
HWND MdiClientWindow = nullptr;
bool CompleteAfterDot = true;

void ComputeAppDirectory()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';
    char *lastSeparator = strrchr(path, '\\');
    if (lastSeparator) *lastSeparator = '\0';
    lstrcpynA(AppDirectory, path, MAX_PATH);
}
