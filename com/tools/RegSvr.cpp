// sondrel-regsvr [-u] LIBRARY: registers a server library in the COM registry file (or takes it
// out with -u) by calling its DllRegisterServer (DllUnregisterServer). Exit status 0 on S_OK,
// else 1.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>

#include "com/HResultText.h"
#include "com/ServerExports.h"

namespace {

void PrintUsage()
{
    std::fprintf(stderr, "usage: sondrel-regsvr [-u] LIBRARY\n");
}

// dlopen searches the library path for a bare name; a file given on the command line is meant.
std::string LibraryPathOf(const char* argument)
{
    if (char* resolved = realpath(argument, nullptr)) {
        std::string path(resolved);
        std::free(resolved);
        return path;
    }
    return argument;
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 && !unregister && !library) {
            unregister = true;
        } else if (!library && argv[i][0] != '\0') {
            library = argv[i];
        } else {
            PrintUsage();
            return 1;
        }
    }
    if (!library) {
        PrintUsage();
        return 1;
    }

    const std::string path = LibraryPathOf(library);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        std::fprintf(stderr, "sondrel-regsvr: cannot load %s: %s\n", library,
                     reason ? reason : "unknown error");
        return 1;
    }
    const char* function = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<DllRegisterServerFunction>(dlsym(module, function));
    if (!entry) {
        std::fprintf(stderr, "sondrel-regsvr: %s does not export %s\n", library, function);
        dlclose(module);
        return 1;
    }
    const HRESULT hr = entry();
    if (hr == S_OK)
        std::printf("%s in %s succeeded.\n", function, library);
    else
        std::fprintf(stderr, "sondrel-regsvr: %s in %s failed: %s\n", function, library,
                     HResultText(hr).c_str());
    // The library stays loaded: a server may have left threads or handlers behind.
    return hr == S_OK ? 0 : 1;
}
