// Telling AddressSanitizer (the memory check's build) which stack a thread
// runs on. Does nothing in other builds.
#pragma once

#ifdef VINTREL_SANITIZE
#include <windows.h>
#include <winternl.h>

#include <sanitizer/common_interface_defs.h>

// Wine runs the main thread and every thread of CreateThread on a stack of
// its own, not on the one the sanitizer saw the thread start with. Left
// unaware, the sanitizer can walk no call chain there: allocations get no
// stack, and its leak check counts every such allocation as reachable, so a
// leak of the program would never be reported. Announcing the stack as a
// fibre's, without switching, fixes both.
inline void AnnounceThreadStack()
{
    TEB *teb = NtCurrentTeb();
    char *bottom = static_cast<char *>(teb->DeallocationStack);
    char *top = static_cast<char *>(teb->Tib.StackBase);
    __sanitizer_start_switch_fiber(nullptr, bottom, (size_t)(top - bottom));
    __sanitizer_finish_switch_fiber(nullptr, nullptr, nullptr);
}
#else
inline void AnnounceThreadStack() {}
#endif
