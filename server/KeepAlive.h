// TCP keep-alive on a connection's socket. The client library's read and
// write timeouts would also end a statement that legitimately runs for
// hours, so a peer that vanished (a firewall that dropped the connection
// silently, a server machine switched off) is found by the system instead:
// probes after half a minute of silence, and the connection given up when
// they, or data sent, stay unanswered for about a minute and a half.
#pragma once

#include "server/ClientLibrary.h"

// Seconds of silence before the first probe, between probes, and how long
// unanswered probes or data are borne.
enum { KeepAliveIdleSeconds = 30, KeepAliveIntervalSeconds = 10, KeepAliveGiveUpSeconds = 90 };

// Turns keep-alive on for the connection's TCP socket; false when the
// library cannot name its socket or the system refused (a local socket has
// no peer to lose).
bool KeepConnectionAlive(MYSQL *handle);
