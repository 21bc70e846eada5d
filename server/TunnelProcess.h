// The platform part of the SSH tunnels: finding and running ssh, and the
// loopback ports. The Winelib build runs the Linux ssh with posix_spawn:
// Wine's CreateProcess starts a Unix program but gives back no process
// handle and does not hand it the pipes, so the program could neither watch
// it, end it nor read its messages. The Windows build uses CreateProcess.
#pragma once

#include <string>
#include <vector>

struct SSHPROCESS;

// The ssh program's path, or "" when there is none: on Linux the first
// "ssh" on PATH; on Windows "ssh.exe" on the search path, else the one
// Windows carries in System32\OpenSSH.
std::string FindSshProgram();

// Starts program with arguments (not counting the program), with no input,
// output discarded and error output collected. Null (with the system's
// reason in error) when it could not be started.
SSHPROCESS *StartSshProcess(const std::string &program, const std::vector<std::string> &arguments,
                            std::string *error);

bool SshProcessRunning(SSHPROCESS *process);
// The system's id of the process (for tests that end it from outside).
unsigned long SshProcessId(SSHPROCESS *process);

// What the process wrote on its error output so far (its last few kB).
std::string SshProcessMessages(SSHPROCESS *process);

// Ends the process if it still runs, waits for it, frees the record and
// gives back the process's last messages.
std::string EndSshProcess(SSHPROCESS *process);

// A port that nothing listens on at 127.0.0.1 (0 when none is found), and
// whether something now accepts a connection on one.
unsigned int FreeLoopbackPort();
bool LoopbackPortAnswers(unsigned int port);
