// The recovery copies of unsaved scripts on disk, without any window: the
// file that holds one script, and the sets of such files.
//
// The recovery folder holds one set (a folder) per run of the program,
// named after the run's start time and process id. A set holds an owner
// file, OWNER_FILE, which its run keeps locked (one byte far past its end)
// for as long as it lives, and one file per query window with unsaved
// changes. The system drops a lock when its process ends, however it ends
// (a crash, a kill, the end of a Wine session or a power cut), and Wine
// keeps such locks as real file locks, seen by every Wine session of the
// user. So a set whose owner file somebody else can lock belongs to a run
// that did not end normally: an orphan. A normal exit removes its own set.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#define OWNER_FILE "owner.lock"
// The extension of a script's recovery file; a copy being written has
// ".tmp" after it until it is complete.
#define RECOVERY_EXTENSION ".vrec"

// One query window's script as its recovery file holds it.
struct RECOVERYSCRIPT {
    std::string FileName;        // the window's file, or its "Untitled%d" name
    bool HasFileName = false;
    bool Modified = true;
    int32_t CaretLine = 1;       // the editor's lines and columns, from 1
    int32_t CaretColumn = 1;
    int32_t Encoding = 0;        // an EDITORENCODING_ value: how Save writes the file
    uint32_t Order = 0;          // the window's number in its run: oldest first
    std::string Text;            // the editor's text, UTF-8 with CR LF breaks
};

// Writes the script to path as a whole: into path + ".tmp" first, flushed
// to the disk, then renamed over path, so that a crash during the write
// leaves the previous copy. False when it could not be written (the
// previous copy then stays too).
bool WriteRecoveryFile(const std::string &path, const RECOVERYSCRIPT &script);

// Reads a recovery file; false when it cannot be read or is not whole (a
// wrong first line, a missing field, a text shorter or longer than its
// header says).
bool ReadRecoveryFile(const std::string &path, RECOVERYSCRIPT *script);

// A set as this process holds it: its folder and the open owner file that
// carries the lock.
struct RECOVERYSET {
    std::string Folder;
    HANDLE Owner = INVALID_HANDLE_VALUE;
};

// Creates a new set for this run in root (which must exist) and locks it.
// False when no set could be made.
bool CreateRecoverySet(const std::string &root, RECOVERYSET *set);

// The sets in root whose runs ended without removing them, except the one
// named own: each is locked for this process from now on, so that no other
// run offers it too. Sets that hold no script are removed on the way.
std::vector<RECOVERYSET> ClaimOrphanSets(const std::string &root, const std::string &own);

// The recovery files of a set, full paths, in the order of their names.
std::vector<std::string> RecoveryFilesIn(const RECOVERYSET &set);

// Unlocks the set and leaves its files for a later run.
void ReleaseRecoverySet(RECOVERYSET *set);
// Removes the set's files and folder, then unlocks it.
void RemoveRecoverySet(RECOVERYSET *set);

// The folder under root where damaged recovery files are set aside.
#define DAMAGED_FOLDER "damaged"
// Moves a damaged recovery file out of its set into root's DAMAGED_FOLDER,
// so that it is not offered again but its bytes are kept; returns its new
// path ("" when it could not be moved: it is then left where it was).
std::string SetAsideDamagedFile(const std::string &root, const std::string &path);
