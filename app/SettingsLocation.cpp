#include "app/SettingsLocation.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "querywindow/ProgramValues.h"

bool DirectoryWritable(const char *directory)
{
    if (!directory || !*directory) return false;
    // A name of this process and moment; should an earlier probe have been
    // left behind (the process was killed between making and closing it),
    // the next name is tried.
    for (int attempt = 0; attempt < 4; attempt++) {
        char probe[MAX_PATH];
        int length = snprintf(probe, sizeof probe, "%s\\vintrel-write-probe-%lu-%lu-%d.tmp", directory,
                              (unsigned long)GetCurrentProcessId(), (unsigned long)GetTickCount(), attempt);
        if (length < 0 || length >= (int)sizeof probe) return false;
        HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

std::string UserSettingsDirectory()
{
    char folder[MAX_PATH] = "";
    // CSIDL_FLAG_CREATE: a new profile (or Wine prefix) may not have made
    // the folder yet.
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
        !*folder)
        return std::string();
    std::string directory = folder;
    if (directory.back() == '\\') directory.pop_back();
    return directory + "\\Vintrel";
}

bool InstalledByInstaller(const char *programDirectory)
{
    if (!programDirectory || !*programDirectory) return false;
    std::string marker = std::string(programDirectory) + "\\" INSTALLED_MARKER;
    DWORD attributes = GetFileAttributesA(marker.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string SettingsDirectory(const char *programDirectory, bool (*writable)(const char *))
{
    std::string own = programDirectory ? programDirectory : "";
    if (!InstalledByInstaller(own.c_str()) && writable(own.c_str())) return own;
    std::string user = UserSettingsDirectory();
    return user.empty() ? own : user;
}

std::string SettingsDirectory() { return SettingsDirectory(AppDirectory); }
