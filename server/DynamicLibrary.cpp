#include "server/DynamicLibrary.h"

#ifdef __WINE__
#include <dlfcn.h>

void *OpenDynamicLibrary(const char *fileName) { return dlopen(fileName, RTLD_NOW | RTLD_LOCAL); }
void *FindLibrarySymbol(void *library, const char *name) { return dlsym(library, name); }
void CloseDynamicLibrary(void *library) { dlclose(library); }

#else
#include <windows.h>

void *OpenDynamicLibrary(const char *fileName) { return (void *)LoadLibraryA(fileName); }
void *FindLibrarySymbol(void *library, const char *name)
{
    return (void *)GetProcAddress((HMODULE)library, name);
}
void CloseDynamicLibrary(void *library) { FreeLibrary((HMODULE)library); }
#endif
