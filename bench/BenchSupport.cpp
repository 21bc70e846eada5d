#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

double NowSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

double ResidentMiB()
{
    FILE *statm = fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (statm) {
        if (fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        fclose(statm);
    }
    return resident * 4096.0 / (1024 * 1024);
}

MYSQL *ConnectBenchServer()
{
    if (LoadClientLibrary("") < StatusFunctionMissing) {
        fprintf(stderr, "cannot load %s\n", DefaultClientLibraryName());
        exit(1);
    }
    const char *user = getenv("VINTREL_TEST_USER");
    const char *password = getenv("VINTREL_TEST_PASSWORD");
    MYSQL *mysql = mysql_init(nullptr);
    if (!mysql_real_connect(mysql, "localhost", user ? user : "vintrel", password ? password : "",
                            nullptr, 3306, nullptr, 0)) {
        fprintf(stderr, "cannot connect: %s\n", mysql_error(mysql));
        exit(1);
    }
    return mysql;
}

CONNECTIONINFO *OpenBenchConnection(const char *database)
{
    const char *user = getenv("VINTREL_TEST_USER");
    const char *password = getenv("VINTREL_TEST_PASSWORD");
    CONNECTIONINFO *connection = NewConnectionInfo("localhost", user ? user : "vintrel", password ? password : "");
    if (!connection || !OpenConnection(connection)) return nullptr;
    ReplaceConnectionText(&connection->Database, database);
    mysql_select_db(connection->Handle, database);
    return connection;
}

void BenchSql(MYSQL *mysql, const std::string &sql)
{
    if (mysql_query(mysql, sql.c_str()) != 0) {
        fprintf(stderr, "%s: %s\n", sql.c_str(), mysql_error(mysql));
        exit(1);
    }
    MYSQL_RES *result = mysql_store_result(mysql);
    if (result) mysql_free_result(result);
}

void EnsureMillionRowTable(MYSQL *mysql)
{
    BenchSql(mysql, "CREATE DATABASE IF NOT EXISTS vintrel_bench");
    BenchSql(mysql, "USE vintrel_bench");
    BenchSql(mysql, "CREATE TABLE IF NOT EXISTS rows_1m (id INT PRIMARY KEY, name VARCHAR(40), "
                    "amount DOUBLE, created DATETIME, note VARCHAR(40) NULL)");
    mysql_query(mysql, "SELECT COUNT(*) FROM rows_1m");
    MYSQL_RES *result = mysql_store_result(mysql);
    bool filled = result && atoi(mysql_fetch_row(result)[0]) == 1000000;
    if (result) mysql_free_result(result);
    if (filled) return;
    printf("filling vintrel_bench.rows_1m ...\n");
    BenchSql(mysql, "TRUNCATE rows_1m");
    BenchSql(mysql, "INSERT INTO rows_1m SELECT seq, CONCAT('name number ', seq), seq * 1.25, "
                    "'2026-01-01 00:00:00' + INTERVAL seq SECOND, "
                    "IF(seq % 4 = 0, NULL, CONCAT('note ', seq % 1000)) FROM seq_1_to_1000000");
}

namespace {

const UINT WM_PROBE = WM_APP + 1;
const char ProbeClass[] = "VintrelBenchProbe";

} // namespace

PostedMessageProbe::PostedMessageProbe()
{
    WNDCLASSA probeClass = {};
    probeClass.lpfnWndProc = Proc;
    probeClass.hInstance = GetModuleHandleA(nullptr);
    probeClass.lpszClassName = ProbeClass;
    RegisterClassA(&probeClass);
    window = CreateWindowExA(0, ProbeClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PostedMessageProbe::~PostedMessageProbe()
{
    if (thread) Stop();
    DestroyWindow(window);
}

void PostedMessageProbe::Start()
{
    longest = 0;
    running = 1;
    thread = CreateThread(nullptr, 0, Post, this, 0, nullptr);
}

double PostedMessageProbe::Stop()
{
    running = 0;
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
    }
    // Those posted before the thread stopped count too.
    MSG message;
    while (PeekMessageA(&message, window, WM_PROBE, WM_PROBE, PM_REMOVE)) DispatchMessageA(&message);
    return longest;
}

LRESULT CALLBACK PostedMessageProbe::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PROBE) return DefWindowProcA(window, message, wParam, lParam);
    auto *probe = reinterpret_cast<PostedMessageProbe *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    double posted;
    memcpy(&posted, &lParam, sizeof posted);
    double wait = NowSeconds() - posted;
    if (probe && wait > probe->longest) probe->longest = wait;
    return 0;
}

DWORD WINAPI PostedMessageProbe::Post(LPVOID self)
{
    auto *probe = static_cast<PostedMessageProbe *>(self);
    while (probe->running) {
        double now = NowSeconds();
        LPARAM value;
        memcpy(&value, &now, sizeof value);
        PostMessageA(probe->window, WM_PROBE, 0, value);
        Sleep(5);
    }
    return 0;
}
