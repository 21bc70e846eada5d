// Where settings.ini is kept. A program unpacked into a folder of its own
// keeps it beside itself, as it always has; one installed where its user
// cannot write (Program Files on Windows, /usr/lib/vintrel from the Debian
// package) keeps it in a "Vintrel" folder of the user's application-data
// folder instead (CSIDL_APPDATA: on Windows the roaming AppData, under Wine
// the prefix's user folder). So does one the Windows installer put in place,
// even where its user can write (the per-user install in
// %LOCALAPPDATA%\Programs, or any install by an administrator): an
// uninstall or an upgrade removes the installed folder, and the settings
// must outlive it.
#pragma once

#include <string>

// The file vintrel-setup.msi installs beside the program (and an unpacked
// zip has not): while it is there, the settings live in the user's folder.
#define INSTALLED_MARKER "installed.txt"

// True when the installer's marker file is in the directory.
bool InstalledByInstaller(const char *programDirectory);

// True when a file can be made in the directory: a probe file is made there
// and removed again. A path that does not exist, or names a file, is not
// writable. The probe asks the file system itself, so it sees what rights,
// ACLs and read-only mounts allow this process, not what the bits say.
bool DirectoryWritable(const char *directory);

// The user's own folder for the settings: CSIDL_APPDATA followed by
// \Vintrel (not created here), or "" when the system names no such folder.
std::string UserSettingsDirectory();

// The directory of settings.ini, without a trailing backslash:
// programDirectory when the probe finds it writable and the installer's
// marker is not there, UserSettingsDirectory() otherwise. When there is no
// user folder either, programDirectory all the same, so that the failed
// save is reported with a path the user knows.
std::string SettingsDirectory(const char *programDirectory, bool (*writable)(const char *) = DirectoryWritable);

// The same for the program's own directory (AppDirectory).
std::string SettingsDirectory();
