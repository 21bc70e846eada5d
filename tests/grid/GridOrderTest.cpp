// Sorting the grid's rows (a view of the buffer), its context menu from the
// keyboard, and finding text in its cells.
#include "GridFixture.h"

#include "resources/resource.h"

namespace {

class GridOrder : public GridFixture {
protected:
    GridDialogs real = {};
    void SetUp() override
    {
        GridFixture::SetUp();
        real = GridDialogFunctions;
    }
    void TearDown() override
    {
        GridDialogFunctions = real;
        GridFixture::TearDown();
    }
    // The column's cells from top to bottom as shown, joined by spaces.
    std::string Column(int column)
    {
        Click(HeaderPoint(column), MK_CONTROL);
        Command(CMD_COPY);
        std::string text = ClipboardText();
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
        return text;
    }
    void Current(int row, int column)
    {
        State()->CursorRow = row, State()->CursorCol = column;
        State()->Selection.Set(row, column, row, column);
    }
};

POINT MenuPoint;
int MenusShown;
BOOL WINAPI RecordMenu(HMENU menu, UINT, int x, int y, int, HWND, const RECT *)
{
    MenuPoint = {x, y};
    MenusShown++;
    EXPECT_FALSE(GetMenuState(menu, CMD_SORTASCENDING, MF_BYCOMMAND) & MF_GRAYED);
    return TRUE;
}

// Numbers by value (DECIMALs exactly, whatever their digits), NULL first
// ascending and last descending, text by case folding beyond ASCII with
// ties by the bytes; equal values keep their order. The cursor stays on
// its row of data, Copy follows the order shown, and the server's order
// comes back.
TEST_F(GridOrder, SortsNumbersDecimalsNullsAndTextBothWaysAndBack)
{
    Show(MakeBuffer({"n", "d", "t", "k", "w"},
                    {{"10", "2.5", "\xC3\xA9t\xC3\xA9", "a", "Ab"},
                     {"-3", "12345678901234567890.000000000000000001", "Zebra", "b", "ab"},
                     {std::nullopt, "-0.5", std::nullopt, "c", "abc"},
                     {"2", "12345678901234567890", "\xC3\x89T\xC3\x89", "d", "AB"},
                     {"10", "2.50", "apple", "e", ""}},
                    "01"));
    Current(1, 0); // -3, in row "b"
    Command(CMD_SORTASCENDING);
    EXPECT_EQ(0, State()->SortColumn);
    EXPECT_FALSE(State()->SortDescending);
    EXPECT_EQ(1, State()->CursorRow) << "-3 comes after NULL";
    Command(CMD_SORTDESCENDING);
    EXPECT_EQ(3, State()->CursorRow) << "the cursor stays on -3";
    EXPECT_EQ("10 10 2 -3 NULL", Column(0));
    EXPECT_EQ("a e d b c", Column(3)) << "stable: the two 10s in the server's order";
    Current(0, 0);
    Command(CMD_SORTASCENDING);
    EXPECT_EQ("NULL -3 2 10 10", Column(0));
    EXPECT_EQ("c b d a e", Column(3));

    Current(0, 1);
    Command(CMD_SORTASCENDING);
    EXPECT_EQ("-0.5 2.5 2.50 12345678901234567890 12345678901234567890.000000000000000001", Column(1));
    Current(0, 1);
    Command(CMD_SORTDESCENDING);
    EXPECT_EQ("12345678901234567890.000000000000000001 12345678901234567890 2.5 2.50 -0.5", Column(1));

    // É and é fold alike, the tie going by the bytes (É first); é comes
    // after z by its code point.
    Current(0, 2);
    Command(CMD_SORTASCENDING);
    EXPECT_EQ("NULL apple Zebra \xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9", Column(2));
    Command(CMD_SELECTALL);
    Command(CMD_COPY);
    EXPECT_EQ(0u, ClipboardText().find("NULL\t-0.5\tNULL\tc\tabc\r\n10\t2.50\tapple\te\t\r\n")) << ClipboardText();
    Current(0, 2);
    Command(CMD_SORTDESCENDING);
    EXPECT_EQ("\xC3\xA9t\xC3\xA9 \xC3\x89T\xC3\x89 Zebra apple NULL", Column(2));

    // ASCII text alike but for case goes by the bytes.
    Current(0, 4);
    Command(CMD_SORTASCENDING);
    EXPECT_EQ("e d a b c", Column(3));
    Current(0, 4);
    Command(CMD_SORTDESCENDING);
    EXPECT_EQ("c b a d e", Column(3));

    Command(CMD_ORIGINALORDER);
    EXPECT_EQ(-1, State()->SortColumn);
    EXPECT_EQ("a b c d e", Column(3));

    // Clicks on a header: ascending, descending, then the server's order;
    // another column's header starts again at ascending.
    Click(HeaderPoint(0));
    EXPECT_EQ("NULL -3 2 10 10", Column(0));
    Click(HeaderPoint(0));
    EXPECT_EQ("10 10 2 -3 NULL", Column(0));
    EXPECT_TRUE(State()->SortDescending);
    Click(HeaderPoint(3));
    EXPECT_EQ(3, State()->SortColumn);
    EXPECT_FALSE(State()->SortDescending);
    POINT header = HeaderPoint(3);
    Click(header); // a double-click is two clicks: descending, then back
    SendMessageA(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(header.x, header.y));
    Release(header);
    EXPECT_EQ(-1, State()->SortColumn);
    EXPECT_EQ("10 -3 NULL 2 10", Column(0));
}

// Shift+F10 (Wine's WM_CONTEXTMENU at -1, -1) and the Menu key open the
// menu below the current cell, with the sort offered for its column.
TEST_F(GridOrder, TheKeyboardOpensTheMenuAtTheCurrentCell)
{
    Show(MakeIds(100));
    GridDialogFunctions.TrackPopupMenu = RecordMenu;
    MenusShown = 0;
    Click(CellPoint(3, 0));
    RECT cell = {0};
    ASSERT_TRUE(SendMessageA(grid, WM_GRID_GETCELLRECT, 3, (LPARAM)&cell));
    POINT expected = {cell.left, cell.bottom};
    ClientToScreen(grid, &expected);
    SendMessageA(grid, WM_CONTEXTMENU, (WPARAM)grid, MAKELPARAM(-1, -1));
    EXPECT_EQ(1, MenusShown);
    EXPECT_EQ(expected.x, MenuPoint.x);
    EXPECT_EQ(expected.y, MenuPoint.y);
    Key(VK_APPS);
    EXPECT_EQ(2, MenusShown);
    EXPECT_EQ(expected.y, MenuPoint.y);
}

// A large result sorts on a thread of its own; Esc before it ends leaves
// the order as it was.
TEST_F(GridOrder, ASortCancelledLeavesTheOrderAsItWas)
{
    Show(MakeBuffer({"t"}, 300000, [](int r, int) { return "row " + std::to_string(300000 - r); }));
    Current(0, 0);
    Click(HeaderPoint(0)); // as the menu's Sort Ascending does
    ASSERT_TRUE(State()->SortJob) << "sorting off the window's thread";
    Key(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return !State()->SortJob; }));
    EXPECT_FALSE(State()->Order.Rows);
    EXPECT_EQ(-1, State()->SortColumn);

    Command(CMD_SORTASCENDING);
    ASSERT_TRUE(PumpUntil([&] { return !State()->SortJob; }, 30000));
    EXPECT_EQ(0, State()->SortColumn);
    const char *first[] = {"row 1", "row 10", "row 100", "row 1000", "row 10000", "row 100000", "row 100001"};
    for (int i = 0; i < 7; i++) EXPECT_STREQ(first[i], buffer->Rows[GridDataRow(State(), i)][0]);
    EXPECT_STREQ("row 99999", buffer->Rows[GridDataRow(State(), 299999)][0]);
}

// Find looks at the cells as shown (NULL as "NULL", binary as 0x...), from
// the cell after the current one, row by row, wrapping; Match case counts
// case; F3 and Shift+F3 find the next and the previous.
TEST_F(GridOrder, FindWithAndWithoutCaseWrappingAndAgain)
{
    Show(MakeBuffer({"a", "b"}, {{"Apple", "pear"},
                                 {std::nullopt, "APPLE pie"},
                                 {std::string("\x01\x02\0", 3), "null"},
                                 {"apple", "x"}}));
    Current(0, 0);
    UINT message = GridFindMessageId();
    FINDREPLACEA request{};
    request.lStructSize = sizeof request;
    char what[] = "apple";
    request.lpstrFindWhat = what;
    request.Flags = FR_FINDNEXT | FR_DOWN;
    SendMessageA(grid, message, 0, (LPARAM)&request);
    EXPECT_EQ(1, State()->CursorRow);
    EXPECT_EQ(1, State()->CursorCol) << "APPLE pie, without regard to case";
    request.Flags = FR_FINDNEXT | FR_DOWN | FR_MATCHCASE;
    SendMessageA(grid, message, 0, (LPARAM)&request);
    EXPECT_EQ(3, State()->CursorRow);
    EXPECT_EQ(0, State()->CursorCol);
    Key(VK_F3);
    EXPECT_EQ(3, State()->CursorRow) << "wrapped round to itself, the only match";
    request.Flags = FR_FINDNEXT | FR_DOWN;
    SendMessageA(grid, message, 0, (LPARAM)&request);
    EXPECT_EQ(0, State()->CursorRow) << "wrapped to the top";
    Key(VK_F3, true);
    EXPECT_EQ(3, State()->CursorRow) << "Shift+F3 goes back, wrapping";
    Key(VK_F3, true);
    EXPECT_EQ(1, State()->CursorRow);

    char null[] = "NULL";
    request.lpstrFindWhat = null;
    request.Flags = FR_FINDNEXT | FR_DOWN | FR_MATCHCASE;
    SendMessageA(grid, message, 0, (LPARAM)&request);
    EXPECT_EQ(1, State()->CursorRow);
    EXPECT_EQ(0, State()->CursorCol) << "the NULL cell, not the text null";
    char hex[] = "0x010200";
    request.lpstrFindWhat = hex;
    SendMessageA(grid, message, 0, (LPARAM)&request);
    EXPECT_EQ(2, State()->CursorRow);
    EXPECT_EQ(0, State()->CursorCol);

    // Sorted, the search goes in the order shown: b ascending shows the rows
    // APPLE pie, null, pear, x.
    Current(0, 1);
    Command(CMD_SORTASCENDING);
    Current(2, 0); // Apple
    request.lpstrFindWhat = what;
    request.Flags = FR_FINDNEXT | FR_DOWN;
    SendMessageA(grid, message, 0, (LPARAM)&request);
    EXPECT_EQ(3, State()->CursorRow);
    EXPECT_EQ(0, State()->CursorCol);
    Key(VK_F3);
    EXPECT_EQ(0, State()->CursorRow) << "wrapped to APPLE pie";
    EXPECT_EQ(1, State()->CursorCol);
    Key(VK_F3, true);
    EXPECT_EQ(3, State()->CursorRow);
    EXPECT_EQ(0, State()->CursorCol);
}

} // namespace
