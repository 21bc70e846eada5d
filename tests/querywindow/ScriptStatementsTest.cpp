// The statements of a batch as the server sees them, and scripts carrying
// the DELIMITER lines of command-line clients. Plain logic, no window.
#include <gtest/gtest.h>

#include <string>

#include "querywindow/ScriptStatements.h"

namespace {

SCRIPTSTATEMENTS Scan(const std::string &text) { return ScanStatements(text.data(), text.size()); }

TEST(ScriptStatements, StatementsStartAtTheirFirstCharacterThatIsNotBlank)
{
    SCRIPTSTATEMENTS s = Scan("select 1;\nselect 2;\n\n  -- why\nselect 'a;b' /* ; */, `c;` from t; # end");
    EXPECT_TRUE(s.Certain);
    EXPECT_FALSE(s.WasRewritten);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 3, 4}), s.StartLines);
    EXPECT_EQ(1u, Scan("select 1;").StartLines.size());
    EXPECT_EQ((std::vector<bool>{false, true, false}), Scan("select 1; call p(); select 2").IsCall);
    // An escaped quote and a doubled one stay inside the string.
    EXPECT_EQ(2u, Scan("select 'it\\'s;', 'a'';'; select 2").StartLines.size());
}

// A dump of routines and triggers: the DELIMITER lines become empty, each
// "//" that ends a statement becomes ";" and a space, so that every line and
// column stays where the editor has it; a "//" inside a string stays.
TEST(ScriptStatements, DelimiterScriptsAreRewrittenLineForLine)
{
    const std::string script = "DELIMITER //\n"
                               "CREATE PROCEDURE p()\n"
                               "BEGIN\n"
                               "  SELECT '//' AS s; SELECT 2;\n"
                               "END//\n"
                               "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET NEW.a = 1; END //\n"
                               "delimiter ;\n"
                               "CALL p();\n";
    SCRIPTSTATEMENTS s = Scan(script);
    ASSERT_TRUE(s.Certain);
    ASSERT_TRUE(s.WasRewritten);
    EXPECT_EQ("\n"
              "CREATE PROCEDURE p()\n"
              "BEGIN\n"
              "  SELECT '//' AS s; SELECT 2;\n"
              "END; \n"
              "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET NEW.a = 1; END ; \n"
              "\n"
              "CALL p();\n",
              s.Rewritten);
    EXPECT_EQ((std::vector<int32_t>{1, 5, 7}), s.StartLines);
}

// Where the boundaries cannot be told, nothing is rewritten and no line is
// placed: the server's error stands as it is.
TEST(ScriptStatements, UncertainBoundariesLeaveTheTextAlone)
{
    for (const char *text : {"DELIMITER //\nselect 'open//", "DELIMITER\nselect 1", "select 1; /* open",
                             "CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END; select 3"}) {
        SCRIPTSTATEMENTS s = Scan(text);
        EXPECT_FALSE(s.Certain) << text;
        EXPECT_FALSE(s.WasRewritten) << text;
    }
}

TEST(ScriptStatements, TheErrorLineIsTheLastAtLineOfTheText)
{
    EXPECT_EQ(3, ErrorLineOf("You have an error in your SQL syntax; check the manual that corresponds to your "
                             "MariaDB server version for the right syntax to use near 'selec 3' at line 3"));
    EXPECT_EQ(2, ErrorLineOf("... near 'at line 9' at line 2"));
    EXPECT_EQ(0, ErrorLineOf("Table 'a.b' doesn't exist"));
    EXPECT_EQ(0, ErrorLineOf(nullptr));
}

} // namespace
