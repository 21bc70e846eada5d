// Stand-in for the window records' values and title, used only while their
// real implementation is not in the tree (see querywindow/files.cmake).
#include "querywindow/WindowRecords.h"

#include <cstdio>

char AppDirectory[MAX_PATH];
HWND MdiClientWindow;

void BuildTitle(CHILDDATA *child, char *buffer, int bufferSize)
{
    CONNECTIONINFO *connection = child->Connection;
    snprintf(buffer, bufferSize, "Query - %s.%s.%s - %s%s", connection ? connection->Host : "",
             connection ? connection->Database : "", connection && connection->ServerUser ? connection->ServerUser : "",
             child->FileName, child->Modified ? "*" : "");
}

void UpdateTitle(CHILDDATA *child)
{
    char title[1024];
    BuildTitle(child, title, sizeof title);
    SetWindowTextA(child->Window, title);
}
