#include "app/BrowserRows.h"

#include "base/TextFold.h"

namespace {

const char Separator = '\1';

std::string FolderKey(std::string_view database, CatalogObjectKind kind)
{
    std::string key(database);
    key.push_back(Separator);
    key.push_back((char)('0' + kind));
    return key;
}

std::string ObjectKey(std::string_view database, CatalogObjectKind kind, std::string_view name)
{
    std::string key = FolderKey(database, kind);
    key.push_back(Separator);
    key.append(name);
    return key;
}

struct Builder {
    BROWSERMODEL &Model;
    std::vector<BrowserRow> &Rows;

    void Add(BrowserRowKind kind, uint8_t depth, CatalogObjectKind object, bool expandable, bool expanded,
             uint32_t database, uint32_t item, const void *source, const std::string *message = nullptr)
    {
        Rows.push_back(BrowserRow{kind, depth, object, expandable, expanded, database, item, source, message});
    }

    void Message(uint8_t depth, uint32_t database, const std::string *text)
    {
        Add(RowMessage, depth, KindTable, false, false, database, 0, nullptr, text);
    }

    // A table's or view's columns, then its indexes folder.
    void AddDetails(uint32_t database, const std::string &databaseName, CatalogObjectKind kind,
                    std::string_view name)
    {
        auto table = GetTable(Model.Cache, databaseName, std::string(name));
        Model.Tables.push_back(table);
        if (table->State == CatalogLoading) return Message(4, database, &Model.Loading);
        if (table->State == CatalogFailed) return Message(4, database, &table->Error);
        for (uint32_t i = 0; i < table->Columns.size(); i++)
            Add(RowColumn, 4, kind, false, false, database, i, table.get());
        if (kind != KindTable || table->Indexes.empty()) return;
        bool open = Model.ExpandedIndexes.count(ObjectKey(databaseName, kind, name)) > 0;
        Add(RowIndexes, 4, kind, true, open, database, 0, table.get());
        if (!open) return;
        for (uint32_t i = 0; i < table->Indexes.size(); i++)
            Add(RowIndex, 5, kind, false, false, database, i, table.get());
    }

    // The names of one folder: all of them, or those listed.
    void AddObjects(uint32_t database, const std::string &databaseName, const CatalogObjects *objects,
                    CatalogObjectKind kind, const std::vector<uint32_t> *only)
    {
        const NameList &names = objects->Names[kind];
        auto expanded = Model.ExpandedObjects.find(FolderKey(databaseName, kind));
        const std::set<std::string, std::less<>> *open =
            expanded != Model.ExpandedObjects.end() && !expanded->second.empty() ? &expanded->second : nullptr;
        bool expandable = kind == KindTable || kind == KindView;
        size_t count = only ? only->size() : names.Count();
        for (size_t n = 0; n < count; n++) {
            uint32_t i = only ? (*only)[n] : (uint32_t)n;
            bool isOpen = expandable && open && open->find(names.At(i)) != open->end();
            Add(RowObject, 3, kind, expandable, isOpen, database, i, objects);
            if (isOpen) AddDetails(database, databaseName, kind, names.At(i));
        }
    }

    bool RoutinesWaiting(const CatalogObjects *objects, CatalogObjectKind kind)
    {
        return kind >= KindProcedure && objects->RoutinesState == CatalogLoading;
    }

    void AddDatabase(uint32_t database, const std::string &name)
    {
        bool open = Model.ExpandedDatabases.count(name) > 0;
        Add(RowDatabase, 0, KindTable, true, open, database, 0, nullptr);
        if (!open) return;
        auto objects = GetObjects(Model.Cache, name);
        Model.Objects.push_back(objects);
        if (objects->State == CatalogLoading) return Message(1, database, &Model.Loading);
        if (objects->State == CatalogFailed) return Message(1, database, &objects->Error);
        for (int k = KindTable; k < CatalogKindCount; k++) {
            CatalogObjectKind kind = (CatalogObjectKind)k;
            bool folderOpen = Model.ExpandedFolders.count(FolderKey(name, kind)) > 0;
            Add(RowFolder, 1, kind, true, folderOpen, database, 0, objects.get());
            if (!folderOpen) continue;
            if (RoutinesWaiting(objects.get(), kind)) Message(2, database, &Model.Loading);
            else if (kind >= KindProcedure && objects->RoutinesState == CatalogFailed) Message(2, database, &objects->Error);
            else AddObjects(database, name, objects.get(), kind, nullptr);
        }
    }

    // While filtering: the database when its name matches; its tables and
    // views that match, in open folders beneath it.
    void AddFiltered(uint32_t database, const std::string &name, const std::string &folded, bool &waiting)
    {
        auto objects = GetObjects(Model.Cache, name);
        Model.Objects.push_back(objects);
        bool nameMatches = folded.find(Model.Filter) != std::string::npos;
        if (objects->State == CatalogLoading) waiting = true;
        std::vector<uint32_t> *matches = Model.Matches;
        matches[0].clear();
        matches[1].clear();
        if (objects->State == CatalogLoaded) {
            objects->Names[KindTable].Find(Model.Filter, matches[0]);
            objects->Names[KindView].Find(Model.Filter, matches[1]);
        }
        bool anyMatch = !matches[0].empty() || !matches[1].empty();
        if (!nameMatches && !anyMatch) return;
        if (!anyMatch) {
            // Only the database's own name matches: it opens as it would
            // without a filter.
            AddDatabase(database, name);
            return;
        }
        Add(RowDatabase, 0, KindTable, true, true, database, 0, nullptr);
        for (int k = KindTable; k <= KindView; k++) {
            if (matches[k].empty()) continue;
            Add(RowFolder, 1, (CatalogObjectKind)k, false, true, database, (uint32_t)matches[k].size(), objects.get());
            AddObjects(database, name, objects.get(), (CatalogObjectKind)k, &matches[k]);
        }
    }
};

const CatalogObjects *ObjectsOf(const BrowserRow &row) { return static_cast<const CatalogObjects *>(row.Source); }
const CatalogTable *TableOf(const BrowserRow &row) { return static_cast<const CatalogTable *>(row.Source); }

} // namespace

// The rows are built into the vector of the last build: 100,000 rows are
// megabytes, and memory handed to the process anew at every keystroke
// costs more than building them.
void BuildRows(BROWSERMODEL &model)
{
    std::vector<BrowserRow> &rows = model.Rows;
    rows.clear();
    // The snapshots of the last build stay alive until the new rows are in.
    std::vector<std::shared_ptr<const CatalogObjects>> oldObjects;
    std::vector<std::shared_ptr<const CatalogTable>> oldTables;
    oldObjects.swap(model.Objects);
    oldTables.swap(model.Tables);
    Builder builder{model, rows};
    if (!model.Cache) return;
    model.Databases = GetDatabases(model.Cache);
    const CatalogDatabases &databases = *model.Databases;
    if (databases.State == CatalogLoading && databases.Names.Count() == 0) builder.Message(0, 0, &model.Loading);
    if (databases.State == CatalogFailed) builder.Message(0, 0, &databases.Error);
    bool waiting = false;
    for (uint32_t i = 0; i < databases.Names.Count(); i++) {
        std::string name(databases.Names.At(i));
        if (model.Filter.empty()) builder.AddDatabase(i, name);
        else builder.AddFiltered(i, name, std::string(databases.Names.FoldedAt(i)), waiting);
    }
    if (waiting) builder.Message(0, 0, &model.Loading);
}

void ToggleRow(BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size() || !model.Rows[index].Expandable) return;
    const BrowserRow &row = model.Rows[index];
    std::string database = DatabaseOfRow(model, index);
    auto flip = [&](auto &set, const auto &key) {
        if (row.Expanded) set.erase(key);
        else set.insert(key);
    };
    switch (row.Kind) {
    case RowDatabase: flip(model.ExpandedDatabases, database); break;
    case RowFolder: flip(model.ExpandedFolders, FolderKey(database, row.Object)); break;
    case RowObject: flip(model.ExpandedObjects[FolderKey(database, row.Object)], RowName(model, index)); break;
    case RowIndexes: flip(model.ExpandedIndexes, ObjectKey(database, row.Object, RowObjectName(model, index))); break;
    default: break;
    }
    BuildRows(model);
}

void SetFilter(BROWSERMODEL &model, const std::string &typed)
{
    model.Filter = fold::Utf8(typed);
    BuildRows(model);
}

void ResetModel(BROWSERMODEL &model, NAMECACHE *cache)
{
    NAMECACHE *keep = cache;
    std::string filter = model.Filter;
    model = BROWSERMODEL();
    model.Cache = keep;
    model.Filter = filter;
}

const char *FolderName(CatalogObjectKind kind)
{
    static const char *const names[CatalogKindCount] = {"Tables", "Views", "Procedures", "Functions", "Triggers"};
    return names[kind];
}

std::string RowName(const BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size()) return "";
    const BrowserRow &row = model.Rows[index];
    switch (row.Kind) {
    case RowDatabase: return std::string(model.Databases->Names.At(row.Database));
    case RowFolder: return FolderName(row.Object);
    case RowObject: return std::string(ObjectsOf(row)->Names[row.Object].At(row.Item));
    case RowColumn: return TableOf(row)->Columns[row.Item].Name;
    case RowIndexes: return "Indexes";
    case RowIndex: return TableOf(row)->Indexes[row.Item].Name;
    case RowMessage: return *row.Message;
    }
    return "";
}

std::string RowText(const BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size()) return "";
    const BrowserRow &row = model.Rows[index];
    std::string text = RowName(model, index);
    if (row.Kind == RowFolder) {
        const CatalogObjects *objects = ObjectsOf(row);
        bool known = row.Object < KindProcedure || objects->RoutinesState == CatalogLoaded;
        // While filtering a folder counts its matches.
        size_t count = model.Filter.empty() ? objects->Names[row.Object].Count() : row.Item;
        if (known) text += " (" + std::to_string(count) + ")";
    } else if (row.Kind == RowIndexes) {
        text += " (" + std::to_string(TableOf(row)->Indexes.size()) + ")";
    }
    return text;
}

std::string RowDetail(const BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size()) return "";
    const BrowserRow &row = model.Rows[index];
    if (row.Kind == RowColumn) {
        const CatalogColumn &column = TableOf(row)->Columns[row.Item];
        std::string detail = column.Type;
        if (column.PrimaryKey) detail += ", PK";
        if (column.NotNull) detail += ", NOT NULL";
        return detail;
    }
    if (row.Kind == RowIndex) {
        const CatalogIndex &found = TableOf(row)->Indexes[row.Item];
        return "(" + found.Columns + (found.Unique ? "), unique" : ")");
    }
    return "";
}

std::string DatabaseOfRow(const BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size() || !model.Databases) return "";
    const BrowserRow &row = model.Rows[index];
    if (row.Kind == RowMessage && !row.Source && row.Depth == 0) return "";
    return std::string(model.Databases->Names.At(row.Database));
}

size_t ParentRow(const BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size()) return index;
    uint8_t depth = model.Rows[index].Depth;
    for (size_t i = index; i-- > 0;)
        if (model.Rows[i].Depth < depth) return i;
    return index;
}

std::string RowObjectName(const BROWSERMODEL &model, size_t index)
{
    if (index >= model.Rows.size()) return "";
    const BrowserRow &row = model.Rows[index];
    if (row.Kind == RowObject) return RowName(model, index);
    if (row.Kind == RowColumn || row.Kind == RowIndexes || row.Kind == RowIndex) return TableOf(row)->Table;
    return "";
}

size_t FirstObjectRow(const BROWSERMODEL &model)
{
    for (size_t i = 0; i < model.Rows.size(); i++)
        if (model.Rows[i].Kind == RowObject) return i;
    return model.Rows.size();
}
