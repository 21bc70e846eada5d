// Name completion above the editor: what the statement at the caret offers,
// with names given by hand; and in a real query window, the list that
// Ctrl+Space and "." open, refreshed when missing columns arrive.
#include "QueryWindowFixture.h"

#include <map>
#include <string>
#include <vector>

#include "querywindow/NameCompletion.h"
#include "querywindow/SqlCompletion.h"
#include "resources/resource.h"

namespace {

// Databases, tables and columns written here; columns of a table in
// `missing` are "not there yet" until Arrive().
class HandNames : public CompletionNames {
public:
    std::vector<std::string> databases = {"shop", "Sales Archive"};
    std::map<std::string, std::vector<std::string>> tables = {
        {"shop", {"customers", "orders", "order", "my table"}}, {"Sales Archive", {"y2020"}}};
    std::map<std::string, std::vector<std::string>> columns = {{"shop.customers", {"id", "name", "city"}},
                                                               {"shop.orders", {"id", "customer_id", "total"}},
                                                               {"shop.order", {"id", "status"}},
                                                               {"shop.my table", {"Gr\xC3\xB6\xC3\x9F" "e", "id"}}};
    std::string missing;

    bool AddDatabases(CompletionList &out) override
    {
        for (const std::string &name : databases) out.AddName(name, {}, CompleteDatabase);
        return true;
    }
    bool AddTables(const std::string &database, CompletionList &out) override
    {
        for (const std::string &name : tables[database]) out.AddName(name, {}, CompleteTable);
        return true;
    }
    bool AddColumns(const std::string &database, const std::string &table, CompletionList &out) override
    {
        if (table == missing) return false;
        for (const std::string &name : columns[database + "." + table]) out.AddName(name, {}, CompleteColumn);
        return true;
    }
    std::string FindDatabase(std::string_view name) override
    {
        for (const std::string &database : databases)
            if (database == name) return database;
        return {};
    }
    std::string FindTable(const std::string &database, std::string_view name) override
    {
        for (const std::string &table : tables[database])
            if (table == name) return table;
        return {};
    }
};

// The candidates at the "|" of the text, "name:kind" joined by " ", at most
// limit of them.
std::string Offered(const std::string &textWithCaret, COMPLETIONRESULT *result = nullptr, size_t limit = 8)
{
    std::string text = textWithCaret;
    size_t caret = text.find('|');
    text.erase(caret, 1);
    HandNames names;
    CompletionList list;
    COMPLETIONRESULT built = BuildCompletion(ReadSqlCaret(text, caret), "shop", names, list);
    if (result) *result = built;
    std::string offered;
    std::vector<EDITORCOMPLETIONITEM> items = list.Items();
    for (size_t i = 0; i < items.size() && i < limit; i++) {
        const EDITORCOMPLETIONITEM &item = items[i];
        std::string shown = item.Insert ? std::string(item.Insert, item.InsertLength)
                                        : std::string(item.Text, item.TextLength);
        offered += (i ? " " : "") + shown + ":" + CompletionKindLabels[item.Kind];
    }
    return offered;
}

} // namespace

TEST(SqlCompletionTest, AliasesQualifiedNamesAndTheStatementsTables)
{
    COMPLETIONRESULT result;
    EXPECT_EQ("id:column name:column city:column",
              Offered("SELECT c.| FROM orders o JOIN shop.customers AS c ON o.customer_id = c.id", &result))
        << "an alias defined after the caret";
    EXPECT_TRUE(result.AfterKnownName);
    EXPECT_EQ("id:column customer_id:column total:column", Offered("select o.| from customers c, orders o"));
    EXPECT_EQ("customers:table orders:table `order`:table `my table`:table", Offered("SELECT * FROM shop.|"));
    EXPECT_EQ("y2020:table", Offered("SELECT * FROM `Sales Archive`.y|"));
    EXPECT_EQ("id:column name:column city:column", Offered("SELECT shop.customers.| FROM x"));
    EXPECT_EQ("id:column status:column", Offered("UPDATE `order` SET `order`.| = 1")) << "a table named after a keyword";
    EXPECT_EQ("`Gr\xC3\xB6\xC3\x9F" "e`:column id:column", Offered("SELECT m.| FROM `my table` m"));
    EXPECT_EQ("id:column customer_id:column total:column", Offered("INSERT INTO orders (|) VALUES (1)", nullptr, 3));
    EXPECT_EQ("id:column status:column", Offered("SELECT 1 FROM customers;\nSELECT c.| FROM `order` c"))
        << "the statement around the caret only";
    EXPECT_EQ("", Offered("SELECT nothing.| FROM customers", &result));
    EXPECT_FALSE(result.AfterKnownName);
    EXPECT_EQ("", Offered("SELECT 'a.| FROM customers")) << "in a string";
    EXPECT_EQ("", Offered("SELECT 1 -- c.|\nFROM customers c")) << "in a comment";
}

TEST(SqlCompletionTest, ElsewhereColumnsTablesDatabasesThenKeywords)
{
    EXPECT_EQ("id:column customer_id:column total:column name:column city:column customers:table orders:table "
              "`order`:table",
              Offered("SELECT | FROM orders, customers"))
        << "each column once, the statement's tables in order";
    std::string all = Offered("SELECT | FROM orders", nullptr, 1000);
    EXPECT_LT(all.find("shop:database"), all.find("`Sales Archive`:database"));
    EXPECT_LT(all.find("`Sales Archive`:database"), all.find("SELECT:keyword"));
    EXPECT_LT(all.find("SELECT:keyword"), all.find("COUNT:function"));
    SQLCARET caret = ReadSqlCaret("select * from `my ta", 20);
    EXPECT_EQ(14u, caret.TypedStart) << "an unclosed backticked name is the typed part";
    EXPECT_EQ("`my ta", caret.Typed);
}

class NameCompletionTest : public testing::Test {
protected:
    void SetUp() override
    {
        child = ChildOf(OpenQueryWindow("mysql"));
        auto given = std::make_unique<HandNames>();
        names = given.get();
        names->tables["mysql"] = names->tables["shop"];
        for (const char *table : {"customers", "orders", "order", "my table"})
            names->columns[std::string("mysql.") + table] = names->columns[std::string("shop.") + table];
        UseCompletionNames(child->Window, std::move(given));
        SetFocus(child->Editor);
    }
    void TearDown() override { CloseAllQueryWindows(); }
    void TypeAtEnd(const std::string &text)
    {
        SetEditorText(child, text);
        EDITORRANGE end = {{1, static_cast<int>(text.size()) + 1}, {1, static_cast<int>(text.size()) + 1}};
        SendMessageW(child->Editor, WM_EDITOR_SETSEL, 0, reinterpret_cast<LPARAM>(&end));
    }
    EDITORCOMPLETIONSTATE State()
    {
        EDITORCOMPLETIONSTATE state{};
        SendMessageW(child->Editor, WM_EDITOR_GETCOMPLETION, 0, reinterpret_cast<LPARAM>(&state));
        return state;
    }
    CHILDDATA *child = nullptr;
    HandNames *names = nullptr;
};

TEST_F(NameCompletionTest, CtrlSpaceAndDotOpenTheListAndArrivingColumnsJoinIt)
{
    EXPECT_FALSE(MenuGrayed(CMD_COMPLETENAME)) << "Complete Name is enabled in the editor";
    TypeAtEnd("SELECT * FROM cust");
    FrameCommand(CMD_COMPLETENAME);
    EXPECT_EQ("SELECT * FROM customers", EditorText(child)) << "one candidate: inserted at once";

    names->missing = "orders";
    TypeAtEnd("SELECT  FROM orders o");
    EDITORRANGE caret = {{1, 8}, {1, 8}};
    SendMessageW(child->Editor, WM_EDITOR_SETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    SendMessageW(child->Editor, WM_CHAR, 'o', 1);
    SendMessageW(child->Editor, WM_CHAR, '.', 1);
    EXPECT_TRUE(State().Open) << "\".\" after an alias opens the list, its columns not there yet";
    EXPECT_EQ(0, State().Shown);
    names->missing.clear();
    PostMessageA(child->Window, WM_NAMES_ARRIVED, 0, 0);
    PumpMessages(100);
    EXPECT_EQ(3, State().Shown) << "the columns joined the open list";
    SendMessageW(child->Editor, WM_CHAR, 't', 1);
    SendMessageW(child->Editor, WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(child->Editor, WM_CHAR, '\r', 1);
    EXPECT_EQ("SELECT o.total FROM orders o", EditorText(child));
}
