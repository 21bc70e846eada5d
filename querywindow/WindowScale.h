// A query window at the display scale of its monitor: the fonts of its tabs,
// message pane and status bar, the tabs' images and the splitter's bar are
// made for the window's DPI, and made anew when it changes.
#pragma once

#include "base/Dpi.h"
#include "querywindow/WindowRecords.h"

// Makes the fonts, images and bar for dpi and hands them to the panes (at
// creation, before the first layout).
void ApplyWindowScale(CHILDDATA *child, int dpi);
// The scale changed (the frame moved to another monitor): dpi is the new
// one, or 0 to ask the window's own. Applies it and lays the window out
// anew; the splitter keeps its percentage. Nothing when the scale is the same.
void FollowDisplayScale(CHILDDATA *child, int dpi);
