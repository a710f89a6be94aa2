#pragma once
// Loading a shared library by name at run time (dlopen, dlsym, dlclose).

using HMODULE = void*;
using FARPROC = void*;

// The library handle, or nullptr when the library or one of its dependencies is missing.
HMODULE LoadLibraryA(const char* name);
// The address of an exported symbol, or nullptr (also for a null module or name).
FARPROC GetProcAddress(HMODULE module, const char* name);
// Releases a handle of LoadLibraryA; false for a null handle or when the system refuses.
bool FreeLibrary(HMODULE module);
