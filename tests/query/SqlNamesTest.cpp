// Names written into SQL as the real server reads them back, and the one
// rule for comparing text without regard to case.
#include "TestSupport.h"

#include <string>

#include "base/TextFold.h"
#include "query/SqlNames.h"

TEST(SqlNames, EveryNameWrittenSoTheServerReadsItBack)
{
    MYSQL *mysql = ConnectTestServer();
    ExecSql(mysql, "DROP DATABASE IF EXISTS `name tests`");
    ExecSql(mysql, "CREATE DATABASE `name tests`");
    ExecSql(mysql, "USE `name tests`");
    const char *names[] = {"plain_name$1", "select", "Order", "my table", "123", "1e5",
                           "back`tick", "日本", "rank", "t-1"};
    for (const char *name : names) {
        std::string sql = "CREATE TABLE " + QualifiedName("name tests", name, "other") + " (" +
                          QuotedName(name) + " INT)";
        EXPECT_EQ(0, mysql_query(mysql, sql.c_str())) << sql << ": " << mysql_error(mysql);
        std::string back = QueryValue(mysql, "SELECT column_name FROM information_schema.columns "
                                             "WHERE table_schema = 'name tests' AND table_name = '" +
                                                 std::string(name) + "'");
        EXPECT_EQ(name, back) << sql;
    }
    EXPECT_EQ("plain_name$1", QuotedName("plain_name$1"));
    EXPECT_EQ("`select`", QualifiedName("name tests", "select", "name tests"));
    EXPECT_EQ("`back``tick`", QuotedName("back`tick"));
    ExecSql(mysql, "DROP DATABASE `name tests`");
    mysql_close(mysql);
}

TEST(TextFold, ComparesAndFindsWithoutRegardToCaseBeyondAscii)
{
    EXPECT_EQ(0, fold::Compare("Ärger", "äRGER"));
    EXPECT_EQ(0, fold::Compare("ΣΟΦΌΣ", "σοφός"));
    EXPECT_EQ(0, fold::Compare("ς", "σ"));
    EXPECT_LT(fold::Compare("apple", "Banana"), 0);
    EXPECT_LT(fold::Compare("abc", "abcd"), 0);
    EXPECT_NE(0, fold::Compare("straße", "STRASSE"));
    EXPECT_NE(0, fold::Compare("\xff", "\xfe"));
    std::string scratch;
    EXPECT_TRUE(fold::Contains("Müller GmbH", fold::Utf8("MÜLLER"), scratch));
    EXPECT_TRUE(fold::Contains("x\xff y", fold::Utf8("\xff Y"), scratch));
    EXPECT_FALSE(fold::Contains("Muller", fold::Utf8("müller"), scratch));
    std::u16string wide = u"ÄΣ\U00010400ß";  // a Deseret capital: beyond the plane
    fold::Utf16(wide.data(), wide.size());
    EXPECT_EQ(u"äσ\U00010428ß", wide);
}
