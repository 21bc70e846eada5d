#include "ServerAccess.h"
#include "Desktop.h"

#include <cstdlib>
#include <fcntl.h>
#include <mysql.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

Account TestAccount()
{
    auto variable = [](const char *name) {
        const char *value = getenv(name);
        return std::string(value ? value : "");
    };
    return {variable("MYSQL_UNIX_PORT"), variable("VINTREL_TEST_USER"), variable("VINTREL_TEST_PASSWORD")};
}

namespace {

MYSQL *Open(const Account &account, std::string *error)
{
    MYSQL *connection = mysql_init(nullptr);
    if (mysql_real_connect(connection, "localhost", account.User.c_str(), account.Password.c_str(), nullptr, 0,
                           account.Socket.c_str(), CLIENT_MULTI_STATEMENTS))
        return connection;
    if (error) *error = mysql_error(connection);
    mysql_close(connection);
    return nullptr;
}

// Runs the statements and reads every result; the first column of the first
// row goes to *firstValue when given.
bool RunStatements(const Account &account, const std::string &sql, std::string *firstValue, std::string *error)
{
    MYSQL *connection = Open(account, error);
    if (!connection) return false;
    bool ok = mysql_query(connection, sql.c_str()) == 0;
    if (!ok && error) *error = mysql_error(connection);
    if (ok) {
        do {
            MYSQL_RES *result = mysql_store_result(connection);
            if (!result) continue;
            MYSQL_ROW row = firstValue ? mysql_fetch_row(result) : nullptr;
            if (row && row[0] && firstValue->empty()) *firstValue = row[0];
            mysql_free_result(result);
        } while (mysql_next_result(connection) == 0);
    }
    mysql_close(connection);
    return ok;
}

} // namespace

std::string QueryValue(const Account &account, const std::string &sql, std::string *error)
{
    std::string value;
    RunStatements(account, sql, &value, error);
    return value;
}

bool Exec(const Account &account, const std::string &sql, std::string *error)
{
    return RunStatements(account, sql, nullptr, error);
}

bool ConnectionAlive(const Account &account, const std::string &id)
{
    return QueryValue(account, "select count(*) from information_schema.processlist where id = " + id) != "0";
}

std::string GeneralLog()
{
    const char *path = getenv("VINTREL_TEST_GENERAL_LOG");
    return path ? ReadFile(path) : "";
}

PrivateServer::PrivateServer(const std::string &directory)
    : Socket(directory + "/mysqld.sock"), Directory(directory)
{
}

PrivateServer::~PrivateServer() { Stop(); }

bool PrivateServer::Start()
{
    std::string data = Directory + "/data";
    Run("mkdir -p " + Quote(Directory));
    std::string user = RunLine("id -un");
    if (access((data + "/mysql").c_str(), F_OK) != 0) {
        if (Run("mariadb-install-db --no-defaults --datadir=" + Quote(data) +
                " --auth-root-authentication-method=normal --skip-test-db --user=" + Quote(user) + " >" +
                Quote(Directory + "/install.log") + " 2>&1")
                .Status != 0)
            return false;
    }
    Pid = fork();
    if (Pid == 0) {
        setpgid(0, 0);
        int nothing = open("/dev/null", O_WRONLY);
        dup2(nothing, 1);
        dup2(nothing, 2);
        std::string datadir = "--datadir=" + data, socket = "--socket=" + Socket, who = "--user=" + user,
                    log = "--log-error=" + Directory + "/error.log", pid = "--pid-file=" + Directory + "/mariadbd.pid";
        execlp("mariadbd", "mariadbd", "--no-defaults", datadir.c_str(), socket.c_str(), who.c_str(),
               "--skip-networking", "--skip-log-bin", log.c_str(), pid.c_str(), "--innodb-buffer-pool-size=32M",
               (char *)nullptr);
        _exit(127);
    }
    return WaitFor([&] { return !QueryValue(RootAccount(), "select 1").empty(); }, std::chrono::seconds(30));
}

void PrivateServer::Stop()
{
    if (Pid <= 0) return;
    kill(Pid, SIGTERM);
    bool gone = WaitFor([&] { return waitpid(Pid, nullptr, WNOHANG) == Pid; }, std::chrono::seconds(15));
    if (!gone) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
    Pid = 0;
}

} // namespace e2e
