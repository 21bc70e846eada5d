// The object browser's tree as a list of rows, built from the cache of
// names: what is expanded, what the filter lets through, and the text of
// each row. No window: the tree window draws these rows, and a row refers
// into the cache's snapshots rather than holding its text, so a database
// of 100,000 tables costs one small record per row and one pass to build.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/NameCache.h"

enum BrowserRowKind : uint8_t {
    RowDatabase,
    RowFolder,  // Tables, Views, Procedures, Functions, Triggers of a database
    RowObject,  // a table, view, procedure, function or trigger
    RowColumn,
    RowIndexes, // the Indexes folder of a table
    RowIndex,
    RowMessage, // "Loading..." or why a part cannot be shown
};

struct BrowserRow {
    BrowserRowKind Kind;
    uint8_t Depth;
    CatalogObjectKind Object; // folders, objects and what is below them
    bool Expandable;
    bool Expanded;
    uint32_t Database;        // index into the databases' names
    uint32_t Item;            // index into the folder's names, the columns or the indexes
    const void *Source;       // the CatalogObjects or CatalogTable the row reads its name from
    const std::string *Message; // RowMessage: its text
};

struct BROWSERMODEL {
    NAMECACHE *Cache = nullptr;
    std::string Filter; // folded; empty: no filter
    std::vector<BrowserRow> Rows;

    // The snapshots the rows point into, kept until the next build.
    std::shared_ptr<const CatalogDatabases> Databases;
    std::vector<std::shared_ptr<const CatalogObjects>> Objects;
    std::vector<std::shared_ptr<const CatalogTable>> Tables;
    // What the person opened: databases, folders ("db\1kind"), objects
    // and index folders under their folder's key.
    std::set<std::string> ExpandedDatabases;
    std::set<std::string> ExpandedFolders;
    std::map<std::string, std::set<std::string, std::less<>>> ExpandedObjects;
    std::set<std::string> ExpandedIndexes;
    // The filter's matches per folder, kept between keystrokes so that
    // their memory is not handed out anew each time.
    std::vector<uint32_t> Matches[2];
    std::string Loading = "Loading...";
};

// Builds the rows anew from what the cache holds now, asking it for
// whatever an expanded row or the filter needs.
void BuildRows(BROWSERMODEL &model);
// Opens or closes a row (a database, folder, table or view, or a table's
// indexes), then builds the rows anew.
void ToggleRow(BROWSERMODEL &model, size_t row);
// Sets the filter (as typed) and builds the rows anew.
void SetFilter(BROWSERMODEL &model, const std::string &typed);
// Forgets the rows, expansions and snapshots (another server).
void ResetModel(BROWSERMODEL &model, NAMECACHE *cache);

// The row's name (a folder's name with its count), and what is drawn
// after it in grey: a column's type and marks, an index's columns.
std::string RowText(const BROWSERMODEL &model, size_t row);
std::string RowDetail(const BROWSERMODEL &model, size_t row);
// The database a row belongs to ("" for none), and for an object, column
// or index, the object's name.
std::string DatabaseOfRow(const BROWSERMODEL &model, size_t row);
std::string RowObjectName(const BROWSERMODEL &model, size_t row);
// The bare name of a row (an object's, a column's, a database's).
std::string RowName(const BROWSERMODEL &model, size_t row);
// The row's parent row, or the row itself at the top.
size_t ParentRow(const BROWSERMODEL &model, size_t row);
// The first table or view row (the first match while filtering), or
// Rows.size() when there is none.
size_t FirstObjectRow(const BROWSERMODEL &model);
// Folder names as shown.
const char *FolderName(CatalogObjectKind kind);
