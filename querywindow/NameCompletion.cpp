#include "querywindow/NameCompletion.h"

#include <string>
#include <vector>

#include "base/TextFold.h"
#include "catalog/NameCache.h"
#include "querywindow/ProgramValues.h"
#include "querywindow/WindowRecords.h"

struct COMPLETIONDATA {
    std::unique_ptr<CompletionNames> Names;
    // Kept from one list to the next, so that their memory is reused.
    CompletionList Candidates;
    std::vector<EDITORCOMPLETIONITEM> Items;
    // The list open now was built while names were still missing: their
    // arrival refreshes it.
    bool Waiting = false;
};

namespace {

COMPLETIONDATA *CompletionOf(CHILDDATA *child)
{
    if (!child->Completion) child->Completion = new COMPLETIONDATA;
    return child->Completion;
}

// The editor's text (CR LF line ends) and the caret's byte offset in it.
std::string EditorTextToCaret(HWND editor, size_t *caret)
{
    EDITORRANGE selection = {};
    SendMessageW(editor, WM_EDITOR_GETSEL, 1, reinterpret_cast<LPARAM>(&selection));
    EDITORRANGE before = {{1, 1}, selection.End};
    *caret = static_cast<size_t>(SendMessageW(editor, WM_EDITOR_GETTEXTLENGTH, reinterpret_cast<WPARAM>(&before), 0));
    size_t length = static_cast<size_t>(SendMessageW(editor, WM_EDITOR_GETTEXTLENGTH, 0, 0));
    std::string text(length + 1, '\0');
    SendMessageW(editor, WM_EDITOR_GETTEXT, 0, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length);
    return text;
}

// The column of a byte offset on its line (from 1).
int32_t ColumnOf(const std::string &text, size_t offset)
{
    size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    lineStart = lineStart == std::string::npos || offset == 0 ? 0 : lineStart + 1;
    return static_cast<int32_t>(offset - lineStart) + 1;
}

// The names of the connection's cache (catalog/NameCache.h): each Get
// answers at once with a snapshot and has the cache's worker load what is
// missing; its arrival is posted to the window as WM_NAMES_ARRIVED.
class CachedNames : public CompletionNames {
public:
    CachedNames(NAMECACHE *cache, HWND window) : cache(cache), window(window)
    {
        AddCatalogListener(cache, window, WM_NAMES_ARRIVED);
    }
    ~CachedNames() override { RemoveCatalogListener(cache, window); }

    bool AddDatabases(CompletionList &out) override
    {
        std::shared_ptr<const CatalogDatabases> databases = GetDatabases(cache);
        AddList(databases->Names, CompleteDatabase, out);
        return databases->State != CatalogLoading;
    }
    // The list of a snapshot is built once: each later list copies it.
    bool AddTables(const std::string &database, CompletionList &out) override
    {
        std::shared_ptr<const CatalogObjects> objects = GetObjects(cache, database);
        if (objects != tablesOf) {
            tables.Clear();
            AddList(objects->Names[KindTable], CompleteTable, tables);
            AddList(objects->Names[KindView], CompleteView, tables);
            tablesOf = objects;
        }
        out.Append(tables);
        return objects->State != CatalogLoading;
    }
    // Only for a table or view the cache knows: a name that is none (a
    // derived table's alias, a typing error) asks the server nothing.
    bool AddColumns(const std::string &database, const std::string &table, CompletionList &out) override
    {
        std::shared_ptr<const CatalogObjects> objects = GetObjects(cache, database);
        if (objects->Names[KindTable].IndexOf(table) < 0 && objects->Names[KindView].IndexOf(table) < 0)
            return objects->State != CatalogLoading;
        std::shared_ptr<const CatalogTable> details = GetTable(cache, database, table);
        for (const CatalogColumn &column : details->Columns) out.AddName(column.Name, {}, CompleteColumn);
        return details->State != CatalogLoading;
    }
    std::string FindDatabase(std::string_view name) override { return Find(GetDatabases(cache)->Names, name); }
    std::string FindTable(const std::string &database, std::string_view name) override
    {
        std::shared_ptr<const CatalogObjects> objects = GetObjects(cache, database);
        std::string found = Find(objects->Names[KindTable], name);
        return found.empty() ? Find(objects->Names[KindView], name) : found;
    }

private:
    static void AddList(const NameList &names, CompletionKind kind, CompletionList &out)
    {
        for (size_t i = 0; i < names.Count(); i++)
            out.AddName(names.At(i), names.FoldedAt(i), kind, names.NeedsQuoting(i));
    }
    // The exact name, else one equal without regard to case.
    static std::string Find(const NameList &names, std::string_view name)
    {
        long exact = names.IndexOf(name);
        if (exact >= 0) return std::string(names.At(static_cast<size_t>(exact)));
        std::string folded = fold::Utf8(name);
        for (size_t i = 0; i < names.Count(); i++)
            if (names.FoldedAt(i) == folded) return std::string(names.At(i));
        return {};
    }

    NAMECACHE *cache;
    HWND window;
    std::shared_ptr<const CatalogObjects> tablesOf;
    CompletionList tables;
};

// A window without a cache offers keywords and functions only.
class NoNames : public CompletionNames {
public:
    bool AddDatabases(CompletionList &) override { return true; }
    bool AddTables(const std::string &, CompletionList &) override { return true; }
    bool AddColumns(const std::string &, const std::string &, CompletionList &) override { return true; }
    std::string FindDatabase(std::string_view) override { return {}; }
    std::string FindTable(const std::string &, std::string_view) override { return {}; }
};

CompletionNames &NamesOf(CHILDDATA *child)
{
    COMPLETIONDATA *completion = CompletionOf(child);
    if (completion->Names) return *completion->Names;
    NAMECACHE *cache = NameCacheFor(child->Connection);
    if (cache)
        completion->Names = std::make_unique<CachedNames>(cache, child->Window);
    else
        completion->Names = std::make_unique<NoNames>();
    return *completion->Names;
}

void ShowCandidates(CHILDDATA *child, bool request, bool refresh)
{
    size_t caretOffset = 0;
    std::string text = EditorTextToCaret(child->Editor, &caretOffset);
    SQLCARET caret = ReadSqlCaret(text, caretOffset);
    if (caret.InLiteral) return;
    COMPLETIONDATA *data = CompletionOf(child);
    CompletionList &candidates = data->Candidates;
    candidates.Clear();
    const char *database = child->Connection && child->Connection->Database ? child->Connection->Database : "";
    COMPLETIONRESULT result = BuildCompletion(caret, database, NamesOf(child), candidates);
    if (!request && !refresh && !result.AfterKnownName) return;
    data->Waiting = !result.Complete;
    std::vector<EDITORCOMPLETIONITEM> &items = data->Items;
    candidates.Items(items);
    EDITORCOMPLETION completion = {};
    completion.StartColumn = ColumnOf(text, caret.TypedStart);
    completion.Count = static_cast<uint32_t>(items.size());
    completion.Items = items.data();
    completion.KindLabels = CompletionKindLabels;
    completion.KindCount = CompletionKindCount;
    completion.Flags = refresh ? EDITORCOMPLETION_REFRESH : request ? EDITORCOMPLETION_INSERTSINGLE : 0;
    SendMessageW(child->Editor, WM_EDITOR_SHOWCOMPLETION, 0, reinterpret_cast<LPARAM>(&completion));
}

} // namespace

void StartNameCompletion(CHILDDATA *child)
{
    SendMessageW(child->Editor, WM_EDITOR_SETCOMPLETIONTRIGGERS, 0,
                 reinterpret_cast<LPARAM>(CompleteAfterDot ? "." : ""));
}

void EndNameCompletion(CHILDDATA *child)
{
    delete child->Completion;
    child->Completion = nullptr;
}

void CompleteNameAtCaret(CHILDDATA *child, bool request) { ShowCandidates(child, request, false); }

void OnCompletionNeeded(CHILDDATA *child, const NMEDITORCOMPLETION *notice)
{
    CompleteNameAtCaret(child, notice->Reason == EDITORCOMPLETE_REQUEST);
}

void OnNamesArrived(CHILDDATA *child)
{
    if (!child->Completion || !child->Completion->Waiting) return;
    EDITORCOMPLETIONSTATE state = {};
    SendMessageW(child->Editor, WM_EDITOR_GETCOMPLETION, 0, reinterpret_cast<LPARAM>(&state));
    if (!state.Open) {
        child->Completion->Waiting = false;
        return;
    }
    ShowCandidates(child, false, true);
}

void UseCompletionNames(HWND queryWindow, std::unique_ptr<CompletionNames> names)
{
    CHILDDATA *child = StateOf<CHILDDATA>(queryWindow);
    if (child) CompletionOf(child)->Names = std::move(names);
}
