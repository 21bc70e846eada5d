// The run-time binding: which library is loaded, which names are found, and
// what a missing file or name leaves behind.
#include "TestSupport.h"

#include "SocketOptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <fstream>
#include <vector>
#include <set>
#include <string>

namespace {

const std::set<std::string> NamesMissingFromConnectorC = {
    "mysql_connect", "mysql_create_db", "mysql_drop_db", "mysql_odbc_escape_string", "myodbc_remove_escape",
};

const char *const CalledNames[] = {
    "mysql_init",      "mysql_real_connect", "mysql_close",         "mysql_select_db", "mysql_query",
    "mysql_store_result", "mysql_num_rows",  "mysql_num_fields",    "mysql_fetch_field", "mysql_fetch_row",
    "mysql_affected_rows", "mysql_errno",    "mysql_error",         "mysql_list_dbs",  "mysql_free_result",
    "mysql_more_results", "mysql_next_result",
};

int IndexOf(const char *name)
{
    for (int i = 0; i < ClientFunctionCount; i++)
        if (strcmp(ClientFunctionNames[i], name) == 0) return i;
    return -1;
}

bool LibraryIsMapped(const std::string &path)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(path) != std::string::npos) return true;
    return false;
}

struct WorkerJob {
    MYSQL *mysql;
    std::string answer;
};

DWORD WINAPI QueryOnWorker(LPVOID parameter)
{
    WorkerJob *job = static_cast<WorkerJob *>(parameter);
    ClientThreadStart();
    if (mysql_query(job->mysql, "select 6*7") == 0) {
        MYSQL_RES *result = mysql_store_result(job->mysql);
        job->answer = mysql_fetch_row(result)[0];
        mysql_free_result(result);
    }
    ClientThreadEnd();
    return 0;
}

class ClientLibrary : public testing::Test {
protected:
    // Every case leaves the real library loaded, as the other tests expect.
    void TearDown() override { LoadClientLibrary(""); }
};

TEST_F(ClientLibrary, TableHoldsTheClassicNamesInOrderThenTheMultiResultPair)
{
    ASSERT_EQ(59, ClientFunctionCount);
    EXPECT_STREQ("mysql_num_rows", ClientFunctionNames[0]);
    EXPECT_STREQ("mysql_init", ClientFunctionNames[15]);
    EXPECT_STREQ("mysql_thread_safe", ClientFunctionNames[56]);
    EXPECT_STREQ("mysql_more_results", ClientFunctionNames[57]);
    EXPECT_STREQ("mysql_next_result", ClientFunctionNames[58]);
}

TEST_F(ClientLibrary, ConnectorCLacksOnlyTheFiveUnusedNames)
{
    EXPECT_EQ(StatusFunctionMissing, LoadClientLibrary(""));
    EXPECT_NE(nullptr, ClientLibraryHandle);
    for (int i = 0; i < ClientFunctionCount; i++) {
        bool expectMissing = NamesMissingFromConnectorC.count(ClientFunctionNames[i]) > 0;
        EXPECT_EQ(expectMissing, ClientFunctionAddress(i) == nullptr) << ClientFunctionNames[i];
    }
    for (const char *name : CalledNames) EXPECT_NE(nullptr, ClientFunctionAddress(IndexOf(name))) << name;
    char missing[256];
    MissingCalledFunctions(missing, sizeof missing);
    EXPECT_STREQ("", missing);
}

// A failed load after a good one must not leave addresses into the library
// it unloaded on the way.
TEST_F(ClientLibrary, MissingFileGivesStatusOneAndAnEmptyTable)
{
    LoadClientLibrary("");
    EXPECT_EQ(StatusLibraryMissing, LoadClientLibrary("/nonexistent/libnothing.so"));
    EXPECT_EQ(StatusLibraryMissing, ClientLibraryStatus);
    EXPECT_EQ(nullptr, ClientLibraryHandle);
    for (int i = 0; i < ClientFunctionCount; i++) EXPECT_EQ(nullptr, ClientFunctionAddress(i)) << ClientFunctionNames[i];
}

TEST_F(ClientLibrary, StandInWithOneMissingNameGivesStatusTwo)
{
    EXPECT_EQ(StatusFunctionMissing, LoadClientLibrary(STANDIN_CLIENT_PATH));
    int missing = 0;
    for (int i = 0; i < ClientFunctionCount; i++)
        if (!ClientFunctionAddress(i)) {
            missing++;
            EXPECT_STREQ("mysql_stat", ClientFunctionNames[i]);
        }
    EXPECT_EQ(1, missing);
}

TEST_F(ClientLibrary, SecondLoadUnloadsTheFirst)
{
    LoadClientLibrary(STANDIN_CLIENT_PATH);
    EXPECT_TRUE(LibraryIsMapped(STANDIN_CLIENT_PATH));
    LoadClientLibrary("");
    EXPECT_FALSE(LibraryIsMapped(STANDIN_CLIENT_PATH));
    EXPECT_NE(nullptr, ClientLibraryHandle);
}

TEST_F(ClientLibrary, UnloadSetsStatusZeroAndEmptiesTheTable)
{
    LoadClientLibrary("");
    UnloadClientLibrary();
    EXPECT_EQ(StatusNotLoaded, ClientLibraryStatus);
    EXPECT_EQ(nullptr, ClientLibraryHandle);
    EXPECT_EQ(nullptr, ClientFunctionAddress(IndexOf("mysql_query")));
}

// The two multi-result names are looked up but never lower the status.
TEST_F(ClientLibrary, ExactlyTheClassicNamesGiveStatusReady)
{
    EXPECT_EQ(StatusReady, LoadClientLibrary(STANDIN_CLASSIC_PATH));
    EXPECT_EQ(nullptr, ClientFunctionAddress(IndexOf("mysql_more_results")));
    EXPECT_EQ(nullptr, ClientFunctionAddress(IndexOf("mysql_next_result")));
}

TEST(Connection, OpensWithTheRecordsCoordinatesAndUtf8mb4)
{
    CONNECTIONINFO *connection = OpenTestConnection();
    ASSERT_NE(nullptr, connection);
    EXPECT_STREQ("", connection->Database);
    EXPECT_STREQ(TestHost(), connection->Host);
    EXPECT_STREQ("utf8mb4", mysql_character_set_name(connection->Handle));
    EXPECT_EQ(std::string(TestUser()) + "@localhost", QueryValue(connection->Handle, "select user()"));
    FreeConnectionInfo(connection);
}

TEST(Connection, RefusedConnectionIsAReturnValue)
{
    CONNECTIONINFO *connection = NewConnectionInfo(TestHost(), TestUser(), "wrong password");
    ASSERT_NE(nullptr, connection);
    EXPECT_FALSE(OpenConnection(connection));
    EXPECT_EQ(nullptr, connection->Handle);
    FreeConnectionInfo(connection);

    // The test server listens on 127.0.0.1 only: 127.0.0.2 refuses at once.
    connection = NewConnectionInfo("127.0.0.2", TestUser(), TestPassword());
    EXPECT_FALSE(OpenConnection(connection));
    FreeConnectionInfo(connection);
}

TEST(Connection, ServerTextsNameAHostAndAPort)
{
    char host[64];
    unsigned int port = 0;
    struct Case {
        const char *text, *host;
        unsigned int port;
    };
    for (Case c : {Case{"db.example.org", "db.example.org", 3306}, Case{"localhost:3307", "localhost", 3307},
                   Case{"[::1]:3310", "::1", 3310}, Case{"[fe80::1]", "fe80::1", 3306}, Case{"::1", "::1", 3306},
                   Case{"2001:db8::7", "2001:db8::7", 3306}}) {
        ASSERT_TRUE(SplitServerAddress(c.text, host, sizeof host, &port)) << c.text;
        EXPECT_STREQ(c.host, host) << c.text;
        EXPECT_EQ(c.port, port) << c.text;
    }
    for (const char *bad : {"host:", "host:0", "host:70000", "host:33x", "[::1", "[::1]x"})
        EXPECT_FALSE(SplitServerAddress(bad, host, sizeof host, &port)) << bad;
    // Spaces pasted along are no part of the name, and a port written out
    // is told from the default one.
    bool portGiven = false;
    ASSERT_TRUE(SplitServerAddress(" db.example.org:3306 \r\n", host, sizeof host, &port, &portGiven));
    EXPECT_STREQ("db.example.org", host);
    EXPECT_TRUE(portGiven);
    ASSERT_TRUE(SplitServerAddress("localhost", host, sizeof host, &port, &portGiven));
    EXPECT_FALSE(portGiven);
}

// "localhost" alone is the local socket; "localhost:PORT" is TCP even when
// PORT is the default one. And no server may read the user's files: LOAD
// DATA LOCAL is refused by the client whatever the server allows.
TEST(Connection, AnExplicitPortMeansTcpAndLocalFilesStayPrivate)
{
    const char *port = getenv("VINTREL_TEST_PORT");
    ASSERT_NE(nullptr, port) << "./test names the test server's port";
    const std::string hostQuery = "select host from information_schema.processlist where id = connection_id()";
    for (std::string server : {std::string("localhost"), std::string("localhost:") + port + " "}) {
        CONNECTIONINFO *connection = NewConnectionInfo(server.c_str(), TestUser(), TestPassword());
        char error[512];
        ASSERT_TRUE(OpenConnectionWithin(connection, 15, error, sizeof error)) << server << ": " << error;
        bool overTcp = QueryValue(connection->Handle, hostQuery).find(':') != std::string::npos;
        EXPECT_EQ(server != "localhost", overTcp) << server;
        if (server == "localhost") {
            char file[] = "/tmp/vintrel-local-infile-XXXXXX";
            int fd = mkstemp(file);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(6, write(fd, "42\n43\n", 6));
            close(fd);
            ExecSql(connection->Handle, "create database if not exists local_infile_test");
            ExecSql(connection->Handle, "create temporary table local_infile_test.t (n int)");
            std::string load = std::string("load data local infile '") + file + "' into table local_infile_test.t";
            EXPECT_NE(0, mysql_query(connection->Handle, load.c_str()));
            EXPECT_EQ("0", QueryValue(connection->Handle, "select count(*) from local_infile_test.t"));
            ExecSql(connection->Handle, "drop database local_infile_test");
            unlink(file);
        }
        FreeConnectionInfo(connection);
    }
}

// The second server of the test run requires TLS and listens on a port of
// its own: it is reached as "127.0.0.1:PORT" (and "[::1]:PORT"), over TLS.
TEST(Connection, AServerOnAnotherPortRequiringTlsIsReachedEncrypted)
{
    const char *port = getenv("VINTREL_TEST_TLS_PORT");
    if (!port) GTEST_SKIP() << "no TLS server in this run (./test starts one)";
    std::vector<std::string> servers = {std::string("127.0.0.1:") + port};
    if (FILE *ipv6 = fopen("/proc/net/if_inet6", "r")) {
        fclose(ipv6);
        servers.push_back(std::string("[::1]:") + port);
    }
    for (const std::string &server : servers) {
        CONNECTIONINFO *connection = NewConnectionInfo(server.c_str(), TestUser(), TestPassword());
        char error[512];
        ASSERT_TRUE(OpenConnectionWithin(connection, 15, error, sizeof error)) << server << ": " << error;
        EXPECT_EQ(1, connection->Encrypted) << server;
        mysql_query(connection->Handle, "SHOW STATUS LIKE 'Ssl_cipher'");
        MYSQL_RES *result = mysql_store_result(connection->Handle);
        MYSQL_ROW row = mysql_fetch_row(result);
        EXPECT_STRNE("", row[1]) << server;
        mysql_free_result(result);
        FreeConnectionInfo(connection);
    }
    CONNECTIONINFO *plain = OpenTestConnection();
    EXPECT_EQ(0, plain->Encrypted);
    FreeConnectionInfo(plain);
}

// The TLS server's certificates (made for the run): ca.pem signed
// server-cert.pem for the name localhost; other-ca.pem signed nothing here.
struct TlsServer {
    std::string Port = getenv("VINTREL_TEST_TLS_PORT") ? getenv("VINTREL_TEST_TLS_PORT") : "";
    std::string Dir = getenv("VINTREL_TEST_TLS_DIR") ? getenv("VINTREL_TEST_TLS_DIR") : "";

    std::string File(const char *name) const { return Dir + "/" + name; }

    // Connects to host:PORT as asked; the library's words in error.
    bool Connect(const char *host, uint8_t mode, const std::string &ca, const std::string &pin, std::string *error,
                 uint8_t *verified = nullptr) const
    {
        CONNECTIONINFO *connection = NewConnectionInfo((std::string(host) + ":" + Port).c_str(), TestUser(),
                                                       TestPassword());
        connection->Route.TlsMode = mode;
        snprintf(connection->Route.TlsCa, sizeof connection->Route.TlsCa, "%s", ca.c_str());
        snprintf(connection->Route.TlsFingerprint, sizeof connection->Route.TlsFingerprint, "%s", pin.c_str());
        char text[512] = "";
        bool connected = OpenConnectionWithin(connection, 15, text, sizeof text);
        *error = text;
        if (verified) *verified = connected && connection->Encrypted ? connection->Verified : 0;
        FreeConnectionInfo(connection);
        return connected;
    }

    // The server takes another certificate: copied over the files it reads,
    // then FLUSH SSL.
    void Present(const char *name) const
    {
        for (const char *part : {"cert", "key"}) {
            std::string from = File((std::string(name) + "-" + part + ".pem").c_str());
            std::string to = File((std::string("active-") + part + ".pem").c_str());
            std::ifstream in(from, std::ios::binary);
            std::ofstream out(to, std::ios::binary | std::ios::trunc);
            out << in.rdbuf();
        }
        CONNECTIONINFO *connection = NewConnectionInfo(("127.0.0.1:" + Port).c_str(), TestUser(), TestPassword());
        ASSERT_TRUE(OpenConnection(connection));
        ExecSql(connection->Handle, "FLUSH SSL");
        FreeConnectionInfo(connection);
    }

    std::string Sha1(const char *name) const
    {
        std::string command = "openssl x509 -noout -fingerprint -sha1 -in " + File(name);
        std::string line(256, '\0');
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe || !fgets(&line[0], (int)line.size(), pipe)) line.clear();
        if (pipe) pclose(pipe);
        line.resize(strlen(line.c_str()));
        size_t equals = line.find('=');
        return equals == std::string::npos ? "" : line.substr(equals + 1, 59);
    }
};

// Each mode against the run's certificates, with the library's own words
// for a refusal and "verified" only where the certificate was checked.
TEST(Connection, TlsModesCheckTheCertificateAsAsked)
{
    TlsServer tls;
    if (tls.Port.empty() || tls.Dir.empty()) GTEST_SKIP() << "no TLS server in this run (./test starts one)";
    ASSERT_EQ(40, FingerprintDigits()); // Debian 12's Connector/C 3.3
    std::string error, ca = tls.File("ca.pem"), pin = tls.Sha1("server-cert.pem");
    uint8_t verified = 9;
    EXPECT_TRUE(tls.Connect("127.0.0.1", TlsPreferred, "", "", &error, &verified)) << error;
    EXPECT_EQ(0, verified);
    EXPECT_TRUE(tls.Connect("127.0.0.1", TlsRequired, "", "", &error, &verified)) << error;
    EXPECT_EQ(0, verified);
    // Verify CA checks the chain, not the name (127.0.0.1 is not in it).
    EXPECT_TRUE(tls.Connect("127.0.0.1", TlsVerifyCa, ca, "", &error, &verified)) << error;
    EXPECT_EQ(1, verified);
    EXPECT_FALSE(tls.Connect("127.0.0.1", TlsVerifyCa, tls.File("other-ca.pem"), "", &error));
    EXPECT_EQ("TLS/SSL error: unable to get local issuer certificate", error);
    EXPECT_FALSE(tls.Connect("127.0.0.1", TlsVerifyCa, "", "", &error)) << "the system's store knows no test CA";
    EXPECT_EQ("TLS/SSL error: unable to get local issuer certificate", error);
    EXPECT_TRUE(tls.Connect("localhost", TlsVerifyIdentity, ca, "", &error, &verified)) << error;
    EXPECT_EQ(1, verified);
    EXPECT_FALSE(tls.Connect("127.0.0.1", TlsVerifyIdentity, ca, "", &error));
    EXPECT_EQ("TLS/SSL error: Validation of SSL server certificate failed", error);
    // A pin stands in for the CA; with colons or without.
    EXPECT_TRUE(tls.Connect("127.0.0.1", TlsPreferred, "", pin, &error, &verified)) << error;
    EXPECT_EQ(1, verified);
    std::string plain = pin;
    plain.erase(std::remove(plain.begin(), plain.end(), ':'), plain.end());
    EXPECT_TRUE(tls.Connect("127.0.0.1", TlsVerifyIdentity, "", plain, &error)) << error;
    EXPECT_FALSE(tls.Connect("127.0.0.1", TlsPreferred, "", "00" + plain.substr(2), &error));
    EXPECT_EQ("TLS/SSL error: Fingerprint verification of server certificate failed", error);
    EXPECT_FALSE(tls.Connect("127.0.0.1", TlsPreferred, "", plain + "00", &error));
    EXPECT_EQ("The fingerprint is not 40 hexadecimal digits (the certificate's SHA-1).", error);

    tls.Present("selfsigned");
    EXPECT_FALSE(tls.Connect("localhost", TlsVerifyCa, ca, "", &error));
    EXPECT_EQ("TLS/SSL error: self-signed certificate", error);
    EXPECT_TRUE(tls.Connect("localhost", TlsVerifyCa, "", tls.Sha1("selfsigned-cert.pem"), &error)) << error;
    tls.Present("expired");
    EXPECT_FALSE(tls.Connect("localhost", TlsVerifyIdentity, ca, "", &error));
    EXPECT_EQ("TLS/SSL error: certificate has expired", error);
    EXPECT_TRUE(tls.Connect("localhost", TlsRequired, "", "", &error)) << error;
    tls.Present("server");

    // Required refuses a server that offers no TLS.
    const char *plainPort = getenv("VINTREL_TEST_PORT");
    ASSERT_NE(nullptr, plainPort);
    CONNECTIONINFO *plainServer =
        NewConnectionInfo((std::string("127.0.0.1:") + plainPort).c_str(), TestUser(), TestPassword());
    plainServer->Route.TlsMode = TlsRequired;
    char text[512];
    EXPECT_FALSE(OpenConnectionWithin(plainServer, 15, text, sizeof text));
    EXPECT_STREQ("The server offers no TLS, and the connection's TLS mode requires it: the session was closed.", text);
    // Checking the name, the library refuses it before the login.
    plainServer->Route.TlsMode = TlsVerifyIdentity;
    EXPECT_FALSE(OpenConnectionWithin(plainServer, 15, text, sizeof text));
    EXPECT_NE(nullptr, strstr(text, "SSL is required")) << text;
    FreeConnectionInfo(plainServer);
}

// A failed connect says why: a wrong password from nothing listening.
TEST(Connection, AFailedConnectGivesTheReason)
{
    char error[512];
    CONNECTIONINFO *connection = NewConnectionInfo(TestHost(), TestUser(), "wrong password");
    EXPECT_FALSE(OpenConnectionWithin(connection, 15, error, sizeof error));
    EXPECT_NE(nullptr, strstr(error, "Access denied for user")) << error;
    FreeConnectionInfo(connection);
    connection = NewConnectionInfo("127.0.0.1:1", TestUser(), TestPassword());
    EXPECT_FALSE(OpenConnectionWithin(connection, 15, error, sizeof error));
    EXPECT_NE(nullptr, strstr(error, "Can't connect")) << error;
    FreeConnectionInfo(connection);
}

// A window's connection finds a vanished server through TCP keep-alive
// within a minute or two, while a statement may still run for hours; the
// short connection that carries KILL gives up on a silent server at once.
TEST(Connection, TcpKeepAliveOnEveryConnectionAndTimeoutsOnShortOnes)
{
    CONNECTIONINFO *local = OpenTestConnection();
    ASSERT_NE(nullptr, local);
    std::string server = "127.0.0.1:" + QueryValue(local->Handle, "select @@port");
    FreeConnectionInfo(local);
    CONNECTIONINFO *connection = NewConnectionInfo(server.c_str(), TestUser(), TestPassword());
    ASSERT_TRUE(OpenConnection(connection)) << server;
    int socket = -1;
    ASSERT_EQ(0, mariadb_get_infov(connection->Handle, MariadbConnectionSocket, &socket));
    SOCKETOPTIONS options = ReadSocketOptions(socket);
    EXPECT_EQ(1, options.KeepAlive);
    EXPECT_EQ(30, options.KeepAliveIdle);
    EXPECT_EQ(90000u, options.UserTimeout);
    FreeConnectionInfo(connection);

    connection = NewConnectionInfo(TestHost(), TestUser(), TestPassword());
    ASSERT_TRUE(OpenConnectionWithin(connection, 5, nullptr, 0, 1));
    DWORD start = GetTickCount();
    EXPECT_NE(0, mysql_query(connection->Handle, "select sleep(3)"));
    EXPECT_EQ((unsigned)ErrorServerLost, mysql_errno(connection->Handle));
    EXPECT_LT(GetTickCount() - start, 2500u);
    FreeConnectionInfo(connection);
}

TEST(Connection, WorkerThreadCanQueryAConnectionOpenedElsewhere)
{
    CONNECTIONINFO *connection = OpenTestConnection();
    ASSERT_NE(nullptr, connection);
    WorkerJob job{connection->Handle, ""};
    HANDLE thread = CreateThread(nullptr, 0, QueryOnWorker, &job, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_EQ("42", job.answer);
    FreeConnectionInfo(connection);
}

} // namespace
