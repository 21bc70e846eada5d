// The desktop's keyring, reached through the Secret Service with libsecret
// (GNOME Keyring, KWallet and KeePassXC all answer it). The library is
// opened by name at the first call, as the client library is, so that the
// program runs where it is not installed: a server without a desktop
// session then simply has no keyring. Linux build only.
//
// A password is filed under two attributes: the settings file it belongs
// to and the section of that file, so that two copies of the program with
// settings of their own never share one.
#pragma once

#ifdef __WINE__

#include <string>

enum class KeyringAnswer {
    Done,      // stored, found or cleared
    NotFound,  // the keyring answered but holds no such password
    NoKeyring, // no library, no session bus, no keyring on it, or it refused
};

KeyringAnswer KeyringStore(const char *settings, const char *section, const char *label, const char *password);
KeyringAnswer KeyringLookup(const char *settings, const char *section, std::string *password);
KeyringAnswer KeyringClear(const char *settings, const char *section);

#endif
