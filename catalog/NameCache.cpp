#include "catalog/NameCache.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <condition_variable>

#include "base/TextFold.h"
#include "base/ThreadStack.h"
#include "query/SqlNames.h"

namespace {

enum RequestType : uint8_t { LoadDatabases, LoadObjects, LoadRoutines, LoadTable, LoadCreate };

struct Request {
    RequestType Type;
    std::string Database, Name;
    CatalogObjectKind Kind = KindTable;
    HWND Window = nullptr; // LoadCreate: who gets the statement
    UINT Message = 0;

    bool operator==(const Request &other) const
    {
        return Type == other.Type && Database == other.Database && Name == other.Name && Type != LoadCreate;
    }
};

struct Listener {
    HWND Window;
    UINT Message;
};

// A worker that cannot stop within this long (a server that stopped
// answering) is left to end by itself at the program's end.
const DWORD StopWaitMilliseconds = 3000;
const unsigned int ConnectSeconds = 10;
// A browser's question never needs long; a stalled server must not keep
// the worker for ever.
const unsigned int AnswerSeconds = 120;

} // namespace

struct NAMECACHE {
    std::string Host, User, Password;
    // The way to the server (TLS mode and checks, SSH tunnel) as the
    // window's own connection takes it: the browser's connection must never
    // reach the server by a weaker or another road than the user chose.
    CONNECTIONROUTE Route{};
    HANDLE Thread = nullptr;

    // Guarded by Lock: shared between the user-interface thread and the worker.
    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<Request> Queue;
    bool Stopping = false;
    std::shared_ptr<const CatalogDatabases> Databases;
    std::map<std::string, std::shared_ptr<const CatalogObjects>> Objects;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const CatalogTable>> Tables;
    std::vector<Listener> Listeners;

    // The worker's alone.
    CONNECTIONINFO *Connection = nullptr;
};

namespace {

std::vector<NAMECACHE *> Caches; // the user-interface thread's

// Under the lock.
void Enqueue(NAMECACHE *cache, Request request)
{
    if (std::find(cache->Queue.begin(), cache->Queue.end(), request) != cache->Queue.end()) return;
    cache->Queue.push_back(std::move(request));
    cache->Wake.notify_one();
}

void Announce(NAMECACHE *cache, CatalogArrival arrival)
{
    std::lock_guard<std::mutex> guard(cache->Lock);
    for (const Listener &listener : cache->Listeners) PostMessageA(listener.Window, listener.Message, arrival, 0);
}

// The server's connection, opened (or opened again after it was lost) when
// first needed. False, with error set, when the server cannot be reached.
bool EnsureConnected(NAMECACHE *cache, std::string &error)
{
    if (cache->Connection && cache->Connection->Handle && !cache->Connection->Lost) return true;
    if (cache->Connection) FreeConnectionInfo(cache->Connection);
    cache->Connection = NewConnectionInfo(cache->Host.c_str(), cache->User.c_str(), cache->Password.c_str());
    if (!cache->Connection) {
        error = "Out of memory.";
        return false;
    }
    cache->Connection->Route = cache->Route;
    char text[512] = "";
    if (OpenConnectionWithin(cache->Connection, ConnectSeconds, text, sizeof text, AnswerSeconds)) return true;
    error = text[0] ? text : "The server could not be reached.";
    FreeConnectionInfo(cache->Connection);
    cache->Connection = nullptr;
    return false;
}

// Runs text (one statement or several) and hands each result set to each
// in order (its position, the result). Every result is read, so the
// session stays usable after an error. False with error set when a
// statement fails.
bool RunQueries(NAMECACHE *cache, const std::string &text, const std::function<void(int, MYSQL_RES *)> &each,
                std::string &error)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        if (!EnsureConnected(cache, error)) return false;
        MYSQL *handle = cache->Connection->Handle;
        if (mysql_real_query(handle, text.c_str(), (unsigned long)text.size()) != 0) {
            unsigned int code = mysql_errno(handle);
            error = mysql_error(handle);
            if (IsConnectionLostError(code) || code == 0) {
                // A session the server closed (a restart, a wait_timeout):
                // once more on a new one.
                cache->Connection->Lost = 1;
                continue;
            }
            return false;
        }
        int position = 0;
        bool failed = false;
        for (;;) {
            MYSQL_RES *result = mysql_store_result(handle);
            if (result) {
                each(position, result);
                mysql_free_result(result);
            }
            position++;
            if (!mysql_more_results || !mysql_more_results(handle)) break;
            int next = mysql_next_result(handle);
            if (next > 0) {
                error = mysql_error(handle);
                failed = true;
                break;
            }
            if (next < 0) break;
        }
        return !failed;
    }
    return false;
}

std::string Escaped(NAMECACHE *cache, const std::string &value)
{
    std::string out(value.size() * 2 + 1, '\0');
    unsigned long length = mysql_real_escape_string(cache->Connection->Handle, &out[0], value.c_str(),
                                                    (unsigned long)value.size());
    out.resize(length);
    return out;
}

// Names sorted as a person reads them: without regard to case, then by
// their bytes so that the order is total.
void PackSorted(std::vector<std::string> &names, NameList &list)
{
    std::vector<std::pair<std::string, size_t>> keyed;
    keyed.reserve(names.size());
    size_t bytes = 0;
    for (size_t i = 0; i < names.size(); i++) {
        keyed.emplace_back(fold::Utf8(names[i]), i);
        bytes += names[i].size();
    }
    std::sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
        if (a.first != b.first) return a.first < b.first;
        return names[a.second] < names[b.second];
    });
    list.Reserve(names.size(), bytes);
    for (const auto &key : keyed) list.Add(names[key.second]);
}

std::string Cell(MYSQL_ROW row, unsigned int column, unsigned int columns)
{
    return column < columns && row[column] ? row[column] : "";
}

void LoadDatabaseList(NAMECACHE *cache)
{
    auto loaded = std::make_shared<CatalogDatabases>();
    std::string error;
    bool ok = RunQueries(
        cache, "SHOW DATABASES",
        [&](int, MYSQL_RES *result) {
            while (MYSQL_ROW row = mysql_fetch_row(result))
                if (row[0]) loaded->Names.Add(row[0]);
        },
        error);
    loaded->State = ok ? CatalogLoaded : CatalogFailed;
    loaded->Error = error;
    {
        std::lock_guard<std::mutex> guard(cache->Lock);
        cache->Databases = loaded;
    }
    Announce(cache, ArrivedDatabases);
}

// The entry of a database to publish: a copy of what is there, so that a
// snapshot a caller holds never changes.
std::shared_ptr<CatalogObjects> CopyObjects(NAMECACHE *cache, const std::string &database)
{
    std::lock_guard<std::mutex> guard(cache->Lock);
    auto found = cache->Objects.find(database);
    auto copy = found != cache->Objects.end() ? std::make_shared<CatalogObjects>(*found->second)
                                              : std::make_shared<CatalogObjects>();
    copy->Database = database;
    return copy;
}

void Publish(NAMECACHE *cache, const std::string &database, std::shared_ptr<CatalogObjects> objects)
{
    {
        std::lock_guard<std::mutex> guard(cache->Lock);
        cache->Objects[database] = std::move(objects);
    }
    Announce(cache, ArrivedObjects);
}

// Tables and views in one round trip; the routines and triggers come in a
// second, so that a database of many tables lists them without waiting for
// the server to look through every table's triggers.
void LoadTablesAndViews(NAMECACHE *cache, const std::string &database)
{
    std::vector<std::string> tables, views;
    std::string error;
    bool ok = RunQueries(
        cache, "SHOW FULL TABLES FROM " + QuotedName(database),
        [&](int, MYSQL_RES *result) {
            unsigned int columns = mysql_num_fields(result);
            while (MYSQL_ROW row = mysql_fetch_row(result)) {
                std::string type = Cell(row, 1, columns);
                (type.find("VIEW") != std::string::npos ? views : tables).push_back(Cell(row, 0, columns));
            }
        },
        error);
    auto objects = CopyObjects(cache, database);
    objects->State = ok ? CatalogLoaded : CatalogFailed;
    objects->Error = error;
    if (ok) {
        objects->Names[KindTable] = NameList();
        objects->Names[KindView] = NameList();
        PackSorted(tables, objects->Names[KindTable]);
        PackSorted(views, objects->Names[KindView]);
    } else {
        objects->RoutinesState = CatalogFailed;
    }
    Publish(cache, database, objects);
    std::lock_guard<std::mutex> guard(cache->Lock);
    if (ok) Enqueue(cache, Request{LoadRoutines, database});
}

void LoadRoutinesAndTriggers(NAMECACHE *cache, const std::string &database)
{
    std::vector<std::string> names[CatalogKindCount];
    std::string error;
    if (!EnsureConnected(cache, error)) return;
    std::string schema = "'" + Escaped(cache, database) + "'";
    bool ok = RunQueries(cache,
                         "SELECT ROUTINE_NAME, ROUTINE_TYPE FROM information_schema.ROUTINES WHERE ROUTINE_SCHEMA = " +
                             schema + "; SELECT TRIGGER_NAME FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = " +
                             schema,
                         [&](int position, MYSQL_RES *result) {
                             unsigned int columns = mysql_num_fields(result);
                             while (MYSQL_ROW row = mysql_fetch_row(result)) {
                                 if (position == 1) names[KindTrigger].push_back(Cell(row, 0, columns));
                                 else
                                     names[Cell(row, 1, columns) == "FUNCTION" ? KindFunction : KindProcedure]
                                         .push_back(Cell(row, 0, columns));
                             }
                         },
                         error);
    auto objects = CopyObjects(cache, database);
    objects->RoutinesState = ok ? CatalogLoaded : CatalogFailed;
    if (!ok) objects->Error = error;
    for (int kind = KindProcedure; kind <= KindTrigger; kind++) {
        objects->Names[kind] = NameList();
        PackSorted(names[kind], objects->Names[kind]);
    }
    Publish(cache, database, objects);
}

// Columns and indexes of one table in one round trip.
void LoadTableDetails(NAMECACHE *cache, const std::string &database, const std::string &table)
{
    auto details = std::make_shared<CatalogTable>();
    details->Database = database;
    details->Table = table;
    std::string from = " FROM " + QuotedName(table) + " FROM " + QuotedName(database);
    std::string error;
    bool ok = RunQueries(
        cache, "SHOW COLUMNS" + from + "; SHOW INDEX" + from,
        [&](int position, MYSQL_RES *result) {
            unsigned int columns = mysql_num_fields(result);
            while (MYSQL_ROW row = mysql_fetch_row(result)) {
                if (position == 0) {
                    // Field, Type, Null, Key, Default, Extra
                    CatalogColumn column;
                    column.Name = Cell(row, 0, columns);
                    column.Type = Cell(row, 1, columns);
                    column.NotNull = Cell(row, 2, columns) == "NO";
                    column.PrimaryKey = Cell(row, 3, columns) == "PRI";
                    details->Columns.push_back(column);
                    continue;
                }
                // Table, Non_unique, Key_name, Seq_in_index, Column_name, ...
                std::string name = Cell(row, 2, columns), column = Cell(row, 4, columns);
                if (details->Indexes.empty() || details->Indexes.back().Name != name) {
                    details->Indexes.push_back(CatalogIndex{name, column, Cell(row, 1, columns) == "0"});
                } else {
                    details->Indexes.back().Columns += ", " + column;
                }
            }
        },
        error);
    details->State = ok ? CatalogLoaded : CatalogFailed;
    details->Error = error;
    {
        std::lock_guard<std::mutex> guard(cache->Lock);
        cache->Tables[{database, table}] = details;
    }
    Announce(cache, ArrivedTable);
}

const char *CreateKeyword(CatalogObjectKind kind)
{
    switch (kind) {
    case KindView: return "VIEW";
    case KindProcedure: return "PROCEDURE";
    case KindFunction: return "FUNCTION";
    case KindTrigger: return "TRIGGER";
    default: return "TABLE";
    }
}

void LoadCreateStatement(NAMECACHE *cache, const Request &request)
{
    // SHOW CREATE answers the statement in the second column for tables
    // and views, in the third for routines and triggers.
    unsigned int column = request.Kind == KindTable || request.Kind == KindView ? 1 : 2;
    std::string statement, error;
    bool ok = RunQueries(
        cache,
        std::string("SHOW CREATE ") + CreateKeyword(request.Kind) + " " +
            QualifiedName(request.Database, request.Name, ""),
        [&](int, MYSQL_RES *result) {
            unsigned int columns = mysql_num_fields(result);
            if (MYSQL_ROW row = mysql_fetch_row(result)) statement = Cell(row, column, columns);
        },
        error);
    const std::string &text = ok ? statement : error;
    char *copy = new char[text.size() + 1];
    memcpy(copy, text.c_str(), text.size() + 1);
    if (!PostMessageA(request.Window, request.Message, ok ? 1 : 0, (LPARAM)copy)) delete[] copy;
}

void Carry(NAMECACHE *cache, const Request &request)
{
    switch (request.Type) {
    case LoadDatabases: LoadDatabaseList(cache); break;
    case LoadObjects: LoadTablesAndViews(cache, request.Database); break;
    case LoadRoutines: LoadRoutinesAndTriggers(cache, request.Database); break;
    case LoadTable: LoadTableDetails(cache, request.Database, request.Name); break;
    case LoadCreate: LoadCreateStatement(cache, request); break;
    }
}

DWORD WINAPI CatalogWorker(void *parameter)
{
    AnnounceThreadStack();
    ClientThreadStart();
    NAMECACHE *cache = static_cast<NAMECACHE *>(parameter);
    for (;;) {
        Request request;
        {
            std::unique_lock<std::mutex> guard(cache->Lock);
            cache->Wake.wait(guard, [cache] { return cache->Stopping || !cache->Queue.empty(); });
            if (cache->Stopping) break;
            request = std::move(cache->Queue.front());
            cache->Queue.pop_front();
        }
        Carry(cache, request);
    }
    if (cache->Connection) FreeConnectionInfo(cache->Connection);
    cache->Connection = nullptr;
    ClientThreadEnd();
    return 0;
}

bool SameRoute(const CONNECTIONROUTE &a, const CONNECTIONROUTE &b)
{
    return a.TlsMode == b.TlsMode && !strcmp(a.TlsCa, b.TlsCa) && !strcmp(a.TlsFingerprint, b.TlsFingerprint) &&
           !strcmp(a.SshHost, b.SshHost) && !strcmp(a.SshUser, b.SshUser) && !strcmp(a.SshKey, b.SshKey);
}

bool SameAccount(const NAMECACHE *cache, const CONNECTIONINFO *connection)
{
    return cache->Host == (connection->Host ? connection->Host : "") &&
           cache->User == (connection->User ? connection->User : "") &&
           SameRoute(cache->Route, connection->Route);
}

void Ask(NAMECACHE *cache, Request request)
{
    std::lock_guard<std::mutex> guard(cache->Lock);
    Enqueue(cache, std::move(request));
}

} // namespace

NAMECACHE *ExistingNameCacheFor(const CONNECTIONINFO *connection)
{
    if (!connection) return nullptr;
    for (NAMECACHE *cache : Caches)
        if (SameAccount(cache, connection)) return cache;
    return nullptr;
}

NAMECACHE *NameCacheFor(const CONNECTIONINFO *connection)
{
    if (!connection) return nullptr;
    if (NAMECACHE *cache = ExistingNameCacheFor(connection)) return cache;
    NAMECACHE *cache = new NAMECACHE();
    cache->Host = connection->Host ? connection->Host : "";
    cache->User = connection->User ? connection->User : "";
    cache->Password = connection->Password ? connection->Password : "";
    cache->Route = connection->Route;
    cache->Thread = CreateThread(nullptr, 0, CatalogWorker, cache, 0, nullptr);
    if (!cache->Thread) {
        delete cache;
        return nullptr;
    }
    Caches.push_back(cache);
    return cache;
}

int FreeAllNameCaches()
{
    int running = 0;
    for (NAMECACHE *cache : Caches) {
        {
            std::lock_guard<std::mutex> guard(cache->Lock);
            cache->Stopping = true;
            cache->Listeners.clear();
            cache->Wake.notify_one();
        }
        // A worker still waiting for a stalled server keeps its record.
        bool ended = WaitForSingleObject(cache->Thread, StopWaitMilliseconds) == WAIT_OBJECT_0;
        CloseHandle(cache->Thread);
        if (ended) delete cache;
        else running++;
    }
    Caches.clear();
    return running;
}

std::shared_ptr<const CatalogDatabases> GetDatabases(NAMECACHE *cache)
{
    if (!cache) return std::make_shared<CatalogDatabases>();
    std::lock_guard<std::mutex> guard(cache->Lock);
    if (!cache->Databases) {
        cache->Databases = std::make_shared<CatalogDatabases>();
        Enqueue(cache, Request{LoadDatabases});
    }
    return cache->Databases;
}

std::shared_ptr<const CatalogObjects> GetObjects(NAMECACHE *cache, const std::string &database)
{
    if (!cache) return std::make_shared<CatalogObjects>();
    std::lock_guard<std::mutex> guard(cache->Lock);
    auto &entry = cache->Objects[database];
    if (!entry) {
        auto waiting = std::make_shared<CatalogObjects>();
        waiting->Database = database;
        entry = waiting;
        Enqueue(cache, Request{LoadObjects, database});
    }
    return entry;
}

std::shared_ptr<const CatalogTable> GetTable(NAMECACHE *cache, const std::string &database, const std::string &table)
{
    if (!cache) return std::make_shared<CatalogTable>();
    std::lock_guard<std::mutex> guard(cache->Lock);
    auto &entry = cache->Tables[{database, table}];
    if (!entry) {
        auto waiting = std::make_shared<CatalogTable>();
        waiting->Database = database;
        waiting->Table = table;
        entry = waiting;
        Enqueue(cache, Request{LoadTable, database, table});
    }
    return entry;
}

void AddCatalogListener(NAMECACHE *cache, HWND window, UINT message)
{
    if (!cache) return;
    std::lock_guard<std::mutex> guard(cache->Lock);
    for (Listener &listener : cache->Listeners)
        if (listener.Window == window) {
            listener.Message = message;
            return;
        }
    cache->Listeners.push_back(Listener{window, message});
}

void RemoveCatalogListener(NAMECACHE *cache, HWND window)
{
    if (!cache) return;
    std::lock_guard<std::mutex> guard(cache->Lock);
    auto &listeners = cache->Listeners;
    listeners.erase(std::remove_if(listeners.begin(), listeners.end(),
                                   [window](const Listener &listener) { return listener.Window == window; }),
                    listeners.end());
}

void MarkDatabaseStale(NAMECACHE *cache, const std::string &database)
{
    if (!cache) return;
    std::lock_guard<std::mutex> guard(cache->Lock);
    Enqueue(cache, Request{LoadDatabases});
    if (database.empty()) return;
    // Columns are loaded again when next asked for; the objects at once,
    // if they were ever asked for.
    for (auto table = cache->Tables.begin(); table != cache->Tables.end();)
        table = table->first.first == database ? cache->Tables.erase(table) : std::next(table);
    if (cache->Objects.count(database)) Enqueue(cache, Request{LoadObjects, database});
}

void RefreshNameCache(NAMECACHE *cache)
{
    if (!cache) return;
    std::lock_guard<std::mutex> guard(cache->Lock);
    Enqueue(cache, Request{LoadDatabases});
    cache->Tables.clear();
    for (const auto &objects : cache->Objects) Enqueue(cache, Request{LoadObjects, objects.first});
}

bool RequestCreateStatement(NAMECACHE *cache, CatalogObjectKind kind, const std::string &database,
                            const std::string &name, HWND window, UINT message)
{
    if (!cache || !window) return false;
    Request request{LoadCreate, database, name, kind, window, message};
    Ask(cache, std::move(request));
    return true;
}

void NoteBatchForNameCache(const CONNECTIONINFO *connection, const char *text, const std::string &currentDatabase)
{
    NAMECACHE *cache = ExistingNameCacheFor(connection);
    std::vector<std::string> databases;
    bool databaseList = false;
    if (!cache || !BatchChangesNames(text, currentDatabase, databases, databaseList)) return;
    for (const std::string &database : databases) MarkDatabaseStale(cache, database);
    if (databases.empty() || databaseList) MarkDatabaseStale(cache, "");
}
