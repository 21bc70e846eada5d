// Where "Save password" puts a password: where the system protects it for
// its user when it can, in settings.ini in clear text only when it cannot.
//
// - Linux: the desktop's keyring (SecretService.h); the section then says
//   passwordstore=keyring. Without a keyring (a server with no desktop
//   session) the password is kept in settings.ini, as earlier versions kept
//   it, and the file is made readable by its owner only.
// - Windows: encrypted for the current user with the data-protection API
//   (CryptProtectData); the section says passwordstore=windows and holds
//   the encrypted bytes in hexadecimal in protectedpassword.
//
// The Linux build takes the keyring path although wineg++ defines _WIN32:
// under Wine the data-protection API protects nothing, its key being made
// from the user name and a constant.
//
// A password that an earlier version left in clear text ("password" and no
// "passwordstore") is still read, and moves to the protected store at the
// next save.
#pragma once

#include <string>

enum class PasswordPlace {
    None,           // no password (or an empty one) is kept
    Keyring,        // the desktop's keyring
    WindowsAccount, // encrypted for the Windows user, in settings.ini
    SettingsFile,   // in clear text in settings.ini
};

// Keeps the password of a section of the settings file at path, and writes
// the section's password keys to match ("password" empty unless the
// password stands there in clear text). label names it in the keyring's
// own window. An empty password is kept nowhere. Returns where it went;
// written is false when the file could not be written.
PasswordPlace SavePassword(const char *path, const char *section, const char *label, const std::string &password,
                           bool *written);

// Removes the section's password from wherever it is kept, leaving
// "password" empty. False when the file could not be written.
bool ForgetPassword(const char *path, const char *section);

// Reads the section's password back from where SavePassword (or an earlier
// version) put it: place says where (None: nothing was kept, and password
// is empty). False when the file says it was kept where it cannot be read
// now (no keyring answers, or it no longer holds it).
bool LoadPassword(const char *path, const char *section, std::string *password, PasswordPlace *place);

// True when the section already holds exactly this password in clear text.
bool PasswordInClearText(const char *path, const char *section, const std::string &password);

// For the connect dialog: a sentence saying where a password went ("" for
// None), and the longer notice of a password that had to go into the file.
std::string PasswordPlaceText(PasswordPlace place);
std::string ClearTextNotice(const char *path);
