#include "querywindow/SqlCompletion.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_set>

#include "base/TextFold.h"
#include "query/SqlNames.h"
#include "querywindow/ScriptStatements.h"

const char *const CompletionKindLabels[CompletionKindCount] = {"column", "table", "view", "database", "keyword",
                                                               "function"};

namespace {

bool IsNameByte(unsigned char c) { return isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

struct Token {
    enum Kind { Word, Quoted, Literal, Punct } kind;
    size_t begin, end;
};

// MariaDB's lexical rules for what can hide a ";" or a name: strings with
// backslash escapes and doubled quotes, backticked names, the three kinds
// of comment.
class Tokenizer {
public:
    Tokenizer(std::string_view text, size_t caret) : text(text), caret(caret) {}

    std::vector<Token> Run(size_t from, size_t to)
    {
        std::vector<Token> tokens;
        size_t p = from;
        while (p < to) {
            unsigned char c = static_cast<unsigned char>(text[p]);
            if (isspace(c)) {
                p++;
                continue;
            }
            size_t begin = p;
            Token::Kind kind = Token::Punct;
            if (IsNameByte(c)) {
                while (p < to && IsNameByte(static_cast<unsigned char>(text[p]))) p++;
                kind = Token::Word;
            } else if (c == '`') {
                p = QuotedEnd(p, to, '`', false);
                kind = Token::Quoted;
            } else if (c == '\'' || c == '"') {
                p = QuotedEnd(p, to, static_cast<char>(c), true);
                kind = Token::Literal;
            } else if (c == '#' || StartsLineComment(p, to)) {
                p = text.find('\n', p);
                p = p == std::string_view::npos ? to : std::min(p, to);
                kind = Token::Literal;
            } else if (c == '/' && p + 1 < to && text[p + 1] == '*') {
                size_t close = text.find("*/", p + 2);
                p = close == std::string_view::npos || close + 2 > to ? to : close + 2;
                kind = Token::Literal;
            } else {
                p++;
            }
            bool lineComment = kind == Token::Literal && (c == '#' || c == '-');
            if (kind == Token::Literal && begin < caret &&
                (caret < p || (lineComment && caret == p) || (p == to && !Closed(begin, p))))
                inLiteral = true;
            tokens.push_back({kind, begin, p});
        }
        return tokens;
    }

    bool inLiteral = false;

private:
    bool StartsLineComment(size_t p, size_t to) const
    {
        return text[p] == '-' && p + 1 < to && text[p + 1] == '-' &&
               (p + 2 >= to || isspace(static_cast<unsigned char>(text[p + 2])) ||
                iscntrl(static_cast<unsigned char>(text[p + 2])));
    }
    // After the closing quote (a doubled one is part of the text), or the
    // end of the region for an unclosed one.
    size_t QuotedEnd(size_t p, size_t to, char quote, bool escapes) const
    {
        for (p++; p < to; p++) {
            if (escapes && text[p] == '\\') {
                p++;
                continue;
            }
            if (text[p] != quote) continue;
            if (p + 1 < to && text[p + 1] == quote) {
                p++;
                continue;
            }
            return p + 1;
        }
        return to;
    }
    // A string or block comment that ends at the region's end may be
    // unclosed: the caret after it is still inside.
    bool Closed(size_t begin, size_t end) const
    {
        char first = text[begin];
        if (first == '\'' || first == '"') return end - begin >= 2 && text[end - 1] == first;
        if (first == '/') return end - begin >= 4 && text.substr(end - 2, 2) == "*/";
        return false; // a line comment runs to the line's end
    }

    std::string_view text;
    size_t caret;
};

bool IsKeyword(std::string_view text, const Token &token, const char *keyword)
{
    size_t length = strlen(keyword);
    if (token.kind != Token::Word || token.end - token.begin != length) return false;
    for (size_t i = 0; i < length; i++)
        if (tolower(static_cast<unsigned char>(text[token.begin + i])) != keyword[i]) return false;
    return true;
}

bool IsPunct(std::string_view text, const Token &token, char c)
{
    return token.kind == Token::Punct && text[token.begin] == c;
}

// A name token: a backticked name, or a word the server does not reserve.
bool IsName(std::string_view text, const Token &token)
{
    if (token.kind == Token::Quoted) return true;
    return token.kind == Token::Word && !IsReservedWord(text.substr(token.begin, token.end - token.begin));
}

std::string NameOf(std::string_view text, const Token &token)
{
    std::string_view raw = text.substr(token.begin, token.end - token.begin);
    if (token.kind != Token::Quoted) return std::string(raw);
    raw.remove_prefix(1);
    if (!raw.empty() && raw.back() == '`') raw.remove_suffix(1);
    std::string name;
    for (size_t i = 0; i < raw.size(); i++) {
        name += raw[i];
        if (raw[i] == '`' && i + 1 < raw.size() && raw[i + 1] == '`') i++;
    }
    return name;
}

// "name", "db.name", either followed by "AS alias" or "alias"; then, after
// FROM, ", " and the next one.
// A name being typed (at typedToken, or a database followed by "." and
// nothing yet) is not a table yet.
void ReadTableList(std::string_view text, const std::vector<Token> &tokens, size_t i, bool list, size_t typedToken,
                   std::vector<SQLTABLEREFERENCE> &tables)
{
    while (i < tokens.size() && IsName(text, tokens[i]) && i != typedToken) {
        SQLTABLEREFERENCE table;
        table.Table = NameOf(text, tokens[i++]);
        if (i < tokens.size() && IsPunct(text, tokens[i], '.')) {
            if (i + 1 >= tokens.size() || !IsName(text, tokens[i + 1]) || i + 1 == typedToken) return;
            table.Database = table.Table;
            table.Table = NameOf(text, tokens[i + 1]);
            i += 2;
        }
        if (i < tokens.size() && IsKeyword(text, tokens[i], "as")) i++;
        if (i < tokens.size() && IsName(text, tokens[i])) table.Alias = NameOf(text, tokens[i++]);
        tables.push_back(std::move(table));
        if (!list || i >= tokens.size() || !IsPunct(text, tokens[i], ',')) return;
        i++;
    }
}

std::vector<SQLTABLEREFERENCE> TablesOf(std::string_view text, const std::vector<Token> &tokens, size_t typedToken)
{
    std::vector<SQLTABLEREFERENCE> tables;
    for (size_t i = 0; i + 1 < tokens.size(); i++) {
        bool from = IsKeyword(text, tokens[i], "from");
        if (!from && !IsKeyword(text, tokens[i], "join") && !IsKeyword(text, tokens[i], "update") &&
            !IsKeyword(text, tokens[i], "into"))
            continue;
        ReadTableList(text, tokens, i + 1, from || IsKeyword(text, tokens[i], "update"), typedToken, tables);
    }
    return tables;
}

// The lines of the statement around the caret, as the script scanner tells
// statements apart (DELIMITER lines and compound statements included): from
// the start of its first line to the start of the next statement's line.
void StatementLines(std::string_view text, size_t caret, size_t &from, size_t &to)
{
    from = 0;
    to = text.size();
    SCRIPTSTATEMENTS statements = ScanStatements(text.data(), text.size());
    if (!statements.Certain) return;
    int32_t caretLine = static_cast<int32_t>(std::count(text.begin(), text.begin() + caret, '\n'));
    int32_t firstLine = 0, nextLine = -1;
    for (int32_t line : statements.StartLines) {
        if (line <= caretLine) firstLine = line;
        if (line > caretLine) {
            nextLine = line;
            break;
        }
    }
    int32_t line = 0;
    for (size_t p = 0; p < text.size(); p++) {
        if (text[p] != '\n') continue;
        line++;
        if (line == firstLine) from = p + 1;
        if (line == nextLine) {
            to = p + 1;
            break;
        }
    }
}

} // namespace

SQLCARET ReadSqlCaret(std::string_view text, size_t caret)
{
    SQLCARET result;
    caret = std::min(caret, text.size());
    result.TypedStart = caret;
    size_t from, to;
    StatementLines(text, caret, from, to);
    Tokenizer tokenizer(text, caret);
    std::vector<Token> tokens = tokenizer.Run(from, to);
    if (tokenizer.inLiteral) {
        result.InLiteral = true;
        return result;
    }
    // The statement: between the ";" before the caret and the one after.
    size_t first = 0, last = tokens.size();
    for (size_t i = 0; i < tokens.size(); i++) {
        if (!IsPunct(text, tokens[i], ';')) continue;
        if (tokens[i].end <= caret)
            first = i + 1;
        else {
            last = i;
            break;
        }
    }
    std::vector<Token> statement(tokens.begin() + first, tokens.begin() + last);
    // The typed part: a word or backticked name that the caret ends or is in.
    size_t caretToken = statement.size();
    for (size_t i = 0; i < statement.size(); i++) {
        const Token &token = statement[i];
        if ((token.kind == Token::Word || token.kind == Token::Quoted) && token.begin < caret && caret <= token.end) {
            caretToken = i;
            result.TypedStart = token.begin;
            result.Typed = std::string(text.substr(token.begin, caret - token.begin));
        }
        if (token.begin >= caret && caretToken == statement.size()) caretToken = i;
    }
    // "a.b." before it: the names, outermost first.
    size_t i = caretToken;
    while (i >= 2 && IsPunct(text, statement[i - 1], '.') && statement[i - 1].end <= result.TypedStart &&
           (statement[i - 2].kind == Token::Word || statement[i - 2].kind == Token::Quoted)) {
        result.Qualifiers.insert(result.Qualifiers.begin(), NameOf(text, statement[i - 2]));
        i -= 2;
    }
    result.Tables = TablesOf(text, statement, result.Typed.empty() ? statement.size() : caretToken);
    return result;
}

void CompletionList::AddName(std::string_view name, std::string_view foldedName, CompletionKind kind)
{
    AddName(name, foldedName, kind, NameNeedsQuoting(name));
}

void CompletionList::AddName(std::string_view name, std::string_view foldedName, CompletionKind kind,
                             bool needsQuoting)
{
    Entry entry{};
    entry.name = static_cast<uint32_t>(names.size());
    entry.nameLength = static_cast<uint32_t>(name.size());
    names.append(name);
    entry.folded = static_cast<uint32_t>(folded.size());
    entry.foldedLength = static_cast<uint32_t>(foldedName.size());
    folded.append(foldedName);
    entry.insert = UINT32_MAX;
    if (needsQuoting) {
        std::string quoted = QuotedName(name);
        entry.insert = static_cast<uint32_t>(inserts.size());
        entry.insertLength = static_cast<uint32_t>(quoted.size());
        inserts.append(quoted);
    }
    entry.kind = kind;
    entries.push_back(entry);
}

void CompletionList::AddWord(std::string_view word, CompletionKind kind)
{
    Entry entry{};
    entry.name = static_cast<uint32_t>(names.size());
    entry.nameLength = static_cast<uint32_t>(word.size());
    names.append(word);
    entry.insert = UINT32_MAX;
    entry.kind = kind;
    entry.flags = EDITORCOMPLETIONITEM_TYPEDCASE;
    entries.push_back(entry);
}

std::string_view CompletionList::NameAt(size_t i) const
{
    return std::string_view(names).substr(entries[i].name, entries[i].nameLength);
}

void CompletionList::Append(const CompletionList &other)
{
    uint32_t nameShift = static_cast<uint32_t>(names.size()), foldedShift = static_cast<uint32_t>(folded.size()),
             insertShift = static_cast<uint32_t>(inserts.size());
    names += other.names;
    folded += other.folded;
    inserts += other.inserts;
    size_t first = entries.size();
    entries.insert(entries.end(), other.entries.begin(), other.entries.end());
    for (size_t i = first; i < entries.size(); i++) {
        Entry &entry = entries[i];
        entry.name += nameShift;
        entry.folded += foldedShift;
        if (entry.insert != UINT32_MAX) entry.insert += insertShift;
    }
}

void CompletionList::Clear()
{
    names.clear();
    folded.clear();
    inserts.clear();
    entries.clear();
}

std::vector<EDITORCOMPLETIONITEM> CompletionList::Items() const
{
    std::vector<EDITORCOMPLETIONITEM> items;
    Items(items);
    return items;
}

void CompletionList::Items(std::vector<EDITORCOMPLETIONITEM> &items) const
{
    items.resize(entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry &entry = entries[i];
        EDITORCOMPLETIONITEM &item = items[i];
        item.Text = names.data() + entry.name;
        item.TextLength = entry.nameLength;
        if (entry.foldedLength) {
            item.Folded = folded.data() + entry.folded;
            item.FoldedLength = entry.foldedLength;
        }
        if (entry.insert != UINT32_MAX) {
            item.Insert = inserts.data() + entry.insert;
            item.InsertLength = entry.insertLength;
        }
        item.Kind = entry.kind;
        item.Flags = entry.flags;
    }
}

namespace {

const char *const Keywords[] = {
    "SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "NULL", "IS", "IN", "LIKE", "BETWEEN", "EXISTS", "AS", "ON",
    "USING", "JOIN", "INNER", "LEFT", "RIGHT", "OUTER", "CROSS", "NATURAL", "GROUP BY", "ORDER BY", "HAVING",
    "LIMIT", "OFFSET", "UNION", "ALL", "DISTINCT", "ASC", "DESC", "INSERT", "INTO", "VALUES", "UPDATE", "SET",
    "DELETE", "REPLACE", "CREATE", "ALTER", "DROP", "TRUNCATE", "RENAME", "TABLE", "VIEW", "INDEX", "DATABASE",
    "PROCEDURE", "FUNCTION", "TRIGGER", "PRIMARY KEY", "FOREIGN KEY", "REFERENCES", "UNIQUE", "DEFAULT",
    "AUTO_INCREMENT", "CASE", "WHEN", "THEN", "ELSE", "END", "BEGIN", "COMMIT", "ROLLBACK", "USE", "SHOW",
    "DESCRIBE", "EXPLAIN", "CALL", "WITH", "DUPLICATE", "IGNORE", "TEMPORARY", "IF", "INT", "BIGINT",
    "VARCHAR", "CHAR", "TEXT", "DATE", "DATETIME", "TIMESTAMP", "DECIMAL", "DOUBLE", "FLOAT", "BLOB",
};
// Functions whose names are keywords too (REPLACE, LEFT, RIGHT, DATABASE)
// are offered once, as keywords.
const char *const Functions[] = {
    "COUNT", "SUM", "AVG", "MIN", "MAX", "CONCAT", "CONCAT_WS", "GROUP_CONCAT", "COALESCE", "IFNULL", "NULLIF",
    "LENGTH", "CHAR_LENGTH", "SUBSTRING", "TRIM", "UPPER", "LOWER", "LOCATE",
    "ROUND", "FLOOR", "CEIL", "ABS", "MOD", "RAND", "NOW", "CURDATE", "CURTIME", "DATE_FORMAT", "DATE_ADD",
    "DATE_SUB", "DATEDIFF", "YEAR", "MONTH", "DAY", "UNIX_TIMESTAMP", "FROM_UNIXTIME", "CAST", "CONVERT",
    "USER", "VERSION", "LAST_INSERT_ID", "FOUND_ROWS", "JSON_EXTRACT", "JSON_OBJECT", "UUID",
};

bool SameName(std::string_view a, std::string_view b) { return fold::Compare(a, b) == 0; }

// The table a qualifier names through the statement: an alias first, then
// a table written without one.
const SQLTABLEREFERENCE *StatementTable(const SQLCARET &caret, std::string_view name)
{
    for (const SQLTABLEREFERENCE &table : caret.Tables)
        if (!table.Alias.empty() && SameName(table.Alias, name)) return &table;
    for (const SQLTABLEREFERENCE &table : caret.Tables)
        if (SameName(table.Table, name)) return &table;
    return nullptr;
}

bool AddColumnsOf(const SQLTABLEREFERENCE &table, const std::string &currentDatabase, CompletionNames &names,
                  CompletionList &out)
{
    std::string database = table.Database.empty() ? currentDatabase : names.FindDatabase(table.Database);
    if (database.empty()) database = table.Database;
    std::string spelled = names.FindTable(database, table.Table);
    return names.AddColumns(database, spelled.empty() ? table.Table : spelled, out);
}

// After "q.": an alias or table of the statement, a database, a table of
// the current database; nothing for a name not known.
COMPLETIONRESULT BuildQualified(const SQLCARET &caret, const std::string &currentDatabase, CompletionNames &names,
                                CompletionList &out)
{
    COMPLETIONRESULT result;
    if (caret.Qualifiers.size() >= 2) {
        const std::string &database = caret.Qualifiers[caret.Qualifiers.size() - 2];
        SQLTABLEREFERENCE table{database, caret.Qualifiers.back(), ""};
        result.AfterKnownName = !names.FindDatabase(database).empty();
        result.Complete = AddColumnsOf(table, currentDatabase, names, out);
        return result;
    }
    const std::string &name = caret.Qualifiers.back();
    result.AfterKnownName = true;
    if (const SQLTABLEREFERENCE *table = StatementTable(caret, name)) {
        result.Complete = AddColumnsOf(*table, currentDatabase, names, out);
        return result;
    }
    std::string database = names.FindDatabase(name);
    if (!database.empty()) {
        result.Complete = names.AddTables(database, out);
        return result;
    }
    std::string table = currentDatabase.empty() ? std::string() : names.FindTable(currentDatabase, name);
    if (!table.empty()) {
        result.Complete = names.AddColumns(currentDatabase, table, out);
        return result;
    }
    // Not known yet perhaps: the list waits for the databases and the
    // current database's tables to arrive.
    CompletionList known;
    result.Complete = names.AddDatabases(known) && (currentDatabase.empty() || names.AddTables(currentDatabase, known));
    result.AfterKnownName = false;
    return result;
}

} // namespace

COMPLETIONRESULT BuildCompletion(const SQLCARET &caret, const std::string &currentDatabase, CompletionNames &names,
                                 CompletionList &out)
{
    if (caret.InLiteral) return {};
    if (!caret.Qualifiers.empty()) return BuildQualified(caret, currentDatabase, names, out);
    COMPLETIONRESULT result;
    // Two tables of the statement may share column names: each is offered once.
    CompletionList columns;
    for (const SQLTABLEREFERENCE &table : caret.Tables)
        result.Complete &= AddColumnsOf(table, currentDatabase, names, columns);
    std::unordered_set<std::string_view> seen;
    for (size_t i = 0; i < columns.Count(); i++)
        if (seen.insert(columns.NameAt(i)).second) out.AddName(columns.NameAt(i), {}, CompleteColumn);
    if (!currentDatabase.empty()) result.Complete &= names.AddTables(currentDatabase, out);
    result.Complete &= names.AddDatabases(out);
    for (const char *keyword : Keywords) out.AddWord(keyword, CompleteKeyword);
    for (const char *function : Functions) out.AddWord(function, CompleteFunction);
    return result;
}
