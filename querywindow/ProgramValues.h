// The two program-wide values the frame sets when it is created and the
// query windows read: where the program's files are, and the MDI client in
// which the query windows live.
#pragma once

#include <windows.h>

// The executable's directory without a trailing backslash; settings.ini,
// templates\ and vrl.chm are found under it. Set when the frame is created.
extern char AppDirectory[MAX_PATH];
// Fills AppDirectory from the module's path.
void ComputeAppDirectory();
// The frame's MDI client, in which the query windows live.
extern HWND MdiClientWindow;
// Whether typing "." after a known database, table or alias opens the
// completion list (settings.ini: [editor] CompleteAfterDot, 1 unless 0).
// Read by the frame when it is created; new query windows follow it.
extern bool CompleteAfterDot;
