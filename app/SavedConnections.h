// How settings.ini keeps connections. The section [connection] is the one
// the connect dialog opens on and writes on OK (its "name" says which saved
// connection it came from). Each saved connection has a section of its own,
// [connection:NAME], with the same keys. NAME stands there with "%" and two
// hexadecimal digits for every byte that could not (the brackets, "=", ";",
// "%", control characters, spaces at either end) and for every byte beyond
// ASCII, so that any name comes back as it was saved, whatever code page
// reads the file. Names match without regard to the case of ASCII letters,
// as section names do: saving "prod" replaces "Prod".
//
// A file that is not what the program wrote reads as far as it can: a
// missing or damaged key gives its default, a section whose name does not
// decode is not a saved connection.
#pragma once

#include <string>
#include <vector>

#include "app/PasswordStore.h"
#include "server/ClientLibrary.h"

#define SETTINGS_FILE "\\settings.ini"
#define CURRENT_CONNECTION_SECTION "connection"
#define SAVED_CONNECTION_PREFIX "connection:"

// Texts are read from settings.ini into buffers of this size, so at most 255
// characters of a host, user name or password come back (managed servers'
// host names are long).
enum { SettingsTextSize = 256 };

// One connection as the dialog shows it, without its password (which
// PasswordStore keeps). A key added to the file is a field here and a row
// of the key table in SavedConnections.cpp.
struct SAVEDCONNECTION {
    std::string Name;              // "" for a connection that has none
    std::string Host = "localhost";
    std::string User;
    std::string Database;          // the database a new window starts in; "" for none
    bool StartServer = false;      // "startmysql"
    bool SavePassword = false;     // "savepassword"
    // TLS and the SSH tunnel; a key left at its default is not written, so
    // that a connection using neither reads and writes as before.
    std::string Tls = "preferred"; // "tls": preferred, required, verify-ca, verify-identity
    std::string TlsCa;             // "tlsca": a CA file; "" for the system's store
    std::string TlsFingerprint;    // "tlsfingerprint": the certificate's, in hex
    std::string SshHost;           // "sshhost": "host" or "host:port"; "" for no tunnel
    std::string SshUser;           // "sshuser"
    std::string SshKey;            // "sshkey": a private key file; "" for the SSH agent
};

// The TLS mode of a "tls" key (Preferred for a value the program did not
// write), and the key of a mode.
TlsModeValue TlsModeOfKey(const std::string &key);
const char *TlsModeKey(TlsModeValue mode);
// The fields' TLS and tunnel as a connection record takes them.
CONNECTIONROUTE RouteOf(const SAVEDCONNECTION &connection);

// The section of a saved connection, and the name in such a section (false
// for any other section, or one whose name does not decode).
std::string SavedConnectionSection(const std::string &name);
bool SavedConnectionName(const std::string &section, std::string *name);

// The section's keys; a flag is set only when stored exactly as 1. The name
// comes from "name" in [connection], from the section's own name otherwise.
SAVEDCONNECTION ReadConnection(const char *path, const char *section);

// Writes the section in the order savepassword, startmysql, host, user,
// password, database, the TLS and tunnel keys that are not at their
// defaults, then name in [connection] only (the order a new file shows), with the password where PasswordStore puts it (or forgotten
// when SavePassword is clear), and tells where it went. Makes the file's
// folder and the file as needed, a new file readable by its owner only.
// False when something could not be written.
bool WriteConnection(const char *path, const char *section, const SAVEDCONNECTION &connection,
                     const std::string &password, PasswordPlace *place);

// The names of the saved connections, in the order of the file.
std::vector<std::string> SavedConnectionNames(const char *path);

// The section of the saved connection of that name as the file spells it,
// or "" when there is none.
std::string FindSavedSection(const char *path, const std::string &name);

// Saves the connection under its name, replacing one of the same name.
bool SaveConnection(const char *path, const SAVEDCONNECTION &connection, const std::string &password,
                    PasswordPlace *place);

// Removes the saved connection and its password. False when there is none
// of that name or the file could not be written.
bool DeleteSavedConnection(const char *path, const std::string &name);
