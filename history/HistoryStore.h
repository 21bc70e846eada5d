// The history of batches on disk: one append-only file of framed records in
// the user's history folder, shared by every running copy of the program.
//
// Each record is a header (a mark, the payload's length and its CRC-32)
// and a payload. A record cut short by a crash, or damaged, fails its
// check and is skipped on reading; the reader then looks for the next mark,
// so the records before it and after it stay readable. Appends, removals
// and the rewrite that keeps the file within its bound take a lock on a
// byte of a separate lock file (LockFileEx: the system drops it when a
// process dies, and Wine keeps it as a real file lock), so two copies of
// the program never write at once and a reader never sees the rewrite's
// rename half done. The lock file itself is never replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#define HISTORY_FILE "history.vhist"
#define HISTORY_LOCK_FILE "history.lock"

enum HistoryOutcome : uint8_t {
    HistoryRowsReturned = 1, // at least one result set: Rows counts its rows (all sets together)
    HistoryRowsAffected = 2, // no result set: Affected counts the changed rows
    HistoryFailed = 3,       // ErrorNumber and Error say why
    HistoryCancelled = 4     // stopped by the user
};

enum HistoryFlags : uint8_t {
    HistoryTextOmitted = 1, // the batch carried a password: its text was not kept
    HistoryTextCut = 2      // the text was longer than HistoryTextLimit: its start is kept
};

// The longest text kept of a batch.
constexpr size_t HistoryTextLimit = 1024 * 1024;

// One batch as it is recorded.
struct HISTORYENTRY {
    int64_t Started = 0;      // UTC, in 100 ns units since 1601 (a FILETIME)
    uint64_t Id = 0;          // with Started, names the entry: the process and its own count
    uint32_t DurationMs = 0;
    uint8_t Outcome = HistoryRowsAffected;
    uint8_t Flags = 0;
    int64_t Rows = 0;         // rows returned
    int64_t Affected = 0;     // rows affected
    uint32_t ErrorNumber = 0;
    std::string Server, User, Database, Error, Text;
};

// An entry as read back: its texts point into the list's bytes.
struct HISTORYITEM {
    int64_t Started;
    uint64_t Id;
    uint32_t DurationMs;
    uint8_t Outcome;
    uint8_t Flags;
    int64_t Rows;
    int64_t Affected;
    uint32_t ErrorNumber;
    std::string_view Server, User, Database, Error, Text;
};

// The history as read: newest first (by start time).
struct HISTORYLIST {
    std::unique_ptr<char[]> Bytes; // the file's contents; the items point into them
    size_t Size = 0;
    std::vector<HISTORYITEM> Items;
    size_t Skipped = 0;      // damaged or cut records passed over
};

// The bound: the newest entries that fit both limits are kept, the oldest
// dropped. The file may grow past it by a tenth before it is rewritten.
struct HISTORYBOUND {
    size_t MaxEntries = 100000;
    uint64_t MaxBytes = 100ull * 1024 * 1024;
};

// The text to record of a batch of length bytes: none (HistoryTextOmitted)
// when a statement carries a password (the words IDENTIFIED or PASSWORD,
// in any case, anywhere in it), else at most HistoryTextLimit bytes (cut on
// a character boundary, HistoryTextCut). A UTF-8 byte-order mark is left out.
void TextForHistory(const char *text, size_t length, HISTORYENTRY *entry);

// A new entry's Started (now) and Id (this process and a count of its own).
void StampHistoryEntry(HISTORYENTRY *entry);

// Appends the entries to the history in folder (made by the caller) under
// the lock, in one write, then rewrites the file when it has grown past the
// bound. False when the file could not be written.
bool AppendHistory(const std::string &folder, const std::vector<HISTORYENTRY> &entries,
                   const HISTORYBOUND &bound = HISTORYBOUND());

// Reads the history: every whole record, the removed entries left out, at
// most the bound's newest. A missing file is an empty history (true);
// false when the file exists but cannot be read.
bool LoadHistory(const std::string &folder, HISTORYLIST *list, const HISTORYBOUND &bound = HISTORYBOUND());

// Removes one entry (a record that says so, dropped with the entry at the
// next rewrite).
bool RemoveHistoryEntry(const std::string &folder, int64_t started, uint64_t id);

// Rewrites the file now with only the entries the bound keeps (into a new
// file, flushed, then renamed over the old one).
bool CompactHistory(const std::string &folder, const HISTORYBOUND &bound = HISTORYBOUND());

// The program's recorder: a thread that appends the batches handed to it,
// so that the end of a batch never waits for the disk.
// Starts it for folder ("" keeps no history); true when it runs (a
// recorder already running is kept).
bool StartHistoryRecorder(const std::string &folder);
// The folder in use, or "" when no history is kept.
const std::string &HistoryFolder();
// Hands a finished batch to the recorder (taken over); does nothing when no
// history is kept.
void RecordBatch(HISTORYENTRY &&entry);
// Waits until every batch handed over is on disk.
void FlushHistoryRecorder();
// Writes what is queued and ends the thread (at the end of the run); a
// new one may be started after.
void StopHistoryRecorder();
