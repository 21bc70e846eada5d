// The statements of a batch as the server sees them, and scripts carrying
// the DELIMITER lines of command-line clients. Plain logic, no window.
#include <gtest/gtest.h>

#include <string>

#include "querywindow/ScriptStatements.h"

namespace {

SCRIPTSTATEMENTS Scan(const std::string &text) { return ScanStatements(text.data(), text.size()); }

// The text as the server receives it.
std::string ForServer(std::string text)
{
    SCRIPTSTATEMENTS s = Scan(text);
    text.resize(RewriteForServer(&text[0], text.size(), s));
    return text;
}

TEST(ScriptStatements, StatementsStartAtTheirFirstCharacterThatIsNotBlank)
{
    SCRIPTSTATEMENTS s = Scan("select 1;\nselect 2;\n\n  -- why\nselect 'a;b' /* ; */, `c;` from t; # end");
    EXPECT_TRUE(s.Certain);
    EXPECT_TRUE(s.Edits.empty());
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
    EXPECT_EQ("\n"
              "CREATE PROCEDURE p()\n"
              "BEGIN\n"
              "  SELECT '//' AS s; SELECT 2;\n"
              "END; \n"
              "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET NEW.a = 1; END ; \n"
              "\n"
              "CALL p();\n",
              ForServer(script));
    EXPECT_EQ((std::vector<int32_t>{1, 5, 7}), s.StartLines);
}

// Tables first, then triggers and routines between DELIMITER lines, as
// dumps lay them out: a BEGIN further on does not make the statements before
// it compound (nor does a column called begin), in the dump's own layout
// with its version comments either.
TEST(ScriptStatements, ADumpWithTablesBeforeItsTriggersIsRewritten)
{
    std::string script = "CREATE TABLE log(id INT, begin DATE);\nDELIMITER $$\n"
                         "CREATE TRIGGER trg BEFORE INSERT ON log FOR EACH ROW BEGIN SET NEW.id=1; END$$\n"
                         "DELIMITER ;";
    SCRIPTSTATEMENTS s = Scan(script);
    ASSERT_TRUE(s.Certain);
    EXPECT_EQ("CREATE TABLE log(id INT, begin DATE);\n\n"
              "CREATE TRIGGER trg BEFORE INSERT ON log FOR EACH ROW BEGIN SET NEW.id=1; END; \n",
              ForServer(script));
    EXPECT_EQ((std::vector<int32_t>{0, 2}), s.StartLines);

    script = "CREATE TABLE `log` (`id` int(11) DEFAULT NULL);\n"
             "INSERT INTO `log` VALUES (1),(2);\n"
             "DELIMITER ;;\n"
             "/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ /*!50003 TRIGGER trg BEFORE INSERT ON log "
             "FOR EACH ROW BEGIN SET NEW.id=1; END */;;\n"
             "DELIMITER ;\n";
    s = Scan(script);
    ASSERT_TRUE(s.Certain);
    std::string sent = ForServer(script);
    EXPECT_NE(std::string::npos, sent.find("\n\n/*!50003 CREATE*/")) << sent;
    EXPECT_NE(std::string::npos, sent.find("END */; \n\n")) << sent;
    EXPECT_EQ((std::vector<int32_t>{0, 1, 3}), s.StartLines);
}

// The command-line client takes a DELIMITER line after comment lines; the
// comment goes to the server with the statement that follows.
TEST(ScriptStatements, ADelimiterLineAfterACommentIsTaken)
{
    const std::string script = "-- make p\nDELIMITER //\nCREATE PROCEDURE p() BEGIN SELECT 1; END//\nDELIMITER ;\n";
    SCRIPTSTATEMENTS s = Scan(script);
    ASSERT_TRUE(s.Certain);
    EXPECT_EQ("-- make p\n\nCREATE PROCEDURE p() BEGIN SELECT 1; END; \n\n", ForServer(script));
    EXPECT_EQ((std::vector<int32_t>{0}), s.StartLines);
}

// The server counts a statement's lines from its first character, comment
// included, and skips the line ends inside strings and quoted names.
TEST(ScriptStatements, TheServersLineIsPlacedInTheText)
{
    SCRIPTSTATEMENTS s = Scan("select 1;\n-- why\nCALL p();\nselect 'a\nb', `c\nd`,\n  3 3;\nselect 'e\nf' 4 4");
    ASSERT_TRUE(s.Certain);
    EXPECT_EQ((std::vector<bool>{false, true, false, false}), s.IsCall);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 3, 7}), s.StartLines);
    EXPECT_EQ(2, TextLineOf(s, 1, 2));
    EXPECT_EQ(6, TextLineOf(s, 2, 2));
    // After a string, on the line where the string ends.
    EXPECT_EQ(8, TextLineOf(s, 3, 1));
}

// Where the boundaries cannot be told, nothing is rewritten and no line is
// placed: the server's error stands as it is.
TEST(ScriptStatements, UncertainBoundariesLeaveTheTextAlone)
{
    for (const char *text : {"DELIMITER //\nselect 'open//", "DELIMITER\nselect 1", "select 1; /* open",
                             "CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END; select 3"}) {
        SCRIPTSTATEMENTS s = Scan(text);
        EXPECT_FALSE(s.Certain) << text;
        EXPECT_EQ(text, ForServer(text));
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
