// The object browser's tree (class "ObjectTree"): draws the rows of a
// BROWSERMODEL as the grid draws its rows, only those in sight, so that a
// folder of 100,000 tables opens and scrolls at once. The model is its
// owner's (the pane's); the tree opens and closes rows in it and tells the
// owner what the person asked for through WM_NOTIFY.
#pragma once

#include <windows.h>

#include "app/BrowserRows.h"

#define OBJECTTREE_CLASS "ObjectTree"

enum {
    // lParam: the BROWSERMODEL to draw (the owner keeps it alive).
    WM_TREE_SETMODEL = WM_USER + 1,
    // The model's rows were built anew: the selection and scroll position
    // are kept in range and the tree is drawn again.
    WM_TREE_REFRESH = WM_USER + 2,
    // wParam: the row to select and bring into sight.
    WM_TREE_SELECT = WM_USER + 3,
    // Answers the selected row (the row count when there are none).
    WM_TREE_GETSELECTED = WM_USER + 4,
    // Answers the number of rows.
    WM_TREE_GETROWCOUNT = WM_USER + 5,
    // Row wParam as a person reads it, into the std::string at lParam: two
    // spaces per level, the name, then what is drawn in grey after it.
    WM_TREE_GETROWTEXT = WM_USER + 6,
};

// Notification codes (WM_NOTIFY to the parent).
enum {
    TREEN_ACT = 1,      // Enter or a double-click on the selected row
    TREEN_RUN = 2,      // Ctrl+Enter on the selected row
    TREEN_MENU = 3,     // the context menu of the selected row: a TREEMENU
    TREEN_SETFOCUS = 4, // the tree took the focus
};

struct TREEMENU {
    NMHDR Header;
    POINT Screen; // where the menu opens
};

// The window procedure; with a null window and WM_USER it registers the
// class.
LRESULT CALLBACK ObjectTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
