#include "server/TunnelProcess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#ifdef __WINE__
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
typedef int ErrorSource;
#else
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
typedef HANDLE ErrorSource;
#endif

struct SSHPROCESS {
    std::mutex Lock;
    std::string Messages; // guarded by Lock
    std::thread Reader;   // collects Messages until the pipe closes
#ifdef __WINE__
    pid_t Pid = 0;
    int ErrorPipe = -1;
#else
    HANDLE Process = nullptr;
    HANDLE Job = nullptr;
    HANDLE ErrorPipe = nullptr;
#endif
};

namespace {

// ssh is quiet while a tunnel runs; only the last words matter.
const size_t MessagesKept = 4096;

void KeepMessages(SSHPROCESS *process, const char *bytes, size_t count)
{
    std::lock_guard<std::mutex> guard(process->Lock);
    process->Messages.append(bytes, count);
    if (process->Messages.size() > MessagesKept)
        process->Messages.erase(0, process->Messages.size() - MessagesKept);
}

#ifdef __WINE__

void CollectMessages(SSHPROCESS *process)
{
    char buffer[512];
    for (;;) {
        ssize_t count = read(process->ErrorPipe, buffer, sizeof buffer);
        if (count > 0) KeepMessages(process, buffer, (size_t)count);
        else if (count == 0 || errno != EINTR) break;
    }
}

bool LaunchProcess(SSHPROCESS *process, const std::string &program, const std::vector<std::string> &arguments,
                   std::string *error)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        *error = strerror(errno);
        return false;
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    // Nothing else of the program's (Wine's own descriptors, the X
    // connection, the sessions' sockets) stays open in ssh.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // Wine's threads block and catch signals of their own; ssh starts with
    // none blocked and every handler at its default, as from a shell.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    int failed = posix_spawn(&process->Pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed) {
        close(pipeEnds[0]);
        *error = strerror(failed);
        return false;
    }
    process->ErrorPipe = pipeEnds[0];
    return true;
}

bool ProcessRunning(SSHPROCESS *process)
{
    // Wine may reap children itself: a child that is gone is not running
    // whoever waited for it.
    return process->Pid > 0 && waitpid(process->Pid, nullptr, WNOHANG) == 0;
}

void EndProcess(SSHPROCESS *process)
{
    if (ProcessRunning(process)) {
        kill(process->Pid, SIGTERM);
        for (int i = 0; i < 40 && ProcessRunning(process); i++) usleep(50000);
        if (ProcessRunning(process)) kill(process->Pid, SIGKILL);
        waitpid(process->Pid, nullptr, 0);
    }
}

void CloseErrorPipe(SSHPROCESS *process)
{
    if (process->ErrorPipe >= 0) close(process->ErrorPipe);
}

bool IsExecutable(const std::string &path) { return access(path.c_str(), X_OK) == 0; }

#else

void CollectMessages(SSHPROCESS *process)
{
    char buffer[512];
    DWORD count = 0;
    while (ReadFile(process->ErrorPipe, buffer, sizeof buffer, &count, nullptr) && count > 0)
        KeepMessages(process, buffer, count);
}

// Windows takes one command line: each argument quoted when it holds a
// space (key files under "C:\Users\First Last").
std::string CommandLine(const std::string &program, const std::vector<std::string> &arguments)
{
    std::string line = "\"" + program + "\"";
    for (const std::string &argument : arguments)
        line += argument.find(' ') == std::string::npos ? " " + argument : " \"" + argument + "\"";
    return line;
}

std::string SystemErrorText(DWORD code)
{
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    return text;
}

bool LaunchProcess(SSHPROCESS *process, const std::string &program, const std::vector<std::string> &arguments,
                   std::string *error)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        *error = SystemErrorText(GetLastError());
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherited, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = nothing;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started = {};
    std::string line = CommandLine(program, arguments);
    BOOL ok = CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &startup, &started);
    DWORD code = GetLastError();
    CloseHandle(writeEnd);
    if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
    if (!ok) {
        CloseHandle(readEnd);
        *error = SystemErrorText(code);
        return false;
    }
    // ssh goes with the program, even when the program is ended from outside.
    process->Job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (process->Job) {
        SetInformationJobObject(process->Job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        AssignProcessToJobObject(process->Job, started.hProcess);
    }
    CloseHandle(started.hThread);
    process->Process = started.hProcess;
    process->ErrorPipe = readEnd;
    return true;
}

bool ProcessRunning(SSHPROCESS *process)
{
    return process->Process && WaitForSingleObject(process->Process, 0) == WAIT_TIMEOUT;
}

void EndProcess(SSHPROCESS *process)
{
    if (ProcessRunning(process)) TerminateProcess(process->Process, 1);
    if (process->Process) WaitForSingleObject(process->Process, 5000);
}

void CloseErrorPipe(SSHPROCESS *process)
{
    if (process->ErrorPipe) CloseHandle(process->ErrorPipe);
    if (process->Process) CloseHandle(process->Process);
    if (process->Job) CloseHandle(process->Job);
}

bool IsExecutable(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct WINSOCKSTART {
    WINSOCKSTART()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

void StartWinsock() { static WINSOCKSTART started; }

#endif

} // namespace

std::string FindSshProgram()
{
#ifdef __WINE__
    const char *path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && IsExecutable(folder + "/ssh")) return folder + "/ssh";
        if (end == std::string::npos) return std::string();
        start = end + 1;
    }
#else
    char found[MAX_PATH];
    if (SearchPathA(nullptr, "ssh.exe", nullptr, sizeof found, found, nullptr)) return found;
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    std::string carried = std::string(system, length) + "\\OpenSSH\\ssh.exe";
    return length && IsExecutable(carried) ? carried : std::string();
#endif
}

SSHPROCESS *StartSshProcess(const std::string &program, const std::vector<std::string> &arguments,
                            std::string *error)
{
    SSHPROCESS *process = new SSHPROCESS();
    if (!LaunchProcess(process, program, arguments, error)) {
        delete process;
        return nullptr;
    }
    process->Reader = std::thread(CollectMessages, process);
    return process;
}

bool SshProcessRunning(SSHPROCESS *process) { return process && ProcessRunning(process); }

unsigned long SshProcessId(SSHPROCESS *process)
{
#ifdef __WINE__
    return process ? (unsigned long)process->Pid : 0;
#else
    return process && process->Process ? GetProcessId(process->Process) : 0;
#endif
}

std::string SshProcessMessages(SSHPROCESS *process)
{
    if (!process) return std::string();
    std::lock_guard<std::mutex> guard(process->Lock);
    return process->Messages;
}

std::string EndSshProcess(SSHPROCESS *process)
{
    if (!process) return std::string();
    EndProcess(process);
    // The pipe closes with the process: the reader has read its last words.
    if (process->Reader.joinable()) process->Reader.join();
    CloseErrorPipe(process);
    std::string messages = process->Messages;
    delete process;
    return messages;
}

namespace {

#ifdef __WINE__
typedef int SocketType;
const SocketType NoSocket = -1;
void CloseSocket(SocketType s) { close(s); }
#else
typedef SOCKET SocketType;
const SocketType NoSocket = INVALID_SOCKET;
void CloseSocket(SocketType s) { closesocket(s); }
#endif

SocketType LoopbackSocket(sockaddr_in *address, unsigned int port)
{
#ifndef __WINE__
    StartWinsock();
#endif
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons((unsigned short)port);
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return socket(AF_INET, SOCK_STREAM, 0);
}

} // namespace

unsigned int FreeLoopbackPort()
{
    sockaddr_in address;
    SocketType probe = LoopbackSocket(&address, 0);
    if (probe == NoSocket) return 0;
    socklen_t length = sizeof address;
    unsigned int port = 0;
    if (bind(probe, (sockaddr *)&address, sizeof address) == 0 &&
        getsockname(probe, (sockaddr *)&address, &length) == 0)
        port = ntohs(address.sin_port);
    CloseSocket(probe);
    return port;
}

bool LoopbackPortAnswers(unsigned int port)
{
    sockaddr_in address;
    SocketType probe = LoopbackSocket(&address, port);
    if (probe == NoSocket) return false;
    bool answered = connect(probe, (sockaddr *)&address, sizeof address) == 0;
    CloseSocket(probe);
    return answered;
}
