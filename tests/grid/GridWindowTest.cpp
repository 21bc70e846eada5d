// The grid window's state, geometry and painting, with buffers made by hand
// in a real window; painting is checked on the pixels it produces.
#include "GridFixture.h"

#include <commctrl.h>

#include <functional>

namespace {

// An "id" of 1 to rows and a text beside it.
GRIDBUFFER *MakeIdsAndNames(int rows)
{
    return MakeBuffer(
        {"id", "name"}, rows, [](int r, int c) { return c ? std::string("ab") : std::to_string(r + 1); }, "0");
}

std::string Shown(const char *text, GridFit fit) { return std::string(text, fit.Kept) + std::string(fit.Dots, '.'); }

TEST(GridShortening, CellTextAtTheEdgesOfItsCapacity)
{
    EXPECT_EQ("abcdefgh", Shown("abcdefgh", FitCellText("abcdefgh", 8)));
    EXPECT_EQ("abcde...", Shown("abcdefghi", FitCellText("abcdefghi", 8)));
    EXPECT_EQ("abcde...", Shown("abcdefghijklm", FitCellText("abcdefghijklm", 8)));
    EXPECT_EQ("...", Shown("abcd", FitCellText("abcd", 3)));
    EXPECT_EQ("abc", Shown("abc", FitCellText("abc", 3)));
    EXPECT_EQ("...", Shown("a", FitCellText("a", 0)));
    EXPECT_EQ("", Shown("", FitCellText("", 0)));
    EXPECT_EQ("...", Shown("", FitCellText("", -1)));
}

TEST(GridShortening, HeaderFittedToFourThenCutToTheCapacity)
{
    EXPECT_EQ("a..", Shown("abcdef", FitHeaderText("abcdef", 3)));
    EXPECT_EQ("a.", Shown("abcdef", FitHeaderText("abcdef", 2)));
    EXPECT_EQ("", Shown("abcdef", FitHeaderText("abcdef", 0)));
    EXPECT_EQ("", Shown("abcdef", FitHeaderText("abcdef", -1)));
    EXPECT_EQ("abc", Shown("abc", FitHeaderText("abc", 3)));
    EXPECT_EQ("abcd", Shown("abcd", FitHeaderText("abcd", 4)));
    EXPECT_EQ("a...", Shown("abcde", FitHeaderText("abcde", 4)));
    EXPECT_EQ("abcde...", Shown("abcdefghijk", FitHeaderText("abcdefghijk", 8)));
}

TEST(GridShortening, CutsNeverSplitAUtf8Character)
{
    // "aü" + "€" + "b": bytes 61 C3BC E282AC 62, seven in all.
    const char *text = "a\xC3\xBC\xE2\x82\xAC" "b";
    EXPECT_EQ(std::string(text), Shown(text, FitCellText(text, 7)));
    EXPECT_EQ("a\xC3\xBC...", Shown(text, FitCellText(text, 6)));   // 3 bytes kept
    EXPECT_EQ("a...", Shown(text, FitCellText(text, 5)));           // 2 would split ü
    EXPECT_EQ("a\xC3\xBC...", Shown(text, FitHeaderText(text, 6)));
    EXPECT_EQ("a...", Shown(text, FitHeaderText(text, 5)));
    const char *accents = "\xC3\xA9\xC3\xA9"; // "éé": fits 4 whole, then cut to 3
    EXPECT_EQ("\xC3\xA9", Shown(accents, FitHeaderText(accents, 3)));
    const char *wide = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";      // three euro signs
    EXPECT_EQ("\xE2\x82\xAC...", Shown(wide, FitCellText(wide, 7))); // 4 kept would split the second
}

using GridLayout = GridFixture;

TEST_F(GridLayout, CreatedEmptyWithItsDefaults)
{
    OUTPUTDATA *state = State();
    ASSERT_TRUE(state);
    EXPECT_EQ(nullptr, state->Data);
    EXPECT_EQ(30, state->RowNumWidth);
    EXPECT_EQ(state->HeaderHeight, GridRowHeight(state));
    EXPECT_TRUE(state->Selection.Empty());
    EXPECT_EQ(-2, state->PressedRow);
    EXPECT_STREQ("Untitled", state->SaveDialog.lpstrFile);
    EXPECT_EQ(0x2006u, state->SaveDialog.Flags);
    EXPECT_STREQ("txt", state->SaveDialog.lpstrDefExt);
    EXPECT_STREQ("Tab-separated text (*.txt)", state->SaveDialog.lpstrFilter) << "the first type, proposed";
    EXPECT_EQ(1u, state->SaveDialog.nFilterIndex);
    EXPECT_EQ(sizeof(OPENFILENAMEA), state->SaveDialog.lStructSize);
    ASSERT_TRUE(state->ContextMenu);
}

TEST_F(GridLayout, RowNumberColumnFollowsTheDigitsOfTheRowCount)
{
    Show(MakeIds(9));
    EXPECT_EQ(30, State()->RowNumWidth);
    Show(MakeIds(123456));
    EXPECT_EQ(6 * State()->Metrics.tmAveCharWidth + 10, State()->RowNumWidth);
    SCROLLINFO info = {sizeof info, SIF_ALL};
    GetScrollInfo(grid, SB_VERT, &info);
    EXPECT_EQ(0, info.nMin);
    EXPECT_EQ(123455, info.nMax);
    EXPECT_EQ(GridVisibleRows(grid, State()), (int)info.nPage);
}

TEST_F(GridLayout, ResultWithoutRowsHasAnEmptyRangeAndNoBorders)
{
    Show(MakeIdsAndNames(0));
    SCROLLINFO info = {sizeof info, SIF_ALL};
    GetScrollInfo(grid, SB_VERT, &info);
    EXPECT_EQ(0, info.nMax);
    EXPECT_EQ(1u, info.nPage);
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(ColumnLeft(1), 3));
    EXPECT_EQ(-1, State()->HotBorder);
}

TEST_F(GridLayout, HitTestOnBordersHeaderAndRowNumbers)
{
    const char *texts[] = {"abc", "defgh", "x"};
    Show(MakeBuffer(
        {"id", "a", "b", "c"}, 20, [&](int r, int c) { return c ? texts[c - 1] : std::to_string(r + 1); }, "0"));
    OUTPUTDATA *state = State();
    int boundary = ColumnLeft(3); // between columns 2 and 3
    EXPECT_EQ(3, HitColumn(GridHitTest(state, boundary, SlotTop(2))));
    EXPECT_EQ(2, HitColumn(GridHitTest(state, boundary - 1, SlotTop(2))));
    EXPECT_EQ(2, HitSlot(GridHitTest(state, boundary, SlotTop(2))));
    EXPECT_EQ(-1, HitSlot(GridHitTest(state, boundary, state->HeaderHeight - 1)));
    EXPECT_EQ(-1, HitColumn(GridHitTest(state, state->RowNumWidth - 1, 30)));
    EXPECT_EQ(0, HitColumn(GridHitTest(state, state->RowNumWidth, 30)));
    int right = ColumnLeft(4);
    EXPECT_EQ(3, HitColumn(GridHitTest(state, right, 30)));
    EXPECT_EQ(-2, HitColumn(GridHitTest(state, right + 1, 30)));
    // Scrolled sideways the columns move, the row numbers do not.
    Resize(150, 300);
    SendMessageA(grid, WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(1, state->ScrollX);
    EXPECT_EQ(3, HitColumn(GridHitTest(state, boundary - 1, 30)));
    EXPECT_EQ(-1, HitColumn(GridHitTest(state, 2, 30)));
}

TEST_F(GridLayout, BordersCloserThanTenPixelsPickTheLeftColumn)
{
    const char *texts[] = {"a", "c"};
    Show(MakeBuffer({"id", "b", "d"}, 5, [&](int r, int c) { return c ? texts[c - 1] : std::to_string(r + 1); }, "0"));
    buffer->ColWidths[1] = 6;
    InvalidateRect(grid, nullptr, FALSE);
    UpdateWindow(grid);
    int border0 = ColumnLeft(1), border1 = ColumnLeft(2);
    ASSERT_EQ(6, border1 - border0);
    POINT between = {border0 + 3, 5};
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(between.x, between.y));
    EXPECT_EQ(0, State()->HotBorder);
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border1 + 4, 5));
    EXPECT_EQ(1, State()->HotBorder);
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border0, State()->HeaderHeight + 2));
    EXPECT_EQ(-1, State()->HotBorder); // below the header band
    // The drag takes the column the hover named.
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(between.x, between.y));
    Press(between);
    EXPECT_TRUE(State()->Resizing);
    POINT further = {between.x + 40, 5};
    MoveTo(further);
    Release(further);
    EXPECT_EQ(buffer->TextWidths[0] + 40, buffer->ColWidths[0]);
    EXPECT_EQ(6, buffer->ColWidths[1]);
}

TEST_F(GridLayout, GrowingKeepsTheLastRowAtTheBottom)
{
    Show(MakeIds(100));
    RECT client = Resize(600, 300);
    SendMessageA(grid, WM_VSCROLL, SB_BOTTOM, 0);
    int visible = GridVisibleRowsFor(State(), client.bottom);
    EXPECT_EQ(100 - visible, GridTopRow(State()));
    client = Resize(600, 500);
    visible = GridVisibleRowsFor(State(), client.bottom);
    EXPECT_EQ(100 - visible, GridTopRow(State()));
    Resize(600, 2500);
    EXPECT_EQ(0, GridTopRow(State()));
}

TEST_F(GridLayout, GrowingKeepsTheRightEdgeOfTheLastColumn)
{
    // Eight columns of 324 pixels.
    Show(MakeRepeats(8, 60, 1));
    ASSERT_EQ(8 * 324, State()->TotalWidth);
    RECT client = Resize(700, 300);
    for (int i = 0; i < 20; i++) SendMessageA(grid, WM_HSCROLL, SB_PAGERIGHT, 0);
    int area = client.right - State()->RowNumWidth;
    EXPECT_EQ(State()->TotalWidth - area, State()->ScrollX);
    client = Resize(1000, 300);
    area = client.right - State()->RowNumWidth;
    EXPECT_EQ(State()->TotalWidth - area, State()->ScrollX);
    Resize(3000, 300);
    EXPECT_EQ(0, State()->ScrollX);
}

TEST_F(GridLayout, AttachingResetsScrollingSelectionAndCursor)
{
    Show(MakeBuffer({"id", "twice"}, 200, [](int r, int c) { return std::to_string((r + 1) * (c + 1)); }, "01"));
    SendMessageA(grid, WM_VSCROLL, SB_PAGEDOWN, 0);
    Click(CellPoint(GridTopRow(State()) + 1, 1));
    ASSERT_FALSE(State()->Selection.Empty());
    Show(MakeIds(50));
    EXPECT_EQ(0, GridTopRow(State()));
    EXPECT_EQ(0, State()->ScrollX);
    EXPECT_TRUE(State()->Selection.Empty());
    EXPECT_EQ(-1, State()->CursorRow);
    EXPECT_EQ(1, State()->BorderRegions.Length());
    SendMessageA(grid, WM_GRID_CLEARSELECTION, 0, 0);
    ShowNothing();
    EXPECT_EQ(0, State()->BorderRegions.Length());
}

// What others read of the grid, asked through its messages: the buffer, the
// selection however it was dragged, where a cell is drawn.
TEST_F(GridLayout, MessagesTellTheBufferTheSelectionAndWhereACellIs)
{
    EXPECT_EQ(0, SendMessageA(grid, WM_GRID_GETBUFFER, 0, 0));
    EXPECT_FALSE(SendMessageA(grid, WM_GRID_GETSELECTION, 0, 0));
    Show(MakeIdsAndNames(30));
    EXPECT_EQ((LRESULT)buffer, SendMessageA(grid, WM_GRID_GETBUFFER, 0, 0));
    Press(CellPoint(4, 1));
    MoveTo(CellPoint(2, 0));
    Release(CellPoint(2, 0));
    GRIDRANGE cells = {};
    EXPECT_TRUE(SendMessageA(grid, WM_GRID_GETSELECTION, 0, (LPARAM)&cells));
    EXPECT_EQ((std::vector<int>{2, 4, 0, 1}), (std::vector<int>{cells.Top, cells.Bottom, cells.Left, cells.Right}));

    // Scrolled both ways, a cell's corners are where the hit test finds it.
    Resize(150, 300);
    SendMessageA(grid, WM_VSCROLL, SB_LINEDOWN, 0);
    SendMessageA(grid, WM_HSCROLL, SB_LINERIGHT, 0);
    RECT cell = {1, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(grid, WM_GRID_GETCELLRECT, 5, (LPARAM)&cell));
    for (POINT corner : {POINT{cell.left, cell.top}, POINT{cell.right - 1, cell.bottom - 1}})
        EXPECT_EQ((DWORD)MAKELONG(1, 4), GridHitTest(State(), corner.x, corner.y));
    RECT corner = {-1, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(grid, WM_GRID_GETCELLRECT, (WPARAM)-1, (LPARAM)&corner));
    EXPECT_EQ((DWORD)MAKELONG(0xFFFF, 0xFFFF), GridHitTest(State(), corner.right - 1, corner.bottom - 1));
    RECT none[2] = {{2, 0, 0, 0}, {0, 0, 0, 0}};
    EXPECT_FALSE(SendMessageA(grid, WM_GRID_GETCELLRECT, 0, (LPARAM)&none[0])) << "no third column";
    EXPECT_FALSE(SendMessageA(grid, WM_GRID_GETCELLRECT, 30, (LPARAM)&none[1])) << "no 31st row";

    // The corner of a result without rows selects it, but no cell.
    Show(MakeIds(0));
    Click(POINT{3, 3});
    EXPECT_TRUE(SendMessageA(grid, WM_GRID_GETSELECTION, 0, (LPARAM)&cells));
    EXPECT_GT(cells.Top, cells.Bottom);
}

TEST_F(GridLayout, FocusIsReportedToTheParent)
{
    SetFocus(grid);
    EXPECT_TRUE(State()->Focused);
    SetFocus(parent);
    EXPECT_FALSE(State()->Focused);
    EXPECT_EQ((std::vector<int>{(int)NM_SETFOCUS, (int)NM_KILLFOCUS}), GridNotifications);
}

// Paints the grid into a 32-bit bitmap through WM_PRINTCLIENT, which draws
// as WM_PAINT does, and reads its pixels.
class GridPixels : public GridFixture {
protected:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    RECT client = {};

    void Paint()
    {
        client = Client();
        if (!dc) {
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = client.right;
            info.bmiHeader.biHeight = -client.bottom;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            void *bits;
            dc = CreateCompatibleDC(nullptr);
            bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            old = SelectObject(dc, bitmap);
        }
        SendMessageA(grid, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
    }
    COLORREF At(int x, int y) { return GetPixel(dc, x, y); }
    void TearDown() override
    {
        if (dc) {
            SelectObject(dc, old);
            DeleteObject(bitmap);
            DeleteDC(dc);
        }
        GridFixture::TearDown();
    }
};

const COLORREF GridLine = RGB(212, 208, 200);

TEST_F(GridPixels, NilBufferPaintsOnlyTheWindowColour)
{
    Paint();
    for (int y = 0; y < client.bottom; y += 7)
        for (int x = 0; x < client.right; x += 13) ASSERT_EQ(GetSysColor(COLOR_WINDOW), At(x, y)) << x << "," << y;
}

TEST_F(GridPixels, HeaderBandCornerAndGridLines)
{
    Show(MakeIdsAndNames(30));
    Paint();
    OUTPUTDATA *state = State();
    int header = state->HeaderHeight, width0 = buffer->ColWidths[0];
    int left1 = ColumnLeft(1), right0 = left1 - 1;
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(4, 4)) << "corner cell";
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), At(state->RowNumWidth - 1, 4)) << "corner's right edge";
    EXPECT_EQ(RGB(0, 0, 0), At(client.right - 2, header - 1)) << "band's bottom line";
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(client.right - 2, 4)) << "band right of the columns";
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), At(ColumnLeft(0), 5)) << "header cell's left edge";
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), At(right0, 5)) << "header cell's right edge";
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(right0 - 2, 4)) << "inside the header cell";
    // Cells: grid lines on the last pixel column and below each row.
    int top = SlotTop(1);
    EXPECT_EQ(GridLine, At(right0, top + 5));
    EXPECT_EQ(GridLine, At(ColumnLeft(0) + width0 / 2, SlotTop(2)));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), At(right0 - 2, top + 5));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(4, top + 5)) << "row number cell";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), At(client.right - 2, top + 5)) << "right of the last column";
}

TEST_F(GridPixels, ResultWithoutRowsShowsOnlyTheHeader)
{
    Show(MakeIds(0));
    Paint();
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(4, 4));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), At(4, State()->HeaderHeight + 5)) << "no row numbers";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), At(ColumnLeft(1) - 1, State()->HeaderHeight + 5)) << "no grid lines";
}

TEST_F(GridPixels, SelectionInHighlightWhileFocusedAndGreyOtherwise)
{
    Show(MakeIdsAndNames(30));
    SetFocus(grid);
    Press(CellPoint(2, 0));
    MoveTo(CellPoint(3, 1));
    Release(CellPoint(3, 1));
    Paint();
    int inside = ColumnLeft(1) - 3; // right end of column 0, clear of its short text
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), At(inside, SlotTop(3) + 5));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), At(ColumnLeft(1) - 1, SlotTop(3) + 5)) << "no inner grid line";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), At(inside, SlotTop(1) + 5)) << "row above the selection";
    // The cursor cell (2, 0) carries a dotted focus rectangle on its edge.
    int differing = 0;
    for (int x = ColumnLeft(0); x < ColumnLeft(1); x++)
        differing += At(x, SlotTop(2)) != GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(differing, 5);

    SetFocus(parent);
    Paint();
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(inside, SlotTop(3) + 5));
    differing = 0;
    for (int x = ColumnLeft(0) + 1; x < ColumnLeft(1) - 1; x++)
        differing += At(x, SlotTop(2)) != GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(0, differing) << "no focus rectangle without the focus";
}

TEST_F(GridPixels, ScrolledCellsNeverCoverTheRowNumbersOrTheCorner)
{
    Show(MakeRepeats(3, 60, 10));
    SetFocus(grid);
    SendMessageA(grid, WM_COMMAND, 113, 0); // everything in highlight colours
    for (int i = 0; i < 10; i++) SendMessageA(grid, WM_HSCROLL, SB_LINERIGHT, 0);
    Paint();
    OUTPUTDATA *state = State();
    ASSERT_EQ(10, state->ScrollX);
    // Column 0's left edge now lies at RowNumWidth - 10, under the corner.
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(state->RowNumWidth - 10, 5));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), At(state->RowNumWidth - 5, SlotTop(1) + 10));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), At(state->RowNumWidth + 1, SlotTop(1) + 10));
}

// A NULL is drawn grey, the text 'NULL' in the window's text colour, also
// inside a selection of a grid without the focus.
TEST_F(GridPixels, NullIsGreyAndTheTextNullBlack)
{
    Show(MakeBuffer({"n", "s"}, {{std::nullopt, "NULL"}, {std::nullopt, "NULL"}}));
    Click(RowNumberPoint(1));
    SetFocus(parent);
    Paint();
    auto count = [this](int row, int column, COLORREF colour) {
        int found = 0;
        for (int x = ColumnLeft(column) + 1; x < ColumnLeft(column) + buffer->ColWidths[column] - 1; x++)
            for (int y = SlotTop(row) + 1; y < SlotTop(row + 1) - 1; y++) found += At(x, y) == colour;
        return found;
    };
    COLORREF grey = GetSysColor(COLOR_GRAYTEXT), text = GetSysColor(COLOR_WINDOWTEXT);
    ASSERT_NE(grey, text);
    for (int row : {0, 1}) {
        EXPECT_GT(count(row, 0, grey), 10) << row;
        EXPECT_EQ(0, count(row, 0, text)) << row;
        EXPECT_GT(count(row, 1, text), 10) << row;
        EXPECT_EQ(0, count(row, 1, grey)) << row;
    }
}

TEST_F(GridPixels, TheWindowShowsWhatTheDrawingFunctionDraws)
{
    Show(MakeIdsAndNames(30));
    InvalidateRect(grid, nullptr, TRUE);
    UpdateWindow(grid);
    Paint();
    HDC window = GetDC(grid);
    int same = 0, checked = 0;
    for (int y = 0; y < client.bottom; y += 9)
        for (int x = 0; x < client.right; x += 11, checked++) same += GetPixel(window, x, y) == At(x, y);
    ReleaseDC(grid, window);
    EXPECT_EQ(checked, same);
}

} // namespace

namespace {

// The columns of a cell's row band that hold ink (text colour) between the
// cell's left edge and its right edge.
int InkWidth(std::function<COLORREF(int, int)> at, int left, int right, int top, int bottom)
{
    int first = -1, last = -1;
    for (int x = left; x < right; x++)
        for (int y = top; y < bottom; y++)
            if (at(x, y) == RGB(0, 0, 0)) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

} // namespace

// UTF-8 texts are drawn as their characters: "ü" is one glyph, not the two
// ("Ã¼") that reading its bytes in a Western code page would give.
TEST_F(GridPixels, Utf8TextIsDrawnAsItsCharacters)
{
    Show(MakeBuffer({"u", "plain"}, {{"\xC3\xBC", "u"}}));
    Paint();
    int top = SlotTop(0) + 1, bottom = SlotTop(1) - 1;
    auto at = [this](int x, int y) { return At(x, y); };
    int umlaut = InkWidth(at, ColumnLeft(0) + 1, ColumnLeft(1) - 1, top, bottom);
    int plain = InkWidth(at, ColumnLeft(1) + 1, ColumnLeft(1) + State()->Data->ColWidths[1] - 1, top, bottom);
    ASSERT_GT(plain, 0);
    EXPECT_GT(umlaut, 0);
    EXPECT_LE(umlaut, plain + 2) << "one glyph, like the plain u";
}

// CJK text through the font links of the prefix, emoji from the symbol font:
// glyphs, not the box of a character the font lacks (U+0378 is unassigned).
TEST_F(GridPixels, CjkAndEmojiAreDrawnAsGlyphs)
{
    Show(MakeBuffer({"a", "b", "c", "d"}, {{"\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\xCD\xB8", "\xCD\xB8\xCD\xB8"}}));
    Paint();
    int top = SlotTop(0) + 1, bottom = SlotTop(1) - 1;
    // The ink of a cell, column by column from its left edge.
    auto ink = [&](int column) {
        std::vector<int> mask;
        int left = ColumnLeft(column) + 1, right = ColumnLeft(column) + buffer->ColWidths[column] - 2;
        for (int x = left; x < right; x++) {
            int bits = 0;
            for (int y = top; y < bottom; y++) bits = bits * 3 + (At(x, y) != GetSysColor(COLOR_WINDOW));
            mask.push_back(bits);
        }
        return mask;
    };
    std::vector<int> cjk = ink(0), emoji = ink(1), missing = ink(2), twoMissing = ink(3);
    auto inked = [](const std::vector<int> &mask) { return std::count_if(mask.begin(), mask.end(), [](int m) { return m != 0; }); };
    ASSERT_GT(inked(missing), 0);
    EXPECT_GT(inked(cjk), 0);
    EXPECT_GT(inked(emoji), 0);
    size_t width = std::min({cjk.size(), emoji.size(), missing.size()});
    cjk.resize(width), emoji.resize(width), missing.resize(width), twoMissing.resize(width);
    EXPECT_NE(missing, cjk) << "日 drawn as a missing glyph";
    EXPECT_NE(missing, emoji) << "the emoji drawn as a missing glyph";
    EXPECT_NE(twoMissing, emoji) << "the emoji drawn as two missing halves";
}
