#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

HMODULE LoadLibraryA(const char* name)
{
    if (!name || !*name)
        return nullptr;
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return dlsym(module, name);
}

bool FreeLibrary(HMODULE module)
{
    return module && dlclose(module) == 0;
}
