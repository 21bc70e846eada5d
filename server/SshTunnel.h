// SSH tunnels made by the system's OpenSSH client (ssh, ssh.exe on Windows
// 10 and later): a local port on the loopback address forwarded through
// the SSH host to the server's host and port as the SSH host sees them.
//
// One tunnel serves every connection with the same SSH host, user, key and
// server: each holds a reference, and the last to let go ends ssh. The
// user's ~/.ssh/config applies. Safe to call from any thread.
#pragma once

#include <cstddef>
#include <string>

#include "server/ClientLibrary.h"

// A running tunnel for the route's SSH settings to host:port, shared when
// one runs already, else made now: ssh is started and the call returns once
// the local port answers, or fails with ssh's own words in error (null then)
// when ssh ends or timeoutSeconds pass first.
SSHTUNNEL *AcquireTunnel(const CONNECTIONROUTE &route, const char *host, unsigned int port,
                         unsigned int timeoutSeconds, char *error, size_t errorSize);

// Gives back one reference (null is ignored); the last one ends ssh.
void ReleaseTunnel(SSHTUNNEL *tunnel);

unsigned int TunnelLocalPort(const SSHTUNNEL *tunnel);

// False once ssh has ended (the SSH host went away, or ssh was killed).
bool TunnelRunning(SSHTUNNEL *tunnel);
// True when ssh has ended or ends within that many milliseconds: a session
// cut by the tunnel sees its socket close a moment before ssh is gone.
bool TunnelEnds(SSHTUNNEL *tunnel, unsigned int milliseconds);
enum { TunnelEndWaitMilliseconds = 1000 };

// "The SSH tunnel through HOST has ended", with what ssh said last.
std::string TunnelEndedText(SSHTUNNEL *tunnel);

// The tunnels running now, and the id of a tunnel's ssh process: for tests.
int RunningTunnelCount();
unsigned long TunnelProcessId(SSHTUNNEL *tunnel);
