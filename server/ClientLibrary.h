// Run-time binding to the MySQL client library (MariaDB Connector/C or
// libmysql), and the record of one server connection.
//
// The program never links against the client library: LoadClientLibrary
// opens it by file name and fills a table of entry points, which the rest of
// the program calls by the library's own function names (mysql_query, ...).
#pragma once

#include <cstddef>
#include <cstdint>

// The library's types, declared only as far as the program uses them. Every
// function below is a plain C function of the library: no WINAPI, so that the
// Winelib build calls the Linux library with the Linux calling convention and
// the Windows build calls libmysql.dll with the Windows one.
typedef struct st_mysql MYSQL;
typedef struct st_mysql_res MYSQL_RES;
typedef char **MYSQL_ROW;
typedef unsigned long long my_ulonglong;
typedef char my_bool;
typedef unsigned int MYSQL_FIELD_OFFSET;
typedef void *MYSQL_ROW_OFFSET;

// The column types the program tells apart (the library's own values).
enum enum_field_types : int {
    MYSQL_TYPE_DECIMAL = 0,
    MYSQL_TYPE_TINY = 1,
    MYSQL_TYPE_SHORT = 2,
    MYSQL_TYPE_LONG = 3,
    MYSQL_TYPE_FLOAT = 4,
    MYSQL_TYPE_DOUBLE = 5,
    MYSQL_TYPE_LONGLONG = 8,
    MYSQL_TYPE_INT24 = 9,
    MYSQL_TYPE_YEAR = 13,
    MYSQL_TYPE_NEWDECIMAL = 246,
};

// The column description up to its type, where MySQL's and MariaDB's
// layouts agree; what follows differs between them and is not declared.
// The size is therefore not the library's: take descriptions one at a time
// (mysql_fetch_field, mysql_fetch_field_direct), never index the array of
// mysql_fetch_fields.
struct MYSQL_FIELD {
    char *name;
    char *org_name;
    char *table;
    char *org_table;
    char *db;
    char *catalog;
    char *def;
    unsigned long length;
    unsigned long max_length;
    unsigned int name_length;
    unsigned int org_name_length;
    unsigned int table_length;
    unsigned int org_table_length;
    unsigned int db_length;
    unsigned int catalog_length;
    unsigned int def_length;
    unsigned int flags;
    unsigned int decimals;
    unsigned int charsetnr;
    enum_field_types type;
};

enum ClientLibraryStatusValue : uint8_t {
    StatusNotLoaded = 0,
    StatusLibraryMissing = 1,
    StatusFunctionMissing = 2,
    StatusReady = 3,
};

// The entry points, in the order in which they are looked up. The first 57
// are the classic client interface; mysql_more_results and mysql_next_result
// follow so that the batch worker can consume the further results of a CALL.
#define VINTREL_CLIENT_FUNCTIONS(X)                                                          \
    X(my_ulonglong, mysql_num_rows, (MYSQL_RES *))                                           \
    X(unsigned int, mysql_num_fields, (MYSQL_RES *))                                         \
    X(my_bool, mysql_eof, (MYSQL_RES *))                                                     \
    X(MYSQL_FIELD *, mysql_fetch_field_direct, (MYSQL_RES *, unsigned int))                  \
    X(MYSQL_FIELD *, mysql_fetch_fields, (MYSQL_RES *))                                      \
    X(MYSQL_ROW_OFFSET, mysql_row_tell, (MYSQL_RES *))                                       \
    X(MYSQL_FIELD_OFFSET, mysql_field_tell, (MYSQL_RES *))                                   \
    X(unsigned int, mysql_field_count, (MYSQL *))                                            \
    X(my_ulonglong, mysql_affected_rows, (MYSQL *))                                          \
    X(my_ulonglong, mysql_insert_id, (MYSQL *))                                              \
    X(unsigned int, mysql_errno, (MYSQL *))                                                  \
    X(const char *, mysql_error, (MYSQL *))                                                  \
    X(const char *, mysql_info, (MYSQL *))                                                   \
    X(unsigned long, mysql_thread_id, (MYSQL *))                                             \
    X(const char *, mysql_character_set_name, (MYSQL *))                                     \
    X(MYSQL *, mysql_init, (MYSQL *))                                                        \
    X(MYSQL *, mysql_connect, (MYSQL *, const char *, const char *, const char *))           \
    X(my_bool, mysql_change_user, (MYSQL *, const char *, const char *, const char *))       \
    X(MYSQL *, mysql_real_connect, (MYSQL *, const char *, const char *, const char *,       \
                                    const char *, unsigned int, const char *, unsigned long)) \
    X(void, mysql_close, (MYSQL *))                                                          \
    X(int, mysql_select_db, (MYSQL *, const char *))                                         \
    X(int, mysql_query, (MYSQL *, const char *))                                             \
    X(int, mysql_send_query, (MYSQL *, const char *, unsigned long))                         \
    X(int, mysql_read_query_result, (MYSQL *))                                               \
    X(int, mysql_real_query, (MYSQL *, const char *, unsigned long))                         \
    X(int, mysql_create_db, (MYSQL *, const char *))                                         \
    X(int, mysql_drop_db, (MYSQL *, const char *))                                           \
    X(int, mysql_shutdown, (MYSQL *, int))                                                   \
    X(int, mysql_dump_debug_info, (MYSQL *))                                                 \
    X(int, mysql_refresh, (MYSQL *, unsigned int))                                           \
    X(int, mysql_kill, (MYSQL *, unsigned long))                                             \
    X(int, mysql_ping, (MYSQL *))                                                            \
    X(const char *, mysql_stat, (MYSQL *))                                                   \
    X(const char *, mysql_get_server_info, (MYSQL *))                                        \
    X(const char *, mysql_get_client_info, (void))                                           \
    X(const char *, mysql_get_host_info, (MYSQL *))                                          \
    X(unsigned int, mysql_get_proto_info, (MYSQL *))                                         \
    X(MYSQL_RES *, mysql_list_dbs, (MYSQL *, const char *))                                  \
    X(MYSQL_RES *, mysql_list_tables, (MYSQL *, const char *))                               \
    X(MYSQL_RES *, mysql_list_fields, (MYSQL *, const char *, const char *))                 \
    X(MYSQL_RES *, mysql_list_processes, (MYSQL *))                                          \
    X(MYSQL_RES *, mysql_store_result, (MYSQL *))                                            \
    X(MYSQL_RES *, mysql_use_result, (MYSQL *))                                              \
    X(int, mysql_options, (MYSQL *, int, const void *))                                      \
    X(void, mysql_free_result, (MYSQL_RES *))                                                \
    X(void, mysql_data_seek, (MYSQL_RES *, my_ulonglong))                                    \
    X(MYSQL_ROW_OFFSET, mysql_row_seek, (MYSQL_RES *, MYSQL_ROW_OFFSET))                     \
    X(MYSQL_FIELD_OFFSET, mysql_field_seek, (MYSQL_RES *, MYSQL_FIELD_OFFSET))               \
    X(MYSQL_ROW, mysql_fetch_row, (MYSQL_RES *))                                             \
    X(unsigned long *, mysql_fetch_lengths, (MYSQL_RES *))                                   \
    X(MYSQL_FIELD *, mysql_fetch_field, (MYSQL_RES *))                                       \
    X(unsigned long, mysql_escape_string, (char *, const char *, unsigned long))             \
    X(unsigned long, mysql_real_escape_string, (MYSQL *, char *, const char *, unsigned long)) \
    X(void, mysql_debug, (const char *))                                                     \
    X(char *, mysql_odbc_escape_string, (MYSQL *, char *, unsigned long, const char *,       \
                                         unsigned long, void *, void *))                     \
    X(void, myodbc_remove_escape, (MYSQL *, char *))                                         \
    X(unsigned int, mysql_thread_safe, (void))                                               \
    X(my_bool, mysql_more_results, (MYSQL *))                                                \
    X(int, mysql_next_result, (MYSQL *))

#define VINTREL_DECLARE_ENTRY(ret, name, args) typedef ret(*name##_fn) args; extern name##_fn name;
VINTREL_CLIENT_FUNCTIONS(VINTREL_DECLARE_ENTRY)
#undef VINTREL_DECLARE_ENTRY

// Number of entries in the table, and their names in lookup order. Only the
// first ClassicFunctionCount count towards the status.
extern const int ClientFunctionCount;
extern const int ClassicFunctionCount;
extern const char *const ClientFunctionNames[];

// The library's module handle (none while nothing is loaded) and the outcome
// of the last load (a ClientLibraryStatusValue).
extern void *ClientLibraryHandle;
extern uint8_t ClientLibraryStatus;

// The file name loaded when LoadClientLibrary is given an empty name.
const char *DefaultClientLibraryName();

// Loads the library (unloading any loaded before) and fills the table.
// An empty or null name loads DefaultClientLibraryName(). Returns the new
// status. A missing file leaves the table empty.
uint8_t LoadClientLibrary(const char *fileName);

// Unloads the library if one is loaded and empties the table.
void UnloadClientLibrary();

// The address stored for the i-th name (0-based), or null.
void *ClientFunctionAddress(int index);

// Names of the functions the program calls that the loaded library lacks,
// separated by ", " (empty when all are there). For the start-up message.
void MissingCalledFunctions(char *buffer, int bufferSize);

// How a connection uses TLS (the settings key "tls"): as offered, always,
// with the server's certificate checked against a CA, and with its name too.
enum TlsModeValue : uint8_t { TlsPreferred = 0, TlsRequired = 1, TlsVerifyCa = 2, TlsVerifyIdentity = 3 };

// The way to the server besides its address: TLS as the user asks, and an
// SSH host to tunnel through (none when SshHost is empty). Plain arrays, so
// that a copy of the record (a new window, the cancel connection) is one
// assignment.
struct CONNECTIONROUTE {
    uint8_t TlsMode;
    char TlsCa[260];          // a CA file; "" for the system's store
    char TlsFingerprint[200]; // a certificate fingerprint to pin, in hex
    char SshHost[256];        // "host" or "host:port"
    char SshUser[128];
    char SshKey[260];         // a private key file; "" for the agent
};

struct SSHTUNNEL; // server/SshTunnel.h

// One server connection. Every text is NUL-terminated and owned by the record.
struct CONNECTIONINFO {
    char *Host;
    char *Database;
    char *User;
    char *ServerUser; // 128-byte buffer allocated by the query window
    char *Password;
    MYSQL *Handle;
    uint8_t Encrypted; // the session runs over TLS
    uint8_t Lost;      // the last batch found the server gone: reconnect first
    // The server's last reply said the session was inside a transaction or
    // had autocommit off: a session lost now lost work the user thinks open.
    uint8_t InTransaction;
    // The name of the saved connection it was opened from, or null: the
    // window's title and status bar show it instead of the host.
    char *Name;
    CONNECTIONROUTE Route;
    // The server's certificate was checked (a CA or a pinned fingerprint):
    // the status bar says "TLS verified".
    uint8_t Verified;
    // The tunnel the session runs through (one reference of it), or null.
    SSHTUNNEL *Tunnel;
};

// What the user calls the connection: its saved name, else the host.
inline const char *ConnectionLabel(const CONNECTIONINFO *connection)
{
    if (!connection) return "";
    if (connection->Name && connection->Name[0]) return connection->Name;
    return connection->Host ? connection->Host : "";
}

enum { ServerUserSize = 128 };

// Makes a record with copies of the texts (Database starts empty, with room
// for "mysql"), no ServerUser and no handle. Returns null when out of memory.
CONNECTIONINFO *NewConnectionInfo(const char *host, const char *user, const char *password);

// The options and flags of the library that the program sets (the same
// values in MySQL's and MariaDB's libraries).
enum {
    MysqlOptConnectTimeout = 0,
    MysqlSetCharsetName = 7,
    MysqlOptLocalInfile = 8,
    MysqlOptProtocol = 9,
    MysqlProtocolTcp = 1
};
enum { MysqlOptReadTimeout = 11, MysqlOptWriteTimeout = 12 };
// The options of TLS (mysql.h of MariaDB Connector/C); the last is
// MariaDB's own.
enum { MysqlOptSslVerifyServerCert = 21, MysqlOptSslCa = 27, MysqlOptSslEnforce = 38, MariadbOptTlsPeerFp = 7006 };
// The errors of a connection the server has dropped.
enum { ErrorServerGone = 2006, ErrorServerLost = 2013 };
// A statement stopped by KILL QUERY.
enum { ErrorQueryInterrupted = 1317 };
enum { DefaultServerPort = 3306 };
enum : unsigned long { ClientMultiStatements = 1UL << 16, ClientMultiResults = 1UL << 17 };
// Seconds a connect may take before it fails.
enum { ConnectTimeoutSeconds = 15 };

// The server text as the user typed it: "host", "host:port", "[IPv6]:port"
// or a bare IPv6 address. Writes the host name into host and the port
// (DefaultServerPort when none is given), and whether a port was written
// out; white space around the text is ignored. False when the port is not
// a number from 1 to 65535 or the host does not fit.
bool SplitServerAddress(const char *server, char *host, size_t hostSize, unsigned int *port,
                        bool *portGiven = nullptr);

// The number of hexadecimal digits of the fingerprints the loaded library
// compares: 40 (SHA-1) for Connector/C before 3.4, 64 (SHA-256) from 3.4 on;
// 0 when it cannot pin one (MySQL's libmysql, nothing loaded).
int FingerprintDigits();
// The fingerprint as the library takes it (hex digits in capitals, no
// colons or spaces); false when it is not FingerprintDigits() hex digits.
bool NormalFingerprint(const char *text, char *normal, size_t normalSize);

// mysql_init + mysql_real_connect with the record's server text (host and
// port), user and password, no database: the character set utf8mb4, several
// statements and results allowed, a connect timeout of ConnectTimeoutSeconds,
// TLS as Route.TlsMode asks (Preferred: whenever the server offers it,
// without verifying its certificate, as the command-line clients did), through
// an SSH tunnel when Route names an SSH host. Encrypted tells whether TLS is
// in use, Verified whether the certificate was checked. On failure the
// handle is released and left null. Returns true when connected.
bool OpenConnection(CONNECTIONINFO *connection);
// The same with a connect timeout of its own; a failure's text (the
// library's or the server's) goes into error when one is given. A short
// connection that must never wait long for an answer gives ioTimeoutSeconds:
// every read and write on it then fails after that long. Without it a
// statement may run for hours, and a dead peer is found by TCP keep-alive
// (KeepConnectionAlive) within a minute or two.
bool OpenConnectionWithin(CONNECTIONINFO *connection, unsigned int timeoutSeconds, char *error = nullptr,
                          size_t errorSize = 0, unsigned int ioTimeoutSeconds = 0);
// A new session for a record whose server went away: the same server, user
// and password, then its current database again. The old handle is closed
// either way; false when the server cannot be reached: the record stays
// Lost (and InTransaction as it was) and error says "The connection to HOST
// was lost and could not be made again: REASON". The new session starts
// outside any transaction: read InTransaction before, to know whether the
// old one took work with it.
bool ReconnectConnection(CONNECTIONINFO *connection, char *error, size_t errorSize);
// True for the errors of a connection that the server has dropped.
inline bool IsConnectionLostError(unsigned int error) { return error == ErrorServerGone || error == ErrorServerLost; }

// Optional entries of MariaDB Connector/C, looked up beside the table and
// never counted in the status: null where the library lacks them (MySQL's
// libmysql, the stand-ins), and every caller then does without.
typedef my_bool (*mariadb_get_infov_fn)(MYSQL *, int, void *, ...);
typedef int (*mysql_session_track_get_first_fn)(MYSQL *, int, const char **, size_t *);
extern mariadb_get_infov_fn mariadb_get_infov;
extern mysql_session_track_get_first_fn mysql_session_track_get_first;
// Their values that the program asks for (the library's own numbers).
enum { MariadbConnectionSocket = 19, MariadbConnectionServerStatus = 30, SessionTrackSchema = 1 };
enum { ServerStatusInTransaction = 1, ServerStatusAutocommit = 2 };

// After a reply of the server: remembers whether the session is inside a
// transaction or has autocommit off (InTransaction). A library that cannot
// tell leaves the record as it was.
void NoteSessionStatus(CONNECTIONINFO *connection);

// Closes the connection (if open) and releases the record with all its texts.
void FreeConnectionInfo(CONNECTIONINFO *connection);

// Replaces an owned text of a record with a copy of value.
void ReplaceConnectionText(char **field, const char *value);

// Per-thread set-up for a thread other than the one that opened a
// connection (the batch worker): mysql_thread_init and mysql_thread_end when
// the library exports them. Connector/C sets a thread up on its own; older
// libmysql builds need the calls. Neither counts towards the status.
void ClientThreadStart();
void ClientThreadEnd();
