#include "GridFixture.h"

MYSQL *GridFixture::mysql = nullptr;
HWND GridFixture::parent = nullptr;
std::vector<int> GridNotifications;

namespace {

LRESULT CALLBACK TestParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
        EXPECT_EQ(4u, header->idFrom);
        EXPECT_EQ(4u, wParam);
        GridNotifications.push_back((int)header->code);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void GridFixture::SetUpTestSuite()
{
    static bool registered = false;
    if (!registered) {
        ASSERT_NE(0, RegisterGridOutputClass());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = "GridTestParent";
        ASSERT_NE(0, RegisterClassA(&wc));
        registered = true;
    }
    // One parent for the suite: taking a top-level window down costs Wine
    // seconds without a window manager.
    parent = CreateWindowExA(0, "GridTestParent", "grid test", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 700, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    mysql = ConnectTestServer();
    ExecSql(mysql, "CREATE DATABASE IF NOT EXISTS grid_tests");
    ExecSql(mysql, "USE grid_tests");
}

void GridFixture::TearDownTestSuite()
{
    DestroyWindow(parent);
    parent = nullptr;
    ExecSql(mysql, "DROP DATABASE IF EXISTS grid_tests");
    mysql_close(mysql);
    mysql = nullptr;
}

void GridFixture::SetUp()
{
    GridNotifications.clear();
    ASSERT_TRUE(parent);
    grid = CreateWindowExA(WS_EX_CLIENTEDGE, GRID_CLASS_NAME, "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL, 0, 0, 800, 500, parent,
                           (HMENU)4, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(grid);
    PumpMessages();
}

void GridFixture::TearDown()
{
    if (grid) DestroyWindow(grid);
    FreeGridBuffer(buffer);
    buffer = nullptr;
    PumpMessages();
}

void GridFixture::Show(const std::string &sql)
{
    MYSQL_RES *result = QueryResult(mysql, sql);
    ASSERT_TRUE(result);
    GRIDBUFFER *captured = NewGridBuffer();
    ASSERT_TRUE(CaptureResult(captured, result));
    mysql_free_result(result);
    SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)captured, 0);
    InvalidateRect(grid, nullptr, TRUE);
    UpdateWindow(grid);
    FreeGridBuffer(buffer);
    buffer = captured;
    PumpMessages(); // the scroll bars shown or hidden by the paint resize the client area
}

void GridFixture::ShowNothing()
{
    SendMessageA(grid, WM_GRID_SETBUFFER, 0, 0);
    InvalidateRect(grid, nullptr, TRUE);
    UpdateWindow(grid);
}

RECT GridFixture::Client() const
{
    RECT client;
    GetClientRect(grid, &client);
    return client;
}

RECT GridFixture::Resize(int width, int height)
{
    MoveWindow(grid, 0, 0, width, height, TRUE);
    UpdateWindow(grid);
    PumpMessages();
    return Client();
}

int GridFixture::ColumnLeft(int column) const
{
    int x = State()->RowNumWidth - State()->ScrollX;
    for (int c = 0; c < column; c++) x += buffer->ColWidths[c];
    return x;
}

int GridFixture::SlotTop(int slot) const { return State()->HeaderHeight + slot * GridRowHeight(State()); }

POINT GridFixture::CellPoint(int row, int column) const
{
    return POINT{ColumnLeft(column) + 3, SlotTop(row - GridTopRow(State())) + 3};
}

// The middle of the header cell, clear of the border regions.
POINT GridFixture::HeaderPoint(int column) const { return POINT{ColumnLeft(column) + buffer->ColWidths[column] / 2, 3}; }

POINT GridFixture::RowNumberPoint(int row) const { return POINT{3, SlotTop(row - GridTopRow(State())) + 3}; }

void GridFixture::Press(POINT p)
{
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    SendMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
}

void GridFixture::Release(POINT p) { SendMessageA(grid, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y)); }

void GridFixture::MoveTo(POINT p)
{
    POINT screen = p;
    ClientToScreen(grid, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
}

void GridFixture::Click(POINT p)
{
    Press(p);
    Release(p);
}

void GridFixture::Key(WPARAM key, bool shift, bool control)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(grid, WM_KEYDOWN, key, 1);
    keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

LRESULT GridFixture::Command(int id) { return SendMessageA(grid, WM_COMMAND, id, 0); }

void GridFixture::EmptyTheClipboard()
{
    ASSERT_TRUE(OpenClipboard(parent));
    EmptyClipboard();
    CloseClipboard();
}
