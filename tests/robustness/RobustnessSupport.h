// What the bad-input tests share: a scratch directory on the Unix side (large
// inputs are written with the C library, fast), the clipboard, and the
// query windows of the real frame.
#pragma once

#include "QueryWindowFixture.h"

#include <string>

// A new directory under /tmp, removed with everything in it by the destructor.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const std::string &UnixPath() const { return unixPath; }
    // The Windows path of the directory or of a file in it (drive Z:).
    std::string Path() const;
    std::string File(const std::string &name) const;
    std::string UnixFile(const std::string &name) const { return unixPath + "/" + name; }

private:
    std::string unixPath;
};

// Whole files by Unix path; a missing file reads as "(missing)".
void WriteUnixFile(const std::string &path, const std::string &bytes);
std::string ReadUnixFile(const std::string &path);

// SQL text of 50 MB or a line more: whole lines of changing content, each
// ended by CR LF. Made once for the whole program.
const std::string &FiftyMegabytesOfSql();

// The number of query windows in the MDI client.
int QueryWindowCount();
// The active query window's record.
CHILDDATA *ActiveChild();
