#include "app/DesktopShell.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "querywindow/WindowRecords.h"

#ifdef __WINE__
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
extern char **environ;
#endif

void (*DesktopLaunchHook)(const char *program, const char *argument) = nullptr;

#ifdef __WINE__

namespace {

// The Linux path of a Windows path (drive Z: is the Linux root, and the
// program's own directory may be on any drive Wine maps).
std::string UnixPath(const char *path)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    if (length <= 0) return std::string();
    // Not std::wstring: Winelib's wchar_t is 2 bytes, the C++ library's
    // compiled strings take 4, and the two would allocate and free the same
    // string in different sizes.
    std::vector<WCHAR> wide((size_t)length);
    MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), length);
    char *unixPath = wine_get_unix_file_name(wide.data());
    std::string result = unixPath ? unixPath : "";
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Runs a shell command detached, with first and second as $0 and $1: an
// intermediate shell puts it in the background and exits at once, so that
// nobody waits for it and no zombie process is left.
void RunInBackground(const char *command, const char *first, const char *second)
{
    std::string line = std::string(command) + " </dev/null >/dev/null 2>&1 &";
    char shell[] = "/bin/sh", option[] = "-c";
    char *arguments[] = {shell, option, &line[0], const_cast<char *>(first), const_cast<char *>(second), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, shell, nullptr, nullptr, arguments, environ) == 0) waitpid(pid, nullptr, 0);
}

void LaunchDetached(const char *program, const char *argument)
{
    if (DesktopLaunchHook)
        DesktopLaunchHook(program, argument);
    else
        RunInBackground("\"$0\" \"$1\"", program, argument);
}

} // namespace

// The Linux build has no database service to "net start": the launcher names
// the script that starts the embedded server (the one ./run uses).
void StartLocalServer()
{
    const char *script = getenv("VINTREL_EMBEDDED_SERVER");
    if (script && *script) RunInBackground("/bin/sh \"$0\" start", script, nullptr);
}

void ShowHelpContents()
{
    std::string directory = UnixPath(AppDirectory);
    if (directory.empty()) return;
    std::string page = directory + "/help/index.html";
    LaunchDetached("xdg-open", page.c_str());
}

void MakeFileOwnerOnly(const char *path)
{
    std::string file = UnixPath(path);
    if (!file.empty()) chmod(file.c_str(), S_IRUSR | S_IWUSR);
}

#else

void StartLocalServer() { ShellExecuteA(nullptr, nullptr, "net", "start mysql", nullptr, SW_HIDE); }

void ShowHelpContents()
{
    std::string parameters = std::string("\"") + AppDirectory + "\\vrl.chm\"";
    if (DesktopLaunchHook) {
        DesktopLaunchHook("hh", parameters.c_str());
        return;
    }
    ShellExecuteA(nullptr, nullptr, "hh", parameters.c_str(), AppDirectory, SW_SHOWDEFAULT);
}

void MakeFileOwnerOnly(const char *) {}

#endif
