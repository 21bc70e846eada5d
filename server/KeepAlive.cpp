#include "server/KeepAlive.h"

#ifdef __WINE__
// The client library is the Linux one: its socket is a Linux descriptor.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

bool KeepConnectionAlive(MYSQL *handle)
{
    int descriptor = -1;
    if (!mariadb_get_infov || mariadb_get_infov(handle, MariadbConnectionSocket, &descriptor) != 0 || descriptor < 0)
        return false;
    int on = 1, idle = KeepAliveIdleSeconds, interval = KeepAliveIntervalSeconds;
    int count = (KeepAliveGiveUpSeconds - KeepAliveIdleSeconds) / KeepAliveIntervalSeconds;
    // Unacknowledged data (a ping or a batch sent to a vanished server)
    // would otherwise be retransmitted for about fifteen minutes.
    unsigned int unacknowledged = KeepAliveGiveUpSeconds * 1000;
    if (setsockopt(descriptor, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) return false;
    return setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
           setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
           setsockopt(descriptor, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0 &&
           setsockopt(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged) == 0;
}

#else
#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>

// The Windows SDK's value; mingw-w64's headers lack the name.
#ifndef TCP_MAXRT
#define TCP_MAXRT 5
#endif

bool KeepConnectionAlive(MYSQL *handle)
{
    SOCKET connectionSocket = INVALID_SOCKET;
    if (!mariadb_get_infov || mariadb_get_infov(handle, MariadbConnectionSocket, &connectionSocket) != 0 ||
        connectionSocket == INVALID_SOCKET)
        return false;
    // Windows sends ten probes, an interval apart, before it gives up (the
    // count cannot be chosen before Windows 10); TCP_MAXRT bounds the
    // retransmission of unacknowledged data.
    tcp_keepalive values = {1, KeepAliveIdleSeconds * 1000, KeepAliveIntervalSeconds * 1000};
    DWORD returned = 0;
    if (WSAIoctl(connectionSocket, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                 nullptr) != 0)
        return false;
    DWORD retransmit = KeepAliveGiveUpSeconds;
    setsockopt(connectionSocket, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char *>(&retransmit),
               sizeof retransmit);
    return true;
}
#endif
