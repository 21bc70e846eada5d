#include "querywindow/RecoveryFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Text.h"

namespace {

// The first line of every recovery file; a later format gets a new number.
const char FirstLine[] = "Vintrel recovery 1";

// The lock lies far past the owner file's text, so that the text (the
// process id, for a person looking into the folder) stays readable.
const DWORD LockOffsetHigh = 1;

const char *const EncodingNames[] = {"utf-8", "utf-8-bom", "utf-16le", "utf-16be", "windows-1252"};
const int EncodingCount = sizeof EncodingNames / sizeof EncodingNames[0];

std::string Header(const RECOVERYSCRIPT &script)
{
    int encoding = script.Encoding >= 0 && script.Encoding < EncodingCount ? script.Encoding : 0;
    char numbers[160];
    snprintf(numbers, sizeof numbers,
             "named=%d\r\nmodified=%d\r\ncaret=%d,%d\r\nencoding=%s\r\norder=%u\r\nlength=%llu\r\n",
             script.HasFileName ? 1 : 0, script.Modified ? 1 : 0, (int)script.CaretLine, (int)script.CaretColumn,
             EncodingNames[encoding], (unsigned)script.Order, (unsigned long long)script.Text.size());
    return std::string(FirstLine) + "\r\nfile=" + script.FileName + "\r\n" + numbers + "\r\n";
}

bool WriteAll(HANDLE file, const char *bytes, size_t length)
{
    while (length > 0) {
        DWORD chunk = (DWORD)std::min<size_t>(length, 1u << 30), written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written != chunk) return false;
        bytes += chunk;
        length -= chunk;
    }
    return true;
}

// The next line of the header from *at (without its CR LF); false at the
// end of the bytes.
bool NextLine(const char *&at, const char *end, std::string *line)
{
    const char *lineEnd = static_cast<const char *>(memchr(at, '\n', (size_t)(end - at)));
    if (!lineEnd) return false;
    line->assign(at, (size_t)(lineEnd - at));
    if (!line->empty() && line->back() == '\r') line->pop_back();
    at = lineEnd + 1;
    return true;
}

bool ParseNumber(const std::string &text, long long low, long long high, long long *value)
{
    if (text.empty()) return false;
    char *end = nullptr;
    long long parsed = strtoll(text.c_str(), &end, 10);
    if (*end || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// One "key=value" line of the header into the script; false for a value
// that cannot be right.
bool TakeField(const std::string &key, const std::string &value, RECOVERYSCRIPT *script, long long *length)
{
    long long number = 0;
    if (key == "file") {
        script->FileName = value;
        return true;
    }
    if (key == "named" || key == "modified") {
        if (!ParseNumber(value, 0, 1, &number)) return false;
        (key == "named" ? script->HasFileName : script->Modified) = number == 1;
        return true;
    }
    if (key == "caret") {
        size_t comma = value.find(',');
        long long column = 0;
        if (comma == std::string::npos || !ParseNumber(value.substr(0, comma), 1, INT32_MAX, &number) ||
            !ParseNumber(value.substr(comma + 1), 1, INT32_MAX, &column))
            return false;
        script->CaretLine = (int32_t)number;
        script->CaretColumn = (int32_t)column;
        return true;
    }
    if (key == "encoding") {
        // An encoding this program does not know leaves the text as UTF-8.
        for (int i = 0; i < EncodingCount; i++)
            if (value == EncodingNames[i]) script->Encoding = i;
        return true;
    }
    if (key == "order") {
        if (!ParseNumber(value, 0, UINT32_MAX, &number)) return false;
        script->Order = (uint32_t)number;
        return true;
    }
    if (key == "length") return ParseNumber(value, 0, INT64_MAX, length);
    return true; // a field of a later version of the program
}

bool IsDirectory(const WIN32_FIND_DATAA &found) { return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// The names in a folder that match the pattern, in order.
std::vector<std::string> NamesIn(const std::string &folder, const char *pattern, bool directories)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != ".." && IsDirectory(found) == directories) names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Opens the owner file and takes its lock; INVALID_HANDLE_VALUE when the
// file cannot be opened or somebody holds the lock. Everybody may read,
// write and delete it meanwhile: the lock alone says who owns the set.
HANDLE LockOwnerFile(const std::string &path, DWORD creation)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, creation,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    OVERLAPPED at = {};
    at.OffsetHigh = LockOffsetHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

void NoteOwner(HANDLE owner)
{
    char text[64];
    int length = snprintf(text, sizeof text, "pid=%lu\r\n", (unsigned long)GetCurrentProcessId());
    SetFilePointer(owner, 0, nullptr, FILE_BEGIN);
    WriteAll(owner, text, (size_t)length);
    SetEndOfFile(owner);
}

// "20240612-101530-1234": the run's start (UTC) and process id.
std::string NewSetName(int attempt)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    char name[64];
    snprintf(name, sizeof name, "%04u%02u%02u-%02u%02u%02u-%lu", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, (unsigned long)GetCurrentProcessId());
    return attempt == 0 ? name : std::string(name) + "-" + std::to_string(attempt);
}

} // namespace

bool WriteRecoveryFile(const std::string &path, const RECOVERYSCRIPT &script)
{
    std::string temporary = path + ".tmp";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string header = Header(script);
    // Flushed before the rename: after a power cut the new name must not
    // stand for bytes that never reached the disk.
    bool written = WriteAll(file, header.data(), header.size()) &&
                   WriteAll(file, script.Text.data(), script.Text.size()) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool ReadRecoveryFile(const std::string &path, RECOVERYSCRIPT *script)
{
    size_t size = 0;
    std::unique_ptr<char, void (*)(void *)> bytes(ReadWholeFile(path.c_str(), &size), free);
    if (!bytes) return false;
    const char *at = bytes.get(), *end = at + size;
    std::string line;
    if (!NextLine(at, end, &line) || line != FirstLine) return false;
    RECOVERYSCRIPT read;
    long long length = -1;
    bool sawFile = false;
    while (NextLine(at, end, &line) && !line.empty()) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) return false;
        std::string key = line.substr(0, equals);
        sawFile = sawFile || key == "file";
        if (!TakeField(key, line.substr(equals + 1), &read, &length)) return false;
    }
    // The blank line ends the header; the text fills the rest exactly.
    if (!line.empty() || !sawFile || length < 0 || (unsigned long long)length != (unsigned long long)(end - at))
        return false;
    read.Text.assign(at, (size_t)length);
    *script = std::move(read);
    return true;
}

bool CreateRecoverySet(const std::string &root, RECOVERYSET *set)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string folder = root + "\\" + NewSetName(attempt);
        if (!CreateDirectoryA(folder.c_str(), nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            return false;
        }
        HANDLE owner = LockOwnerFile(folder + "\\" OWNER_FILE, CREATE_NEW);
        if (owner == INVALID_HANDLE_VALUE) {
            RemoveDirectoryA(folder.c_str());
            return false;
        }
        NoteOwner(owner);
        set->Folder = folder;
        set->Owner = owner;
        return true;
    }
    return false;
}

std::vector<RECOVERYSET> ClaimOrphanSets(const std::string &root, const std::string &own)
{
    std::vector<RECOVERYSET> orphans;
    for (const std::string &name : NamesIn(root, "*", true)) {
        std::string folder = root + "\\" + name;
        if (name == DAMAGED_FOLDER || folder == own) continue;
        RECOVERYSET set;
        set.Folder = folder;
        // A set without an owner file is one whose run was stopped right
        // after making it (it then holds no script), or whose owner file
        // somebody removed: it is taken over only when it holds scripts.
        std::string owner = folder + "\\" OWNER_FILE;
        bool hasOwner = GetFileAttributesA(owner.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!hasOwner && RecoveryFilesIn(set).empty()) continue;
        set.Owner = LockOwnerFile(owner, hasOwner ? OPEN_EXISTING : OPEN_ALWAYS);
        if (set.Owner == INVALID_HANDLE_VALUE) continue; // its run is alive
        if (RecoveryFilesIn(set).empty())
            RemoveRecoverySet(&set);
        else
            orphans.push_back(set);
    }
    return orphans;
}

std::vector<std::string> RecoveryFilesIn(const RECOVERYSET &set)
{
    std::vector<std::string> paths;
    for (const std::string &name : NamesIn(set.Folder, "*" RECOVERY_EXTENSION, false)) {
        // The pattern's extension also matches longer ones on Windows.
        if (name.size() < sizeof RECOVERY_EXTENSION ||
            name.compare(name.size() - (sizeof RECOVERY_EXTENSION - 1), std::string::npos, RECOVERY_EXTENSION) != 0)
            continue;
        paths.push_back(set.Folder + "\\" + name);
    }
    return paths;
}

void ReleaseRecoverySet(RECOVERYSET *set)
{
    if (set->Owner != INVALID_HANDLE_VALUE) CloseHandle(set->Owner);
    set->Owner = INVALID_HANDLE_VALUE;
}

// The owner file goes last, while this process still holds its lock: no
// other run takes the half-removed set for an orphan meanwhile.
void RemoveRecoverySet(RECOVERYSET *set)
{
    for (const std::string &name : NamesIn(set->Folder, "*", false))
        if (name != OWNER_FILE) DeleteFileA((set->Folder + "\\" + name).c_str());
    DeleteFileA((set->Folder + "\\" OWNER_FILE).c_str());
    ReleaseRecoverySet(set);
    RemoveDirectoryA(set->Folder.c_str());
}

std::string SetAsideDamagedFile(const std::string &root, const std::string &path)
{
    std::string folder = root + "\\" DAMAGED_FOLDER;
    CreateDirectoryA(folder.c_str(), nullptr);
    // The set's name keeps files of different runs apart.
    size_t slash = path.find_last_of('\\');
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string setFolder = slash == std::string::npos ? "" : path.substr(0, slash);
    size_t setSlash = setFolder.find_last_of('\\');
    std::string setName = setSlash == std::string::npos ? setFolder : setFolder.substr(setSlash + 1);
    std::string target = folder + "\\" + setName + "-" + file;
    return MoveFileExA(path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? target : std::string();
}
