// Name completion in a query window's editor: Ctrl+Space (the command
// CMD_COMPLETENAME) and "." after a known database, table or alias open the
// editor's completion list with what SqlCompletion offers at the caret. The
// names never make the window wait: what is not there yet is asked for,
// and an open list is refreshed when it arrives (WM_NAMES_ARRIVED).
#pragma once

#include <windows.h>

#include <memory>

#include "editor/CodeMaxControl.h"
#include "querywindow/SqlCompletion.h"

struct CHILDDATA;

// Posted to the query window when names it asked for have arrived.
enum { WM_NAMES_ARRIVED = WM_USER + 20 };

// At the window's creation: "." opens the list when CompleteAfterDot says
// so. At its end: the names and their listener go.
void StartNameCompletion(CHILDDATA *child);
void EndNameCompletion(CHILDDATA *child);
// Ctrl+Space (request) or a typed "." (its trigger): the list at the caret;
// after ".", only behind a known name.
void CompleteNameAtCaret(CHILDDATA *child, bool request);
void OnCompletionNeeded(CHILDDATA *child, const NMEDITORCOMPLETION *notice);
// More names arrived: an open list offers them too, the typed part and the
// chosen name staying.
void OnNamesArrived(CHILDDATA *child);

// The names the window offers (taken over), in place of its connection's
// cache (made at the first completion): the tests give names by hand.
// names tells arrivals by posting WM_NAMES_ARRIVED to the window.
void UseCompletionNames(HWND queryWindow, std::unique_ptr<CompletionNames> names);
