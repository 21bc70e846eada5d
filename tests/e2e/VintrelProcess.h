// The built program, started under Wine from an application directory of its
// own (its settings.ini, templates and help file beside it), and the places on the
// screen a person uses once the frame fills the top of the display.
#pragma once

#include "Desktop.h"

#include <map>
#include <string>
#include <vector>

namespace e2e {

// Screen points on the 1280 x 1024 virtual display, where the frame opens
// maximized (Wine draws the captions itself), once the query window is
// maximized too; they are fixed by the layout of the frame and the query
// window.
namespace Screen {
constexpr int ChildCaptionX = 313, ChildCaptionY = 83; // before maximizing
constexpr int EditorX = 600, EditorY = 200;
constexpr int GridCellX = 42, GridCellY = 551;         // first row, first column
constexpr int SelectorArrowX = 420, SelectorArrowY = 52;
constexpr int MessagesTabX = 125, MessagesTabY = 972;
constexpr int MessagePaneX = 600, MessagePaneY = 700;
// The password field, from the top left corner of the connect dialog.
constexpr int PasswordInDialogX = 225, PasswordInDialogY = 136;
} // namespace Screen

class VintrelProcess {
public:
    VintrelProcess();
    ~VintrelProcess();

    const std::string &AppDirectory() const { return App; }
    const std::string &WorkDirectory() const { return Work; }
    std::string SettingsPath() const { return App + "/settings.ini"; }
    void WriteSettings(const std::string &host, const std::string &user, const std::string *savedPassword);

    // Starts the program with MYSQL_UNIX_PORT set to socket; waits for the
    // frame.
    bool Start(const std::string &socket);
    // Starts another command that ends in the program (an installed
    // launcher), with MYSQL_UNIX_PORT and the environment's NAME=value
    // entries set; waits up to seconds for the frame.
    bool StartCommand(const std::string &socket, const std::vector<std::string> &command,
                      const std::vector<std::string> &environment, int seconds);
    bool Running();
    bool WaitForExit(int seconds);
    int ExitStatus() const { return Status; }
    void Kill();

    std::string Frame() const { return FrameWindow; }
    std::string FrameTitle() const { return WindowTitle(FrameWindow); }
    bool WaitForTitle(const std::string &title, int seconds = 10);
    // The first window of the program whose title matches, or "".
    std::string WaitForWindow(const std::string &titlePattern, int seconds = 10);
    bool WaitUntilGone(const std::string &titlePattern, int seconds = 10);

    // A message box of the program (titled "Vintrel", like the frame).
    bool MessageBoxShown();
    bool WaitForMessageBox(int seconds = 10);
    bool WaitForMessageBoxGone(int seconds = 10);

    // Presses OK in the connect dialog and waits for it to close.
    bool AcceptConnectDialog();
    // Maximizes the first query window by a double click on its caption.
    bool MaximizeQueryWindow();
    // Connects with the saved settings and maximizes the query window.
    bool StartConnected(const std::string &socket);

    void ReplaceEditorText(const std::string &text);
    // The editor's text replaced by the statement, then F5.
    void Execute(const std::string &sql);
    // Executes the statement and reads the first cell of its result.
    std::string AskWindow(const std::string &sql);
    std::string CopyEditor();
    std::string CopyGrid();
    bool WaitForGrid(const std::string &expected, int seconds = 15);
    std::string CopyMessages();

private:
    std::string Work, App;
    std::string FrameWindow;
    int Pid = 0, Status = -1;
};

// The program's build directory (vintrel.exe.so, templates, vrl.chm), from the
// environment CTest gives the test.
std::string BuildDirectory();
// The program under test is the Windows build when VINTREL_E2E_WINDOWS names
// its directory: the vintrel.exe of its package, vintrel-windows.zip, under
// wine64. Otherwise it is the Linux build's vintrel.exe.so.
bool TestingWindowsBuild();
std::string WindowsBuildDirectory();
// A path as the program's file dialogs take it (the Z: drive is /).
std::string WindowsPath(const std::string &path);
// The frame's title with a maximized query window.
std::string FrameTitleFor(const std::string &database, const std::string &user, const std::string &file);

} // namespace e2e
