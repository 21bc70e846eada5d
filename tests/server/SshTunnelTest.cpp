// Connections through an SSH tunnel, against the sshd that ./test starts on
// loopback with keys made for the run: the tunnel shared and ended with its
// last connection, and ssh's own words for each failure. A tunnel that dies
// under a batch: tests/querywindow/BatchTest.cpp.
#include "TestSupport.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "server/SshTunnel.h"

namespace {

struct SshServer {
    std::string Port = getenv("VINTREL_TEST_SSH_PORT") ? getenv("VINTREL_TEST_SSH_PORT") : "";
    std::string Dir = getenv("VINTREL_TEST_SSH_DIR") ? getenv("VINTREL_TEST_SSH_DIR") : "";

    // The test server's TCP port, as the SSH host (this machine) sees it.
    static std::string ServerPort()
    {
        CONNECTIONINFO *local = OpenTestConnection();
        std::string port = local ? QueryValue(local->Handle, "select @@port") : "";
        FreeConnectionInfo(local);
        return port;
    }

    CONNECTIONINFO *Connection(const char *key) const
    {
        CONNECTIONINFO *connection =
            NewConnectionInfo(("127.0.0.1:" + ServerPort()).c_str(), TestUser(), TestPassword());
        snprintf(connection->Route.SshHost, sizeof connection->Route.SshHost, "127.0.0.1:%s", Port.c_str());
        snprintf(connection->Route.SshUser, sizeof connection->Route.SshUser, "%s", getpwuid(getuid())->pw_name);
        snprintf(connection->Route.SshKey, sizeof connection->Route.SshKey, "%s/%s", Dir.c_str(), key);
        return connection;
    }

    // Connects, or fails with the reason in error.
    bool Open(CONNECTIONINFO *connection, std::string *error) const
    {
        char text[1024] = "";
        bool connected = OpenConnectionWithin(connection, 15, text, sizeof text);
        *error = text;
        return connected;
    }

    std::string FailureWith(const char *key) const
    {
        CONNECTIONINFO *connection = Connection(key);
        std::string error;
        EXPECT_FALSE(Open(connection, &error));
        FreeConnectionInfo(connection);
        return error;
    }

    static std::string ReadFile(const char *path)
    {
        std::ifstream in(path ? path : "");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

#define SKIP_WITHOUT_SSHD(ssh)                                                                  \
    if ((ssh).Port.empty() || (ssh).Dir.empty()) GTEST_SKIP() << "no sshd in this run (./test starts one)"

// Two windows' connections share one tunnel, which the server sees the
// session come through and which ends with the last of them.
TEST(SshTunnel, ConnectionsShareOneTunnelThatEndsWithTheLast)
{
    SshServer ssh;
    SKIP_WITHOUT_SSHD(ssh);
    CONNECTIONINFO *first = ssh.Connection("user-key");
    std::string error;
    ASSERT_TRUE(ssh.Open(first, &error)) << error;
    ASSERT_NE(nullptr, first->Tunnel);
    EXPECT_EQ("42", QueryValue(first->Handle, "select 6*7"));
    // sshd opened the session to the server's port on the tunnel's behalf,
    // over TCP from the loopback address.
    EXPECT_EQ(0u, QueryValue(first->Handle, "select host from information_schema.processlist "
                                            "where id = connection_id()").find("localhost:"));
    std::string log = SshServer::ReadFile(getenv("VINTREL_TEST_SSHD_LOG"));
    EXPECT_NE(std::string::npos, log.find("direct-tcpip")) << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
    EXPECT_NE(std::string::npos, log.find("target 127.0.0.1 port " + SshServer::ServerPort())) << log;
    EXPECT_EQ(1, RunningTunnelCount());

    CONNECTIONINFO *second = ssh.Connection("user-key");
    ASSERT_TRUE(ssh.Open(second, &error)) << error;
    EXPECT_EQ(first->Tunnel, second->Tunnel);
    EXPECT_EQ(1, RunningTunnelCount());
    unsigned long process = TunnelProcessId(first->Tunnel);
    FreeConnectionInfo(first);
    EXPECT_EQ(1, RunningTunnelCount());
    EXPECT_EQ("1", QueryValue(second->Handle, "select 1"));
    FreeConnectionInfo(second);
    EXPECT_EQ(0, RunningTunnelCount());
    EXPECT_NE(0, kill((pid_t)process, 0)) << "ssh still runs";
}

// Each failure in ssh's own words, and no tunnel left behind.
TEST(SshTunnel, FailuresGiveSshsOwnWords)
{
    SshServer ssh;
    SKIP_WITHOUT_SSHD(ssh);
    std::string error = ssh.FailureWith("wrong-key");
    EXPECT_EQ(0u, error.find("The SSH tunnel through 127.0.0.1:" + ssh.Port + " could not be made: ssh said:\n"))
        << error;
    EXPECT_NE(std::string::npos, error.find("Permission denied (publickey)")) << error;

    // Without an agent a key with a passphrase cannot be used; the error
    // says why.
    std::string agent = getenv("SSH_AUTH_SOCK") ? getenv("SSH_AUTH_SOCK") : "";
    unsetenv("SSH_AUTH_SOCK");
    error = ssh.FailureWith("passphrase-key");
    EXPECT_NE(std::string::npos, error.find("has a passphrase, which Vintrel cannot ask for")) << error;
    if (!agent.empty()) setenv("SSH_AUTH_SOCK", agent.c_str(), 1);

    // A host key other than the one remembered is refused.
    std::string host = "[127.0.0.1]:" + ssh.Port;
    std::string forget = "ssh-keygen -R '" + host + "' >/dev/null 2>&1";
    ASSERT_EQ(0, system(forget.c_str()));
    std::string remembered = std::string(getpwuid(getuid())->pw_dir) + "/.ssh/known_hosts";
    {
        std::ofstream knownHosts(remembered, std::ios::app);
        knownHosts << host << " " << SshServer::ReadFile((ssh.Dir + "/other-host-key.pub").c_str());
    }
    error = ssh.FailureWith("user-key");
    EXPECT_NE(std::string::npos, error.find("REMOTE HOST IDENTIFICATION HAS CHANGED")) << error;
    EXPECT_NE(std::string::npos, error.find("Host key verification failed.")) << error;
    system(forget.c_str());

    std::string path = getenv("PATH");
    setenv("PATH", "/nonexistent", 1);
    error = ssh.FailureWith("user-key");
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(0u, error.find("ssh was not found.")) << error;
    EXPECT_EQ(0, RunningTunnelCount());
}

} // namespace
