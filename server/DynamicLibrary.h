// Opening a shared library by file name: dlopen in the Winelib build (the
// client library is a Linux library there), LoadLibraryA on Windows.
#pragma once

void *OpenDynamicLibrary(const char *fileName);
void *FindLibrarySymbol(void *library, const char *name);
void CloseDynamicLibrary(void *library);
