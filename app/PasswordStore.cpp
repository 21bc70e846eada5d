#include "app/PasswordStore.h"

#include <windows.h>

#include <vector>

#include "app/DesktopShell.h"
#include "app/SecretService.h"

#ifndef __WINE__
#include <wincrypt.h>
#endif

namespace {

// A clear-text password comes back cut to 255 bytes, as the other texts of
// settings.ini do; the encrypted one is read whole.
enum { ClearPasswordSize = 256, ProtectedPasswordSize = 16384 };

std::string ReadKey(const char *path, const char *section, const char *key, size_t size)
{
    std::vector<char> buffer(size);
    GetPrivateProfileStringA(section, key, "", buffer.data(), (DWORD)size, path);
    std::string text(buffer.data());
    SecureZeroMemory(buffer.data(), buffer.size());
    return text;
}

// A null value removes the key.
bool WriteKey(const char *path, const char *section, const char *key, const char *value)
{
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

void Wipe(std::string &text)
{
    if (!text.empty()) SecureZeroMemory(&text[0], text.size());
    text.clear();
}

#ifdef __WINE__

// The protected store of the Linux build: the desktop's keyring. The section
// is filed in lower case: section names match without regard to case, so
// [connection:Prod] and [connection:prod] are one section, and must be one
// password.
const char *const ProtectedStoreName = "keyring";
const PasswordPlace ProtectedPlace = PasswordPlace::Keyring;

std::string KeyringSection(const char *section)
{
    std::string lower = section;
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return lower;
}

// value is what the file keeps beside the store's name: nothing here.
bool Protect(const char *path, const char *section, const char *label, const std::string &password, std::string *value)
{
    value->clear();
    return KeyringStore(path, KeyringSection(section).c_str(), label, password.c_str()) == KeyringAnswer::Done;
}

bool Reveal(const char *path, const char *section, const std::string &, std::string *password)
{
    return KeyringLookup(path, KeyringSection(section).c_str(), password) == KeyringAnswer::Done;
}

void Unprotect(const char *path, const char *section) { KeyringClear(path, KeyringSection(section).c_str()); }

#else

// The protected store of the Windows build: the data-protection API, for
// the user who runs the program; the encrypted bytes stay in the file.
const char *const ProtectedStoreName = "windows";
const PasswordPlace ProtectedPlace = PasswordPlace::WindowsAccount;

std::string Hexadecimal(const BYTE *bytes, DWORD count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (DWORD i = 0; i < count; i++) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool FromHexadecimal(const std::string &text, std::vector<BYTE> *bytes)
{
    if (text.empty() || text.size() % 2) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = DigitValue(text[i]), low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back((BYTE)(high * 16 + low));
    }
    return true;
}

bool Protect(const char *, const char *, const char *, const std::string &password, std::string *value)
{
    DATA_BLOB clear = {(DWORD)password.size(), (BYTE *)password.data()};
    DATA_BLOB encrypted = {};
    if (!CryptProtectData(&clear, L"Vintrel connection password", nullptr, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &encrypted))
        return false;
    *value = Hexadecimal(encrypted.pbData, encrypted.cbData);
    LocalFree(encrypted.pbData);
    return true;
}

bool Reveal(const char *, const char *, const std::string &value, std::string *password)
{
    std::vector<BYTE> bytes;
    if (!FromHexadecimal(value, &bytes)) return false;
    DATA_BLOB encrypted = {(DWORD)bytes.size(), bytes.data()};
    DATA_BLOB clear = {};
    if (!CryptUnprotectData(&encrypted, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &clear))
        return false;
    password->assign((const char *)clear.pbData, clear.cbData);
    SecureZeroMemory(clear.pbData, clear.cbData);
    LocalFree(clear.pbData);
    return true;
}

void Unprotect(const char *, const char *) {}

#endif

bool KeptInProtectedStore(const char *path, const char *section)
{
    return ReadKey(path, section, "passwordstore", 64) == ProtectedStoreName;
}

} // namespace

PasswordPlace SavePassword(const char *path, const char *section, const char *label, const std::string &password,
                           bool *written)
{
    if (password.empty()) {
        *written = ForgetPassword(path, section);
        return PasswordPlace::None;
    }
    std::string value;
    if (Protect(path, section, label, password, &value)) {
        bool ok = WriteKey(path, section, "password", "");
        ok = WriteKey(path, section, "passwordstore", ProtectedStoreName) && ok;
        ok = WriteKey(path, section, "protectedpassword", value.empty() ? nullptr : value.c_str()) && ok;
        *written = ok;
        return ProtectedPlace;
    }
    // Nothing protects it: the file keeps it, for its owner's eyes only.
    bool ok = WriteKey(path, section, "password", password.c_str());
    ok = WriteKey(path, section, "passwordstore", nullptr) && ok;
    ok = WriteKey(path, section, "protectedpassword", nullptr) && ok;
    MakeFileOwnerOnly(path);
    *written = ok;
    return PasswordPlace::SettingsFile;
}

bool ForgetPassword(const char *path, const char *section)
{
    if (KeptInProtectedStore(path, section)) Unprotect(path, section);
    bool ok = WriteKey(path, section, "password", "");
    ok = WriteKey(path, section, "passwordstore", nullptr) && ok;
    return WriteKey(path, section, "protectedpassword", nullptr) && ok;
}

bool LoadPassword(const char *path, const char *section, std::string *password, PasswordPlace *place)
{
    password->clear();
    std::string store = ReadKey(path, section, "passwordstore", 64);
    if (store.empty()) {
        *password = ReadKey(path, section, "password", ClearPasswordSize);
        *place = password->empty() ? PasswordPlace::None : PasswordPlace::SettingsFile;
        return true;
    }
    // A store of the other build (a settings file brought from Windows to
    // Linux) cannot be read here.
    *place = ProtectedPlace;
    if (store != ProtectedStoreName) return false;
    std::string value = ReadKey(path, section, "protectedpassword", ProtectedPasswordSize);
    if (Reveal(path, section, value, password)) return true;
    Wipe(*password);
    return false;
}

bool PasswordInClearText(const char *path, const char *section, const std::string &password)
{
    if (!ReadKey(path, section, "passwordstore", 64).empty()) return false;
    std::string kept = ReadKey(path, section, "password", ClearPasswordSize);
    bool same = kept == password;
    Wipe(kept);
    return same;
}

std::string PasswordPlaceText(PasswordPlace place)
{
    switch (place) {
    case PasswordPlace::Keyring: return "Its password is in the desktop's keyring.";
    case PasswordPlace::WindowsAccount: return "Its password is encrypted for your Windows account.";
    case PasswordPlace::SettingsFile:
        return ProtectedPlace == PasswordPlace::Keyring
                   ? "No keyring answered: its password is in settings.ini, readable only by you."
                   : "Its password could not be encrypted: it is in settings.ini.";
    case PasswordPlace::None: break;
    }
    return "";
}

std::string ClearTextNotice(const char *path)
{
    std::string where = path ? path : "settings.ini";
    if (ProtectedPlace == PasswordPlace::Keyring)
        return "No keyring answered, so the password was saved in clear text in " + where +
               ", which only you can read.";
    return "The password could not be encrypted, so it was saved in clear text in " + where + ".";
}
