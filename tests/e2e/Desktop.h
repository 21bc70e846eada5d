// Driving the program the way a person does: through the X server only.
// Keys, typing and clicks go through xdotool (the X test extension), the
// clipboard is read with xclip, pictures are taken with ImageMagick's import.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct CommandResult {
    int Status;
    std::string Output;
};

// Runs a shell command and gathers its standard output.
CommandResult Run(const std::string &command);
// The first line of a command's output, without its line end.
std::string RunLine(const std::string &command);
std::string Quote(const std::string &text);

// Polls until the condition holds or the time is up; true when it held.
bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit = std::chrono::seconds(10),
             std::chrono::milliseconds step = std::chrono::milliseconds(100));
void Pause(int milliseconds);

// Visible top-level windows of a process whose title matches a regular
// expression (xdotool's search).
std::vector<std::string> WindowsOf(int pid, const std::string &titlePattern);
std::string WindowTitle(const std::string &window);
bool WindowPosition(const std::string &window, int *x, int *y);

void Keys(const std::string &keys);           // e.g. "ctrl+a ctrl+c"
void Type(const std::string &text);           // typed character by character
void Click(int x, int y, int button = 1);
void DoubleClick(int x, int y);

std::string Clipboard();
void SetClipboard(const std::string &text);
// What a click and keys (say "ctrl+a ctrl+c") put on the clipboard;
// NothingCopied when they copied nothing.
extern const char NothingCopied[];
std::string CopyAfterClick(int x, int y, const std::string &keys);

void Screenshot(const std::string &path);

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);

} // namespace e2e
