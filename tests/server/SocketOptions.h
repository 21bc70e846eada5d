#pragma once

struct SOCKETOPTIONS {
    int KeepAlive;            // SO_KEEPALIVE
    int KeepAliveIdle;        // TCP_KEEPIDLE, seconds
    unsigned int UserTimeout; // TCP_USER_TIMEOUT, milliseconds
};

SOCKETOPTIONS ReadSocketOptions(int socket);
