// Shared by the benchmark programs: the server account (as ./test sets it),
// a clock, the process's resident memory, a big result table and the probe
// of the user-interface thread's answers.
#pragma once

#include <windows.h>

#include <string>

#include "server/ClientLibrary.h"

double NowSeconds();
// Resident memory of the process in MiB (Linux: /proc/self/statm).
double ResidentMiB();
// A connection on the benchmark account, or exits with a message.
MYSQL *ConnectBenchServer();
// The program's own record of a connection on the benchmark account, open,
// with database as its current one; null when it cannot be opened.
CONNECTIONINFO *OpenBenchConnection(const char *database);
// Runs a statement or exits with the server's message.
void BenchSql(MYSQL *mysql, const std::string &sql);
// Creates vintrel_bench.rows_1m once: 1,000,000 rows of an id, a short
// text, a double, a datetime and a nullable text. Leaves vintrel_bench as
// the current database.
void EnsureMillionRowTable(MYSQL *mysql);

// How long the user-interface thread leaves a posted message waiting: from
// Start to Stop a thread of its own posts one every 5 ms carrying the time
// it was posted, and the thread that made the probe notes the longest wait
// as it handles its messages.
class PostedMessageProbe {
public:
    PostedMessageProbe();
    ~PostedMessageProbe();
    PostedMessageProbe(const PostedMessageProbe &) = delete;
    PostedMessageProbe &operator=(const PostedMessageProbe &) = delete;

    void Start();
    // The longest wait since Start, in seconds.
    double Stop();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI Post(LPVOID self);

    HWND window = nullptr;
    HANDLE thread = nullptr;
    volatile LONG running = 0;
    double longest = 0;
};
