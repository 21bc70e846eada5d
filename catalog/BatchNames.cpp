// Which databases a batch's statements changed the names of: read from the
// text the user ran, so that the cache reloads only those.
#include "catalog/NameCache.h"

#include <algorithm>
#include <cctype>

namespace {

enum TokenType : uint8_t { Word, QuotedWord, Dot, Other };

struct Token {
    TokenType Type;
    std::string Text; // a word as written, a quoted one without its backticks
};

bool IsWordCharacter(char c) { return isalnum((unsigned char)c) || c == '_' || c == '$' || (unsigned char)c >= 0x80; }

bool SameWord(const Token &token, const char *word)
{
    if (token.Type != Word || token.Text.size() != strlen(word)) return false;
    for (size_t i = 0; i < token.Text.size(); i++)
        if (toupper((unsigned char)token.Text[i]) != word[i]) return false;
    return true;
}

// Skips a quoted literal from its opening quote; a doubled quote or a
// backslash escape stays inside (backticks know no backslash).
size_t SkipQuoted(const std::string &text, size_t at, std::string *content)
{
    char quote = text[at++];
    while (at < text.size()) {
        char c = text[at];
        if (c == '\\' && quote != '`' && at + 1 < text.size()) {
            at += 2;
            continue;
        }
        if (c == quote) {
            if (at + 1 < text.size() && text[at + 1] == quote) {
                if (content) content->push_back(quote);
                at += 2;
                continue;
            }
            return at + 1;
        }
        if (content) content->push_back(c);
        at++;
    }
    return at;
}

// The statements of the text as lists of tokens; comments and literals
// dropped.
std::vector<std::vector<Token>> Statements(const std::string &text)
{
    std::vector<std::vector<Token>> statements(1);
    size_t at = 0;
    while (at < text.size()) {
        char c = text[at];
        if (isspace((unsigned char)c)) {
            at++;
        } else if (c == '#' || (c == '-' && text.compare(at, 2, "--") == 0 &&
                                (at + 2 >= text.size() || isspace((unsigned char)text[at + 2])))) {
            size_t end = text.find('\n', at);
            at = end == std::string::npos ? text.size() : end;
        } else if (c == '/' && text.compare(at, 2, "/*") == 0) {
            size_t end = text.find("*/", at + 2);
            at = end == std::string::npos ? text.size() : end + 2;
        } else if (c == '\'' || c == '"') {
            at = SkipQuoted(text, at, nullptr);
            statements.back().push_back(Token{Other, ""});
        } else if (c == '`') {
            Token token{QuotedWord, ""};
            at = SkipQuoted(text, at, &token.Text);
            statements.back().push_back(token);
        } else if (IsWordCharacter(c)) {
            size_t end = at;
            while (end < text.size() && IsWordCharacter(text[end])) end++;
            statements.back().push_back(Token{Word, text.substr(at, end - at)});
            at = end;
        } else {
            if (c == ';') statements.emplace_back();
            else statements.back().push_back(Token{c == '.' ? Dot : Other, ""});
            at++;
        }
    }
    return statements;
}

bool IsName(const Token &token) { return token.Type == Word || token.Type == QuotedWord; }

void AddOnce(std::vector<std::string> &names, const std::string &name)
{
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// CREATE / ALTER / DROP DATABASE or SCHEMA [IF [NOT] EXISTS] name: the
// name, or empty for another statement.
std::string DatabaseStatementName(const std::vector<Token> &tokens)
{
    size_t at = 1;
    if (tokens.size() < 3 || !(SameWord(tokens[at], "DATABASE") || SameWord(tokens[at], "SCHEMA"))) return "";
    at++;
    if (SameWord(tokens[at], "IF")) at++;
    if (at < tokens.size() && SameWord(tokens[at], "NOT")) at++;
    if (at < tokens.size() && SameWord(tokens[at], "EXISTS")) at++;
    return at < tokens.size() && IsName(tokens[at]) ? tokens[at].Text : "";
}

} // namespace

bool BatchChangesNames(const char *text, const std::string &currentDatabase, std::vector<std::string> &databases,
                       bool &databaseList)
{
    databases.clear();
    databaseList = false;
    if (!text) return false;
    std::string current = currentDatabase;
    bool changes = false;
    for (const std::vector<Token> &tokens : Statements(text)) {
        if (tokens.empty()) continue;
        const Token &first = tokens[0];
        if (SameWord(first, "USE") && tokens.size() > 1 && IsName(tokens[1])) current = tokens[1].Text;
        if (!SameWord(first, "CREATE") && !SameWord(first, "ALTER") && !SameWord(first, "DROP") &&
            !SameWord(first, "RENAME"))
            continue;
        changes = true;
        std::string database = DatabaseStatementName(tokens);
        if (!database.empty()) {
            databaseList = true;
            AddOnce(databases, database);
            continue;
        }
        AddOnce(databases, current);
        for (size_t i = 0; i + 2 < tokens.size(); i++)
            if (IsName(tokens[i]) && tokens[i + 1].Type == Dot && IsName(tokens[i + 2])) AddOnce(databases, tokens[i].Text);
    }
    return changes;
}
