// Files and directories of the dialog tests, named by Windows paths.
#pragma once

#include <windows.h>

#include <string>

// A new empty directory under the Wine temp directory, removed with its files
// by the destructor.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    const std::string &Path() const { return path; }
    std::string File(const std::string &name) const { return path + "\\" + name; }

private:
    std::string path;
};

// The Windows path of a Unix path (drive Z: is the Unix root).
std::string DosPath(const std::string &unixPath);

bool FileExists(const std::string &path);
std::string ReadBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::string &bytes);
