#include "app/SavedConnections.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/DesktopShell.h"

namespace {

// The keys of a connection, in the order they are written, which is the
// order a new file shows. Each is a text or a flag (a 4-byte struct value
// with a checksum). The "password" row stands for the keys PasswordStore
// writes there. A text marked Optional is left out of the file (removed)
// while it holds its default.
struct CONNECTIONKEY {
    const char *Key;
    std::string SAVEDCONNECTION::*Text;
    bool SAVEDCONNECTION::*Flag;
    const char *Default;
    bool Optional;
};

const CONNECTIONKEY ConnectionKeys[] = {
    {"savepassword", nullptr, &SAVEDCONNECTION::SavePassword, nullptr},
    {"startmysql", nullptr, &SAVEDCONNECTION::StartServer, nullptr},
    {"host", &SAVEDCONNECTION::Host, nullptr, "localhost"},
    {"user", &SAVEDCONNECTION::User, nullptr, ""},
    {"password", nullptr, nullptr, nullptr},
    {"database", &SAVEDCONNECTION::Database, nullptr, ""},
    {"tls", &SAVEDCONNECTION::Tls, nullptr, "preferred", true},
    {"tlsca", &SAVEDCONNECTION::TlsCa, nullptr, "", true},
    {"tlsfingerprint", &SAVEDCONNECTION::TlsFingerprint, nullptr, "", true},
    {"sshhost", &SAVEDCONNECTION::SshHost, nullptr, "", true},
    {"sshuser", &SAVEDCONNECTION::SshUser, nullptr, "", true},
    {"sshkey", &SAVEDCONNECTION::SshKey, nullptr, "", true},
};

// The "tls" key's values, in the order of TlsModeValue.
const char *const TlsModeKeys[] = {"preferred", "required", "verify-ca", "verify-identity"};

bool IsPasswordRow(const CONNECTIONKEY &row) { return !row.Text && !row.Flag; }

std::string ReadText(const char *path, const char *section, const char *key, const char *fallback)
{
    char buffer[SettingsTextSize];
    GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, path);
    return buffer;
}

// The call fails on a wrong checksum after it has already decoded the
// bytes, so the value is only trusted when the call succeeds.
bool ReadFlag(const char *path, const char *section, const char *key)
{
    int32_t value = 0;
    if (!GetPrivateProfileStructA(section, key, &value, sizeof value, path)) value = 0;
    return value == 1;
}

bool WriteText(const char *path, const char *section, const char *key, const std::string &text)
{
    return WritePrivateProfileStringA(section, key, text.c_str(), path) != FALSE;
}

bool WriteFlag(const char *path, const char *section, const char *key, bool set)
{
    int32_t value = set ? 1 : 0;
    return WritePrivateProfileStructA(section, key, &value, sizeof value, path) != FALSE;
}

// The user's settings folder is made on the first save only, so that a
// dialog cancelled leaves nothing behind. Only its last level can be
// missing: the application-data folder above it exists. A file made here is
// for its owner's eyes only, made empty and private first so that nothing
// written later is ever in a file others can read.
void PrepareSettingsFile(const char *path)
{
    std::string directory = path;
    size_t separator = directory.rfind('\\');
    if (separator != std::string::npos && separator != 0) {
        directory.erase(separator);
        if (GetFileAttributesA(directory.c_str()) == INVALID_FILE_ATTRIBUTES)
            CreateDirectoryA(directory.c_str(), nullptr);
    }
    HANDLE made = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made == INVALID_HANDLE_VALUE) return;
    CloseHandle(made);
    MakeFileOwnerOnly(path);
}

// What the keyring's own window shows for the password.
std::string KeyringLabel(const SAVEDCONNECTION &connection)
{
    std::string label = "Vintrel: " + connection.User + "@" + connection.Host;
    if (!connection.Name.empty()) label += " (" + connection.Name + ")";
    return label;
}

bool SameLetter(char a, char b)
{
    if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
    return a == b;
}

// As section names compare: ASCII letters without regard to case.
bool SameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (!SameLetter(a[i], b[i])) return false;
    return true;
}

bool StandsAsIs(unsigned char c, bool atEitherEnd)
{
    if (c == ' ') return !atEitherEnd;
    return c > ' ' && c < 0x7F && !strchr("%[]=;\"", c);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Every section of the file, in its order.
std::vector<std::string> SectionNames(const char *path)
{
    std::vector<char> buffer(4096);
    for (;;) {
        DWORD length = GetPrivateProfileSectionNamesA(buffer.data(), (DWORD)buffer.size(), path);
        // A list that did not fit comes back as size - 2.
        if (length + 2 < buffer.size() || buffer.size() >= (64u << 20)) break;
        buffer.assign(buffer.size() * 4, '\0');
    }
    std::vector<std::string> sections;
    for (const char *name = buffer.data(); *name; name += strlen(name) + 1) sections.push_back(name);
    return sections;
}

} // namespace

TlsModeValue TlsModeOfKey(const std::string &key)
{
    for (int mode = TlsPreferred; mode <= TlsVerifyIdentity; mode++)
        if (key == TlsModeKeys[mode]) return (TlsModeValue)mode;
    return TlsPreferred;
}

const char *TlsModeKey(TlsModeValue mode) { return TlsModeKeys[mode <= TlsVerifyIdentity ? mode : TlsPreferred]; }

namespace {

// Too long a text cannot be kept in the record: it is cut, and the library
// or ssh then names the file it could not find.
void CopyInto(char *field, size_t size, const std::string &text) { snprintf(field, size, "%s", text.c_str()); }

} // namespace

CONNECTIONROUTE RouteOf(const SAVEDCONNECTION &connection)
{
    CONNECTIONROUTE route = {};
    route.TlsMode = TlsModeOfKey(connection.Tls);
    CopyInto(route.TlsCa, sizeof route.TlsCa, connection.TlsCa);
    CopyInto(route.TlsFingerprint, sizeof route.TlsFingerprint, connection.TlsFingerprint);
    CopyInto(route.SshHost, sizeof route.SshHost, connection.SshHost);
    CopyInto(route.SshUser, sizeof route.SshUser, connection.SshUser);
    CopyInto(route.SshKey, sizeof route.SshKey, connection.SshKey);
    return route;
}

std::string SavedConnectionSection(const std::string &name)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string section = SAVED_CONNECTION_PREFIX;
    for (size_t i = 0; i < name.size(); i++) {
        unsigned char c = (unsigned char)name[i];
        if (StandsAsIs(c, i == 0 || i + 1 == name.size())) {
            section += (char)c;
        } else {
            section += '%';
            section += digits[c >> 4];
            section += digits[c & 15];
        }
    }
    return section;
}

bool SavedConnectionName(const std::string &section, std::string *name)
{
    const size_t prefix = strlen(SAVED_CONNECTION_PREFIX);
    if (section.size() <= prefix || !SameName(section.substr(0, prefix), SAVED_CONNECTION_PREFIX)) return false;
    std::string decoded;
    for (size_t i = prefix; i < section.size(); i++) {
        if (section[i] != '%') {
            decoded += section[i];
            continue;
        }
        int high = i + 2 < section.size() ? HexValue(section[i + 1]) : -1;
        int low = i + 2 < section.size() ? HexValue(section[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        decoded += (char)(high * 16 + low);
        i += 2;
    }
    if (decoded.empty()) return false;
    *name = decoded;
    return true;
}

SAVEDCONNECTION ReadConnection(const char *path, const char *section)
{
    SAVEDCONNECTION connection;
    for (const CONNECTIONKEY &row : ConnectionKeys) {
        if (row.Text) connection.*row.Text = ReadText(path, section, row.Key, row.Default);
        if (row.Flag) connection.*row.Flag = ReadFlag(path, section, row.Key);
    }
    if (SameName(section, CURRENT_CONNECTION_SECTION))
        connection.Name = ReadText(path, section, "name", "");
    else
        SavedConnectionName(section, &connection.Name);
    return connection;
}

bool WriteConnection(const char *path, const char *section, const SAVEDCONNECTION &connection,
                     const std::string &password, PasswordPlace *place)
{
    PrepareSettingsFile(path);
    *place = PasswordPlace::None;
    bool written = true;
    for (const CONNECTIONKEY &row : ConnectionKeys) {
        bool ok = true;
        if (row.Flag) ok = WriteFlag(path, section, row.Key, connection.*row.Flag);
        if (row.Text && row.Optional && connection.*row.Text == row.Default)
            ok = WritePrivateProfileStringA(section, row.Key, nullptr, path) != FALSE;
        else if (row.Text)
            ok = WriteText(path, section, row.Key, connection.*row.Text);
        if (IsPasswordRow(row) && connection.SavePassword)
            *place = SavePassword(path, section, KeyringLabel(connection).c_str(), password, &ok);
        else if (IsPasswordRow(row))
            ok = ForgetPassword(path, section);
        written = ok && written;
    }
    if (SameName(section, CURRENT_CONNECTION_SECTION)) written = WriteText(path, section, "name", connection.Name) && written;
    return written;
}

std::vector<std::string> SavedConnectionNames(const char *path)
{
    std::vector<std::string> names;
    for (const std::string &section : SectionNames(path)) {
        std::string name;
        if (SavedConnectionName(section, &name)) names.push_back(name);
    }
    return names;
}

bool SaveConnection(const char *path, const SAVEDCONNECTION &connection, const std::string &password,
                    PasswordPlace *place)
{
    *place = PasswordPlace::None;
    if (connection.Name.empty()) return false;
    // Made anew, so that the section takes the name as now spelt.
    DeleteSavedConnection(path, connection.Name);
    return WriteConnection(path, SavedConnectionSection(connection.Name).c_str(), connection, password, place);
}

std::string FindSavedSection(const char *path, const std::string &name)
{
    for (const std::string &section : SectionNames(path)) {
        std::string found;
        if (SavedConnectionName(section, &found) && SameName(found, name)) return section;
    }
    return std::string();
}

bool DeleteSavedConnection(const char *path, const std::string &name)
{
    std::string section = FindSavedSection(path, name);
    if (section.empty()) return false;
    ForgetPassword(path, section.c_str());
    return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, path) != FALSE;
}
