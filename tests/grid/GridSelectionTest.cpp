// Scrolling, the cell cursor, mouse selection, column widths, and the
// commands Copy, Copy with Column Names, Select All and Save As on a real
// grid window showing buffers made by hand; the CSV and JSON it saves of a
// real server's result are read back by Python's readers.
#include "GridFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "TestFiles.h"
#include "query/ResultCapture.h"
#include "resources/resource.h"

namespace {

// Columns of the given texts, the same in every row, and a last column of
// the number 1.
GRIDBUFFER *MakeTextsAndOne(const std::vector<std::string> &names, const std::vector<std::string> &texts, int rows)
{
    std::string numbers(1, (char)('0' + texts.size()));
    return MakeBuffer(names, rows, [&](int, int c) { return c < (int)texts.size() ? texts[c] : "1"; }, numbers);
}

struct Selection {
    int Top, Bottom, Left, Right;
    bool operator==(const Selection &o) const
    {
        return Top == o.Top && Bottom == o.Bottom && Left == o.Left && Right == o.Right;
    }
};
std::ostream &operator<<(std::ostream &out, const Selection &s)
{
    return out << "rows " << s.Top << ".." << s.Bottom << ", columns " << s.Left << ".." << s.Right;
}

class GridSelection : public GridFixture {
protected:
    Selection Selected() const
    {
        GRIDRANGE cells = State()->Selection.Normalised();
        return Selection{cells.Top, cells.Bottom, cells.Left, cells.Right};
    }
    void ExpectCursor(int row, int column)
    {
        EXPECT_EQ(row, State()->CursorRow);
        EXPECT_EQ(column, State()->CursorCol);
    }
    void ShowNumbers(int rows) // columns a, b, c, d holding r, 10r, 100r, 1000r
    {
        const int factors[] = {1, 10, 100, 1000};
        Show(MakeBuffer({"a", "b", "c", "d"}, rows, [&](int r, int c) { return std::to_string((r + 1) * factors[c]); },
                        "0123"));
    }
};

// Counts the paints of the grid window, to show that a key did nothing.
WNDPROC GridProcBeforeCounting;
int PaintCount;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) PaintCount++;
    return CallWindowProcA(GridProcBeforeCounting, window, message, wParam, lParam);
}

TEST_F(GridSelection, DraggingUpAndLeftKeepsTheAnchorAndTheCursor)
{
    ShowNumbers(20);
    Press(CellPoint(5, 3));
    MoveTo(CellPoint(4, 2));
    MoveTo(CellPoint(2, 1));
    MoveTo(POINT{ColumnLeft(0) + 3, 5}); // over the header: no change
    Release(CellPoint(2, 1));
    EXPECT_EQ((Selection{2, 5, 1, 3}), Selected());
    EXPECT_EQ(5, State()->Selection.AnchorRow);
    EXPECT_EQ(3, State()->Selection.AnchorCol);
    ExpectCursor(5, 3);
    EXPECT_FALSE(State()->Selecting);
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_EQ(1, std::count(GridNotifications.begin(), GridNotifications.end(), GN_SELCHANGED));
}

TEST_F(GridSelection, ShiftStretchesAndAPlainKeyCollapses)
{
    ShowNumbers(20);
    Click(CellPoint(3, 1));
    Key(VK_DOWN, true);
    Key(VK_DOWN, true);
    EXPECT_EQ((Selection{3, 5, 1, 1}), Selected());
    ExpectCursor(5, 1);
    Key(VK_RIGHT);
    EXPECT_EQ((Selection{5, 5, 2, 2}), Selected());
    ExpectCursor(5, 2);
    Key(VK_HOME, false, true);
    ExpectCursor(0, 0);
    Key(VK_END, true, true);
    EXPECT_EQ((Selection{0, 19, 0, 3}), Selected());
}

TEST_F(GridSelection, HeaderRowNumberAndCornerSelectOnRelease)
{
    ShowNumbers(20);
    Press(HeaderPoint(2));
    EXPECT_EQ(2, State()->PressedCol);
    Release(CellPoint(7, 0)); // dragged off the header band: the pressed column
    EXPECT_EQ((Selection{0, 19, 2, 2}), Selected());
    ExpectCursor(0, 2);
    EXPECT_EQ(-1, State()->PressedCol);
    Click(HeaderPoint(1), MK_CONTROL); // a plain click would sort
    EXPECT_EQ((Selection{0, 19, 1, 1}), Selected());
    ExpectCursor(0, 1);
    Press(HeaderPoint(3));
    Release(HeaderPoint(1)); // dragged across the headers
    EXPECT_EQ((Selection{0, 19, 1, 3}), Selected());
    ExpectCursor(0, 3);
    EXPECT_EQ(-1, State()->SortColumn);

    Press(RowNumberPoint(4));
    Release(RowNumberPoint(4));
    EXPECT_EQ((Selection{4, 4, 0, 3}), Selected());
    ExpectCursor(4, 0);

    Press(POINT{3, 3});
    Release(POINT{3, 3});
    EXPECT_EQ((Selection{0, 19, 0, 3}), Selected());
    ExpectCursor(4, 0);
    EXPECT_EQ(5, std::count(GridNotifications.begin(), GridNotifications.end(), GN_SELCHANGED));
    EXPECT_EQ(-2, State()->PressedRow);
}

TEST_F(GridSelection, PressesOutsideTheCellsDoNothing)
{
    ShowNumbers(3);
    Press(POINT{ColumnLeft(4) + 20, SlotTop(1) + 3}); // right of the last column
    Release(POINT{ColumnLeft(4) + 20, SlotTop(1) + 3});
    Press(CellPoint(6, 1)); // below the last row
    Release(CellPoint(6, 1));
    EXPECT_TRUE(State()->Selection.Empty());
    EXPECT_EQ(-1, State()->CursorRow);
    EXPECT_TRUE(GridNotifications.empty() || GridNotifications.back() != GN_SELCHANGED);
}

TEST_F(GridSelection, KeysAtTheEdgesDoNothingAndDoNotRepaint)
{
    ShowNumbers(20);
    Click(CellPoint(0, 0));
    GridProcBeforeCounting = (WNDPROC)SetWindowLongPtrA(grid, GWLP_WNDPROC, (LONG_PTR)CountingProc);
    PaintCount = 0;
    Key(VK_UP);
    Key(VK_LEFT);
    EXPECT_EQ(0, PaintCount);
    ExpectCursor(0, 0);
    Key(VK_END, false, true);
    ExpectCursor(19, 3);
    PaintCount = 0;
    Key(VK_DOWN);
    Key(VK_RIGHT);
    EXPECT_EQ(0, PaintCount);
    ExpectCursor(19, 3);
    EXPECT_EQ((Selection{19, 19, 3, 3}), Selected());
}

TEST_F(GridSelection, WithoutACursorNoKeyDoesAnything)
{
    ShowNumbers(20);
    Press(POINT{3, 3});
    Release(POINT{3, 3}); // the corner selects everything but sets no cursor
    Key(VK_DOWN);
    Key(VK_NEXT);
    Key(VK_END, false, true);
    EXPECT_EQ((Selection{0, 19, 0, 3}), Selected());
    ExpectCursor(-1, -1);
}

TEST_F(GridSelection, PageKeysStopAtTheEnds)
{
    ShowNumbers(1000);
    RECT client = Resize(600, 300);
    int visible = GridVisibleRowsFor(State(), client.bottom);
    Click(CellPoint(2, 0));
    Key(VK_NEXT);
    ExpectCursor(2 + visible - 1, 0);
    Key(VK_END, false, true);
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_NEXT);
    ExpectCursor(999, 3);
    EXPECT_EQ(1000 - visible, GridTopRow(State())) << "last row at the bottom";
    Key(VK_HOME, false, true);
    Key(VK_DOWN);
    Key(VK_PRIOR);
    ExpectCursor(0, 0);
    EXPECT_EQ(0, GridTopRow(State()));
}

TEST_F(GridSelection, CursorBroughtIntoViewSideways)
{
    Show(MakeRepeats(4, 60, 5));
    RECT client = Resize(500, 300);
    Click(CellPoint(0, 0));
    Key(VK_RIGHT);
    // Column 1's right edge at the window's right edge.
    EXPECT_EQ(State()->RowNumWidth + 2 * 324 - client.right, State()->ScrollX);
    Key(VK_END);
    EXPECT_EQ(State()->RowNumWidth + 4 * 324 - client.right, State()->ScrollX);
    Key(VK_HOME);
    EXPECT_EQ(0, State()->ScrollX);
}

TEST_F(GridSelection, ScrollBarsWheelAndBottom)
{
    ShowNumbers(500);
    RECT client = Resize(600, 300);
    int page = GridVisibleRowsFor(State(), client.bottom);
    SendMessageA(grid, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(500 - page, GridTopRow(State())) << "the last row at the bottom, not the top";
    SendMessageA(grid, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(0, GridTopRow(State()));
    SendMessageA(grid, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(-120)), 0);
    EXPECT_EQ(1, GridTopRow(State()));
    SendMessageA(grid, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(-40)), 0);
    EXPECT_EQ(2, GridTopRow(State()));
    SendMessageA(grid, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(1, GridTopRow(State()));
    SendMessageA(grid, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(1 + page, GridTopRow(State()));
    SCROLLINFO info = {sizeof info, SIF_POS};
    GetScrollInfo(grid, SB_VERT, &info);
    EXPECT_EQ(1 + page, info.nPos);
    // Row numbers follow: a click on the first number selects row TopRow.
    Click(RowNumberPoint(GridTopRow(State())));
    EXPECT_EQ(1 + page, State()->Selection.AnchorRow);
}

TEST_F(GridSelection, HorizontalBarScrollsPixelsAndPages)
{
    Show(MakeRepeats(3, 60, 5));
    RECT client = Resize(500, 300);
    SendMessageA(grid, WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(1, State()->ScrollX);
    SendMessageA(grid, WM_HSCROLL, SB_PAGERIGHT, 0);
    EXPECT_EQ(1 + client.right - State()->RowNumWidth, State()->ScrollX);
    SendMessageA(grid, WM_HSCROLL, SB_PAGELEFT, 0);
    SendMessageA(grid, WM_HSCROLL, SB_LINELEFT, 0);
    SendMessageA(grid, WM_HSCROLL, SB_LINELEFT, 0);
    EXPECT_EQ(0, State()->ScrollX);
}

TEST_F(GridSelection, BorderDragStopsAtOneCharacterAndDoubleClickRestoresTheTextWidth)
{
    Show(MakeTextsAndOne({"v", "w"}, {std::string(100, 'x')}, 3));
    ASSERT_EQ(324, buffer->ColWidths[0]);
    POINT border = {ColumnLeft(1) - 1, 5};
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border.x, border.y));
    ASSERT_EQ(0, State()->HotBorder);
    Press(border);
    MoveTo(POINT{border.x - 1000, 5});
    Release(POINT{border.x - 1000, 5});
    EXPECT_EQ(State()->Metrics.tmAveCharWidth + 4, buffer->ColWidths[0]);
    EXPECT_EQ(State()->Metrics.tmAveCharWidth + 4 + buffer->ColWidths[1], State()->TotalWidth);

    border = POINT{ColumnLeft(1) - 1, 5};
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border.x, border.y));
    ASSERT_EQ(0, State()->HotBorder);
    SendMessageA(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(border.x, border.y));
    EXPECT_EQ(804, buffer->ColWidths[0]);
    EXPECT_EQ(804 + buffer->ColWidths[1], State()->TotalWidth);
    SCROLLINFO info = {sizeof info, SIF_RANGE};
    GetScrollInfo(grid, SB_HORZ, &info);
    EXPECT_EQ(State()->TotalWidth - 1, info.nMax);
}

// Another window taking the mouse (a message box, Alt+Tab) ends a drag or a
// border drag where it was: moves without a button change nothing more.
TEST_F(GridSelection, LosingTheMouseEndsADragAndABorderDrag)
{
    Show(MakeTextsAndOne({"v", "w"}, {std::string(10, 'x')}, 20));
    Press(CellPoint(1, 0));
    MoveTo(CellPoint(2, 1));
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetCapture(other);
    EXPECT_FALSE(State()->Selecting);
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(CellPoint(5, 1).x, CellPoint(5, 1).y));
    EXPECT_EQ((Selection{1, 2, 0, 1}), Selected());

    int width = buffer->ColWidths[0];
    POINT border = {ColumnLeft(1) - 1, 5};
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border.x, border.y));
    Press(border);
    ASSERT_TRUE(State()->Resizing);
    SendMessageA(grid, WM_CANCELMODE, 0, 0);
    EXPECT_FALSE(State()->Resizing);
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border.x + 60, 5));
    EXPECT_EQ(width, buffer->ColWidths[0]);
    ReleaseCapture();
    DestroyWindow(other);
}

// Keyboard scrolling moves the borders under a still pointer: a press acts
// on what is under it now, not on the border it hovered before.
TEST_F(GridSelection, APressAfterKeyboardScrollingActsOnWhatIsUnderItNow)
{
    Show(MakeTextsAndOne({"a", "b", "c", "d"}, {std::string(30, 'x'), std::string(30, 'y'), std::string(30, 'z')}, 5));
    Resize(400, 200);
    POINT border = {ColumnLeft(1) - 1, 5};
    SendMessageA(grid, WM_MOUSEMOVE, 0, MAKELPARAM(border.x, border.y));
    ASSERT_EQ(0, State()->HotBorder);
    Click(CellPoint(0, 0));
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    ASSERT_NE(0, State()->ScrollX);
    int widths[3] = {buffer->ColWidths[0], buffer->ColWidths[1], buffer->ColWidths[2]};
    // The button goes down with no move before it.
    SendMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(border.x, border.y));
    EXPECT_FALSE(State()->Resizing);
    Release(border);
    for (int c = 0; c < 3; c++) EXPECT_EQ(widths[c], buffer->ColWidths[c]) << c;
}

// ---- Copy, Select All, Save As ----

TEST_F(GridSelection, CopyGivesTheSelectedCellsWithOrWithoutTheirNames)
{
    ShowNumbers(4);
    EmptyTheClipboard();
    Command(CMD_COPY);
    EXPECT_EQ("(no text)", ClipboardText()) << "nothing selected leaves the clipboard";

    Click(CellPoint(2, 1));
    Command(CMD_COPY);
    EXPECT_EQ("30", ClipboardText());

    Click(HeaderPoint(2), MK_CONTROL);
    Command(CMD_COPY);
    EXPECT_EQ("100\r\n200\r\n300\r\n400", ClipboardText());

    Press(CellPoint(1, 1));
    MoveTo(CellPoint(3, 2));
    Release(CellPoint(3, 2));
    Command(CMD_COPY);
    std::string forward = ClipboardText();
    EXPECT_EQ("20\t200\r\n30\t300\r\n40\t400", forward);
    Press(CellPoint(3, 2));
    MoveTo(CellPoint(1, 1));
    Release(CellPoint(1, 1));
    Command(CMD_COPY);
    EXPECT_EQ(forward, ClipboardText());
    Command(CMD_COPYWITHNAMES);
    EXPECT_EQ("b\tc\r\n" + forward, ClipboardText()) << "the selected columns' names first";
    EXPECT_EQ((Selection{1, 3, 1, 2}), Selected()) << "Copy leaves the selection";

    // The corner of a result without rows selects no cell.
    Show(MakeBuffer({"id", "name"}, 0, nullptr, "0"));
    Press(POINT{3, 3});
    Release(POINT{3, 3});
    Command(CMD_COPY);
    EXPECT_EQ("", ClipboardText());

    // Without a result Select All and Copy do nothing.
    EmptyTheClipboard();
    ShowNothing();
    Command(CMD_SELECTALL);
    Command(CMD_COPY);
    EXPECT_EQ("(no text)", ClipboardText());
}

TEST_F(GridSelection, SelectAllSelectsEverythingAndNotifies)
{
    ShowNumbers(7);
    Click(CellPoint(3, 3));
    GridNotifications.clear();
    Command(113);
    EXPECT_EQ((Selection{0, 6, 0, 3}), Selected());
    ExpectCursor(3, 3);
    EXPECT_EQ(std::vector<int>{GN_SELCHANGED}, GridNotifications);
}

// The Save dialog answered without a person: each call records the name
// proposed and answers with the next one.
std::vector<std::string> Proposed;
std::string Answer;
DWORD AnswerFilter; // the type chosen in the list; 0 leaves the one proposed
BOOL WINAPI AnswerSaveDialog(LPOPENFILENAMEA dialog)
{
    Proposed.push_back(dialog->lpstrFile);
    EXPECT_STREQ("txt", dialog->lpstrDefExt);
    if (Answer.empty()) return FALSE;
    lstrcpynA(dialog->lpstrFile, Answer.c_str(), dialog->nMaxFile);
    if (AnswerFilter) dialog->nFilterIndex = AnswerFilter;
    return TRUE;
}
std::vector<std::string> Reported;
int WINAPI RecordMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    Reported.push_back(text);
    return IDOK;
}

std::string ReadFileBytes(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
}

class GridSave : public GridSelection {
protected:
    std::string directory;
    GridDialogs real = {};
    void SetUp() override
    {
        GridSelection::SetUp();
        real = GridDialogFunctions;
        GridDialogFunctions.GetSaveFileName = AnswerSaveDialog;
        GridDialogFunctions.MessageBox = RecordMessageBox;
        Proposed.clear();
        Reported.clear();
        AnswerFilter = 0;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        directory = std::string(temp) + "vintrel-grid-tests\\";
        CreateDirectoryA(directory.c_str(), nullptr);
    }
    void TearDown() override
    {
        GridDialogFunctions = real;
        GridSelection::TearDown();
    }
};

// Every cell is followed by TAB and every line by CR LF; values holding TAB
// and line breaks are written as they are.
TEST_F(GridSave, TheTabSeparatedExportHasTheNamesAndEveryRowUnchanged)
{
    Show(MakeBuffer({"id", "name"}, {{"1", std::nullopt}}, "0"));
    Answer = directory + "one.txt";
    Command(CMD_SAVEAS);
    EXPECT_EQ("id\tname\t\r\n1\tNULL\t\r\n", ReadFileBytes(Answer));
    EXPECT_TRUE(Reported.empty());

    Show(MakeBuffer({"t", "n"}, {{"a\tb", "x\r\ny"}, {"", "z"}}));
    Answer = directory + "raw.txt";
    Command(CMD_SAVEAS);
    EXPECT_EQ("t\tn\t\r\na\tb\tx\r\ny\t\r\n\tz\t\r\n", ReadFileBytes(Answer));
}

// Nothing to save without a result. Save asks every time, proposing the
// last name saved to; a cancelled dialog writes nothing and changes no name.
TEST_F(GridSave, SaveAsksEveryTimeProposingTheLastNameSavedTo)
{
    Answer = directory + "never.txt";
    DeleteFileA(Answer.c_str());
    Command(CMD_SAVEAS);
    EXPECT_TRUE(Proposed.empty());
    EXPECT_EQ("(missing)", ReadFileBytes(Answer));

    Show(MakeIds(2));
    std::string kept = directory + "kept.txt";
    WriteFileBytes(kept, "previous");
    Answer = "";
    Command(CMD_SAVEAS);
    EXPECT_EQ("previous", ReadFileBytes(kept));
    Answer = directory + "first.txt";
    Command(CMD_SAVE);
    Answer = directory + "second.txt";
    Command(CMD_SAVE);
    EXPECT_EQ((std::vector<std::string>{"Untitled", "Untitled", directory + "first.txt"}), Proposed);
    EXPECT_EQ("id\t\r\n1\t\r\n2\t\r\n", ReadFileBytes(directory + "second.txt"));
    EXPECT_TRUE(State()->Selection.Empty()) << "saving leaves the selection alone";
    EXPECT_TRUE(Reported.empty());
}

TEST_F(GridSave, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept)
{
    Show(MakeIds(2));
    Answer = directory + "no-such-directory\\lost.txt";
    Command(106);
    ASSERT_EQ(1u, Reported.size());
    EXPECT_NE(std::string::npos, Reported[0].find(Answer)) << Reported[0];
    EXPECT_STREQ("Untitled", State()->FileName) << "the next dialog proposes the old name";

    // A file another program holds open without sharing cannot be replaced.
    std::string locked = directory + "locked.txt";
    WriteFileBytes(locked, "previous");
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    Answer = locked;
    Command(106);
    CloseHandle(holder);
    EXPECT_EQ("previous", ReadFileBytes(locked));
    ASSERT_EQ(2u, Reported.size());
    EXPECT_NE(std::string::npos, Reported[1].find(locked)) << Reported[1];
}

TEST_F(GridSave, TheNameEndingCsvOrJsonPicksTheFormatOtherwiseTheTypeChosen)
{
    Show(MakeBuffer({"id", "id"}, {{"1", "2"}}, "01"));
    const std::string json = "[\r\n{\"id\":1,\"id_2\":2}\r\n]\r\n"; // no key may hide another
    const std::string csv = "\xEF\xBB\xBFid,id\r\n1,2\r\n";
    const std::string tabs = "id\tid\t\r\n1\t2\t\r\n";
    struct Case {
        DWORD Filter;
        const char *Name;
        const std::string &Bytes;
    } cases[] = {{1, "a.json.txt", tabs}, {1, "b.CSV", csv}, {3, "c.txt", json},
                 {2, "d.json", json},     {2, "e.txt", csv}, {2, "f", csv}};
    for (const Case &c : cases) {
        AnswerFilter = c.Filter;
        Answer = directory + c.Name;
        Command(CMD_SAVEAS);
        EXPECT_EQ(c.Bytes, ReadFileBytes(Answer)) << c.Name;
        DeleteFileA(Answer.c_str());
    }
    EXPECT_EQ(2u, State()->SaveDialog.nFilterIndex) << "the next dialog proposes the type chosen last";
    EXPECT_TRUE(Reported.empty());
}

// ---- CSV and JSON read back by another program ----

std::string LowerHex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) hex += digits[byte >> 4], hex += digits[byte & 15];
    return hex;
}

bool IsUtf8(const std::string &bytes)
{
    return bytes.empty() ||
           MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), nullptr, 0) > 0;
}

// A value as read_export.py prints a text: its UTF-8 bytes in hex, and
// bytes that are not UTF-8 as the text "0x" and their hex digits.
std::string ShownText(const std::string &value)
{
    if (IsUtf8(value)) return "s" + LowerHex(value);
    std::string upper = LowerHex(value);
    for (char &c : upper) c = (char)toupper((unsigned char)c);
    return "s" + LowerHex("0x" + upper);
}

// The one suite that needs the server: what it saves is compared with the
// server's own values and column types.
class GridExport : public GridSave {
protected:
    static MYSQL *mysql;
    std::string unixDirectory;
    static void SetUpTestSuite()
    {
        GridSave::SetUpTestSuite();
        mysql = ConnectTestServer();
        ExecSql(mysql, "CREATE DATABASE IF NOT EXISTS grid_tests");
        ExecSql(mysql, "USE grid_tests");
    }
    static void TearDownTestSuite()
    {
        ExecSql(mysql, "DROP DATABASE IF EXISTS grid_tests");
        mysql_close(mysql);
        mysql = nullptr;
        GridSave::TearDownTestSuite();
    }
    void SetUp() override
    {
        GridSave::SetUp();
        char pattern[] = "/tmp/vintrel-export-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        unixDirectory = pattern;
    }
    void TearDown() override
    {
        for (const char *name : {"/values.csv", "/values.json"}) unlink((unixDirectory + name).c_str());
        rmdir(unixDirectory.c_str());
        GridSave::TearDown();
    }
    // Captures the query's result and shows it.
    void ShowResult(const std::string &sql)
    {
        MYSQL_RES *result = QueryResult(mysql, sql);
        GRIDBUFFER *captured = NewGridBuffer();
        EXPECT_TRUE(CaptureResult(captured, result));
        mysql_free_result(result);
        Show(captured);
    }
    // Saves the result shown as that file; returns its bytes.
    std::string SaveAs(const std::string &name)
    {
        Answer = DosPath(unixDirectory + "/" + name);
        Command(CMD_SAVEAS);
        EXPECT_TRUE(Reported.empty());
        return ReadFileBytes(Answer);
    }
    // What Python's reader gave back, as read_export.py prints it.
    std::string ReadBack(const char *format, const std::string &name)
    {
        // Debian's python3, which ./test installs. The memory check's
        // run-time is preloaded for the test program, not for the shell and
        // Python started from it.
        std::string command = std::string("/usr/bin/python3 " GRID_TEST_SOURCE_DIR "/read_export.py ") + format +
                              " '" + unixDirectory + "/" + name + "' 2>&1";
        const char *preloaded = getenv("LD_PRELOAD");
        std::string preload = preloaded ? preloaded : "";
        unsetenv("LD_PRELOAD");
        FILE *pipe = popen(command.c_str(), "r");
        if (preloaded) setenv("LD_PRELOAD", preload.c_str(), 1);
        if (!pipe) return "(python3 did not start)";
        std::string output;
        char chunk[4096];
        while (size_t read = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, read);
        pclose(pipe);
        return output;
    }
    // The server's own answer to the query as read_export.py would print
    // it: in JSON a NULL is null and the values of the number columns are
    // numbers; in CSV both are texts, NULL the empty one.
    std::string ServerValues(const std::string &sql, bool json, const std::string &numberColumns)
    {
        MYSQL_RES *result = QueryResult(mysql, sql);
        unsigned columns = mysql_num_fields(result);
        std::string expected;
        for (unsigned c = 0; c < columns; c++)
            expected += (c ? "\t" : "") + ShownText(mysql_fetch_field_direct(result, c)->name);
        expected += "\n";
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            unsigned long *lengths = mysql_fetch_lengths(result);
            for (unsigned c = 0; c < columns; c++) {
                std::string value = row[c] ? std::string(row[c], lengths[c]) : "";
                bool number = numberColumns.find((char)('0' + c)) != std::string::npos;
                expected += c ? "\t" : "";
                expected += json && !row[c] ? "N" : json && number ? "n" + value : ShownText(value);
            }
            expected += "\n";
        }
        mysql_free_result(result);
        return expected;
    }
};

MYSQL *GridExport::mysql = nullptr;

// Python's csv module (reading UTF-8 with its byte-order mark) and json
// module (decimals as decimals) give back the server's values: commas,
// quotes, TAB, CR LF, empty text, multi-byte text, control characters,
// backslashes, the text 'NULL', the digits of DECIMAL(6,2) and DOUBLE. A
// ZEROFILL number is no JSON number and binary values that are no UTF-8 (a
// stray byte, a surrogate, past U+10FFFF) are written in hex: all are texts.
TEST_F(GridExport, CsvAndJsonReadBackByPythonAreTheServersValues)
{
    ExecSql(mysql, "CREATE TABLE IF NOT EXISTS export_values (n INT, t VARCHAR(40), d DECIMAL(6,2), "
                   "z INT(5) ZEROFILL, f DOUBLE, b VARBINARY(8)) CHARACTER SET utf8mb4");
    ExecSql(mysql, "DELETE FROM export_values");
    ExecSql(mysql, "INSERT INTO export_values VALUES (1, 'a,b', 1.50, 42, 0.25, X'C328FFFE'), "
                   "(2, 'say \"hi\"', -0.05, NULL, NULL, 'ok'), (3, 'tab\\there', NULL, 7, -1.5, X'EDA080'), "
                   "(4, 'line1\\r\\nline2', 0, 0, 0.001, 'x,y'), (5, '', 12, NULL, 100, ''), "
                   "(6, NULL, NULL, NULL, NULL, NULL), (7, 'gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xe6\x97\xa5', 1234.56, 1, 2, X'F4908080'), "
                   "(8, 'NULL', 9999.99, 3, 4, 'NULL'), (9, 'back\\\\slash \x01\x1f end', -9999.99, 5, 6, '\"')");
    const std::string sql = "SELECT n, t AS `te,\"xt\"`, d, z, f AS `gr\xc3\xb6\xc3\x9f" "e`, b FROM export_values ORDER BY n";
    ShowResult(sql);

    std::string csv = SaveAs("values.csv");
    EXPECT_EQ(0u, csv.find("\xEF\xBB\xBFn,\"te,\"\"xt\"\"\",d,z,gr\xc3\xb6\xc3\x9f" "e,b\r\n1,\"a,b\",1.50,00042,0.25,0xC328FFFE\r\n"))
        << csv.substr(0, 80);
    EXPECT_NE(std::string::npos, csv.find("\r\n5,\"\",12.00,,100,\"\"\r\n6,,,,,\r\n")) << "NULL empty, empty text \"\"";
    EXPECT_EQ(ServerValues(sql, false, ""), ReadBack("csv", "values.csv"));

    std::string json = SaveAs("values.json");
    EXPECT_NE(std::string::npos, json.find("\"d\":1.50,")) << json.substr(0, 120);
    EXPECT_EQ(ServerValues(sql, true, "024"), ReadBack("json", "values.json"));
}

// ---- Context menu ----

bool MenuWasShown;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menu = FindWindowA("#32768", nullptr);
    MenuWasShown = menu && IsWindowVisible(menu);
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST_F(GridSelection, RightButtonShowsTheContextMenuAndKeepsTheSelection)
{
    ShowNumbers(5);
    Click(CellPoint(1, 1));
    SetFocus(parent);
    HMENU popup = GetSubMenu(State()->ContextMenu, 0);
    ASSERT_TRUE(popup);
    char text[64];
    GetMenuStringA(popup, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Copy\tCtrl+C", text);
    GetMenuStringA(popup, 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Copy with Column Names\tCtrl+Shift+C", text);
    GetMenuStringA(popup, 2, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Select All\tCtrl+A", text);
    GetMenuStringA(popup, 4, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Sort &Ascending", text);
    GetMenuStringA(popup, 5, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Sort &Descending", text);
    GetMenuStringA(popup, 6, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("&Original Order", text);
    GetMenuStringA(popup, 8, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Save As...", text);
    EXPECT_EQ((UINT)CMD_COPYWITHNAMES, GetMenuItemID(popup, 1));
    EXPECT_EQ(113u, GetMenuItemID(popup, 2));
    EXPECT_EQ(106u, GetMenuItemID(popup, 8));
    EXPECT_TRUE(GetMenuState(popup, 110, MF_BYCOMMAND) & MF_GRAYED) << "the parent enables the items";

    MenuWasShown = false;
    SetTimer(nullptr, 0, 200, CloseMenu);
    POINT p = CellPoint(3, 3);
    SendMessageA(grid, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(MenuWasShown);
    EXPECT_EQ(grid, GetFocus());
    EXPECT_EQ((Selection{1, 1, 1, 1}), Selected());
    ExpectCursor(1, 1);
}

} // namespace
