#include "VintrelProcess.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

std::string BuildDirectory()
{
    const char *build = getenv("VINTREL_E2E_BUILD");
    return build ? build : "build";
}

std::string WindowsBuildDirectory()
{
    const char *build = getenv("VINTREL_E2E_WINDOWS");
    return build ? build : "";
}

bool TestingWindowsBuild() { return !WindowsBuildDirectory().empty(); }

std::string WindowsPath(const std::string &path)
{
    std::string windows = "Z:" + path;
    for (char &c : windows)
        if (c == '/') c = '\\';
    return windows;
}

std::string FrameTitleFor(const std::string &database, const std::string &user, const std::string &file)
{
    return "Vintrel - [Query - localhost." + database + "." + user + "@localhost - " + file + "]";
}

// The Windows build keeps its recovery copies in the Wine prefix's
// %LOCALAPPDATA%, which all tests share: a test killed with changed text
// would leave its scripts to be offered in the next test.
static void ForgetWindowsRecoveryCopies()
{
    const char *prefix = getenv("WINEPREFIX");
    if (TestingWindowsBuild() && prefix && *prefix)
        Run("rm -rf " + Quote(prefix) + "/drive_c/users/*/AppData/Local/Vintrel/Recovery");
}

VintrelProcess::VintrelProcess()
{
    char pattern[] = "/tmp/vintrel-e2e.XXXXXX";
    Work = mkdtemp(pattern);
    App = Work + "/app";
    ForgetWindowsRecoveryCopies();
    if (TestingWindowsBuild())
        Run("mkdir -p " + Quote(App) + " && unzip -q " + Quote(WindowsBuildDirectory() + "/vintrel-windows.zip") +
            " -d " + Quote(App) + " 2>/dev/null");
    else
        Run("mkdir -p " + Quote(App) + " && cp " + Quote(BuildDirectory() + "/vintrel.exe.so") + " " +
            Quote(BuildDirectory() + "/vrl.chm") + " " + Quote(App) + " && cp -r " +
            Quote(BuildDirectory() + "/templates") + " " + Quote(BuildDirectory() + "/help") + " " + Quote(App));
}

VintrelProcess::~VintrelProcess()
{
    Kill();
    Run("rm -rf " + Quote(Work));
    ForgetWindowsRecoveryCopies();
}

// The settings as the connect dialog writes them: CR LF lines, the two flags
// as the 4-byte integer and its checksum in hexadecimal.
void VintrelProcess::WriteSettings(const std::string &host, const std::string &user, const std::string *savedPassword)
{
    std::string flag = savedPassword ? "0100000001" : "0000000000";
    WriteFile(SettingsPath(), "[connection]\r\nsavepassword=" + flag + "\r\nstartmysql=0000000000\r\nhost=" + host +
                                  "\r\nuser=" + user + "\r\npassword=" + (savedPassword ? *savedPassword : "") + "\r\n");
}

bool VintrelProcess::Start(const std::string &socket)
{
    std::string program = App + (TestingWindowsBuild() ? "/vintrel.exe" : "/vintrel.exe.so");
    return StartCommand(socket, {"wine", program}, {}, 30);
}

bool VintrelProcess::StartCommand(const std::string &socket, const std::vector<std::string> &command,
                                  const std::vector<std::string> &environment, int seconds)
{
    std::string log = Work + "/wine.log";
    Run("mkdir -p " + Quote(Work + "/bin"));
    WriteFile(Work + "/bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " + Quote(Work + "/opened.txt") + "\n");
    Run("chmod +x " + Quote(Work + "/bin/xdg-open"));
    std::vector<char *> arguments;
    for (const std::string &argument : command) arguments.push_back(const_cast<char *>(argument.c_str()));
    arguments.push_back(nullptr);
    Pid = fork();
    if (Pid == 0) {
        setenv("MYSQL_UNIX_PORT", socket.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        // The desktop's opener (the Linux build shows its help pages with
        // it) notes what it was asked to open instead of starting a browser.
        std::string bin = Work + "/bin";
        setenv("PATH", (bin + ":" + getenv("PATH")).c_str(), 1);
        // The Linux build keeps its recovery copies in the user's data
        // folder: each test has its own.
        setenv("XDG_DATA_HOME", (Work + "/data").c_str(), 1);
        for (const std::string &entry : environment) putenv(const_cast<char *>(entry.c_str()));
        int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(output, 1);
        dup2(output, 2);
        int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, 0);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    FrameWindow = WaitForWindow("^Vintrel", seconds);
    Pause(300);
    return !FrameWindow.empty();
}

bool VintrelProcess::Running()
{
    if (Pid <= 0) return false;
    int status;
    if (waitpid(Pid, &status, WNOHANG) == Pid) {
        Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        Pid = 0;
        return false;
    }
    return true;
}

bool VintrelProcess::WaitForExit(int seconds)
{
    return WaitFor([&] { return !Running(); }, std::chrono::seconds(seconds));
}

void VintrelProcess::Kill()
{
    if (!Running()) return;
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
    Pid = 0;
}

bool VintrelProcess::WaitForTitle(const std::string &title, int seconds)
{
    return WaitFor([&] { return FrameTitle() == title; }, std::chrono::seconds(seconds));
}

std::string VintrelProcess::WaitForWindow(const std::string &titlePattern, int seconds)
{
    std::string found;
    WaitFor(
        [&] {
            if (Pid <= 0) return true;
            auto windows = WindowsOf(Pid, titlePattern);
            if (!windows.empty()) found = windows.front();
            return !found.empty();
        },
        std::chrono::seconds(seconds));
    return found;
}

bool VintrelProcess::WaitUntilGone(const std::string &titlePattern, int seconds)
{
    return WaitFor([&] { return Pid <= 0 || WindowsOf(Pid, titlePattern).empty(); }, std::chrono::seconds(seconds));
}

bool VintrelProcess::MessageBoxShown()
{
    for (const std::string &window : WindowsOf(Pid, "^Vintrel$"))
        if (window != FrameWindow) return true;
    return false;
}

bool VintrelProcess::WaitForMessageBox(int seconds)
{
    return WaitFor([&] { return MessageBoxShown(); }, std::chrono::seconds(seconds));
}

bool VintrelProcess::WaitForMessageBoxGone(int seconds)
{
    return WaitFor([&] { return !MessageBoxShown(); }, std::chrono::seconds(seconds));
}

bool VintrelProcess::AcceptConnectDialog()
{
    if (WaitForWindow("^Connect to MySQL Server$").empty()) return false;
    Pause(200);
    Keys("Return");
    return WaitUntilGone("^Connect to MySQL Server$", 15);
}

bool VintrelProcess::MaximizeQueryWindow()
{
    Pause(300);
    DoubleClick(Screen::ChildCaptionX, Screen::ChildCaptionY);
    return WaitFor([&] { return FrameTitle().rfind("Vintrel - [", 0) == 0; }, std::chrono::seconds(5));
}

bool VintrelProcess::StartConnected(const std::string &socket)
{
    return Start(socket) && AcceptConnectDialog() && MaximizeQueryWindow();
}

void VintrelProcess::ReplaceEditorText(const std::string &text)
{
    Click(Screen::EditorX, Screen::EditorY);
    Keys("ctrl+a");
    Type(text);
}

void VintrelProcess::Execute(const std::string &sql)
{
    ReplaceEditorText(sql);
    Keys("F5");
}

std::string VintrelProcess::AskWindow(const std::string &sql)
{
    Execute(sql);
    std::string value;
    WaitFor([&] { return (value = CopyGrid()) != NothingCopied && !value.empty(); }, std::chrono::seconds(10),
            std::chrono::milliseconds(300));
    return value;
}

std::string VintrelProcess::CopyEditor() { return CopyAfterClick(Screen::EditorX, Screen::EditorY, "ctrl+a ctrl+c"); }

std::string VintrelProcess::CopyGrid() { return CopyAfterClick(Screen::GridCellX, Screen::GridCellY, "ctrl+a ctrl+c"); }

bool VintrelProcess::WaitForGrid(const std::string &expected, int seconds)
{
    std::string last;
    bool seen = WaitFor([&] { return (last = CopyGrid()) == expected; }, std::chrono::seconds(seconds),
                        std::chrono::milliseconds(300));
    if (!seen) fprintf(stderr, "grid copy: [%s], expected [%s]\n", last.c_str(), expected.c_str());
    return seen;
}

std::string VintrelProcess::CopyMessages()
{
    Click(Screen::MessagesTabX, Screen::MessagesTabY);
    return CopyAfterClick(Screen::MessagePaneX, Screen::MessagePaneY, "ctrl+a ctrl+c");
}

} // namespace e2e
