#include "app/SecretService.h"

#ifdef __WINE__

#include <cstring>

#include "server/DynamicLibrary.h"

namespace {

// libsecret's types, declared as far as they are used (its headers are not
// needed to build). Its functions are plain C functions of a Linux library:
// no WINAPI, so that they are called with the Linux calling convention.
struct SecretSchemaAttribute {
    const char *Name;
    int Type; // 0: a string
};
struct SecretSchema {
    const char *Name;
    int Flags;
    SecretSchemaAttribute Attributes[32];
    int Reserved;
    void *Reserved1, *Reserved2, *Reserved3, *Reserved4, *Reserved5, *Reserved6, *Reserved7;
};
struct GError {
    unsigned int Domain;
    int Code;
    char *Message;
};

typedef int (*StoreFunction)(const SecretSchema *, const char *collection, const char *label, const char *password,
                             void *cancellable, GError **error, ...);
typedef char *(*LookupFunction)(const SecretSchema *, void *cancellable, GError **error, ...);
typedef int (*ClearFunction)(const SecretSchema *, void *cancellable, GError **error, ...);
typedef void (*FreePasswordFunction)(char *);
typedef void (*FreeErrorFunction)(GError *);

const SecretSchema PasswordSchema = {"vintrel.ConnectionPassword", 0, {{"settings", 0}, {"section", 0}, {nullptr, 0}}};

// The library's entry points. Once opened it stays for the life of the
// process: GLib, which it brings along, starts threads of its own and
// cannot be unloaded.
struct SECRETLIBRARY {
    bool Tried;
    StoreFunction Store;
    LookupFunction Lookup;
    ClearFunction Clear;
    FreePasswordFunction FreePassword;
    FreeErrorFunction FreeError;
};
SECRETLIBRARY Library;

const SECRETLIBRARY *OpenLibrary()
{
    if (!Library.Tried) {
        Library.Tried = true;
        if (void *handle = OpenDynamicLibrary("libsecret-1.so.0")) {
            Library.Store = (StoreFunction)FindLibrarySymbol(handle, "secret_password_store_sync");
            Library.Lookup = (LookupFunction)FindLibrarySymbol(handle, "secret_password_lookup_sync");
            Library.Clear = (ClearFunction)FindLibrarySymbol(handle, "secret_password_clear_sync");
            Library.FreePassword = (FreePasswordFunction)FindLibrarySymbol(handle, "secret_password_free");
            // GLib's, found through libsecret, which depends on it.
            Library.FreeError = (FreeErrorFunction)FindLibrarySymbol(handle, "g_error_free");
        }
    }
    bool complete = Library.Store && Library.Lookup && Library.Clear && Library.FreePassword && Library.FreeError;
    return complete ? &Library : nullptr;
}

// The error says the keyring did not answer; its text is of no use to the
// user, who is told where the password went instead.
bool Failed(const SECRETLIBRARY *library, GError *error)
{
    if (!error) return false;
    library->FreeError(error);
    return true;
}

} // namespace

KeyringAnswer KeyringStore(const char *settings, const char *section, const char *label, const char *password)
{
    const SECRETLIBRARY *library = OpenLibrary();
    if (!library) return KeyringAnswer::NoKeyring;
    GError *error = nullptr;
    // No collection named: the user's default one (the login keyring).
    int stored = library->Store(&PasswordSchema, nullptr, label, password, nullptr, &error, "settings", settings,
                                "section", section, nullptr);
    return Failed(library, error) || !stored ? KeyringAnswer::NoKeyring : KeyringAnswer::Done;
}

KeyringAnswer KeyringLookup(const char *settings, const char *section, std::string *password)
{
    const SECRETLIBRARY *library = OpenLibrary();
    if (!library) return KeyringAnswer::NoKeyring;
    GError *error = nullptr;
    char *found = library->Lookup(&PasswordSchema, nullptr, &error, "settings", settings, "section", section, nullptr);
    if (Failed(library, error)) return KeyringAnswer::NoKeyring;
    if (!found) return KeyringAnswer::NotFound;
    password->assign(found);
    // Wipes the library's copy as it frees it.
    library->FreePassword(found);
    return KeyringAnswer::Done;
}

KeyringAnswer KeyringClear(const char *settings, const char *section)
{
    const SECRETLIBRARY *library = OpenLibrary();
    if (!library) return KeyringAnswer::NoKeyring;
    GError *error = nullptr;
    int cleared = library->Clear(&PasswordSchema, nullptr, &error, "settings", settings, "section", section, nullptr);
    if (Failed(library, error)) return KeyringAnswer::NoKeyring;
    return cleared ? KeyringAnswer::Done : KeyringAnswer::NotFound;
}

#endif
