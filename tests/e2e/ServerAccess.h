// The tests' own view of the server: statements sent with the client library
// as a second session beside the program, and a private server that a test
// may stop and start again.
#pragma once

#include <string>

namespace e2e {

struct Account {
    std::string Socket, User, Password;
};

// The account of the server that ./test started (from the environment).
Account TestAccount();

// Runs statements; an empty text when it fails, else the first column of the
// first row ("" also for no rows). Error texts go to *error when given.
std::string QueryValue(const Account &account, const std::string &sql, std::string *error = nullptr);
bool Exec(const Account &account, const std::string &sql, std::string *error = nullptr);
// Whether the server still has the connection of that id.
bool ConnectionAlive(const Account &account, const std::string &id);

// The statements the server received, from its general log.
std::string GeneralLog();

// A throw-away server on its own socket (no TCP port), for the tests that
// stop the server under the program's feet. Its root account has no password.
class PrivateServer {
public:
    explicit PrivateServer(const std::string &directory);
    ~PrivateServer();
    bool Start();
    void Stop();
    Account RootAccount() const { return {Socket, "root", ""}; }
    const std::string Socket;

private:
    std::string Directory;
    int Pid = 0;
};

} // namespace e2e
