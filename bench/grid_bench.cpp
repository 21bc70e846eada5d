// How fast the result grid paints, copies, saves and pages through large
// results. Run under a display of at least 1920 x 1080, for example
//   xvfb-run -a -s "-screen 0 2560x1440x24" wine build/bench/grid_bench.exe.so
// The results are made in memory in the shape the capture gives them, so the
// figures are the grid's own and not the server's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "grid/GridSort.h"
#include "grid/GridWindow.h"
#include "query/ResultCapture.h"
#include "resources/resource.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// Rows of texts like the server sends: numbers, short words and dates.
GRIDBUFFER *MakeResult(int32_t rows, int32_t columns)
{
    GRIDBUFFER *buffer = NewGridBuffer();
    GridStorage &storage = buffer->Storage;
    storage.AllocateArray(buffer->Fields, columns);
    storage.AllocateArray(buffer->ColWidths, columns);
    storage.AllocateArray(buffer->TextWidths, columns);
    storage.AllocateArray(buffer->Rows, rows);
    char text[64];
    for (int32_t c = 0; c < columns; c++) {
        int length = snprintf(text, sizeof text, "column_%d", c);
        buffer->Fields[c] = storage.CopyText(text, length);
        buffer->TextWidths[c] = TextPixelWidth(length);
    }
    for (int32_t r = 0; r < rows; r++) {
        TFieldList &row = buffer->Rows[r];
        storage.AllocateArray(row, columns);
        for (int32_t c = 0; c < columns; c++) {
            int length;
            switch (c % 4) {
            case 0: length = snprintf(text, sizeof text, "%d", r + 1); break;
            case 1: length = snprintf(text, sizeof text, "name %d of the list", r * 7 % 100000); break;
            case 2: length = snprintf(text, sizeof text, "2024-%02d-%02d 12:%02d:00", r % 12 + 1, r % 28 + 1, r % 60); break;
            default: length = snprintf(text, sizeof text, "%d.%02d", r * 13 % 10000, r % 100); break;
            }
            row[c] = storage.CopyText(text, length);
            buffer->TextWidths[c] = std::max(buffer->TextWidths[c], TextPixelWidth(length));
        }
    }
    for (int32_t c = 0; c < columns; c++) buffer->ColWidths[c] = std::min(buffer->TextWidths[c], (int32_t)MaxColumnWidth);
    return buffer;
}

// One column of the given kind: integers in a scrambled order, or texts
// that share their first letters ("name" and a number), the harder case for
// a sort that looks at the first letters first.
GRIDBUFFER *MakeSortColumn(int32_t rows, bool numbers, bool words = false, bool accents = false)
{
    GRIDBUFFER *buffer = NewGridBuffer();
    GridStorage &storage = buffer->Storage;
    storage.AllocateArray(buffer->Fields, 1);
    storage.AllocateArray(buffer->ColWidths, 1);
    storage.AllocateArray(buffer->TextWidths, 1);
    storage.AllocateArray(buffer->ColumnKinds, 1);
    if (!storage.AllocateArray(buffer->Rows, rows)) return buffer;
    buffer->Fields[0] = storage.CopyText("value", 5);
    buffer->ColWidths[0] = buffer->TextWidths[0] = 120;
    buffer->ColumnKinds[0] = numbers ? NumberColumn : TextColumn;
    char text[32];
    uint32_t seed = 12345;
    for (int32_t r = 0; r < rows; r++) {
        seed = seed * 1664525u + 1013904223u;
        int length = numbers ? snprintf(text, sizeof text, "%d", (int)(seed % 1000000000u) - 500000000)
                             : snprintf(text, sizeof text, "%s%u", (seed >> 7) & 1 ? "Name" : "name", seed % 100000000u);
        if (words) {
            // Words of random letters, some capitalised: names, cities, titles.
            uint32_t letters = seed;
            length = 4 + (int)(seed >> 28);
            for (int i = 0; i < length; i++) {
                text[i] = (char)((i == 0 && (letters & 1) ? 'A' : 'a') + (letters >> 3) % 26);
                letters = letters * 1664525u + 1013904223u;
            }
            text[length] = 0;
            // One word in eight with a letter beyond ASCII: the column is
            // then compared by code points throughout.
            if (accents && (seed >> 5) % 8 == 0) {
                memmove(text + 3, text + 1, (size_t)length);
                memcpy(text + 1, "\xC3\xA9", 2);
                length += 2;
            }
        }
        TFieldList &row = buffer->Rows[r];
        storage.AllocateArray(row, 1);
        row[0] = storage.CopyText(text, length);
    }
    return buffer;
}

struct Bench {
    HWND parent;
    HWND grid;
    GRIDBUFFER *buffer = nullptr;

    void Attach(GRIDBUFFER *next)
    {
        SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)next, 0);
        InvalidateRect(grid, nullptr, TRUE);
        UpdateWindow(grid);
        if (buffer) FreeGridBuffer(buffer);
        buffer = next;
        Pump();
    }
    static void Pump()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    // Average of repeated full paints by the grid's drawing function into
    // the window's device context (WM_PRINTCLIENT), in milliseconds.
    double DrawTime(int repeats = 40)
    {
        RECT client;
        GetClientRect(grid, &client);
        HDC dc = GetDC(grid);
        double start = Now();
        for (int i = 0; i < repeats; i++) SendMessageA(grid, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
        double time = (Now() - start) / repeats;
        ReleaseDC(grid, dc);
        return time;
    }
    // The same through WM_PAINT, which adds Wine's copy of the window to the
    // X server after each paint.
    double PaintTime(int repeats = 40)
    {
        InvalidateRect(grid, nullptr, TRUE);
        UpdateWindow(grid);
        double start = Now();
        for (int i = 0; i < repeats; i++) {
            InvalidateRect(grid, nullptr, TRUE);
            UpdateWindow(grid);
        }
        return (Now() - start) / repeats;
    }
};

void SizeClient(HWND window, int width, int height)
{
    MoveWindow(window, 0, 0, width, height, TRUE);
    for (int i = 0; i < 3; i++) {
        RECT client, frame;
        GetClientRect(window, &client);
        GetWindowRect(window, &frame);
        int w = frame.right - frame.left + width - client.right, h = frame.bottom - frame.top + height - client.bottom;
        MoveWindow(window, 0, 0, w, h, TRUE);
        Bench::Pump();
    }
}

char SavePath[2 * MAX_PATH];
BOOL WINAPI AnswerSaveDialog(LPOPENFILENAMEA dialog)
{
    lstrcpynA(dialog->lpstrFile, SavePath, dialog->nMaxFile);
    return TRUE;
}

// The grid tells its parent when a sort has put its new order in place.
bool SelectionChanged = false;
LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR *>(lParam)->code == (UINT)GN_SELCHANGED) SelectionChanged = true;
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char **argv)
{
    // "grid_bench sort": the sort and the find alone.
    bool sortOnly = argc > 1 && strcmp(argv[1], "sort") == 0;
    RegisterGridOutputClass();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GridBenchParent";
    RegisterClassA(&wc);
    Bench bench;
    bench.parent = CreateWindowExA(0, "GridBenchParent", "grid bench", WS_POPUP | WS_VISIBLE, 0, 0, 2000, 1150,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    bench.grid = CreateWindowExA(WS_EX_CLIENTEDGE, GRID_CLASS_NAME, "",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL, 0, 0, 1920, 1080,
                                 bench.parent, (HMENU)4, GetModuleHandleA(nullptr), nullptr);
    SetFocus(bench.grid);

    double start = 0;
    if (!sortOnly) {
    printf("Painting a 1920 x 1080 grid, average of 40 full paints: the drawing function into the window's DC"
           " [and the whole WM_PAINT round trip including Wine's copy to the X server]\n");
    bench.Attach(nullptr);
    SizeClient(bench.grid, 1920, 1080);
    printf("  no result (background only): %.2f ms [%.2f ms]\n", bench.DrawTime(), bench.PaintTime());
    struct Case {
        int32_t Rows, Columns;
    } cases[] = {{1000, 20}, {1000000, 20}, {1000, 200}, {100000, 200}};
    for (const Case &c : cases) {
        bench.Attach(MakeResult(c.Rows, c.Columns));
        SizeClient(bench.grid, 1920, 1080);
        RECT client;
        GetClientRect(bench.grid, &client);
        double top = bench.DrawTime(), topPaint = bench.PaintTime();
        SendMessageA(bench.grid, WM_VSCROLL, SB_BOTTOM, 0);
        for (int i = 0; i < 8; i++) SendMessageA(bench.grid, WM_HSCROLL, SB_PAGERIGHT, 0);
        double end = bench.DrawTime(), endPaint = bench.PaintTime();
        SendMessageA(bench.grid, WM_COMMAND, CMD_SELECTALL, 0);
        double selected = bench.DrawTime(), selectedPaint = bench.PaintTime();
        printf("  %7d rows x %3d columns (client %d x %d): top left %.2f ms [%.2f], scrolled to the end %.2f ms "
               "[%.2f], all selected %.2f ms [%.2f]\n",
               c.Rows, c.Columns, (int)client.right, (int)client.bottom, top, topPaint, end, endPaint, selected,
               selectedPaint);
    }

    printf("Select All, Copy and Save of 1,000,000 rows x 5 columns:\n");
    bench.Attach(MakeResult(1000000, 5));
    SizeClient(bench.grid, 1920, 1080);
    start = Now();
    SendMessageA(bench.grid, WM_COMMAND, CMD_SELECTALL, 0);
    double selectAll = Now() - start;
    start = Now();
    SendMessageA(bench.grid, WM_COMMAND, CMD_COPY, 0);
    double copy = Now() - start;
    size_t copied = 0;
    if (OpenClipboard(bench.parent)) {
        HANDLE data = GetClipboardData(CF_TEXT);
        const char *text = data ? static_cast<const char *>(GlobalLock(data)) : nullptr;
        copied = text ? strlen(text) : 0;
        if (text) GlobalUnlock(data);
        CloseClipboard();
    }
    printf("  Select All %.1f ms, then Copy %.1f ms (%.1f ms together; %zu bytes on the clipboard)\n", selectAll, copy,
           selectAll + copy, copied);

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    snprintf(SavePath, sizeof SavePath, "%sgrid-bench-export.txt", temp);
    GridDialogFunctions.GetSaveFileName = AnswerSaveDialog;
    start = Now();
    SendMessageA(bench.grid, WM_COMMAND, CMD_SAVEAS, 0);
    double save = Now() - start;
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    GetFileAttributesExA(SavePath, GetFileExInfoStandard, &attributes);
    printf("  Save %.1f ms (%lu bytes written)\n", save, (unsigned long)attributes.nFileSizeLow);
    DeleteFileA(SavePath);

    printf("Holding Page Down through 1,000,000 rows (each key moves, scrolls and repaints):\n");
    RECT first = {0, 0, 0, 0};
    SendMessageA(bench.grid, WM_GRID_GETCELLRECT, 0, (LPARAM)&first);
    POINT cell = {first.left + 5, first.top + 5};
    SendMessageA(bench.grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cell.x, cell.y));
    SendMessageA(bench.grid, WM_LBUTTONUP, 0, MAKELPARAM(cell.x, cell.y));
    const int keys = 300;
    std::vector<double> times;
    for (int i = 0; i < keys; i++) {
        double t = Now();
        SendMessageA(bench.grid, WM_KEYDOWN, VK_NEXT, 1);
        times.push_back(Now() - t);
        Bench::Pump();
    }
    std::sort(times.begin(), times.end());
    // Without Shift the cell cursor carries a selection of its own cell.
    GRIDRANGE reached = {};
    SendMessageA(bench.grid, WM_GRID_GETSELECTION, 0, (LPARAM)&reached);
    double total = 0;
    for (double t : times) total += t;
    printf("  %d keys: %.2f ms each on average, %.2f ms at the slowest; the cursor reached row %d "
           "(a key repeat of 30 per second leaves 33 ms per key)\n",
           keys, total / keys, times.back(), reached.Top + 1);

    }

    printf("Sorting (the engine alone, then through the window with its thread), and finding:\n");
    struct SortCase {
        int32_t Rows;
        bool Numbers, Words, Accents;
        const char *Name;
        double Target;
    } sorts[] = {{1000000, true, false, false, "1,000,000 integers", 500},
                 {1000000, false, true, false, "1,000,000 texts (words of random ASCII letters)", 1500},
                 {1000000, false, true, true, "1,000,000 texts (words, one in eight with an \xC3\xA9)", 1500},
                 {1000000, false, false, false, "1,000,000 texts (\"name\" and a number: 5 letters alike)", 1500},
                 {10000000, true, false, false, "10,000,000 integers", 5000}};
    for (const SortCase &c : sorts) {
        bench.Attach(MakeSortColumn(c.Rows, c.Numbers, c.Words, c.Accents));
        double before = ResidentMiB();
        ROWORDER order{};
        double t = Now();
        bool sorted = SortRows(bench.buffer, c.Rows, 0, false, nullptr, &order);
        double engine = Now() - t;
        double kept = ResidentMiB() - before;
        FreeRowOrder(&order);
        RECT cell = {0, 0, 0, 0};
        SendMessageA(bench.grid, WM_GRID_GETCELLRECT, 0, (LPARAM)&cell);
        SendMessageA(bench.grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cell.left + 5, cell.top + 5));
        SendMessageA(bench.grid, WM_LBUTTONUP, 0, MAKELPARAM(cell.left + 5, cell.top + 5));
        Bench::Pump();
        SelectionChanged = false;
        t = Now();
        SendMessageA(bench.grid, WM_COMMAND, CMD_SORTDESCENDING, 0);
        double slowest = 0;
        // The window answers while the thread sorts: the longest turn of its
        // message loop shows it.
        while (!SelectionChanged) {
            double turn = Now();
            MSG message;
            if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            else Sleep(1);
            slowest = std::max(slowest, Now() - turn);
            if (Now() - t > 60000) break;
        }
        double window = Now() - t;
        printf("  %s: %.0f ms (target %.0f ms)%s; through the window %.0f ms, its slowest message %.1f ms; "
               "memory kept %.1f MiB = %.1f bytes a row (8 a row at most while sorting)\n",
               c.Name, engine, c.Target, sorted ? "" : " FAILED", window, slowest, kept,
               kept * 1048576.0 / c.Rows);
    }

    // 10,000,000 rows, none holding the text: in the order sorted last, then
    // in the server's.
    UINT findMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
    for (const char *orderName : {"sorted", "the server's order"}) {
        FINDREPLACEA request = {};
        request.lStructSize = sizeof request;
        char what[] = "no such text";
        request.lpstrFindWhat = what;
        request.Flags = FR_FINDNEXT | FR_DOWN;
        double slowest = 0;
        start = Now();
        SendMessageA(bench.grid, findMessage, 0, (LPARAM)&request);
        for (;;) {
            MSG message;
            double turn = Now();
            if (!PeekMessageA(&message, bench.grid, 0, 0, PM_REMOVE)) break;
            DispatchMessageA(&message);
            slowest = std::max(slowest, Now() - turn);
        }
        printf("  Find through 10,000,000 rows (%s) without a match: %.0f ms (target 2000 ms), searched in slices "
               "of at most %.1f ms between which the window answers\n",
               orderName, Now() - start, slowest);
        SendMessageA(bench.grid, WM_COMMAND, CMD_ORIGINALORDER, 0);
    }

    DestroyWindow(bench.parent);
    FreeGridBuffer(bench.buffer);
    return 0;
}
