// What name completion offers at the caret, without a window: the
// statement around the caret, the tables it names (with their aliases), the
// name being typed and what qualifies it, and from these the candidates,
// the likeliest first. The names come from a CompletionNames, which answers
// at once with what it has (the object browser's cache, or names given by
// hand in the tests).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeMaxControl.h"

// A table the statement names (FROM, JOIN, UPDATE, INTO), as written there
// without quotes; Database is empty when the name is not qualified.
struct SQLTABLEREFERENCE {
    std::string Database, Table, Alias;
};

struct SQLCARET {
    bool InLiteral = false;        // in a string or a comment: nothing to offer
    size_t TypedStart = 0;         // byte offset of the typed part (an opening backtick included)
    std::string Typed;             // from there to the caret
    std::vector<std::string> Qualifiers; // the names before it, each followed by ".", unquoted
    std::vector<SQLTABLEREFERENCE> Tables;
};

// Reads the statement around a byte offset of a script (UTF-8).
SQLCARET ReadSqlCaret(std::string_view text, size_t caret);

enum CompletionKind : uint16_t {
    CompleteColumn,
    CompleteTable,
    CompleteView,
    CompleteDatabase,
    CompleteKeyword,
    CompleteFunction,
    CompletionKindCount
};
// The labels the list shows beside each name, by CompletionKind.
extern const char *const CompletionKindLabels[CompletionKindCount];

// The candidates of one list, packed: names, their folded forms and, for
// names that need backticks, what is inserted.
class CompletionList {
public:
    // A name from the server, inserted as the server spells it (in
    // backticks where needed). folded may be empty: the editor folds it.
    void AddName(std::string_view name, std::string_view folded, CompletionKind kind);
    // The same, with whether it needs backticks known already.
    void AddName(std::string_view name, std::string_view folded, CompletionKind kind, bool needsQuoting);
    // A keyword or function, inserted in the case of the typed part.
    void AddWord(std::string_view word, CompletionKind kind);
    // Another list's candidates after these (a block copy: a list of
    // 100,000 tables built once is offered again in a millisecond).
    void Append(const CompletionList &other);
    // Empties the list, keeping its memory for the next one.
    void Clear();
    size_t Count() const { return entries.size(); }
    // The items for WM_EDITOR_SHOWCOMPLETION; they point into the list.
    std::vector<EDITORCOMPLETIONITEM> Items() const;
    void Items(std::vector<EDITORCOMPLETIONITEM> &items) const;
    std::string_view NameAt(size_t i) const;

private:
    struct Entry {
        uint32_t name, nameLength, folded, foldedLength, insert, insertLength;
        uint16_t kind, flags;
    };
    std::string names, folded, inserts;
    std::vector<Entry> entries;
};

// Where the names come from. No call may wait for the server: each adds
// what is known now and answers false when that is not all (the rest is
// then asked for and announced when it arrives).
class CompletionNames {
public:
    virtual ~CompletionNames() = default;
    virtual bool AddDatabases(CompletionList &out) = 0;
    // Tables and views.
    virtual bool AddTables(const std::string &database, CompletionList &out) = 0;
    virtual bool AddColumns(const std::string &database, const std::string &table, CompletionList &out) = 0;
    // The name as the server spells it when it is a database (a table or
    // view of database) known now: the exact name, else one equal without
    // regard to case; empty otherwise.
    virtual std::string FindDatabase(std::string_view name) = 0;
    virtual std::string FindTable(const std::string &database, std::string_view name) = 0;
};

struct COMPLETIONRESULT {
    bool Complete = true;    // every name asked for was there
    bool AfterKnownName = false; // the typed part follows "name." of a known database, table or alias
};

// The candidates for the caret: after "db." its tables and views, after
// "table." or "alias." its columns; elsewhere the columns of the
// statement's tables, the tables and views of the current database, the
// databases, then keywords and functions.
COMPLETIONRESULT BuildCompletion(const SQLCARET &caret, const std::string &currentDatabase, CompletionNames &names,
                                 CompletionList &out);
