// Entry of every test program: the client library is loaded first, as the
// program itself does, and the common controls are initialised.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "base/ThreadStack.h"
#include "server/ClientLibrary.h"

#ifdef VINTREL_SANITIZE
#include <sanitizer/lsan_interface.h>

#include "results/ResultBuffer.h"

// Result buffers are freed on threads of their own (ReleaseBuffer). Until
// such a thread runs, its buffer is reached only through Wine's memory, so
// the last ones are let finish before the leak check.
static void WaitForReleaseThreads()
{
    for (int i = 0; i < 200 && GridStorage::BytesHeldByAll() != 0; i++) Sleep(50);
    Sleep(100);
}
#endif

int main(int argc, char **argv)
{
    AnnounceThreadStack();
    testing::InitGoogleTest(&argc, argv);
    LoadClientLibrary("");
    InitCommonControls();
    int result = RUN_ALL_TESTS();
#ifdef VINTREL_SANITIZE
    // Under Wine the leak check does not run by itself at exit. It runs
    // here, after every test has destroyed its windows (memory that only a
    // live window points to would look leaked: window extra storage lives
    // outside the C heap), and while the client library is still loaded (its
    // one-time start-up state is reached from its own variables, and it is
    // never freed: the program unloads the library only at exit). A leak
    // ends the program with an error.
    WaitForReleaseThreads();
    __lsan_do_leak_check();
#endif
    UnloadClientLibrary();
    return result;
}
