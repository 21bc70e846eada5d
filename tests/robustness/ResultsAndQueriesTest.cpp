// Results of binary values with zero bytes, of a megabyte per value and of
// a thousand columns, and a query of a megabyte, run by a real query window
// on the real server; the grid shows, copies and saves them through the
// frame's commands and the real save dialog.
#include "RobustnessSupport.h"

#include <cstring>
#include <random>

#include <dlgs.h>

#include "DialogDriver.h"
#include "grid/GridWindow.h"
#include "resources/resource.h"

namespace {

const char Database[] = "robustness_tests";

class ResultsAndQueries : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, std::string("DROP DATABASE IF EXISTS ") + Database);
        ExecSql(mysql, std::string("CREATE DATABASE ") + Database);
        mysql_close(mysql);
    }
    static void TearDownTestSuite()
    {
        MYSQL *mysql = ConnectTestServer();
        ExecSql(mysql, std::string("DROP DATABASE IF EXISTS ") + Database);
        mysql_close(mysql);
    }
    void SetUp() override
    {
        window = OpenQueryWindow(Database);
        child = ChildOf(window);
        ASSERT_TRUE(child);
    }
    void TearDown() override { CloseAllQueryWindows(); }

    const GRIDBUFFER *Data() const { return GridBuffer(child); }
    // Where the grid draws a cell now (row -1 the header band).
    RECT Cell(int row, int column) const
    {
        RECT cell = {column, 0, 0, 0};
        EXPECT_TRUE(SendMessageA(child->Grid, WM_GRID_GETCELLRECT, row, (LPARAM)&cell)) << row << ", " << column;
        return cell;
    }
    // A plain key selects the cell it moves the cursor to.
    int SelectedColumn() const
    {
        GRIDRANGE cells = {-1, -1, -1, -1};
        SendMessageA(child->Grid, WM_GRID_GETSELECTION, 0, (LPARAM)&cells);
        return cells.Left == cells.Right ? cells.Left : -1;
    }

    // Runs the text as the user does and expects a result set in the grid.
    void Run(const std::string &sql)
    {
        ASSERT_TRUE(RunBatch(child, sql, 60000)) << "the batch did not complete";
        ASSERT_EQ("Query batch completed.", StatusText(child, 0)) << MessagePaneText(child);
        ASSERT_TRUE(Data());
    }
    void Draw()
    {
        InvalidateRect(child->Grid, nullptr, TRUE);
        UpdateWindow(child->Grid);
    }
    void Key(WPARAM key)
    {
        SendMessageA(child->Grid, WM_KEYDOWN, key, 1);
        UpdateWindow(child->Grid);
    }
    void ClickFirstCell()
    {
        LPARAM at = MAKELPARAM(Cell(0, 0).left + 3, Cell(0, 0).top + 3);
        SendMessageA(child->Grid, WM_MOUSEMOVE, 0, at);
        SendMessageA(child->Grid, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(child->Grid, WM_LBUTTONUP, 0, at);
    }
    // Select All and Copy through the frame, with the grid focused.
    std::string CopyEverything()
    {
        SetFocus(child->Grid);
        EXPECT_EQ(child->Grid, GetFocus());
        FrameCommand(CMD_SELECTALL);
        FrameCommand(CMD_COPY);
        return ClipboardText();
    }
    // Save As through the frame, answering the real save dialog; the bytes
    // written.
    std::string SaveEverything()
    {
        const std::string name = "result.txt";
        driver.Then([&](HWND dialog) {
            SetFileDialogName(dialog, directory.File(name));
            PressItem(dialog, IDOK);
        });
        SetFocus(child->Grid);
        FrameCommand(CMD_SAVEAS);
        EXPECT_TRUE(driver.Unexpected.empty());
        return ReadUnixFile(directory.UnixFile(name));
    }
    // The same with a type chosen in the dialog's list (0 the first) and a
    // name typed without extension, which the dialog completes with the
    // type's own; the bytes of the file of that name.
    std::string SaveEverythingAs(int type, const std::string &name, const std::string &completed)
    {
        driver.Then([&](HWND dialog) {
            HWND types = GetDlgItem(dialog, cmb1);
            SendMessageA(types, CB_SETCURSEL, type, 0);
            // What the list tells its dialog when a person picks an entry.
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), (LPARAM)types);
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), (LPARAM)types);
            SetFileDialogName(dialog, directory.File(name));
            PressItem(dialog, IDOK);
        });
        SetFocus(child->Grid);
        FrameCommand(CMD_SAVEAS);
        EXPECT_TRUE(driver.Unexpected.empty());
        return ReadUnixFile(directory.UnixFile(completed));
    }
    int ClientWidth() const
    {
        RECT client;
        GetClientRect(child->Grid, &client);
        return client.right;
    }

    ScratchDirectory directory;
    DialogDriver driver;
    HWND window = nullptr;
    CHILDDATA *child = nullptr;
};

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char byte : bytes) hex += digits[byte >> 4], hex += digits[byte & 15];
    return hex;
}

// Binary values keep every byte, zero bytes included: the grid draws them,
// Copy gives them as 0x hex (the clipboard's text holds no zero byte), the
// tab-separated file has their bytes, CSV and JSON their hex.
TEST_F(ResultsAndQueries, BinaryValuesKeepEveryByteAndAreDrawnCopiedAndSaved)
{
    // 60,000 random bytes without a zero, then a zero and more bytes.
    std::mt19937 random(7);
    std::string blob(70000, '\0');
    for (size_t i = 0; i < blob.size(); i++)
        if (i != 60000) blob[i] = static_cast<char>(1 + random() % 255);

    Run("SELECT X'41420043' AS b, X'00FF' AS lead, X'C328FFFE' AS bad, 'plain' AS t, X'" + Hex(blob) +
        "' AS bin, NULL AS n");
    const GRIDBUFFER *data = Data();
    ASSERT_EQ(1, data->Rows.Count);
    ASSERT_EQ(6, data->Fields.Count);
    const TFieldList &cells = data->Rows[0];
    EXPECT_EQ(std::string("AB\0C", 4), std::string(cells[0], CellLength(cells, 0)));
    EXPECT_EQ(std::string("\0\xFF", 2), std::string(cells[1], CellLength(cells, 1)));
    EXPECT_EQ("\xc3(\xff\xfe", std::string(cells[2], CellLength(cells, 2)));
    EXPECT_EQ("plain", std::string(cells[3], CellLength(cells, 3)));
    EXPECT_TRUE(blob == std::string(cells[4], CellLength(cells, 4)));
    EXPECT_TRUE(IsNullCell(data, cells[5]));
    EXPECT_EQ(4u, CellLength(cells, 5));
    EXPECT_EQ(36, data->TextWidths[0]);
    EXPECT_EQ(36, data->TextWidths[1]); // the name "lead"
    EXPECT_EQ(70000 * 8 + 4, data->TextWidths[4]);
    EXPECT_EQ(324, data->ColWidths[4]);
    Draw();

    std::string copied = CopyEverything();
    EXPECT_TRUE(copied == "0x41420043\t0x00FF\t0xC328FFFE\tplain\t0x" + Hex(blob) + "\tNULL") << copied.substr(0, 60);
    const std::string row = std::string("AB\0C\t\0\xFF\t\xc3(\xff\xfe\tplain\t", 19) + blob + "\tNULL";
    EXPECT_TRUE(SaveEverything() == "b\tlead\tbad\tt\tbin\tn\t\r\n" + row + "\t\r\n");
    const std::string hexRow = "0x41420043,0x00FF,0xC328FFFE,plain,0x" + Hex(blob) + ",";
    EXPECT_TRUE(SaveEverythingAs(1, "result", "result.csv") ==
                "\xEF\xBB\xBF" "b,lead,bad,t,bin,n\r\n" + hexRow + "\r\n");
    EXPECT_TRUE(SaveEverythingAs(2, "result", "result.json") ==
                "[\r\n{\"b\":\"0x41420043\",\"lead\":\"0x00FF\",\"bad\":\"0xC328FFFE\",\"t\":\"plain\",\"bin\":\"0x" +
                    Hex(blob) + "\",\"n\":null}\r\n]\r\n");
}

TEST_F(ResultsAndQueries, AMegabyteValueIsShownCopiedSavedAndCanBeWidenedToItsText)
{
    const char pattern[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string big;
    while (big.size() < (1u << 20)) big += pattern;
    big.resize(1u << 20);
    Run(std::string("SELECT RPAD('', 1048576, '") + pattern + "') AS big, 7 AS n");
    const GRIDBUFFER *data = Data();
    ASSERT_EQ(1, data->Rows.Count);
    EXPECT_TRUE(big == data->Rows[0][0]);
    EXPECT_EQ(324, data->ColWidths[0]);
    EXPECT_EQ((1 << 20) * 8 + 4, data->TextWidths[0]);
    Draw();

    EXPECT_TRUE(CopyEverything() == big + "\t7");
    EXPECT_TRUE(SaveEverything() == "big\tn\t\r\n" + big + "\t7\t\r\n");

    // A double click on the column's border fits it to its text: eight
    // million pixels, scrolled through to its end and back.
    POINT border = {Cell(-1, 0).right - 1, 5};
    SendMessageA(child->Grid, WM_MOUSEMOVE, 0, MAKELPARAM(border.x, border.y));
    SendMessageA(child->Grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(border.x, border.y));
    SendMessageA(child->Grid, WM_LBUTTONUP, 0, MAKELPARAM(border.x, border.y));
    EXPECT_EQ(data->TextWidths[0], data->ColWidths[0]);
    EXPECT_EQ(data->ColWidths[0] + data->ColWidths[1], Cell(-1, 1).right - Cell(-1, 0).left);
    Draw();
    ClickFirstCell();
    Key(VK_END);
    EXPECT_EQ(1, SelectedColumn());
    EXPECT_EQ(ClientWidth(), Cell(-1, 1).right) << "the last column ends at the window's edge";
    SendMessageA(child->Grid, WM_HSCROLL, SB_PAGELEFT, 0);
    UpdateWindow(child->Grid);
    Key(VK_HOME);
    EXPECT_EQ(0, GetScrollPos(child->Grid, SB_HORZ));
}

TEST_F(ResultsAndQueries, AThousandColumnsAreShownScrolledCopiedAndSaved)
{
    const int columns = 1000, rows = 20;
    std::string sql = "SELECT ";
    for (int c = 1; c <= columns; c++) sql += (c > 1 ? ", seq + " : "seq + ") + std::to_string(c) + " AS c" + std::to_string(c);
    Run(sql + " FROM seq_1_to_" + std::to_string(rows));
    const GRIDBUFFER *data = Data();
    ASSERT_EQ(columns, data->Fields.Count);
    ASSERT_EQ(rows, data->Rows.Count);
    EXPECT_STREQ("c1000", data->Fields[columns - 1]);
    EXPECT_STREQ("1020", data->Rows[rows - 1][columns - 1]);
    Draw();

    // The cell cursor goes to the last column and brings it into view.
    ClickFirstCell();
    Key(VK_END);
    EXPECT_EQ(columns - 1, SelectedColumn());
    EXPECT_EQ(ClientWidth(), Cell(-1, columns - 1).right) << "the last column ends at the window's edge";
    Key(VK_HOME);
    EXPECT_EQ(0, GetScrollPos(child->Grid, SB_HORZ));

    std::string expected, header;
    for (int c = 1; c <= columns; c++) header += "c" + std::to_string(c) + "\t";
    std::string saved = header + "\r\n";
    for (int r = 1; r <= rows; r++) {
        std::string line;
        for (int c = 1; c <= columns; c++) line += (c > 1 ? "\t" : "") + std::to_string(r + c);
        expected += (r > 1 ? "\r\n" : "") + line;
        saved += line + "\t\r\n";
    }
    EXPECT_TRUE(CopyEverything() == expected);
    EXPECT_TRUE(SaveEverything() == saved);
}

TEST_F(ResultsAndQueries, AQueryOfAMegabyteReachesTheServerWholeAndItsResultIsShown)
{
    // A string literal of a megabyte, in lines, that the server sends back.
    std::string payload;
    char line[128];
    for (int n = 1; payload.size() < (1u << 20); n++) {
        snprintf(line, sizeof line, "line %06d of the literal: the quick brown fox jumps over the lazy dog %06d\r\n",
                 n, n * 37 % 1000000);
        payload += line;
    }
    const std::string marker = "robustness-megabyte-query";
    const std::string sql = "SELECT '" + payload + "' AS echo, '" + marker + "' AS marker";
    MYSQL *admin = ConnectTestServer();
    ExecSql(admin, "SET GLOBAL general_log = 1");
    Run(sql);
    ExecSql(admin, "SET GLOBAL general_log = 0");
    mysql_close(admin);
    const GRIDBUFFER *data = Data();
    ASSERT_EQ(1, data->Rows.Count);
    EXPECT_EQ(payload.size(), strlen(data->Rows[0][0]));
    EXPECT_TRUE(payload == data->Rows[0][0]);
    EXPECT_STREQ(marker.c_str(), data->Rows[0][1]);
    EXPECT_TRUE(EditorText(child) == sql) << "the query text stays in the editor";
    EXPECT_EQ("\r\n(1 row(s) affected)", MessagePaneText(child));
    Draw();

    // The server's own record of what it received, when it keeps one.
    if (!HasGeneralLog()) return;
    std::string log = ReadGeneralLog();
    size_t at = log.rfind("Query\tSELECT 'line 000001 ");
    ASSERT_NE(std::string::npos, at) << "the general log holds the query";
    EXPECT_EQ(sql + "\n", log.substr(at + strlen("Query\t"), sql.size() + 1));
}

TEST_F(ResultsAndQueries, AQueryLargerThanTheServerTakesIsAnErrorAndTheTextStays)
{
    MYSQL *admin = ConnectTestServer();
    long limit = atol(QueryValue(admin, "SELECT @@global.max_allowed_packet").c_str());
    mysql_close(admin);
    ASSERT_GT(limit, 0);
    const std::string sql = "SELECT '" + std::string((size_t)limit + 1024, 'q') + "' AS too_large";
    ASSERT_TRUE(RunBatch(child, sql, 60000)) << "the batch did not complete";
    EXPECT_EQ("Query batch completed with errors.", StatusText(child, 0));
    EXPECT_EQ(0u, MessagePaneText(child).find("Error ")) << MessagePaneText(child);
    EXPECT_EQ(-1, GridRows(child)) << "no result is shown";
    EXPECT_TRUE(EditorText(child) == sql) << "the query text stays in the editor";

    // The window goes on answering: a further batch completes, whether the
    // connection survived or not.
    EXPECT_TRUE(RunBatch(child, "SELECT 1", 20000));
}

} // namespace
