// The names of a server's objects, as the object browser and the name
// completion show them: databases; per database its tables, views,
// procedures, functions and triggers; per table or view its columns and
// indexes.
//
// One cache per server and account. It loads over a connection of its own
// (never a query window's, which may be running a batch) on a worker
// thread of its own, so no call here ever waits for the server: each Get
// answers with what is cached now and asks the worker for what is missing
// or stale. When something arrives, every listener gets its message
// posted. What a Get returns is an immutable snapshot: it stays valid (and
// unchanged) while the caller holds it, whatever the worker loads
// meanwhile.
//
// All functions are for the user-interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/ClientLibrary.h"

// A list of names packed into one block of text, with the same names
// folded (base/TextFold.h) beside them for searching without regard to
// case. 100,000 names cost little more than their bytes.
class NameList {
public:
    size_t Count() const { return Starts.size(); }
    std::string_view At(size_t i) const;
    // The folded form of name i (fold::Utf8 of At(i)).
    std::string_view FoldedAt(size_t i) const;
    // Indexes, in order, of the names that contain foldedNeedle (folded by
    // fold::Utf8); every name for an empty needle.
    void Find(std::string_view foldedNeedle, std::vector<uint32_t> &indexes) const;
    // The index of the name that is exactly name (case included), or -1.
    long IndexOf(std::string_view name) const;
    // Whether name i is written in backticks (query/SqlNames.h), decided
    // when the list is made, on the cache's worker: a list of 100,000
    // names offered for completion is then a copy, not 100,000 checks.
    bool NeedsQuoting(size_t i) const { return i < Quoting.size() && Quoting[i]; }
    // Bytes held (text, folded text and offsets), for the benchmark.
    size_t MemoryBytes() const;

    void Add(std::string_view name);
    void Reserve(size_t names, size_t bytes);

private:
    std::string Text, Folded;                  // names, each ended by a zero byte
    std::vector<uint32_t> Starts, FoldedStarts; // where each begins
    bool SeparateFolded = false;                // some name folds to other text: Folded holds them all
    std::vector<bool> Quoting;                  // NeedsQuoting of each name
};

// Where a part of the cache stands.
enum CatalogState : uint8_t {
    CatalogLoading, // asked for, not there yet (a stale part keeps its old names meanwhile)
    CatalogLoaded,
    CatalogFailed,  // the server refused or could not be reached: Error says why
};

struct CatalogDatabases {
    CatalogState State = CatalogLoading;
    std::string Error;
    NameList Names; // in the server's order
};

enum CatalogObjectKind : uint8_t { KindTable, KindView, KindProcedure, KindFunction, KindTrigger, CatalogKindCount };

// The objects of one database. Tables and views come first (one round
// trip); routines and triggers after them, so RoutinesState may still be
// CatalogLoading when State is CatalogLoaded.
struct CatalogObjects {
    std::string Database;
    CatalogState State = CatalogLoading;
    CatalogState RoutinesState = CatalogLoading;
    std::string Error;
    NameList Names[CatalogKindCount]; // indexed by CatalogObjectKind, each sorted by name
};

struct CatalogColumn {
    std::string Name;
    std::string Type; // as the server writes it: "int(11)", "varchar(20)"
    bool PrimaryKey = false;
    bool NotNull = false;
};

struct CatalogIndex {
    std::string Name;    // "PRIMARY" for the primary key
    std::string Columns; // "a, b"
    bool Unique = false;
};

// The columns and indexes of one table or view.
struct CatalogTable {
    std::string Database, Table;
    CatalogState State = CatalogLoading;
    std::string Error;
    std::vector<CatalogColumn> Columns; // in the table's order
    std::vector<CatalogIndex> Indexes;
};

struct NAMECACHE;

// The cache of the connection's server and account (host text and user)
// reached by the connection's road (TLS mode and checks, SSH tunnel), made
// at the first call; it opens its own connection with the record's host,
// user, password and road when it first needs the server. Null without a
// connection.
NAMECACHE *NameCacheFor(const CONNECTIONINFO *connection);
// The cache of that server and account if one was made, else null (for
// callers that must not start loading, as the end of a batch).
NAMECACHE *ExistingNameCacheFor(const CONNECTIONINFO *connection);
// Ends every worker, closes the caches' connections and frees them (at the
// program's end; the tests between cases). Returns the number of workers
// that did not end within a few seconds (still waiting for a server): the
// client library must then stay loaded.
int FreeAllNameCaches();

// The databases the account may see.
std::shared_ptr<const CatalogDatabases> GetDatabases(NAMECACHE *cache);
// The objects of a database.
std::shared_ptr<const CatalogObjects> GetObjects(NAMECACHE *cache, const std::string &database);
// The columns and indexes of a table or view.
std::shared_ptr<const CatalogTable> GetTable(NAMECACHE *cache, const std::string &database, const std::string &table);

// Each arrival (databases, objects, routines, a table's details) posts
// message to window with wParam the CatalogArrival and lParam 0; the
// receiver asks again with the Gets. A window stops listening before it is
// destroyed.
enum CatalogArrival : uint8_t { ArrivedDatabases, ArrivedObjects, ArrivedTable };
void AddCatalogListener(NAMECACHE *cache, HWND window, UINT message);
void RemoveCatalogListener(NAMECACHE *cache, HWND window);

// The database's objects and tables changed (DDL): what is cached stays
// shown and is loaded again at once (the database list too, which a CREATE
// or DROP DATABASE changes). An empty name reloads only the database list.
void MarkDatabaseStale(NAMECACHE *cache, const std::string &database);
// Everything loaded again (the Refresh command).
void RefreshNameCache(NAMECACHE *cache);

// After a batch: whether its text creates, alters, drops or renames
// objects, and which databases it touched (each qualified name's database,
// those of USE, and currentDatabase where a statement names no database).
// databaseList tells that the list of databases itself changed.
bool BatchChangesNames(const char *text, const std::string &currentDatabase, std::vector<std::string> &databases,
                       bool &databaseList);
// The same applied to the connection's cache, if one exists.
void NoteBatchForNameCache(const CONNECTIONINFO *connection, const char *text, const std::string &currentDatabase);

// The server's CREATE statement of an object, fetched on the worker: posts
// message to window with lParam a heap text (new char[]) that the receiver
// owns and frees with delete[], and wParam 1 for the statement or 0 for an
// error text. False when it could not even be asked.
bool RequestCreateStatement(NAMECACHE *cache, CatalogObjectKind kind, const std::string &database,
                            const std::string &name, HWND window, UINT message);
