// The recorder thread: the end of a batch only queues its entry; the
// thread appends whatever has queued in one write.
#include <windows.h>

#include <deque>
#include <utility>

#include "base/ThreadStack.h"
#include "history/HistoryStore.h"

namespace {

struct HISTORYRECORDER {
    CRITICAL_SECTION Lock; // guards Waiting, Busy and Stopping
    std::deque<HISTORYENTRY> Waiting;
    bool Busy = false;
    bool Stopping = false;
    HANDLE Wake = nullptr; // auto-reset: an entry came, or the stop
    HANDLE Idle = nullptr; // manual-reset: nothing waits or is being written
    HANDLE Thread = nullptr;
    std::string Folder;
};

HISTORYRECORDER Recorder;

DWORD WINAPI RecorderThread(void *)
{
    AnnounceThreadStack();
    std::vector<HISTORYENTRY> batch;
    EnterCriticalSection(&Recorder.Lock);
    for (;;) {
        if (Recorder.Waiting.empty()) {
            Recorder.Busy = false;
            SetEvent(Recorder.Idle);
            if (Recorder.Stopping) break;
            LeaveCriticalSection(&Recorder.Lock);
            WaitForSingleObject(Recorder.Wake, INFINITE);
            EnterCriticalSection(&Recorder.Lock);
            continue;
        }
        Recorder.Busy = true;
        batch.clear();
        while (!Recorder.Waiting.empty()) {
            batch.push_back(std::move(Recorder.Waiting.front()));
            Recorder.Waiting.pop_front();
        }
        LeaveCriticalSection(&Recorder.Lock);
        // A history that cannot be written costs the batch nothing: the
        // batch itself has run.
        AppendHistory(Recorder.Folder, batch);
        batch.clear();
        EnterCriticalSection(&Recorder.Lock);
    }
    LeaveCriticalSection(&Recorder.Lock);
    return 0;
}

} // namespace

bool StartHistoryRecorder(const std::string &folder)
{
    if (Recorder.Thread || folder.empty()) return Recorder.Thread != nullptr;
    InitializeCriticalSection(&Recorder.Lock);
    Recorder.Wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    Recorder.Idle = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    Recorder.Folder = folder;
    Recorder.Stopping = false;
    Recorder.Thread = Recorder.Wake && Recorder.Idle ? CreateThread(nullptr, 0, RecorderThread, nullptr, 0, nullptr)
                                                     : nullptr;
    if (!Recorder.Thread) {
        Recorder.Folder.clear();
        if (Recorder.Wake) CloseHandle(Recorder.Wake);
        if (Recorder.Idle) CloseHandle(Recorder.Idle);
        Recorder.Wake = Recorder.Idle = nullptr;
        DeleteCriticalSection(&Recorder.Lock);
    }
    return Recorder.Thread != nullptr;
}

const std::string &HistoryFolder() { return Recorder.Folder; }

void RecordBatch(HISTORYENTRY &&entry)
{
    if (!Recorder.Thread) return;
    EnterCriticalSection(&Recorder.Lock);
    Recorder.Waiting.push_back(std::move(entry));
    ResetEvent(Recorder.Idle);
    LeaveCriticalSection(&Recorder.Lock);
    SetEvent(Recorder.Wake);
}

void FlushHistoryRecorder()
{
    if (Recorder.Thread) WaitForSingleObject(Recorder.Idle, INFINITE);
}

void StopHistoryRecorder()
{
    if (!Recorder.Thread) return;
    EnterCriticalSection(&Recorder.Lock);
    Recorder.Stopping = true;
    LeaveCriticalSection(&Recorder.Lock);
    SetEvent(Recorder.Wake);
    WaitForSingleObject(Recorder.Thread, INFINITE);
    CloseHandle(Recorder.Thread);
    CloseHandle(Recorder.Wake);
    CloseHandle(Recorder.Idle);
    DeleteCriticalSection(&Recorder.Lock);
    Recorder.Thread = Recorder.Wake = Recorder.Idle = nullptr;
    Recorder.Folder.clear();
}
