#include "server/ClientLibrary.h"

#include "base/Text.h"

#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <string>

#include "server/DynamicLibrary.h"
#include "server/KeepAlive.h"
#include "server/SshTunnel.h"

#define VINTREL_DEFINE_ENTRY(ret, name, args) name##_fn name = nullptr;
VINTREL_CLIENT_FUNCTIONS(VINTREL_DEFINE_ENTRY)
#undef VINTREL_DEFINE_ENTRY

#define VINTREL_ENTRY_NAME(ret, name, args) #name,
const char *const ClientFunctionNames[] = {VINTREL_CLIENT_FUNCTIONS(VINTREL_ENTRY_NAME)};
#undef VINTREL_ENTRY_NAME

const int ClientFunctionCount = sizeof(ClientFunctionNames) / sizeof(ClientFunctionNames[0]);
const int ClassicFunctionCount = 57;

mariadb_get_infov_fn mariadb_get_infov = nullptr;
mysql_session_track_get_first_fn mysql_session_track_get_first = nullptr;

void *ClientLibraryHandle = nullptr;
uint8_t ClientLibraryStatus = StatusNotLoaded;

namespace {

#define VINTREL_ENTRY_SLOT(ret, name, args) reinterpret_cast<void **>(&name),
void **const EntrySlots[] = {VINTREL_CLIENT_FUNCTIONS(VINTREL_ENTRY_SLOT)};
#undef VINTREL_ENTRY_SLOT

// Looked up beside the table, never counted as missing.
typedef unsigned char (*mysql_thread_init_fn)(void);
typedef void (*mysql_thread_end_fn)(void);
mysql_thread_init_fn OptionalThreadInit = nullptr;
mysql_thread_end_fn OptionalThreadEnd = nullptr;
// MariaDB Connector/C uses TLS only when asked (then it falls back to a
// plain connection when the server offers none); MySQL's libmysql prefers
// TLS by itself and takes other options.
typedef my_bool (*mysql_ssl_set_fn)(MYSQL *, const char *, const char *, const char *, const char *, const char *);
mysql_ssl_set_fn ConnectorSslSet = nullptr;

// The functions the program calls; a library without one of them cannot work.
const char *const CalledFunctions[] = {
    "mysql_init",      "mysql_real_connect", "mysql_close",       "mysql_select_db",
    "mysql_query",     "mysql_store_result", "mysql_num_rows",    "mysql_num_fields",
    "mysql_fetch_field", "mysql_fetch_row",  "mysql_affected_rows", "mysql_errno",
    "mysql_error",     "mysql_list_dbs",     "mysql_free_result",
};

} // namespace

const char *DefaultClientLibraryName()
{
#ifdef __WINE__
    return "libmariadb.so.3";
#else
    return "libmysql.dll";
#endif
}

uint8_t LoadClientLibrary(const char *fileName)
{
    UnloadClientLibrary();
    if (!fileName || !*fileName) fileName = DefaultClientLibraryName();

    void *library = OpenDynamicLibrary(fileName);
    if (!library) {
        ClientLibraryStatus = StatusLibraryMissing;
        return ClientLibraryStatus;
    }
    ClientLibraryHandle = library;
    ClientLibraryStatus = StatusReady;
    for (int i = 0; i < ClientFunctionCount; i++) {
        *EntrySlots[i] = FindLibrarySymbol(library, ClientFunctionNames[i]);
        // The multi-result pair is looked up beside the classic names: a
        // library without it still works (a CALL's further results cannot
        // be read), so it does not lower the status.
        if (!*EntrySlots[i] && i < ClassicFunctionCount) ClientLibraryStatus = StatusFunctionMissing;
    }
    OptionalThreadInit = reinterpret_cast<mysql_thread_init_fn>(FindLibrarySymbol(library, "mysql_thread_init"));
    OptionalThreadEnd = reinterpret_cast<mysql_thread_end_fn>(FindLibrarySymbol(library, "mysql_thread_end"));
    if (FindLibrarySymbol(library, "mariadb_get_infov"))
        ConnectorSslSet = reinterpret_cast<mysql_ssl_set_fn>(FindLibrarySymbol(library, "mysql_ssl_set"));
    mariadb_get_infov = reinterpret_cast<mariadb_get_infov_fn>(FindLibrarySymbol(library, "mariadb_get_infov"));
    mysql_session_track_get_first = reinterpret_cast<mysql_session_track_get_first_fn>(
        FindLibrarySymbol(library, "mysql_session_track_get_first"));
    return ClientLibraryStatus;
}

void UnloadClientLibrary()
{
    // No entry may point into a library that is gone.
    for (int i = 0; i < ClientFunctionCount; i++) *EntrySlots[i] = nullptr;
    if (ClientLibraryHandle) CloseDynamicLibrary(ClientLibraryHandle);
    ClientLibraryHandle = nullptr;
    ClientLibraryStatus = StatusNotLoaded;
    OptionalThreadInit = nullptr;
    OptionalThreadEnd = nullptr;
    ConnectorSslSet = nullptr;
    mariadb_get_infov = nullptr;
    mysql_session_track_get_first = nullptr;
}

void *ClientFunctionAddress(int index)
{
    if (index < 0 || index >= ClientFunctionCount) return nullptr;
    return *EntrySlots[index];
}

void MissingCalledFunctions(char *buffer, int bufferSize)
{
    if (bufferSize <= 0) return;
    buffer[0] = 0;
    for (const char *name : CalledFunctions) {
        bool found = false;
        for (int i = 0; i < ClientFunctionCount; i++)
            if (strcmp(ClientFunctionNames[i], name) == 0) found = *EntrySlots[i] != nullptr;
        if (found) continue;
        size_t used = strlen(buffer);
        snprintf(buffer + used, bufferSize - used, "%s%s", used ? ", " : "", name);
    }
}

CONNECTIONINFO *NewConnectionInfo(const char *host, const char *user, const char *password)
{
    CONNECTIONINFO *connection = static_cast<CONNECTIONINFO *>(calloc(1, sizeof(CONNECTIONINFO)));
    if (!connection) return nullptr;
    connection->Host = DuplicateText(host);
    connection->Database = DuplicateText("", sizeof("mysql"));
    connection->User = DuplicateText(user);
    connection->Password = DuplicateText(password);
    if (!connection->Host || !connection->Database || !connection->User || !connection->Password) {
        FreeConnectionInfo(connection);
        return nullptr;
    }
    return connection;
}

bool OpenConnection(CONNECTIONINFO *connection) { return OpenConnectionWithin(connection, ConnectTimeoutSeconds); }

bool SplitServerAddress(const char *server, char *host, size_t hostSize, unsigned int *port, bool *portGiven)
{
    if (!server) server = "";
    // Text pasted from elsewhere often brings a space or a line end along.
    while (*server && isspace((unsigned char)*server)) server++;
    size_t serverLength = strlen(server);
    while (serverLength > 0 && isspace((unsigned char)server[serverLength - 1])) serverLength--;
    char trimmed[512];
    if (serverLength + 1 > sizeof trimmed) return false;
    memcpy(trimmed, server, serverLength);
    trimmed[serverLength] = 0;
    server = trimmed;
    if (portGiven) *portGiven = false;
    const char *name = server;
    size_t nameLength = strlen(server);
    const char *portText = nullptr;
    const char *firstColon = strchr(server, ':');
    if (server[0] == '[') {
        // "[IPv6]" or "[IPv6]:port"
        const char *close = strchr(server, ']');
        if (!close) return false;
        name = server + 1;
        nameLength = (size_t)(close - name);
        if (close[1] == ':') portText = close + 2;
        else if (close[1] != 0) return false;
    } else if (firstColon && !strchr(firstColon + 1, ':')) {
        // "host:port"; two colons or more make a bare IPv6 address.
        nameLength = (size_t)(firstColon - server);
        portText = firstColon + 1;
    }
    if (nameLength + 1 > hostSize) return false;
    memcpy(host, name, nameLength);
    host[nameLength] = 0;
    *port = DefaultServerPort;
    if (!portText) return true;
    char *end = nullptr;
    unsigned long value = strtoul(portText, &end, 10);
    if (end == portText || *end != 0 || value < 1 || value > 65535) return false;
    *port = (unsigned int)value;
    if (portGiven) *portGiven = true;
    return true;
}

namespace {

// A query that tells whether the session runs over TLS.
bool SessionEncrypted(MYSQL *handle)
{
    if (mysql_query(handle, "SHOW STATUS LIKE 'Ssl_cipher'") != 0) return false;
    MYSQL_RES *result = mysql_store_result(handle);
    if (!result) return false;
    MYSQL_ROW row = mysql_num_fields(result) >= 2 ? mysql_fetch_row(result) : nullptr;
    bool encrypted = row && row[1] && row[1][0];
    mysql_free_result(result);
    return encrypted;
}

void SetError(char *error, size_t errorSize, const char *text)
{
    if (error && errorSize) snprintf(error, errorSize, "%s", text);
}

// The system's certificate store as a file, for a library that has no
// store of its own to check a chain against: Debian's bundle for the Linux
// library. None on Windows, where the library asks the system's store.
const char *SystemCaFile()
{
#ifdef __WINE__
    return "/etc/ssl/certs/ca-certificates.crt";
#else
    return nullptr;
#endif
}

// Connector/C with OpenSSL checks the chain whenever it is given a CA and
// the name only when asked (MYSQL_OPT_SSL_VERIFY_SERVER_CERT); other TLS
// libraries are not known to check one without the other, so there Verify
// CA checks the name too rather than nothing.
bool ChecksChainAlone(MYSQL *handle)
{
    const char *library = nullptr;
    enum { MariadbTlsLibrary = 22 };
    if (!mariadb_get_infov || mariadb_get_infov(handle, MariadbTlsLibrary, &library) != 0 || !library) return false;
    return strncmp(library, "OpenSSL", 7) == 0;
}

// TLS as the route asks, before the connect. False (with the reason) when
// the settings cannot be kept: the connect is then not tried, rather than
// made with less checking than the user asked for.
bool ApplyTlsOptions(CONNECTIONINFO *connection, char *error, size_t errorSize)
{
    const CONNECTIONROUTE &route = connection->Route;
    MYSQL *handle = connection->Handle;
    connection->Verified = 0;
    if (ConnectorSslSet) ConnectorSslSet(handle, nullptr, nullptr, nullptr, nullptr, nullptr);
    bool pinned = route.TlsFingerprint[0] != 0;
    if (route.TlsMode == TlsPreferred && !pinned) return true;
    if (!ConnectorSslSet || !mysql_options) {
        SetError(error, errorSize, "The client library cannot be asked to require or verify TLS.");
        return false;
    }
    my_bool on = 1;
    mysql_options(handle, MysqlOptSslEnforce, &on);
    if (pinned) {
        // The pin stands in for the CA: a certificate of the user's own
        // choosing, whoever signed it.
        char fingerprint[sizeof route.TlsFingerprint];
        if (!NormalFingerprint(route.TlsFingerprint, fingerprint, sizeof fingerprint)) {
            char text[200];
            snprintf(text, sizeof text, "The fingerprint is not %d hexadecimal digits (the certificate's %s).",
                     FingerprintDigits(), FingerprintDigits() == 64 ? "SHA-256" : "SHA-1");
            SetError(error, errorSize, FingerprintDigits() ? text : "The client library cannot pin a fingerprint.");
            return false;
        }
        mysql_options(handle, MariadbOptTlsPeerFp, fingerprint);
        connection->Verified = 1;
        return true;
    }
    if (route.TlsMode == TlsRequired) return true;
    const char *ca = route.TlsCa[0] ? route.TlsCa : SystemCaFile();
    if (ca) mysql_options(handle, MysqlOptSslCa, ca);
    my_bool checkName = route.TlsMode == TlsVerifyIdentity || !ca || !ChecksChainAlone(handle);
    mysql_options(handle, MysqlOptSslVerifyServerCert, &checkName);
    connection->Verified = 1;
    return true;
}

// Connector/C 3.3 refuses a server without TLS before the login only when
// it checks the name or a pin; with MYSQL_OPT_SSL_ENFORCE alone it logs in
// in plain text. Such a session is closed at once, before any statement.
bool RequiresTls(const CONNECTIONROUTE &route) { return route.TlsMode != TlsPreferred || route.TlsFingerprint[0]; }

// A session through an SSH host goes to the tunnel's local end; the tunnel
// of the record is kept while its ssh runs (a reconnect after a lost
// server), made anew when it has ended.
bool RouteThroughTunnel(CONNECTIONINFO *connection, char *host, size_t hostSize, unsigned int *port,
                        unsigned int timeoutSeconds, char *error, size_t errorSize)
{
    if (!connection->Route.SshHost[0]) return true;
    if (connection->Tunnel && !TunnelRunning(connection->Tunnel)) {
        ReleaseTunnel(connection->Tunnel);
        connection->Tunnel = nullptr;
    }
    if (!connection->Tunnel)
        connection->Tunnel = AcquireTunnel(connection->Route, host, *port, timeoutSeconds, error, errorSize);
    if (!connection->Tunnel) return false;
    snprintf(host, hostSize, "127.0.0.1");
    *port = TunnelLocalPort(connection->Tunnel);
    return true;
}

} // namespace

int FingerprintDigits()
{
    // MariaDB's own entries tell Connector/C from MySQL's libmysql, which
    // has no pinning.
    if (!mariadb_get_infov || !mysql_get_client_info) return 0;
    int major = 0, minor = 0;
    if (sscanf(mysql_get_client_info(), "%d.%d", &major, &minor) != 2) return 40;
    return major > 3 || (major == 3 && minor >= 4) ? 64 : 40;
}

bool NormalFingerprint(const char *text, char *normal, size_t normalSize)
{
    size_t digits = 0;
    for (const char *c = text; *c; c++) {
        if (*c == ':' || *c == ' ') continue;
        if (!isxdigit((unsigned char)*c) || digits + 1 >= normalSize) return false;
        normal[digits++] = (char)toupper((unsigned char)*c);
    }
    normal[digits] = 0;
    return FingerprintDigits() != 0 && (int)digits == FingerprintDigits();
}

bool OpenConnectionWithin(CONNECTIONINFO *connection, unsigned int timeoutSeconds, char *error, size_t errorSize,
                          unsigned int ioTimeoutSeconds)
{
    SetError(error, errorSize, "");
    if (!mysql_init || !mysql_real_connect || !mysql_close) return false;
    char host[256];
    unsigned int port = DefaultServerPort;
    bool portGiven = false;
    if (!SplitServerAddress(connection->Host, host, sizeof host, &port, &portGiven)) {
        SetError(error, errorSize, "The server is not a host name, \"host:port\" or \"[IPv6 address]:port\".");
        return false;
    }
    if (!RouteThroughTunnel(connection, host, sizeof host, &port, timeoutSeconds, error, errorSize)) return false;
    if (connection->Tunnel) portGiven = true;
    connection->Handle = mysql_init(nullptr);
    if (!connection->Handle) return false;
    if (mysql_options) {
        // An unreachable host answers in seconds, not after the system's
        // two minutes; and an older libmysql, whose default is latin1,
        // speaks UTF-8 as well.
        mysql_options(connection->Handle, MysqlOptConnectTimeout, &timeoutSeconds);
        mysql_options(connection->Handle, MysqlSetCharsetName, "utf8mb4");
        // "localhost" means the local socket; with a port named (3306
        // too), the user means the server listening on that port.
        unsigned int tcp = MysqlProtocolTcp;
        if (portGiven && strcmp(host, "localhost") == 0)
            mysql_options(connection->Handle, MysqlOptProtocol, &tcp);
        // A server may ask for any file the user can read in answer to any
        // statement (LOAD DATA LOCAL); nothing here needs that, and the
        // library allows it by default. A null argument would switch it
        // on: the zero goes by pointer.
        unsigned int noLocalFiles = 0;
        mysql_options(connection->Handle, MysqlOptLocalInfile, &noLocalFiles);
        // The library applies these to every read and write, but takes
        // them only before it connects.
        if (ioTimeoutSeconds) {
            mysql_options(connection->Handle, MysqlOptReadTimeout, &ioTimeoutSeconds);
            mysql_options(connection->Handle, MysqlOptWriteTimeout, &ioTimeoutSeconds);
        }
    }
    if (!ApplyTlsOptions(connection, error, errorSize)) {
        mysql_close(connection->Handle);
        connection->Handle = nullptr;
        return false;
    }
    // Scripts of several statements run as one batch; a CALL's result sets
    // come back as several results.
    unsigned long flags = ClientMultiStatements | ClientMultiResults;
    if (mysql_real_connect(connection->Handle, host, connection->User, connection->Password, nullptr, port, nullptr,
                           flags)) {
        connection->Encrypted = SessionEncrypted(connection->Handle);
        if (!connection->Encrypted && RequiresTls(connection->Route)) {
            SetError(error, errorSize, "The server offers no TLS, and the connection's TLS mode requires it: "
                                       "the session was closed.");
            mysql_close(connection->Handle);
            connection->Handle = nullptr;
            return false;
        }
        connection->Lost = 0;
        connection->InTransaction = 0;
        KeepConnectionAlive(connection->Handle);
        return true;
    }
    SetError(error, errorSize, mysql_error(connection->Handle));
    mysql_close(connection->Handle);
    connection->Handle = nullptr;
    // A tunnel that ended while the library waited took the reason with it.
    if (connection->Tunnel && !TunnelRunning(connection->Tunnel) && error && errorSize) {
        std::string text = std::string(error) + "\n\n" + TunnelEndedText(connection->Tunnel);
        SetError(error, errorSize, text.c_str());
    }
    return false;
}

bool ReconnectConnection(CONNECTIONINFO *connection, char *error, size_t errorSize)
{
    if (connection->Handle) mysql_close(connection->Handle);
    connection->Handle = nullptr;
    char reason[512];
    if (!OpenConnectionWithin(connection, ConnectTimeoutSeconds, reason, sizeof reason)) {
        connection->Lost = 1;
        if (error && errorSize)
            snprintf(error, errorSize, "The connection to %s was lost and could not be made again: %s",
                     connection->Host ? connection->Host : "", reason);
        return false;
    }
    if (connection->Database && connection->Database[0]) mysql_select_db(connection->Handle, connection->Database);
    return true;
}

void NoteSessionStatus(CONNECTIONINFO *connection)
{
    unsigned int status = 0;
    if (!mariadb_get_infov || !connection->Handle ||
        mariadb_get_infov(connection->Handle, MariadbConnectionServerStatus, &status) != 0)
        return;
    connection->InTransaction = (status & ServerStatusInTransaction) || !(status & ServerStatusAutocommit);
}

void FreeConnectionInfo(CONNECTIONINFO *connection)
{
    if (!connection) return;
    if (connection->Handle && mysql_close) mysql_close(connection->Handle);
    ReleaseTunnel(connection->Tunnel);
    free(connection->Host);
    free(connection->Database);
    free(connection->User);
    free(connection->ServerUser);
    free(connection->Password);
    free(connection->Name);
    free(connection);
}

void ReplaceConnectionText(char **field, const char *value)
{
    char *copy = DuplicateText(value);
    if (!copy) return;
    free(*field);
    *field = copy;
}

void ClientThreadStart()
{
    if (OptionalThreadInit) OptionalThreadInit();
}

void ClientThreadEnd()
{
    if (OptionalThreadEnd) OptionalThreadEnd();
}
