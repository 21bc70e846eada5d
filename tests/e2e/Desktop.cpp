#include "Desktop.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace e2e {

CommandResult Run(const std::string &command)
{
    CommandResult result{-1, {}};
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.Output.append(buffer, got);
    int status = pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string RunLine(const std::string &command)
{
    std::string output = Run(command).Output;
    return output.substr(0, output.find('\n'));
}

std::string Quote(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit, std::chrono::milliseconds step)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(step);
    }
}

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

std::vector<std::string> WindowsOf(int pid, const std::string &titlePattern)
{
    std::vector<std::string> windows;
    std::istringstream lines(Run("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null").Output);
    std::regex pattern(titlePattern);
    std::string line;
    // xdotool's search may still name a window that Wine has just destroyed,
    // and its name filter is loose: the title and the map state are checked
    // here, window by window.
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        CommandResult title = Run("xdotool getwindowname " + line + " 2>/dev/null");
        if (title.Status != 0 || title.Output.empty()) continue;
        title.Output.pop_back();
        if (!std::regex_search(title.Output, pattern)) continue;
        if (Run("xwininfo -id " + line + " 2>/dev/null").Output.find("IsViewable") != std::string::npos)
            windows.push_back(line);
    }
    return windows;
}

std::string WindowTitle(const std::string &window) { return RunLine("xdotool getwindowname " + window + " 2>/dev/null"); }

bool WindowPosition(const std::string &window, int *x, int *y)
{
    std::string shell = Run("xdotool getwindowgeometry --shell " + window + " 2>/dev/null").Output;
    size_t atX = shell.find("X="), atY = shell.find("Y=");
    if (atX == std::string::npos || atY == std::string::npos) return false;
    *x = std::stoi(shell.substr(atX + 2));
    *y = std::stoi(shell.substr(atY + 2));
    return true;
}

// A short pause after each input: Wine reads the X events on its own thread
// and a person never types faster than the program draws.
void Keys(const std::string &keys)
{
    Run("xdotool key --delay 30 " + keys);
    Pause(60);
}

void Type(const std::string &text)
{
    Run("xdotool type --delay 8 -- " + Quote(text));
    Pause(60);
}

void Click(int x, int y, int button)
{
    Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " + std::to_string(button));
    Pause(100);
}

void DoubleClick(int x, int y)
{
    Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click --repeat 2 --delay 80 1");
    Pause(150);
}

std::string Clipboard() { return Run("timeout 5 xclip -o -selection clipboard 2>/dev/null").Output; }

void SetClipboard(const std::string &text)
{
    Run("printf %s " + Quote(text) + " | timeout 5 xclip -i -selection clipboard -l 1 >/dev/null 2>&1 &");
    Pause(100);
}

const char NothingCopied[] = "(nothing copied)";

std::string CopyAfterClick(int x, int y, const std::string &keys)
{
    SetClipboard(NothingCopied);
    Click(x, y);
    Keys(keys);
    return Clipboard();
}

void Screenshot(const std::string &path) { Run("import -window root " + Quote(path) + " 2>/dev/null"); }

std::string ReadFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

} // namespace e2e
