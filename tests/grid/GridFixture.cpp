#include "GridFixture.h"

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

// Widens the column to fit the text (or the "NULL" of SQL NULL), as a capture
// does.
void Widen(GRIDBUFFER *buffer, int column, const HandCell &value)
{
    int32_t width = value ? TextPixelWidth(value->size()) : NullTextWidth;
    if (width > buffer->ColWidths[column]) buffer->ColWidths[column] = width;
}

bool FillBuffer(GRIDBUFFER *buffer, const std::vector<std::string> &names, int rows,
                const std::function<HandCell(int, int)> &cell, const std::string &numberColumns)
{
    GridStorage &storage = buffer->Storage;
    int columns = (int)names.size();
    if (!storage.AllocateArray(buffer->Fields, columns) || !storage.AllocateArray(buffer->ColWidths, columns) ||
        !storage.AllocateArray(buffer->TextWidths, columns) || !storage.AllocateArray(buffer->ColumnKinds, columns) ||
        !storage.AllocateArray(buffer->Rows, rows))
        return false;
    for (int c = 0; c < columns; c++) {
        buffer->Fields[c] = storage.CopyText(names[c].data(), names[c].size());
        buffer->ColWidths[c] = MinColumnWidth;
        Widen(buffer, c, names[c]);
        bool number = numberColumns.find((char)('0' + c)) != std::string::npos;
        buffer->ColumnKinds[c] = number ? NumberColumn : TextColumn;
    }
    std::vector<HandCell> values(columns);
    for (int r = 0; r < rows; r++) {
        TFieldList &cells = buffer->Rows[r];
        if (!storage.AllocateArray(cells, columns)) return false;
        for (int c = 0; c < columns; c++) {
            values[c] = cell(r, c);
            if (values[c] && values[c]->find('\0') != std::string::npos) cells.LengthsKept = 1;
        }
        for (int c = 0; c < columns; c++) {
            Widen(buffer, c, values[c]);
            if (!values[c]) {
                if (!buffer->NullText) buffer->NullText = storage.CopyTextWithLength("NULL", 4);
                cells[c] = const_cast<char *>(buffer->NullText);
            } else if (cells.LengthsKept) {
                cells[c] = storage.CopyTextWithLength(values[c]->data(), values[c]->size());
            } else {
                cells[c] = storage.CopyText(values[c]->data(), values[c]->size());
            }
        }
    }
    for (int c = 0; c < columns; c++) {
        buffer->TextWidths[c] = buffer->ColWidths[c];
        if (buffer->ColWidths[c] > MaxColumnWidth) buffer->ColWidths[c] = MaxColumnWidth;
    }
    return true;
}

} // namespace

GRIDBUFFER *MakeBuffer(const std::vector<std::string> &names, int rows,
                       const std::function<HandCell(int row, int column)> &cell, const std::string &numberColumns)
{
    GRIDBUFFER *buffer = NewGridBuffer();
    if (buffer && FillBuffer(buffer, names, rows, cell, numberColumns)) return buffer;
    ADD_FAILURE() << "out of memory making a buffer";
    FreeGridBuffer(buffer);
    return nullptr;
}

GRIDBUFFER *MakeBuffer(const std::vector<std::string> &names, const std::vector<std::vector<HandCell>> &rows,
                       const std::string &numberColumns)
{
    return MakeBuffer(names, (int)rows.size(), [&](int r, int c) { return rows[r][c]; }, numberColumns);
}

GRIDBUFFER *MakeIds(int rows)
{
    return MakeBuffer({"id"}, rows, [](int r, int) { return std::to_string(r + 1); }, "0");
}

GRIDBUFFER *MakeRepeats(int columns, int length, int rows)
{
    std::vector<std::string> names;
    for (int c = 0; c < columns; c++) names.push_back("c" + std::to_string(c + 1));
    return MakeBuffer(names, rows, [=](int, int c) { return std::string(length, (char)('a' + c)); });
}

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
}

void GridFixture::TearDownTestSuite()
{
    DestroyWindow(parent);
    parent = nullptr;
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

void GridFixture::Show(GRIDBUFFER *made)
{
    ASSERT_TRUE(made);
    SendMessageA(grid, WM_GRID_SETBUFFER, (WPARAM)made, 0);
    InvalidateRect(grid, nullptr, TRUE);
    UpdateWindow(grid);
    FreeGridBuffer(buffer);
    buffer = made;
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

void GridFixture::Press(POINT p, WPARAM keys)
{
    SendMessageA(grid, WM_MOUSEMOVE, keys, MAKELPARAM(p.x, p.y));
    SendMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(p.x, p.y));
}

void GridFixture::Release(POINT p) { SendMessageA(grid, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y)); }

void GridFixture::MoveTo(POINT p)
{
    POINT screen = p;
    ClientToScreen(grid, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
}

void GridFixture::Click(POINT p, WPARAM keys)
{
    Press(p, keys);
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
