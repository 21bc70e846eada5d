#include "app/DesktopShell.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "querywindow/ProgramValues.h"

#ifdef __WINE__
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
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

namespace {

// The script is a bash script (dash, /bin/sh on Debian, cannot run it). It
// runs on a thread of its own, so that nobody waits for it; when it fails,
// the user is told why, with the last line it wrote to its error output.
DWORD WINAPI RunServerScript(LPVOID parameter)
{
    std::string script = static_cast<char *>(parameter);
    free(parameter);
    int errors[2];
    if (pipe(errors) != 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    posix_spawn_file_actions_addclose(&actions, errors[0]);
    char bash[] = "/bin/bash", start[] = "start";
    char *arguments[] = {bash, &script[0], start, nullptr};
    pid_t pid;
    int spawned = posix_spawn(&pid, bash, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(errors[1]);
    std::string output;
    char chunk[512];
    for (ssize_t got; (got = read(errors[0], chunk, sizeof chunk)) > 0;)
        if (output.size() < 64 * 1024) output.append(chunk, (size_t)got);
    close(errors[0]);
    int status = 0;
    if (spawned == 0) waitpid(pid, &status, 0);
    if (spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    size_t lastLine = output.rfind('\n');
    std::string reason = lastLine == std::string::npos ? output : output.substr(lastLine + 1);
    if (reason.empty())
        reason = spawned != 0 ? "bash could not be started." : "The script " + script + " failed.";
    std::string text = "The local server could not be started.\n\n" + reason;
    MessageBoxA(nullptr, text.c_str(), "Vintrel", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    return 0;
}

} // namespace

// The Linux build has no database service to "net start": the launcher names
// the script that starts the embedded server (the one ./run uses).
void StartLocalServer()
{
    const char *script = getenv("VINTREL_EMBEDDED_SERVER");
    if (!script || !*script) return;
    char *copy = strdup(script);
    HANDLE thread = copy ? CreateThread(nullptr, 0, RunServerScript, copy, 0, nullptr) : nullptr;
    if (thread)
        CloseHandle(thread);
    else
        free(copy);
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
