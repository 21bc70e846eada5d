// Capturing results of the real server into a GRIDBUFFER, and releasing it.
#include "TestSupport.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "query/ResultCapture.h"

namespace {

class Capture : public testing::Test {
protected:
    static MYSQL *mysql;
    GRIDBUFFER *buffer = nullptr;

    static void SetUpTestSuite()
    {
        mysql = ConnectTestServer();
        ExecSql(mysql, "CREATE DATABASE IF NOT EXISTS capture_tests");
        ExecSql(mysql, "USE capture_tests");
    }
    static void TearDownTestSuite()
    {
        ExecSql(mysql, "DROP DATABASE capture_tests");
        mysql_close(mysql);
    }
    void TearDown() override { FreeGridBuffer(buffer); }

    void CaptureQuery(const std::string &sql)
    {
        MYSQL_RES *result = QueryResult(mysql, sql);
        ASSERT_NE(nullptr, result);
        buffer = NewGridBuffer();
        ASSERT_TRUE(CaptureResult(buffer, result));
        mysql_free_result(result);
    }
};
MYSQL *Capture::mysql = nullptr;

TEST_F(Capture, NamesRowsAndWidthsOfAnIdColumn)
{
    CaptureQuery("SELECT 1 AS id UNION ALL SELECT 12345 UNION ALL SELECT 77");
    ASSERT_EQ(1, buffer->Fields.Length());
    EXPECT_STREQ("id", buffer->Fields[0]);
    ASSERT_EQ(3, buffer->Rows.Length());
    EXPECT_STREQ("12345", buffer->Rows[1][0]);
    EXPECT_EQ(44, buffer->TextWidths[0]);
    EXPECT_EQ(44, buffer->ColWidths[0]);
}

TEST_F(Capture, WidthIsCappedAt324ButTextWidthIsNot)
{
    CaptureQuery("SELECT REPEAT('x', 100) AS v");
    EXPECT_EQ(804, buffer->TextWidths[0]);
    EXPECT_EQ(324, buffer->ColWidths[0]);
}

TEST_F(Capture, OneCharacterColumnsAreTwelveWide)
{
    CaptureQuery("SELECT 'a' AS b, 7 AS c");
    EXPECT_EQ(12, buffer->ColWidths[0]);
    EXPECT_EQ(12, buffer->TextWidths[1]);
}

TEST_F(Capture, NullIsTheTextNullThirtySixWideAndToldFromTheText)
{
    CaptureQuery("SELECT NULL AS n, 'NULL' AS s UNION ALL SELECT NULL, NULL");
    EXPECT_STREQ("NULL", buffer->Rows[0][0]);
    EXPECT_STREQ("NULL", buffer->Rows[0][1]);
    EXPECT_EQ(36, buffer->ColWidths[0]);
    EXPECT_TRUE(IsNullCell(buffer, buffer->Rows[0][0]));
    EXPECT_FALSE(IsNullCell(buffer, buffer->Rows[0][1]));
    // Every NULL shares one text.
    EXPECT_EQ(buffer->Rows[0][0], buffer->Rows[1][1]);
}

// A zero byte is part of a value (a BINARY(4) padded with zeros, a BIT
// value, a UUID as BINARY(16)); only rows that hold one keep lengths.
TEST_F(Capture, ValuesKeepTheirZeroBytes)
{
    CaptureQuery("SELECT CONCAT('ab', CHAR(0), 'cdefgh') AS v, CAST('ab' AS BINARY(4)) AS b, b'1' AS bit "
                 "UNION ALL SELECT 'plain', 'cd', 'x'");
    const TFieldList &first = buffer->Rows[0], &second = buffer->Rows[1];
    EXPECT_EQ(std::string("ab\0cdefgh", 9), std::string(first[0], CellLength(first, 0)));
    EXPECT_EQ(std::string("ab\0\0", 4), std::string(first[1], CellLength(first, 1)));
    EXPECT_EQ(std::string("\1", 1), std::string(first[2], CellLength(first, 2)));
    EXPECT_EQ(76, buffer->ColWidths[0]); // 9 * 8 + 4
    EXPECT_TRUE(first.LengthsKept);
    EXPECT_FALSE(second.LengthsKept);
    EXPECT_STREQ("plain", second[0]);
}

// The types read from the column descriptions (of MySQL's and MariaDB's
// shared layout) tell the columns whose values are the digits of a number.
TEST_F(Capture, NumberColumnsAreToldByTheirTypes)
{
    ExecSql(mysql, "CREATE TABLE IF NOT EXISTS typed (ti TINYINT, si SMALLINT, mi MEDIUMINT, i INT, bi BIGINT "
                   "UNSIGNED, f FLOAT, d DOUBLE, dec6 DECIMAL(6,2), y YEAR, bits BIT(8), vc VARCHAR(5), "
                   "vb VARBINARY(5), day DATE, bl BLOB)");
    CaptureQuery("SELECT *, 1.5 AS literal, 'x' AS text FROM typed");
    const std::string expected = "111111111" "00000" "10";
    ASSERT_EQ((int)expected.size(), buffer->ColumnKinds.Length());
    std::string kinds;
    for (int c = 0; c < buffer->ColumnKinds.Length(); c++) kinds += IsNumberColumn(buffer, c) ? '1' : '0';
    EXPECT_EQ(expected, kinds);
    EXPECT_FALSE(IsNumberColumn(buffer, buffer->ColumnKinds.Length())) << "past the known columns: text";
}

TEST_F(Capture, ResultWithoutRowsHasHeaderWidthsOnly)
{
    ExecSql(mysql, "CREATE TABLE IF NOT EXISTS empty_table (identifier INT, x TEXT)");
    CaptureQuery("SELECT * FROM empty_table");
    EXPECT_EQ(0, buffer->Rows.Length());
    ASSERT_EQ(2, buffer->Fields.Length());
    EXPECT_EQ(84, buffer->ColWidths[0]);
    EXPECT_EQ(12, buffer->ColWidths[1]);
}

TEST_F(Capture, MultiByteTextIsKeptByteForByteAndCountedInBytes)
{
    const std::string text = "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xe6\x97\xa5\xe6\x9c\xac"; // grüß € 日本
    ExecSql(mysql, "CREATE TABLE IF NOT EXISTS utf8_text (v VARCHAR(40)) CHARACTER SET utf8mb4");
    ExecSql(mysql, "DELETE FROM utf8_text");
    ExecSql(mysql, "INSERT INTO utf8_text VALUES ('" + text + "')");
    CaptureQuery("SELECT v FROM utf8_text");
    EXPECT_EQ(text, buffer->Rows[0][0]);
    EXPECT_EQ((int)(text.size() * 8 + 4), buffer->TextWidths[0]);
}

TEST_F(Capture, InvariantsHoldForAWiderResult)
{
    CaptureQuery("SELECT seq AS n, REPEAT('y', seq % 60) AS t, IF(seq % 3, NULL, seq) AS maybe "
                 "FROM seq_1_to_500");
    ASSERT_EQ(500, buffer->Rows.Length());
    for (int c = 0; c < 3; c++) {
        EXPECT_GE(buffer->ColWidths[c], 12);
        EXPECT_LE(buffer->ColWidths[c], 324);
        EXPECT_EQ(std::min(buffer->TextWidths[c], 324), buffer->ColWidths[c]);
    }
    EXPECT_EQ(59 * 8 + 4, buffer->TextWidths[1]);
    for (const TFieldList &row : buffer->Rows) EXPECT_EQ(3, row.Length());
    EXPECT_STREQ("NULL", buffer->Rows[0][2]);
    EXPECT_STREQ("3", buffer->Rows[2][2]);
}

// Rows read one by one as the server sends them (across many blocks and
// chunks of the row index) equal, cell for cell, those of a stored result.
TEST_F(Capture, AStreamedResultEqualsTheStoredOne)
{
    const std::string sql = "SELECT seq, IF(seq % 7, CONCAT('gr\xc3\xbc\xc3\x9f ', seq), NULL) AS t, "
                            "IF(seq % 1000, REPEAT('z', seq % 40), CONCAT('a', CHAR(0), 'b')) AS u "
                            "FROM seq_1_to_300000";
    CaptureQuery(sql);
    ASSERT_EQ(0, mysql_query(mysql, sql.c_str()));
    MYSQL_RES *stream = mysql_use_result(mysql);
    ASSERT_NE(nullptr, stream);
    GRIDBUFFER *streamed = NewGridBuffer();
    ASSERT_TRUE(CaptureResult(streamed, stream));
    mysql_free_result(stream);
    ASSERT_EQ(buffer->Rows.Length(), streamed->Rows.Length());
    ASSERT_EQ(300000, streamed->Rows.Length());
    EXPECT_GT(streamed->Storage.ReservedBytes(), size_t(8) << 20);
    for (int c = 0; c < 3; c++) {
        EXPECT_EQ(buffer->ColWidths[c], streamed->ColWidths[c]);
        EXPECT_EQ(buffer->TextWidths[c], streamed->TextWidths[c]);
    }
    int differences = 0;
    for (int r = 0; r < buffer->Rows.Length(); r++)
        for (int c = 0; c < 3; c++)
            if (std::string(buffer->Rows[r][c], CellLength(buffer->Rows[r], c)) !=
                    std::string(streamed->Rows[r][c], CellLength(streamed->Rows[r], c)) ||
                IsNullCell(buffer, buffer->Rows[r][c]) != IsNullCell(streamed, streamed->Rows[r][c]))
                differences++;
    EXPECT_EQ(0, differences);
    EXPECT_TRUE(IsNullCell(streamed, streamed->Rows[6][1]));
    EXPECT_EQ(std::string("a\0b", 3), std::string(streamed->Rows[999][2], CellLength(streamed->Rows[999], 2)));
    FreeGridBuffer(streamed);
}

TEST_F(Capture, NoResultLeavesTheBufferEmpty)
{
    buffer = NewGridBuffer();
    EXPECT_TRUE(CaptureResult(buffer, nullptr));
    EXPECT_EQ(0, buffer->Fields.Length());
    EXPECT_EQ(0, buffer->Rows.Length());
}

// The release thread frees everything: every block of the storage goes
// back to the system. (Whether a page is still mapped cannot tell: the
// address may be mapped again at once for something else.)
TEST(Release, ReleaseBufferFreesOnAnotherThreadAndGivesMemoryBack)
{
    MYSQL *mysql = ConnectTestServer();
    ASSERT_NE(nullptr, mysql);
    ExecSql(mysql, "USE mysql");
    MYSQL_RES *result = QueryResult(mysql, "SELECT seq, REPEAT('z', 100) FROM seq_1_to_200000");
    ASSERT_NE(nullptr, result);
    GRIDBUFFER *buffer = NewGridBuffer();
    ASSERT_TRUE(CaptureResult(buffer, result));
    mysql_free_result(result);
    mysql_close(mysql);
    EXPECT_GT(buffer->Storage.ReservedBytes(), 200000u * 100);
    size_t held = GridStorage::BytesHeldByAll();
    EXPECT_GE(held, buffer->Storage.ReservedBytes());

    size_t others = held - buffer->Storage.ReservedBytes();
    ReleaseBuffer(buffer);
    EXPECT_TRUE(PumpUntil([&] { return GridStorage::BytesHeldByAll() == others; }));
}

} // namespace
