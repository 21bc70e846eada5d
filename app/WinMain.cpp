// Vintrel's entry. The client library is loaded before anything else starts
// and unloaded after everything has ended.
#include <windows.h>

#include "app/RecoveryStartup.h"
#include "app/Startup.h"
#include "catalog/NameCache.h"
#include "history/HistoryStore.h"
#include "query/BatchWorker.h"
#include "server/ClientLibrary.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    LoadClientLibrary("");
    RegisterProgramClasses();
    StartScriptRecovery(RecoveryFolder());
    StartHistoryRecorder(UserHistoryFolder());
    HWND frame = StartVintrel(instance);
    int exitCode = RunMessageLoop(frame);
    FinishScriptRecovery();
    StopHistoryRecorder();
    // The object browser's workers and their connections.
    int namesStillLoading = FreeAllNameCaches();
    // Statements of windows closed during their batch are being stopped on
    // the server: give those requests a moment to get there.
    for (int waited = 0; RunningCancelRequests() > 0 && waited < 3000; waited += 20) Sleep(20);
    // The worker of a window closed during its batch (or the request that
    // stops its statement) may still be inside the client library, waiting
    // for the server: the library then stays until the process ends rather
    // than be unmapped under that thread.
    if (RunningBatchWorkers() == 0 && RunningCancelRequests() == 0 && namesStillLoading == 0) UnloadClientLibrary();
    return exitCode;
}
