#include "app/HistoryDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "base/ActionFailure.h"
#include "base/Clipboard.h"
#include "base/DialogPlacement.h"
#include "base/Utf8.h"
#include "history/HistoryStore.h"
#include "history/HistoryView.h"
#include "querywindow/QueryWindow.h"
#include "resources/resource.h"

namespace {

// The dialog's record: the history it shows and what was chosen.
struct HISTORYDIALOG {
    HWND Dialog = nullptr;
    HWND Search = nullptr;
    HWND List = nullptr;
    HWND Servers = nullptr;
    HWND Databases = nullptr;
    WNDPROC SearchProc = nullptr;
    HWND QueryWindow = nullptr;  // where the chosen text goes
    HWND Frame = nullptr;
    HISTORYVIEW View;
    std::vector<std::string> ServerNames, DatabaseNames; // the choices after "(All ...)"
    std::string Chosen;          // the text to insert once the dialog has closed
    bool Insert = false;
    std::string Cell;            // the text of the cell the list last asked for
    std::u16string WideCell;
};

// Posted by the folding thread: more entries can be searched.
const UINT WM_HISTORYFOLDED = WM_APP + 1;

enum HistoryColumn { ColumnTime, ColumnServer, ColumnDatabase, ColumnDuration, ColumnOutcome, ColumnQuery };
struct COLUMNSPEC {
    const char *Title;
    int Width; // dialog units
};
// The last column takes the rest of the list's width.
const COLUMNSPEC Columns[] = {{"Time", 78}, {"Server", 55}, {"Database", 50},
                              {"Duration", 38}, {"Outcome", 70}, {"Query", 0}};

HISTORYDIALOG *DialogRecord(HWND dialog)
{
    return reinterpret_cast<HISTORYDIALOG *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

std::string TimeText(int64_t started)
{
    FILETIME utc = {(DWORD)(uint64_t)started, (DWORD)((uint64_t)started >> 32)}, local;
    SYSTEMTIME time = {};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return std::string();
    char text[40];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
             time.wMinute, time.wSecond);
    return text;
}

std::string DurationText(uint32_t milliseconds)
{
    char text[40];
    if (milliseconds < 1000)
        snprintf(text, sizeof text, "%u ms", milliseconds);
    else
        snprintf(text, sizeof text, "%.1f s", milliseconds / 1000.0);
    return text;
}

std::string OutcomeText(const HISTORYITEM &item)
{
    char text[160];
    switch (item.Outcome) {
    case HistoryRowsReturned: snprintf(text, sizeof text, "%lld row(s) returned", (long long)item.Rows); break;
    case HistoryFailed:
        snprintf(text, sizeof text, "Error %u: %.*s", item.ErrorNumber, (int)std::min<size_t>(item.Error.size(), 120),
                 item.Error.data());
        break;
    case HistoryCancelled: snprintf(text, sizeof text, "Cancelled"); break;
    default: snprintf(text, sizeof text, "%lld row(s) affected", (long long)item.Affected); break;
    }
    return text;
}

std::string QueryText(const HISTORYITEM &item)
{
    if (item.Flags & HistoryTextOmitted) return "(not recorded: the batch carries a password)";
    return FirstLineOf(item.Text);
}

std::string CellText(const HISTORYITEM &item, int column)
{
    switch (column) {
    case ColumnTime: return TimeText(item.Started);
    case ColumnServer: return std::string(item.Server);
    case ColumnDatabase: return std::string(item.Database);
    case ColumnDuration: return DurationText(item.DurationMs);
    case ColumnOutcome: return OutcomeText(item);
    case ColumnQuery: return QueryText(item);
    }
    return std::string();
}

// The list asks for the cells it draws, in either character set.
void AnswerCell(HISTORYDIALOG *record, NMHDR *header)
{
    bool wide = header->code == LVN_GETDISPINFOW;
    LVITEMA &item = reinterpret_cast<NMLVDISPINFOA *>(header)->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || (size_t)item.iItem >= record->View.Shown.size()) return;
    const HISTORYITEM &entry = record->View.List.Items[record->View.Shown[(size_t)item.iItem]];
    record->Cell = CellText(entry, item.iSubItem);
    if (wide) {
        record->WideCell = utf8::ToUtf16(record->Cell);
        reinterpret_cast<NMLVDISPINFOW *>(header)->item.pszText = reinterpret_cast<WCHAR *>(&record->WideCell[0]);
    } else {
        item.pszText = &record->Cell[0];
    }
}

void ShowCount(HISTORYDIALOG *record)
{
    char text[128];
    size_t total = record->View.List.Items.size() - record->View.RemovedCount;
    if (HistoryFolder().empty())
        snprintf(text, sizeof text, "No history is kept: the user's data folder could not be made.");
    else if (total == 0)
        snprintf(text, sizeof text, "No batch has been recorded yet.");
    else if (!HistorySearchComplete(record->View) && record->View.FoldingFailed)
        snprintf(text, sizeof text, "%u of %u batch(es); out of memory: the oldest not searched",
                 (unsigned)record->View.Shown.size(), (unsigned)total);
    else if (!HistorySearchComplete(record->View))
        snprintf(text, sizeof text, "%u of %u batch(es), still searching...", (unsigned)record->View.Shown.size(),
                 (unsigned)total);
    else
        snprintf(text, sizeof text, "%u of %u batch(es)", (unsigned)record->View.Shown.size(), (unsigned)total);
    SetDlgItemTextA(record->Dialog, IDC_HISTORYCOUNT, text);
}

// The entry the list has selected, or -1.
int SelectedRow(HISTORYDIALOG *record)
{
    return (int)SendMessageA(record->List, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

// The list shows View.Shown; the first entry is selected (Enter takes it).
void ShowEntries(HISTORYDIALOG *record)
{
    size_t shown = record->View.Shown.size();
    SendMessageA(record->List, LVM_SETITEMCOUNT, (WPARAM)shown, LVSICF_NOSCROLL);
    ListView_SetItemState(record->List, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (shown > 0) {
        ListView_SetItemState(record->List, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(record->List, 0, FALSE);
    }
    InvalidateRect(record->List, nullptr, TRUE);
    ShowCount(record);
}

// Matches found among texts folded since: added after the others, the
// selection and the scroll position left as they are.
void OnHistoryFolded(HISTORYDIALOG *record)
{
    if (!ContinueHistorySearch(&record->View) && !HistorySearchComplete(record->View) &&
        !record->View.FoldingFailed)
        return;
    SendMessageA(record->List, LVM_SETITEMCOUNT, (WPARAM)record->View.Shown.size(),
                 LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    if (SelectedRow(record) < 0 && !record->View.Shown.empty())
        ListView_SetItemState(record->List, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ShowCount(record);
}

const HISTORYITEM *EntryAtRow(HISTORYDIALOG *record, int row)
{
    if (row < 0 || (size_t)row >= record->View.Shown.size()) return nullptr;
    return &record->View.List.Items[record->View.Shown[(size_t)row]];
}

std::string WindowTextUtf8(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::u16string wide((size_t)length + 1, u'\0');
    length = GetWindowTextW(window, reinterpret_cast<WCHAR *>(&wide[0]), length + 1);
    return utf8::FromUtf16(wide.data(), (size_t)(length > 0 ? length : 0));
}

void OnSearchChanged(HISTORYDIALOG *record)
{
    SearchHistoryView(&record->View, WindowTextUtf8(record->Search));
    ShowEntries(record);
}

void FillChoice(HWND combo, const char *all, const std::vector<std::string> &names)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(all));
    for (const std::string &name : names)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.empty() ? "(none)" : name.c_str()));
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

// The choice of a combo box: null for its first entry, "(All ...)".
const std::string *Choice(HWND combo, const std::vector<std::string> &names)
{
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    return index >= 1 && (size_t)index <= names.size() ? &names[(size_t)index - 1] : nullptr;
}

void OnChoiceChanged(HISTORYDIALOG *record)
{
    ChooseInHistoryView(&record->View, Choice(record->Servers, record->ServerNames),
                        Choice(record->Databases, record->DatabaseNames));
    SearchHistoryView(&record->View, WindowTextUtf8(record->Search));
    ShowEntries(record);
}

// Down (and Page Down) go from the search box into the list.
LRESULT CALLBACK SearchBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HISTORYDIALOG *record = DialogRecord(GetParent(window));
    if (!record) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_KEYDOWN && (wParam == VK_DOWN || wParam == VK_NEXT) && !record->View.Shown.empty()) {
        SetFocus(record->List);
        if (SelectedRow(record) < 0)
            ListView_SetItemState(record->List, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        return 0;
    }
    return CallWindowProcA(record->SearchProc, window, message, wParam, lParam);
}

// Enter or a double click: the entry goes into the query window.
void InsertEntry(HISTORYDIALOG *record, int row)
{
    const HISTORYITEM *entry = EntryAtRow(record, row);
    if (!entry || (entry->Flags & HistoryTextOmitted)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    // Inserted once the dialog has gone: the frame is enabled again then,
    // and the editor can take the focus.
    record->Chosen.assign(entry->Text.data(), entry->Text.size());
    record->Insert = true;
    EndDialog(record->Dialog, IDOK);
}

void OnOk(HISTORYDIALOG *record)
{
    // From the search box Enter takes the first match, whatever is selected.
    InsertEntry(record, GetFocus() == record->List ? SelectedRow(record) : 0);
}

void CopyEntry(HISTORYDIALOG *record)
{
    const HISTORYITEM *entry = EntryAtRow(record, SelectedRow(record));
    if (!entry) return;
    std::string text(entry->Text);
    if (!CopyUtf8ToClipboard(record->Dialog, text.c_str(), text.size())) MessageBeep(MB_ICONWARNING);
}

void DeleteEntry(HISTORYDIALOG *record)
{
    int row = SelectedRow(record);
    const HISTORYITEM *entry = EntryAtRow(record, row);
    if (!entry) return;
    if (!RemoveHistoryEntry(HistoryFolder(), entry->Started, entry->Id)) {
        MessageBoxA(record->Dialog, "The entry could not be removed: the history file could not be written.",
                    "Vintrel", MB_OK | MB_ICONWARNING);
        return;
    }
    DropFromHistoryView(&record->View, record->View.Shown[(size_t)row]);
    ShowEntries(record);
    int next = std::min(row, (int)record->View.Shown.size() - 1);
    if (next >= 0) {
        ListView_SetItemState(record->List, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(record->List, next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(record->List, next, FALSE);
    }
}

void AddColumns(HWND dialog, HWND list)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    RECT client = {};
    GetClientRect(list, &client);
    int left = client.right - GetSystemMetrics(SM_CXVSCROLL);
    for (int i = 0; i < (int)(sizeof Columns / sizeof Columns[0]); i++) {
        RECT width = {0, 0, Columns[i].Width, 8};
        MapDialogRect(dialog, &width);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char *>(Columns[i].Title);
        column.cx = Columns[i].Width > 0 ? width.right : std::max(left, 100);
        left -= column.cx;
        SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)i, reinterpret_cast<LPARAM>(&column));
    }
}

BOOL OnInitDialog(HWND dialog, HISTORYDIALOG *record)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
    record->Dialog = dialog;
    record->Search = GetDlgItem(dialog, IDC_HISTORYSEARCH);
    record->List = GetDlgItem(dialog, IDC_HISTORYLIST);
    record->Servers = GetDlgItem(dialog, IDC_HISTORYSERVER);
    record->Databases = GetDlgItem(dialog, IDC_HISTORYDATABASE);
    AddColumns(dialog, record->List);
    // Batches still being written are in the file first.
    FlushHistoryRecorder();
    // A large history's texts are folded for the search after the list
    // shows; the window is told as more of them can be searched.
    if (!OpenHistoryView(HistoryFolder(), &record->View, [dialog] { PostMessageA(dialog, WM_HISTORYFOLDED, 0, 0); }))
        MessageBoxA(dialog, "The history file could not be read.", "Vintrel", MB_OK | MB_ICONWARNING);
    record->ServerNames = HistoryServers(record->View);
    record->DatabaseNames = HistoryDatabases(record->View);
    FillChoice(record->Servers, "(All servers)", record->ServerNames);
    FillChoice(record->Databases, "(All databases)", record->DatabaseNames);
    ShowEntries(record);
    record->SearchProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(record->Search, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SearchBoxProc)));
    CenterOverFrame(dialog, record->Frame);
    SetFocus(record->Search);
    return FALSE; // the focus is placed
}

void OnCommand(HISTORYDIALOG *record, int id, int code)
{
    switch (id) {
    case IDOK: OnOk(record); break;
    case IDCANCEL: EndDialog(record->Dialog, IDCANCEL); break;
    case IDC_HISTORYCOPY: CopyEntry(record); break;
    case IDC_HISTORYDELETE: DeleteEntry(record); break;
    case IDC_HISTORYSEARCH:
        if (code == EN_CHANGE) OnSearchChanged(record);
        break;
    case IDC_HISTORYSERVER:
    case IDC_HISTORYDATABASE:
        if (code == CBN_SELCHANGE) OnChoiceChanged(record);
        break;
    }
}

void OnNotify(HISTORYDIALOG *record, NMHDR *header)
{
    if (header->idFrom != IDC_HISTORYLIST) return;
    switch (header->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: AnswerCell(record, header); break;
    case NM_DBLCLK: {
        int row = reinterpret_cast<NMITEMACTIVATE *>(header)->iItem;
        if (row >= 0) InsertEntry(record, row);
        break;
    }
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN *>(header)->wVKey == VK_DELETE) DeleteEntry(record);
        break;
    }
}

} // namespace

INT_PTR CALLBACK HistoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    HISTORYDIALOG *record = DialogRecord(dialog);
    try {
        switch (message) {
        case WM_INITDIALOG: return OnInitDialog(dialog, reinterpret_cast<HISTORYDIALOG *>(lParam));
        case WM_COMMAND:
            if (record) OnCommand(record, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            if (record) OnNotify(record, reinterpret_cast<NMHDR *>(lParam));
            return TRUE;
        case WM_HISTORYFOLDED:
            if (record) OnHistoryFolded(record);
            return TRUE;
        case WM_DESTROY:
            if (record && record->SearchProc)
                SetWindowLongPtrA(record->Search, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record->SearchProc));
            return FALSE;
        }
    } catch (...) {
        // Out of memory for a history this large: the window closes, the
        // program goes on.
        ReportFailedAction(dialog);
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

void ShowHistoryDialog(HWND frame)
{
    HWND window = ActiveQueryWindow();
    if (!window) return;
    HISTORYDIALOG *record = new (std::nothrow) HISTORYDIALOG();
    if (!record) return;
    record->QueryWindow = window;
    record->Frame = frame;
    DialogBoxParamA(GetModuleHandleA(nullptr), "HistoryDialog", frame, HistoryDialogProc,
                    reinterpret_cast<LPARAM>(record));
    if (record->Insert && IsWindow(window)) InsertIntoQueryWindow(window, record->Chosen.c_str());
    delete record;
}
