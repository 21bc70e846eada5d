// Editor benchmark (not a test): a 10 MB script of 200,000 lines, typing and
// opening/closing a /* comment at its top, its recovery copy, and a single
// 1 MB line. Prints
// the figures; run under a display (xvfb-run) in the project's Wine prefix.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "editor/CodeMaxControl.h"
#include "querywindow/EditorSetup.h"
#include "querywindow/RecoveryFiles.h"
#include "querywindow/ScriptRecovery.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Paint(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW); }

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

void Caret(HWND editor, int line, int column)
{
    EDITORRANGE range{{line, column}, {line, column}};
    SendMessageW(editor, WM_EDITOR_SETSEL, 1, reinterpret_cast<LPARAM>(&range));
}

// Sends one key's messages and repaints; returns milliseconds.
double TimedKey(HWND editor, UINT message, WPARAM key)
{
    double start = Now();
    SendMessageW(editor, message, key, 1);
    Paint(editor);
    return Now() - start;
}

void Report(const char *what, double ms, double limit)
{
    printf("%-58s %9.2f ms  (target < %.0f ms) %s\n", what, ms, limit, ms < limit ? "ok" : "SLOW");
}

std::string MakeScript(int lines)
{
    std::string script;
    script.reserve(size_t(lines) * 52);
    char line[128];
    for (int i = 0; i < lines; ++i) {
        int n = snprintf(line, sizeof line, "INSERT INTO t (id, name) VALUES (%6d, 'x%06d');\n", i, i);
        script.append(line, n);
    }
    return script;
}

// "editor_bench --show": a window with some SQL to look at and type into,
// with a plain message loop (as the program's, without accelerators).
int Show()
{
    HWND editor = CreateWindowExW(0, reinterpret_cast<const WCHAR *>(u"CodeMax"), nullptr,
                                  WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 700, 400,
                                  nullptr, nullptr, nullptr, nullptr);
    SetupEditor(editor);
    SetWindowTextA(editor, "-- Vintrel editor\n"
                           "SELECT c.id, c.name AS `order`, COUNT(*) AS n  # per customer\n"
                           "  FROM customers c\n"
                           "  LEFT JOIN orders o ON o.customer_id = c.id\n"
                           " WHERE c.city = 'K\xC3\xB6ln' AND c.note <> \"it\\\"s\"\n"
                           "/* totals\n   across lines */\n"
                           " GROUP BY c.id, c.name HAVING n >= 2 ORDER BY n DESC LIMIT 10;\n");
    SetFocus(editor);
    MSG msg;
    while (IsWindow(editor) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// The recovery copy of the 10 MB script: the copy the timer takes on the
// interface thread, the write on the writer's thread, and keys typed while
// that write is under way.
void RecoveryCopyOfTheScript(HWND editor, const std::string &directory)
{
    std::string folder = directory + "vintrel_recovery_bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    StartRecoveryCopies(folder);
    RECOVERYSCRIPT script;
    double start = Now();
    CopyEditorScript(editor, &script);
    Report("recovery copy: the first copy of the text (interface thread)", Now() - start, 16);
    std::string path = folder + "\\script.vrec";
    start = Now();
    bool written = WriteRecoveryFile(path, script);
    Report(written ? "recovery copy: 10 MB written, flushed and renamed" : "recovery copy: write FAILED", Now() - start,
           100);

    Caret(editor, 1, 1);
    Paint(editor);
    start = Now();
    QueueRecoveryWrite("script.vrec", std::move(script));
    double worst = 0;
    int keys = 0;
    while (!FlushRecoveryCopies(0) && Now() - start < 5000) {
        worst = std::max(worst, TimedKey(editor, WM_CHAR, 'k'));
        keys++;
    }
    printf("recovery copy: written on its thread in %.2f ms while %d keys were typed\n", Now() - start, keys);
    Report("recovery copy: worst key typed (and shown) meanwhile", worst, 16);
    // The same keys with no write under way: what the machine gives anyway.
    double alone = 0;
    for (int i = 0; i < std::max(keys, 10); i++) alone = std::max(alone, TimedKey(editor, WM_CHAR, 'k'));
    Report("recovery copy: worst of as many keys with no write", alone, 16);
    RECOVERYSCRIPT next;
    start = Now();
    CopyEditorScript(editor, &next);
    Report("recovery copy: each later copy (interface thread)", Now() - start, 16);
    StopRecoveryCopies();
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "--show") == 0) {
        CMRegisterControl(0x2100);
        return Show();
    }
    CMRegisterControl(0x2100);
    HWND editor = CreateWindowExW(0, reinterpret_cast<const WCHAR *>(u"CodeMax"), nullptr,
                                  WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 1000, 800,
                                  nullptr, nullptr, nullptr, nullptr);
    if (!editor) return 1;
    SetupEditor(editor);
    Pump();

    std::string script = MakeScript(200000);
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    std::string path = std::string(directory) + "vintrel_editor_bench.sql";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, script.data(), DWORD(script.size()), &written, nullptr);
    CloseHandle(file);
    printf("script: %zu bytes, 200000 lines\n", script.size());

    double start = Now();
    SendMessageW(editor, WM_EDITOR_LOADFILE, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Paint(editor);
    Report("load 10 MB / 200,000 lines and show", Now() - start, 1000);

    Caret(editor, 1, 1);
    Paint(editor);
    start = Now();
    for (int i = 0; i < 20; ++i) {
        InvalidateRect(editor, nullptr, FALSE);
        Paint(editor);
    }
    Report("repaint only (mean of 20)", (Now() - start) / 20, 16);
    start = Now();
    for (int i = 0; i < 20; ++i) SendMessageW(editor, WM_CHAR, 'y', 1);
    Report("type a character without repaint (mean of 20)", (Now() - start) / 20, 16);
    double worst = 0, total = 0;
    for (int i = 0; i < 20; ++i) {
        double ms = TimedKey(editor, WM_CHAR, 'x');
        worst = std::max(worst, ms);
        total += ms;
    }
    Report("type a character at the top and repaint (mean of 20)", total / 20, 16);
    Report("type a character at the top and repaint (worst)", worst, 16);

    Caret(editor, 1, 1);
    double open = TimedKey(editor, WM_CHAR, '/') + TimedKey(editor, WM_CHAR, '*');
    Report("open a /* comment at the top (2 keys, repaint each)", open, 32);
    double close = TimedKey(editor, WM_KEYDOWN, VK_BACK);
    Report("close it again (Backspace, repaint)", close, 16);
    Caret(editor, 1, 1);
    TimedKey(editor, WM_CHAR, '/');
    TimedKey(editor, WM_CHAR, '*');
    start = Now();
    SendMessageW(editor, WM_KEYDOWN, VK_END, 1);
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(editor, WM_KEYDOWN, VK_END, 1);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    Paint(editor);
    Report("Ctrl+End with the comment open (lexes all lines)", Now() - start, 1000);

    start = Now();
    int length = int(SendMessageW(editor, WM_EDITOR_GETTEXTLENGTH, 0, 1));
    std::string text(length + 1, '\0');
    SendMessageW(editor, WM_EDITOR_GETTEXT, 0, reinterpret_cast<LPARAM>(&text[0]));
    Report("GETTEXTLENGTH + GETTEXT of the whole text", Now() - start, 1000);

    RecoveryCopyOfTheScript(editor, directory);

    std::string longLine(1 << 20, 'a');
    for (size_t i = 0; i < longLine.size(); i += 8) longLine.replace(i, 7, "select ");
    start = Now();
    SetWindowTextA(editor, longLine.c_str());
    Paint(editor);
    Report("a single 1 MB line: set and show", Now() - start, 1000);
    Caret(editor, 1, 1 << 19);
    Paint(editor);
    start = Now();
    for (int i = 0; i < 10; ++i) TimedKey(editor, WM_CHAR, 'x');
    Report("a single 1 MB line: type in its middle (mean of 10)", (Now() - start) / 10, 100);
    start = Now();
    SendMessageW(editor, WM_KEYDOWN, VK_END, 1);
    Paint(editor);
    Report("a single 1 MB line: End", Now() - start, 100);

    DestroyWindow(editor);
    DeleteFileA(path.c_str());
    return 0;
}
