// Recovery at the start and the end of a run: the user's recovery folder,
// the run's own set of copies in it (querywindow/ScriptRecovery.h writes
// them), and the scripts that earlier runs left behind when they did not
// end normally, offered once, right after the first connect.
#pragma once

#include <windows.h>

#include <string>

// The user's recovery folder, made when missing; "" when there is no such
// folder. The Windows build keeps it in %LOCALAPPDATA%\Vintrel\Recovery;
// the Linux build in the user's XDG data folder,
// ${XDG_DATA_HOME:-~/.local/share}/vintrel/recovery, readable by its owner
// only (as a Windows path: Wine's Z: drive, or its \\?\unix form).
std::string RecoveryFolder();
// The user's history folder (history/HistoryStore.h), made the same way:
// %LOCALAPPDATA%\Vintrel\History, or ${XDG_DATA_HOME:-~/.local/share}/vintrel/history.
std::string UserHistoryFolder();

// Begins the run's recovery in root: the run's own set and its writer; the
// sets of earlier runs that did not end normally are claimed and read.
// Returns the number of scripts that will be offered. Without a usable root
// the run keeps no copies and offers nothing.
int StartScriptRecovery(const std::string &root);

// After a connect dialog: the first time a query window is open, asks once
// "Restore %d unsaved script(s) from the last session?". Yes reopens each
// script in a query window on that connection (the first in the window the
// connect opened, the last one active); No discards them. Recovery files
// that could not be read are noted in the active window's message pane.
void OfferRecoveredScripts(HWND frame);

// The user's session is ending (WM_ENDSESSION): the windows' latest texts
// are written and left, with any sets not yet offered, for the next start.
void KeepScriptsForNextStart();

// The normal end of the run, after the frame is gone: the run's own set is
// removed; sets of earlier runs that were not offered stay.
void FinishScriptRecovery();
