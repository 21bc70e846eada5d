// The frame's part in the object browser: where the pane stands (left of
// the MDI client, a splitter between them), whether it is shown (kept in
// settings.ini), the F8 command and the edit commands that go to the pane
// while it has the focus. The frame keeps one BROWSERPLACE in its record.
#pragma once

#include <windows.h>

struct BROWSERPLACE {
    HWND Pane;
    bool Shown;
    int Width;       // the pane's width in pixels at Dpi (settings.ini has it at 96 DPI)
    int Dpi;         // the frame's display scale
    bool Dragging;   // the splitter is being dragged
    int DragOffset;  // from the pointer to the pane's right edge
};

// Makes the pane (hidden or shown as settings.ini says).
void CreateBrowserPane(BROWSERPLACE &place, HWND frame);
// Places the pane in the band from top, height high; returns the left
// edge of what remains for the MDI client.
int LayoutBrowserPane(BROWSERPLACE &place, int top, int height);
// F8 from the keyboard (fromAccelerator) or the Window menu's item.
void OnBrowserCommand(BROWSERPLACE &place, HWND frame, bool fromAccelerator);
// True when the command was an edit command and the focus is in the pane,
// which then carried it out.
bool RouteEditCommandToBrowser(BROWSERPLACE &place, UINT command);
// The splitter between the pane and the MDI client: true when the message
// was the splitter's.
bool OnBrowserSplitterMouse(BROWSERPLACE &place, HWND frame, UINT message, WPARAM wParam, LPARAM lParam);
// The frame moved to a monitor of another scale: the pane keeps its width
// in proportion and makes its fonts anew.
void ScaleBrowserPane(BROWSERPLACE &place, int dpi);
// The Window menu's check mark.
void CheckBrowserItem(const BROWSERPLACE &place, HMENU windowPopup);
