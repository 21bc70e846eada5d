#include "RobustnessSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void RemoveUnixTree(const std::string &path)
{
    if (DIR *directory = opendir(path.c_str())) {
        while (dirent *entry = readdir(directory)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            std::string inner = path + "/" + name;
            struct stat status;
            if (lstat(inner.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
                RemoveUnixTree(inner);
            else
                unlink(inner.c_str());
        }
        closedir(directory);
    }
    rmdir(path.c_str());
}

} // namespace

ScratchDirectory::ScratchDirectory()
{
    char name[] = "/tmp/vintrel-robustness-XXXXXX";
    if (mkdtemp(name)) unixPath = name;
    else ADD_FAILURE() << "no scratch directory under /tmp";
}

ScratchDirectory::~ScratchDirectory()
{
    if (!unixPath.empty()) RemoveUnixTree(unixPath);
}

std::string ScratchDirectory::Path() const
{
    std::string path = "Z:" + unixPath;
    for (char &c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string ScratchDirectory::File(const std::string &name) const { return Path() + "\\" + name; }

void WriteUnixFile(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), (std::streamsize)bytes.size());
    if (!file) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadUnixFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return "(missing)";
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

const std::string &FiftyMegabytesOfSql()
{
    static std::string text;
    if (!text.empty()) return text;
    const size_t size = 50 << 20;
    text.reserve(size + 128);
    char line[128];
    for (unsigned n = 1; text.size() < size; n++) {
        int length = snprintf(line, sizeof line, "INSERT INTO t (id, name) VALUES (%u, 'row %u of the script');\r\n",
                              n, n * 7919u % 100003u);
        text.append(line, (size_t)length);
    }
    return text;
}

int QueryWindowCount()
{
    int count = 0;
    for (HWND window = GetWindow(MdiClientWindow, GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT))
        if (ChildOf(window)) count++;
    return count;
}

CHILDDATA *ActiveChild()
{
    return ChildOf(reinterpret_cast<HWND>(SendMessageA(MdiClientWindow, WM_MDIGETACTIVE, 0, 0)));
}
