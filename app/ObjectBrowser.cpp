#include "app/ObjectBrowser.h"

#include <commctrl.h>

#include <cstring>
#include <new>
#include <string>

#include "app/BrowserRows.h"
#include "app/ObjectTree.h"
#include "base/ActionFailure.h"
#include "base/Clipboard.h"
#include "base/Dpi.h"
#include "base/Utf8.h"
#include "base/WindowState.h"
#include "catalog/NameCache.h"
#include "query/SqlNames.h"
#include "querywindow/FrameServices.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"

namespace {

struct BROWSERDATA {
    HWND Window;
    HWND Filter;
    HWND Tree;
    HFONT Font;
    int Dpi;             // the scale Font and the filter box's height are made for
    WNDPROC FilterProc;
    BROWSERMODEL Model;
};

// At 96 DPI.
const int FilterHeight = 22, FilterFontHeight = 12;
const UINT_PTR FollowTimerId = 1;
// Often enough that the tree follows a click on another query window
// before the person looks over, seldom enough to cost nothing.
const UINT FollowPeriod = 300;

enum MenuCommand { MenuSelectRows = 1, MenuShowCreate, MenuCopyName, MenuRefresh };

BROWSERDATA *BrowserOf(HWND pane)
{
    char name[sizeof OBJECTBROWSER_CLASS + 1] = "";
    if (!pane || !GetClassNameA(pane, name, sizeof name) || strcmp(name, OBJECTBROWSER_CLASS) != 0) return nullptr;
    return StateOf<BROWSERDATA>(pane);
}

size_t SelectedRow(BROWSERDATA *browser) { return (size_t)SendMessageA(browser->Tree, WM_TREE_GETSELECTED, 0, 0); }

void Rebuild(BROWSERDATA *browser)
{
    BuildRows(browser->Model);
    SendMessageA(browser->Tree, WM_TREE_REFRESH, 0, 0);
}

// The tree shows the active query window's server; another server (or
// none) starts it afresh, the filter kept.
void Follow(BROWSERDATA *browser)
{
    NAMECACHE *cache = NameCacheFor(QueryWindowConnection(ActiveQueryWindow()));
    if (cache == browser->Model.Cache) return;
    RemoveCatalogListener(browser->Model.Cache, browser->Window);
    ResetModel(browser->Model, cache);
    AddCatalogListener(cache, browser->Window, WM_BROWSER_ARRIVED);
    Rebuild(browser);
    SendMessageA(browser->Tree, WM_TREE_SELECT, 0, 0);
}

std::string FilterText(BROWSERDATA *browser)
{
    int length = GetWindowTextLengthW(browser->Filter);
    std::u16string text((size_t)length + 1, u'\0');
    GetWindowTextW(browser->Filter, reinterpret_cast<WCHAR *>(&text[0]), length + 1);
    text.resize((size_t)length);
    return utf8::FromUtf16(text.c_str(), text.size());
}

// At every keystroke: the rows built anew from the cache and the first
// match selected, drawn before the next key is read.
void OnFilterChanged(BROWSERDATA *browser)
{
    SetFilter(browser->Model, FilterText(browser));
    SendMessageA(browser->Tree, WM_TREE_REFRESH, 0, 0);
    size_t first = FirstObjectRow(browser->Model);
    SendMessageA(browser->Tree, WM_TREE_SELECT, first < browser->Model.Rows.size() ? first : 0, 0);
    UpdateWindow(browser->Tree);
}

std::string CurrentDatabaseOfActive()
{
    const CONNECTIONINFO *connection = QueryWindowConnection(ActiveQueryWindow());
    return connection && connection->Database ? connection->Database : "";
}

// The row's name as it goes into SQL: an object qualified with its
// database where that is not the window's, each part in backticks where
// it needs them. Empty for rows that name nothing.
std::string NameForSql(BROWSERDATA *browser, size_t row)
{
    const BROWSERMODEL &model = browser->Model;
    if (row >= model.Rows.size()) return "";
    switch (model.Rows[row].Kind) {
    case RowDatabase: return QuotedName(RowName(model, row));
    case RowObject: return QualifiedName(DatabaseOfRow(model, row), RowName(model, row), CurrentDatabaseOfActive());
    case RowColumn: return QuotedName(RowName(model, row));
    default: return "";
    }
}

void Act(BROWSERDATA *browser, size_t row)
{
    std::string name = NameForSql(browser, row);
    if (!name.empty()) {
        InsertAtQueryWindowCaret(ActiveQueryWindow(), name.c_str());
        return;
    }
    if (row < browser->Model.Rows.size() && browser->Model.Rows[row].Expandable) {
        ToggleRow(browser->Model, row);
        SendMessageA(browser->Tree, WM_TREE_REFRESH, 0, 0);
    }
}

bool IsTableOrView(const BrowserRow &row)
{
    return row.Kind == RowObject && (row.Object == KindTable || row.Object == KindView);
}

void ShowFailure(BROWSERDATA *browser, const char *text)
{
    MessageBoxA(GetParent(browser->Window), text, "Vintrel", MB_OK | MB_ICONERROR);
}

// A new query window on the same server (and the object's database),
// holding text; when run, it runs the text at once.
void OpenWindowWith(BROWSERDATA *browser, const std::string &database, const std::string &text, bool run)
{
    char error[512] = "";
    HWND window = CloneQueryWindow(ActiveQueryWindow(), text.c_str(), error, sizeof error);
    if (!window) {
        if (error[0]) ShowFailure(browser, error);
        return;
    }
    const CONNECTIONINFO *connection = QueryWindowConnection(window);
    if (!database.empty() && connection && database != (connection->Database ? connection->Database : ""))
        SwitchQueryWindowDatabase(window, database.c_str());
    if (run) SendMessageA(window, WM_COMMAND, CMD_EXECUTE, 0);
}

void SelectRows(BROWSERDATA *browser, size_t row)
{
    if (row >= browser->Model.Rows.size() || !IsTableOrView(browser->Model.Rows[row])) return;
    std::string database = DatabaseOfRow(browser->Model, row);
    std::string text = "SELECT * FROM " + QuotedName(database) + "." + QuotedName(RowName(browser->Model, row)) +
                       " LIMIT 1000;";
    OpenWindowWith(browser, database, text, true);
}

void ShowCreateStatement(BROWSERDATA *browser, size_t row)
{
    if (row >= browser->Model.Rows.size() || browser->Model.Rows[row].Kind != RowObject) return;
    RequestCreateStatement(browser->Model.Cache, browser->Model.Rows[row].Object, DatabaseOfRow(browser->Model, row),
                           RowName(browser->Model, row), browser->Window, WM_BROWSER_CREATESTATEMENT);
}

void OnCreateStatement(BROWSERDATA *browser, WPARAM ok, char *text)
{
    if (!text) return;
    if (ok) OpenWindowWith(browser, "", text, false);
    else ShowFailure(browser, text);
    delete[] text;
}

void CopyName(BROWSERDATA *browser, size_t row)
{
    std::string name = NameForSql(browser, row);
    if (name.empty()) name = RowName(browser->Model, row);
    CopyUtf8ToClipboard(browser->Window, name.c_str(), name.size());
}

void Refresh(BROWSERDATA *browser, size_t row)
{
    std::string database = DatabaseOfRow(browser->Model, row);
    if (database.empty()) RefreshNameCache(browser->Model.Cache);
    else MarkDatabaseStale(browser->Model.Cache, database);
}

void ShowContextMenu(BROWSERDATA *browser, POINT screen)
{
    size_t row = SelectedRow(browser);
    if (row >= browser->Model.Rows.size()) return;
    const BrowserRow &chosen = browser->Model.Rows[row];
    HMENU menu = CreatePopupMenu();
    UINT objectOnly = chosen.Kind == RowObject ? MF_ENABLED : MF_GRAYED;
    AppendMenuA(menu, IsTableOrView(chosen) ? MF_ENABLED : MF_GRAYED, MenuSelectRows, "Select Rows\tCtrl+Enter");
    AppendMenuA(menu, objectOnly, MenuShowCreate, "Show Create Statement");
    AppendMenuA(menu, MF_ENABLED, MenuCopyName, "Copy Name");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_ENABLED, MenuRefresh, "Refresh");
    int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, browser->Window, nullptr);
    DestroyMenu(menu);
    switch (command) {
    case MenuSelectRows: SelectRows(browser, row); break;
    case MenuShowCreate: ShowCreateStatement(browser, row); break;
    case MenuCopyName: CopyName(browser, row); break;
    case MenuRefresh: Refresh(browser, row); break;
    }
}

// While the focus is in the pane the edit commands are the pane's: the
// frame's menu offers them whatever the editor behind would allow.
void OfferEditCommands(BROWSERDATA *browser)
{
    static const UINT commands[] = {CMD_UNDO, CMD_CUT, CMD_COPY, CMD_PASTE, CMD_DELETE, CMD_SELECTALL, CMD_CLEARWINDOW};
    for (UINT command : commands) EnableFrameMenuItem(GetParent(browser->Window), command, true);
}

LRESULT OnNotify(BROWSERDATA *browser, NMHDR *header)
{
    if (header->hwndFrom != browser->Tree) return 0;
    size_t row = SelectedRow(browser);
    switch (header->code) {
    case TREEN_ACT: Act(browser, row); break;
    case TREEN_RUN: SelectRows(browser, row); break;
    case TREEN_MENU: ShowContextMenu(browser, reinterpret_cast<TREEMENU *>(header)->Screen); break;
    case TREEN_SETFOCUS: OfferEditCommands(browser); break;
    }
    return 0;
}

// Down leaves the filter for the first match; Enter acts on it.
LRESULT CALLBACK FilterSubclassProc(HWND filter, UINT message, WPARAM wParam, LPARAM lParam)
{
    BROWSERDATA *browser = BrowserOf(GetParent(filter));
    if (!browser) return DefWindowProcW(filter, message, wParam, lParam);
    size_t first = FirstObjectRow(browser->Model);
    if (message == WM_KEYDOWN && wParam == VK_DOWN) {
        SendMessageA(browser->Tree, WM_TREE_SELECT, first < browser->Model.Rows.size() ? first : 0, 0);
        SetFocus(browser->Tree);
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        if (first < browser->Model.Rows.size()) {
            SendMessageA(browser->Tree, WM_TREE_SELECT, first, 0);
            if (GetKeyState(VK_CONTROL) < 0) SelectRows(browser, first);
            else Act(browser, first);
        }
        return 0;
    }
    // The Enter's character would only beep.
    if (message == WM_CHAR && (wParam == '\r' || wParam == '\n')) return 0;
    return CallWindowProcW(browser->FilterProc, filter, message, wParam, lParam);
}

void Layout(BROWSERDATA *browser, int width, int height)
{
    int filter = ScaleForDpi(FilterHeight, browser->Dpi);
    MoveWindow(browser->Filter, 0, 0, width, filter, TRUE);
    MoveWindow(browser->Tree, 0, filter, width, height > filter ? height - filter : 0, TRUE);
}

// The filter box's font for dpi; the tree makes its own.
void ApplyScale(BROWSERDATA *browser, int dpi)
{
    HFONT font = CreateFontA(-ScaleForDpi(FilterFontHeight, dpi), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             0, "Tahoma");
    if (!font) return;
    SendMessageW(browser->Filter, WM_SETFONT, (WPARAM)font, TRUE);
    if (browser->Font) DeleteObject(browser->Font);
    browser->Font = font;
    browser->Dpi = dpi;
}

// The frame moved to a monitor of another scale (dpi; 0 asks the window's).
void FollowScale(BROWSERDATA *browser, int dpi)
{
    if (dpi <= 0) dpi = WindowDpi(browser->Window);
    if (dpi == browser->Dpi) return;
    ApplyScale(browser, dpi);
    SendMessageA(browser->Tree, WM_DPICHANGED_AFTERPARENT, dpi, 0);
    RECT client;
    GetClientRect(browser->Window, &client);
    Layout(browser, client.right, client.bottom);
}

// The filter box is a Unicode window: typed text of any script reaches it
// whole.
LRESULT OnCreate(HWND window)
{
    BROWSERDATA *browser = new (std::nothrow) BROWSERDATA();
    if (!browser) return -1;
    browser->Window = window;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    browser->Filter = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 0,
                                      0, window, (HMENU)(INT_PTR)IDC_BROWSERFILTER, instance, nullptr);
    browser->Tree = CreateWindowExA(WS_EX_CLIENTEDGE, OBJECTTREE_CLASS, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL,
                                    0, 0, 0, 0, window, (HMENU)(INT_PTR)IDC_BROWSERTREE, instance, nullptr);
    if (!browser->Filter || !browser->Tree) {
        delete browser;
        return -1;
    }
    ApplyScale(browser, WindowDpi(window));
    SendMessageW(browser->Filter, EM_SETCUEBANNER, TRUE, (LPARAM)L"Filter");
    browser->FilterProc = (WNDPROC)SetWindowLongPtrW(browser->Filter, GWLP_WNDPROC, (LONG_PTR)FilterSubclassProc);
    AttachState(window, browser);
    SendMessageA(browser->Tree, WM_TREE_SETMODEL, 0, (LPARAM)&browser->Model);
    SetTimer(window, FollowTimerId, FollowPeriod, nullptr);
    return 0;
}

void OnDestroy(HWND window, BROWSERDATA *browser)
{
    KillTimer(window, FollowTimerId);
    RemoveCatalogListener(browser->Model.Cache, window);
    SetWindowLongPtrW(browser->Filter, GWLP_WNDPROC, (LONG_PTR)browser->FilterProc);
    SendMessageA(browser->Tree, WM_TREE_SETMODEL, 0, 0);
    DeleteObject(browser->Font);
    AttachState(window, nullptr);
    delete browser;
}

void OnCommand(BROWSERDATA *browser, WPARAM wParam)
{
    if (LOWORD(wParam) == IDC_BROWSERFILTER) {
        if (HIWORD(wParam) == EN_CHANGE) OnFilterChanged(browser);
        if (HIWORD(wParam) == EN_SETFOCUS) OfferEditCommands(browser);
    }
}

LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) return OnCreate(window);
    BROWSERDATA *browser = StateOf<BROWSERDATA>(window);
    if (!browser) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_SIZE: Layout(browser, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_DPICHANGED_AFTERPARENT: FollowScale(browser, (int)wParam); return 0;
    case WM_TIMER:
        if (IsWindowVisible(window)) Follow(browser);
        return 0;
    case WM_BROWSER_FOLLOW: Follow(browser); return 0;
    case WM_BROWSER_ARRIVED: Rebuild(browser); return 0;
    case WM_BROWSER_CREATESTATEMENT: OnCreateStatement(browser, wParam, reinterpret_cast<char *>(lParam)); return 0;
    case WM_NOTIFY: return OnNotify(browser, reinterpret_cast<NMHDR *>(lParam));
    case WM_COMMAND: OnCommand(browser, wParam); return 0;
    case WM_SHOWWINDOW:
        if (wParam) Follow(browser);
        break;
    case WM_DESTROY: OnDestroy(window, browser); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterBrowser()
{
    ObjectTreeProc(nullptr, WM_USER, 0, 0);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ObjectBrowserProc;
    windowClass.cbWndExtra = sizeof(void *);
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = OBJECTBROWSER_CLASS;
    return RegisterClassExA(&windowClass);
}

} // namespace

HWND BrowserFilterBox(HWND pane)
{
    BROWSERDATA *browser = BrowserOf(pane);
    return browser ? browser->Filter : nullptr;
}

HWND BrowserTree(HWND pane)
{
    BROWSERDATA *browser = BrowserOf(pane);
    return browser ? browser->Tree : nullptr;
}

bool BrowserHasFocus(HWND pane)
{
    HWND focus = GetFocus();
    return BrowserOf(pane) && focus && (focus == pane || IsChild(pane, focus));
}

void FocusBrowserFilter(HWND pane)
{
    BROWSERDATA *browser = BrowserOf(pane);
    if (!browser) return;
    SetFocus(browser->Filter);
    SendMessageW(browser->Filter, EM_SETSEL, 0, -1);
}

void BrowserEditCommand(HWND pane, UINT command)
{
    BROWSERDATA *browser = BrowserOf(pane);
    if (!browser) return;
    if (GetFocus() == browser->Tree) {
        if (command == CMD_COPY) CopyName(browser, SelectedRow(browser));
        return;
    }
    HWND filter = browser->Filter;
    switch (command) {
    case CMD_UNDO: SendMessageW(filter, EM_UNDO, 0, 0); break;
    case CMD_CUT: SendMessageW(filter, WM_CUT, 0, 0); break;
    case CMD_COPY: SendMessageW(filter, WM_COPY, 0, 0); break;
    case CMD_PASTE: SendMessageW(filter, WM_PASTE, 0, 0); break;
    case CMD_DELETE: SendMessageW(filter, WM_CLEAR, 0, 0); break;
    case CMD_SELECTALL: SendMessageW(filter, EM_SETSEL, 0, -1); break;
    case CMD_CLEARWINDOW: SetWindowTextW(filter, L""); break;
    }
}

LRESULT CALLBACK ObjectBrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return message == WM_USER ? RegisterBrowser() : 0;
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        ReportFailedAction(window);
        return message == WM_CREATE ? -1 : 0;
    }
}
