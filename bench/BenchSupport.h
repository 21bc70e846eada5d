// Shared by the benchmark programs: the server account (as ./test sets it),
// a clock, the process's resident memory and a big result table.
#pragma once

#include <windows.h>

#include <string>

#include "server/ClientLibrary.h"

double NowSeconds();
// Resident memory of the process in MiB (Linux: /proc/self/statm).
double ResidentMiB();
// A connection on the benchmark account, or exits with a message.
MYSQL *ConnectBenchServer();
// Runs a statement or exits with the server's message.
void BenchSql(MYSQL *mysql, const std::string &sql);
// Creates vintrel_bench.rows_1m once: 1,000,000 rows of an id, a short
// text, a double, a datetime and a nullable text. Leaves vintrel_bench as
// the current database.
void EnsureMillionRowTable(MYSQL *mysql);
