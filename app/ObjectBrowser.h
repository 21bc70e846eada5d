// The object browser (class "ObjectBrowser"): the pane left of the query
// windows with a filter box over the tree of the active query window's
// server (databases, their tables, views, routines and triggers, the
// columns and indexes of a table). The names come from the cache of names
// (catalog/NameCache.h), which loads them on its own worker; the pane
// never waits for the server.
#pragma once

#include <windows.h>

#define OBJECTBROWSER_CLASS "ObjectBrowser"

// Control ids inside the pane.
enum { IDC_BROWSERFILTER = 1, IDC_BROWSERTREE = 2 };

enum {
    // Follow the active query window now (the pane also looks by itself
    // a few times a second while shown).
    WM_BROWSER_FOLLOW = WM_USER + 1,
    // From the cache: something arrived (wParam a CatalogArrival).
    WM_BROWSER_ARRIVED = WM_USER + 2,
    // From the cache: an object's CREATE statement (lParam, a new[] text the
    // pane frees; wParam 0 when it is an error text instead).
    WM_BROWSER_CREATESTATEMENT = WM_USER + 3,
};

// The window procedure; with a null window and WM_USER it registers the
// class (and the tree's).
LRESULT CALLBACK ObjectBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The pane's filter box and tree, for the frame and the tests.
HWND BrowserFilterBox(HWND pane);
HWND BrowserTree(HWND pane);
// Whether the focus is in the pane (its filter box or tree).
bool BrowserHasFocus(HWND pane);
// Shows nothing more: puts the focus into the filter box, its text selected.
void FocusBrowserFilter(HWND pane);
// An edit command (Copy, Cut, Paste, Delete, Select All, Clear Window,
// Undo) for the filter box or the tree, whichever has the focus.
void BrowserEditCommand(HWND pane, UINT command);
