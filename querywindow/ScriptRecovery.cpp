#include "querywindow/ScriptRecovery.h"

#include <cstdio>
#include <deque>
#include <new>
#include <vector>

#include "base/ThreadStack.h"
#include "editor/CodeMaxControl.h"
#include "querywindow/QueryBatch.h"
#include "querywindow/QueryWindow.h"
#include "querywindow/WindowRecords.h"

// A query window's own part of the copies.
struct SCRIPTRECOVERY {
    uint32_t Run;    // the run of the writer it was made in
    uint32_t Number; // its file in the set, and its place among the windows
    bool Due;        // a change waits for the timer
    bool Copied;     // a copy was handed to the writer and not removed since
};

namespace {

struct RECOVERYJOB {
    std::string Path;
    bool Remove = false;
    RECOVERYSCRIPT Script;
};

// The writer thread and what it is handed: one per process. The
// user-interface thread queues jobs; the writer takes them in order, so a
// window's removal never overtakes its last write.
struct RECOVERYWRITER {
    CRITICAL_SECTION Lock;       // guards Jobs, Stopping and Spare
    std::deque<RECOVERYJOB> Jobs;
    bool Stopping = false;
    // The text of the last write, kept for the next copy: memory the
    // process already has takes a large text in a few milliseconds, where
    // new memory costs the interface thread about as much again.
    std::string Spare;
    HANDLE Wake = nullptr;       // auto-reset: a job came, or the stop
    HANDLE Idle = nullptr;       // manual-reset: no job waits or runs
    HANDLE Thread = nullptr;
    // The user-interface thread's own.
    std::string Folder;
    uint32_t Run = 0;            // 0 while no writer runs
    uint32_t LastRun = 0;
    uint32_t LastNumber = 0;
};

RECOVERYWRITER Writer;

void RunJob(const RECOVERYJOB &job)
{
    if (job.Remove)
        DeleteFileA(job.Path.c_str());
    else
        WriteRecoveryFile(job.Path, job.Script);
}

// On the writer's thread: the written text becomes the spare, its whole
// capacity made its size here so that the next copy only shortens it; the
// previous spare is freed here too.
void KeepAsSpare(std::string text)
{
    text.resize(text.capacity());
    EnterCriticalSection(&Writer.Lock);
    Writer.Spare.swap(text);
    LeaveCriticalSection(&Writer.Lock);
}

DWORD WINAPI WriterThread(void *)
{
    AnnounceThreadStack();
    EnterCriticalSection(&Writer.Lock);
    for (;;) {
        if (Writer.Jobs.empty()) {
            SetEvent(Writer.Idle);
            if (Writer.Stopping) break;
            LeaveCriticalSection(&Writer.Lock);
            WaitForSingleObject(Writer.Wake, INFINITE);
            EnterCriticalSection(&Writer.Lock);
            continue;
        }
        RECOVERYJOB job = std::move(Writer.Jobs.front());
        Writer.Jobs.pop_front();
        LeaveCriticalSection(&Writer.Lock);
        RunJob(job);
        if (!job.Remove) KeepAsSpare(std::move(job.Script.Text));
        // The text is freed here, off the user-interface thread too.
        job = RECOVERYJOB();
        EnterCriticalSection(&Writer.Lock);
    }
    LeaveCriticalSection(&Writer.Lock);
    return 0;
}

// A write replaces a write of the same file that still waits (only the
// latest text matters); a removal cancels the waiting writes of its file.
void Queue(RECOVERYJOB job)
{
    EnterCriticalSection(&Writer.Lock);
    bool merged = false;
    for (auto waiting = Writer.Jobs.begin(); waiting != Writer.Jobs.end();) {
        if (waiting->Path == job.Path && !waiting->Remove) {
            if (!job.Remove && !merged) {
                waiting->Script = std::move(job.Script);
                merged = true;
            } else {
                waiting = Writer.Jobs.erase(waiting);
                continue;
            }
        }
        ++waiting;
    }
    if (!merged) Writer.Jobs.push_back(std::move(job));
    ResetEvent(Writer.Idle);
    LeaveCriticalSection(&Writer.Lock);
    SetEvent(Writer.Wake);
}

void StopWriter()
{
    if (!Writer.Thread) return;
    EnterCriticalSection(&Writer.Lock);
    Writer.Stopping = true;
    LeaveCriticalSection(&Writer.Lock);
    SetEvent(Writer.Wake);
    // A disk that hangs does not hold the exit up for long.
    bool ended = WaitForSingleObject(Writer.Thread, 5000) == WAIT_OBJECT_0;
    CloseHandle(Writer.Thread);
    Writer.Thread = nullptr;
    Writer.Run = 0;
    if (ended) Writer.Spare = std::string();
}

std::string FileNameOf(const SCRIPTRECOVERY *copy)
{
    char name[32];
    snprintf(name, sizeof name, "script-%06u" RECOVERY_EXTENSION, (unsigned)copy->Number);
    return name;
}

bool Current(const SCRIPTRECOVERY *copy) { return copy && Writer.Run != 0 && copy->Run == Writer.Run; }

// The text as it came, without an undo step, when it is UTF-8 (as the
// editor's text is, unless bytes of another encoding were inserted raw);
// otherwise inserted byte for byte.
void PutEditorText(HWND editor, const std::string &text)
{
    int units = text.empty() ? 0
                             : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(),
                                                   nullptr, 0);
    if (units > 0 || text.empty()) {
        std::vector<WCHAR> wide((size_t)units + 1, 0);
        MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), wide.data(), units);
        SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.data()));
        return;
    }
    EDITORPOSITION start = {1, 1};
    SendMessageA(editor, WM_EDITOR_INSERTTEXT, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(text.c_str()));
}

// The spare text of the writer, when there is one.
std::string TakeSpareText()
{
    std::string spare;
    if (!Writer.Wake) return spare;
    EnterCriticalSection(&Writer.Lock);
    spare.swap(Writer.Spare);
    LeaveCriticalSection(&Writer.Lock);
    return spare;
}

} // namespace

bool StartRecoveryCopies(const std::string &folder)
{
    if (Writer.Run != 0) return true;
    if (!Writer.Wake) {
        InitializeCriticalSection(&Writer.Lock);
        Writer.Wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        Writer.Idle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    if (!Writer.Wake || !Writer.Idle) return false;
    Writer.Stopping = false;
    Writer.Jobs.clear();
    SetEvent(Writer.Idle);
    Writer.Thread = CreateThread(nullptr, 0, WriterThread, nullptr, 0, nullptr);
    if (!Writer.Thread) return false;
    // Background work: typing goes first when the two want the processor.
    SetThreadPriority(Writer.Thread, THREAD_PRIORITY_BELOW_NORMAL);
    Writer.Folder = folder;
    Writer.Run = ++Writer.LastRun;
    return true;
}

void StopRecoveryCopies() { StopWriter(); }

void KeepRecoveryCopies()
{
    if (Writer.Run == 0) return;
    FlushRecoveryCopies();
    StopWriter();
}

bool FlushRecoveryCopies(DWORD timeoutMs)
{
    if (Writer.Run == 0) return false;
    for (HWND window = MdiClientWindow ? GetWindow(MdiClientWindow, GW_CHILD) : nullptr; window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
        if (child && child->Recovery && child->Recovery->Due) UpdateRecoveryCopy(child);
    }
    return WaitForSingleObject(Writer.Idle, timeoutMs) == WAIT_OBJECT_0;
}

void AttachRecoveryCopy(CHILDDATA *child)
{
    if (Writer.Run == 0) return;
    child->Recovery = new (std::nothrow) SCRIPTRECOVERY{Writer.Run, ++Writer.LastNumber, false, false};
}

// The first change since the last copy sets the timer, later ones do not
// move it: while the user types on, the copy is at most RecoveryDelayMs
// behind.
void ScheduleRecoveryCopy(CHILDDATA *child)
{
    SCRIPTRECOVERY *copy = child->Recovery;
    if (!Current(copy) || copy->Due) return;
    if (SetTimer(child->Window, RecoveryTimerId, RecoveryDelayMs, nullptr)) copy->Due = true;
}

void UpdateRecoveryCopy(CHILDDATA *child)
{
    SCRIPTRECOVERY *copy = child->Recovery;
    KillTimer(child->Window, RecoveryTimerId);
    if (!copy) return;
    copy->Due = false;
    if (!Current(copy)) return;
    std::string path = Writer.Folder + "\\" + FileNameOf(copy);
    RECOVERYSCRIPT script;
    if (child->Modified && !CopyEditorScript(child->Editor, &script)) {
        // No memory for the copy now: the last one stays, and it is tried
        // again later.
        ScheduleRecoveryCopy(child);
        return;
    }
    // An untitled window emptied again has nothing to recover.
    if (child->Modified && (child->HasFileName || !script.Text.empty())) {
        script.FileName = child->FileName;
        script.HasFileName = child->HasFileName != 0;
        script.Modified = true;
        script.Order = copy->Number;
        RECOVERYJOB job{path, false, std::move(script)};
        Queue(std::move(job));
        copy->Copied = true;
    } else if (copy->Copied) {
        Queue(RECOVERYJOB{path, true, RECOVERYSCRIPT()});
        copy->Copied = false;
    }
}

void DropRecoveryCopy(CHILDDATA *child)
{
    SCRIPTRECOVERY *copy = child->Recovery;
    if (!copy) return;
    KillTimer(child->Window, RecoveryTimerId);
    if (Current(copy) && copy->Copied)
        Queue(RECOVERYJOB{Writer.Folder + "\\" + FileNameOf(copy), true, RECOVERYSCRIPT()});
    delete copy;
    child->Recovery = nullptr;
}

bool CopyEditorScript(HWND editor, RECOVERYSCRIPT *script)
{
    LRESULT length = SendMessageA(editor, WM_EDITOR_GETTEXTLENGTH, 0, 0);
    if (length < 0) return false;
    try {
        std::string text = TakeSpareText();
        if (text.capacity() >= (size_t)length)
            script->Text.swap(text);
        else // room for the typing until the next copy, which then fits too
            script->Text.reserve((size_t)length + (size_t)length / 16 + 65536);
        script->Text.resize((size_t)length);
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (SendMessageA(editor, WM_EDITOR_GETTEXT, 0, reinterpret_cast<LPARAM>(&script->Text[0])) != EDITOR_OK)
        return false;
    EDITORRANGE selection = {};
    SendMessageA(editor, WM_EDITOR_GETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    script->CaretLine = selection.End.Line;
    script->CaretColumn = selection.End.Column;
    script->Encoding = (int32_t)SendMessageA(editor, WM_EDITOR_GETENCODING, 0, 0);
    return true;
}

void QueueRecoveryWrite(const std::string &name, RECOVERYSCRIPT script)
{
    if (Writer.Run == 0) return;
    Queue(RECOVERYJOB{Writer.Folder + "\\" + name, false, std::move(script)});
}

bool RestoreScript(HWND window, const RECOVERYSCRIPT &script)
{
    CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
    if (!child) return false;
    PutEditorText(child->Editor, script.Text);
    SendMessageA(child->Editor, WM_EDITOR_SETENCODING, (WPARAM)script.Encoding, 0);
    lstrcpynA(child->FileName, script.FileName.c_str(), FileNameSize);
    child->HasFileName = script.HasFileName ? 1 : 0;
    child->Modified = script.Modified ? 1 : 0;
    EDITORRANGE caret = {{script.CaretLine, script.CaretColumn}, {script.CaretLine, script.CaretColumn}};
    SendMessageA(child->Editor, WM_EDITOR_SETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    UpdateTitle(child);
    ScheduleRecoveryCopy(child);
    return true;
}

void ShowRecoveryNote(HWND window, const char *text)
{
    CHILDDATA *child = IsQueryWindow(window) ? StateOf<CHILDDATA>(window) : nullptr;
    if (!child) return;
    SetMessagePaneText(child->MessagePane, text, 0);
    child->ActiveTab = 1;
    ShowResultsPane(child);
    SendMessageA(child->Tabs, TCM_SETCURSEL, 1, 0);
    ShowWindow(child->Grid, SW_HIDE);
    ShowWindow(child->MessagePane, SW_SHOW);
}
