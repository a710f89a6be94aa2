#include "com/ServerExports.h"

#include <climits>
#include <cstdlib>

#include <dlfcn.h>

std::string ModulePathOf(const void* symbolInTheLibrary)
{
    Dl_info info{};
    if (!symbolInTheLibrary || dladdr(symbolInTheLibrary, &info) == 0 || !info.dli_fname
        || !*info.dli_fname)
        return std::string();
    char* resolved = realpath(info.dli_fname, nullptr);
    if (!resolved)
        return info.dli_fname[0] == '/' ? std::string(info.dli_fname) : std::string();
    std::string path(resolved);
    std::free(resolved);
    return path;
}
