// Where settings.ini is kept. A program unpacked into a folder of its own
// keeps it beside itself, as it always has; one installed where its user
// cannot write (Program Files on Windows, /usr/lib/vintrel from the Debian
// package) keeps it in a "Vintrel" folder of the user's application-data
// folder instead (CSIDL_APPDATA: on Windows the roaming AppData, under Wine
// the prefix's user folder).
#pragma once

#include <string>

// True when a file can be made in the directory: a probe file is made there
// and removed again. A path that does not exist, or names a file, is not
// writable. The probe asks the file system itself, so it sees what rights,
// ACLs and read-only mounts allow this process, not what the bits say.
bool DirectoryWritable(const char *directory);

// The user's own folder for the settings: CSIDL_APPDATA followed by
// \Vintrel (not created here), or "" when the system names no such folder.
std::string UserSettingsDirectory();

// The directory of settings.ini, without a trailing backslash:
// programDirectory when the probe finds it writable, UserSettingsDirectory()
// otherwise. When there is no user folder either, programDirectory all the
// same, so that the failed save is reported with a path the user knows.
std::string SettingsDirectory(const char *programDirectory, bool (*writable)(const char *) = DirectoryWritable);

// The same for the program's own directory (AppDirectory).
std::string SettingsDirectory();
