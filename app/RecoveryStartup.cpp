#include "app/RecoveryStartup.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "querywindow/QueryWindow.h"
#include "querywindow/RecoveryFiles.h"
#include "querywindow/ScriptRecovery.h"

#ifdef __WINE__
#include <sys/stat.h>
#endif

namespace {

struct FOUNDSCRIPT {
    RECOVERYSCRIPT Script;
    std::string Path; // its recovery file
    bool Done;        // restored or discarded: its file goes
};

// The run's recovery: one per process.
struct RECOVERYSTART {
    bool Running = false;
    bool Offered = false;
    std::string Root;
    RECOVERYSET Own;
    std::vector<RECOVERYSET> Orphans;  // claimed, oldest first
    std::vector<FOUNDSCRIPT> Scripts;  // in the order they are restored
    std::vector<std::string> Damaged;
};

RECOVERYSTART Start;

#ifdef __WINE__
// The Linux folder, each missing level made for the user alone; the last
// one is the user's alone even if it was there before.
bool MakePrivateFolder(const std::string &path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        mkdir(path.substr(0, slash).c_str(), 0700);
    mkdir(path.c_str(), 0700);
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && chmod(path.c_str(), 0700) == 0;
}

std::string WindowsPathOf(const std::string &unixPath)
{
    WCHAR *wide = wine_get_dos_file_name(unixPath.c_str());
    if (!wide) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string path(size > 0 ? (size_t)size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &path[0], size, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, wide);
    return path;
}
#endif

void ReadOrphanSets()
{
    for (const RECOVERYSET &set : Start.Orphans) {
        std::vector<FOUNDSCRIPT> found;
        for (const std::string &path : RecoveryFilesIn(set)) {
            FOUNDSCRIPT script{RECOVERYSCRIPT(), path, false};
            if (ReadRecoveryFile(path, &script.Script))
                found.push_back(std::move(script));
            else
                Start.Damaged.push_back(path);
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const FOUNDSCRIPT &a, const FOUNDSCRIPT &b) { return a.Script.Order < b.Script.Order; });
        for (FOUNDSCRIPT &script : found) Start.Scripts.push_back(std::move(script));
    }
}

void SayWhatWasNotRestored(HWND frame, size_t count, const char *error)
{
    char text[1024];
    snprintf(text, sizeof text,
             "%u unsaved script(s) could not be reopened: no connection could be opened for them.\n\n%s\n\n"
             "They are kept and offered again at the next start.",
             (unsigned)count, error && *error ? error : "");
    MessageBoxA(frame, text, "Vintrel", MB_OK | MB_ICONWARNING);
}

// The first script takes the place of the window the connect opened; each
// further one gets a window on a connection like it. Stops at the first
// window that cannot be opened, leaving the rest for the next start.
void RestoreAll(HWND frame, HWND blank)
{
    for (size_t i = 0; i < Start.Scripts.size(); i++) {
        char error[512] = "";
        HWND window = i == 0 ? blank : CloneQueryWindow(blank, nullptr, error, sizeof error);
        if (!window) {
            SayWhatWasNotRestored(frame, Start.Scripts.size() - i, error);
            return;
        }
        RestoreScript(window, Start.Scripts[i].Script);
        Start.Scripts[i].Done = true;
    }
}

// Each damaged file is moved aside, so that it is not offered again, and
// named in the note.
std::string SetAsideDamagedFiles()
{
    std::string note;
    for (const std::string &path : Start.Damaged) {
        std::string kept = SetAsideDamagedFile(Start.Root, path);
        note += "A recovery file of the last session could not be read and was skipped: " +
                (kept.empty() ? path : kept) + "\r\n";
    }
    return note;
}

// The files of the scripts dealt with go; a set left with none goes too,
// the others stay for the next start. The copies of the restored windows
// are written first: until then the old files are the only ones.
void ClearOrphanSets()
{
    FlushRecoveryCopies();
    for (const FOUNDSCRIPT &script : Start.Scripts)
        if (script.Done) DeleteFileA(script.Path.c_str());
    for (RECOVERYSET &set : Start.Orphans) {
        if (RecoveryFilesIn(set).empty())
            RemoveRecoverySet(&set);
        else
            ReleaseRecoverySet(&set);
    }
    Start.Orphans.clear();
    Start.Scripts.clear();
    Start.Damaged.clear();
}

void ReleaseOrphanSets()
{
    for (RECOVERYSET &set : Start.Orphans) ReleaseRecoverySet(&set);
    Start.Orphans.clear();
}

} // namespace

#ifdef __WINE__
namespace {

// A folder of the user's data folder, made for the user alone when
// missing; "" when there is none.
std::string UserDataFolder(const char *linuxName, const char *)
{
    // Relative paths in XDG_DATA_HOME are to be ignored.
    const char *data = getenv("XDG_DATA_HOME"), *home = getenv("HOME");
    std::string base;
    if (data && data[0] == '/')
        base = data;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.local/share";
    else
        return std::string();
    std::string folder = base + "/vintrel/" + linuxName;
    return MakePrivateFolder(folder) ? WindowsPathOf(folder) : std::string();
}

} // namespace
#else
namespace {

std::string UserDataFolder(const char *, const char *windowsName)
{
    char local[MAX_PATH] = "";
    const int folder = CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE;
    if (FAILED(SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, local)) || !*local) return std::string();
    std::string path = local;
    if (path.back() == '\\') path.pop_back();
    path += "\\Vintrel";
    CreateDirectoryA(path.c_str(), nullptr);
    path += std::string("\\") + windowsName;
    CreateDirectoryA(path.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? path : std::string();
}

} // namespace
#endif

std::string RecoveryFolder() { return UserDataFolder("recovery", "Recovery"); }

std::string UserHistoryFolder() { return UserDataFolder("history", "History"); }

int StartScriptRecovery(const std::string &root)
{
    if (Start.Running) return (int)Start.Scripts.size();
    if (root.empty()) return 0;
    Start = RECOVERYSTART();
    Start.Root = root;
    if (!CreateRecoverySet(root, &Start.Own)) return 0;
    if (!StartRecoveryCopies(Start.Own.Folder)) {
        RemoveRecoverySet(&Start.Own);
        return 0;
    }
    Start.Orphans = ClaimOrphanSets(root, Start.Own.Folder);
    ReadOrphanSets();
    Start.Running = true;
    return (int)Start.Scripts.size();
}

void OfferRecoveredScripts(HWND frame)
{
    HWND blank = ActiveQueryWindow();
    if (!Start.Running || Start.Offered || !blank) return;
    Start.Offered = true;
    if (Start.Orphans.empty()) return;
    if (!Start.Scripts.empty()) {
        char question[96];
        snprintf(question, sizeof question, "Restore %d unsaved script(s) from the last session?",
                 (int)Start.Scripts.size());
        if (MessageBoxA(frame, question, "Vintrel", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES)
            RestoreAll(frame, blank);
        else
            for (FOUNDSCRIPT &script : Start.Scripts) script.Done = true;
    }
    std::string note = SetAsideDamagedFiles();
    ClearOrphanSets();
    if (!note.empty()) ShowRecoveryNote(ActiveQueryWindow(), note.c_str());
}

void KeepScriptsForNextStart()
{
    if (!Start.Running) return;
    KeepRecoveryCopies();
    ReleaseRecoverySet(&Start.Own);
    ReleaseOrphanSets();
    Start.Running = false;
}

void FinishScriptRecovery()
{
    if (!Start.Running) return;
    StopRecoveryCopies();
    RemoveRecoverySet(&Start.Own);
    ReleaseOrphanSets();
    Start.Running = false;
}
