// What the program asks of the desktop around it, the one place where the
// Linux build and the Windows build differ in the application layer:
// starting the local database server, showing the help, and keeping a file
// private to its owner.
#pragma once

// Starts the local database server without waiting for it: "net start mysql"
// on Windows; on Linux the embedded server's script named by the environment
// variable VINTREL_EMBEDDED_SERVER, run with bash (nothing when it is unset).
// A script that fails shows why in a message box of its own thread.
void StartLocalServer();

// Help > Contents. On Windows the help viewer "hh" with vrl.chm beside the
// program. On Linux, where Wine's help viewer has no HTML engine to show
// the pages, the desktop's web browser (xdg-open) with the help pages that
// ship beside vrl.chm (help/index.html).
void ShowHelpContents();

// Tests record what would be started instead of starting it: when set, it
// is called with the program and its one argument, and nothing runs.
extern void (*DesktopLaunchHook)(const char *program, const char *argument);

// On Linux makes the file readable and writable by its owner only (0600);
// the Windows build leaves the file's rights as they are.
void MakeFileOwnerOnly(const char *path);
