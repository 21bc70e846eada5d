// The options of a connection's Linux socket, read apart from the tests'
// own sources: Wine's windows.h brings Winsock's definitions, which clash
// with the Linux socket headers.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "SocketOptions.h"

SOCKETOPTIONS ReadSocketOptions(int socket)
{
    SOCKETOPTIONS options = {};
    socklen_t size = sizeof options.KeepAlive;
    getsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &options.KeepAlive, &size);
    size = sizeof options.KeepAliveIdle;
    getsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &options.KeepAliveIdle, &size);
    size = sizeof options.UserTimeout;
    getsockopt(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, &options.UserTimeout, &size);
    return options;
}
