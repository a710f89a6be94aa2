#include "platform/AppPaths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <vector>

std::string GetAppDataFolder()
{
    // Relative values are ignored: the settings would otherwise follow the current folder.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return config;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        std::string folder = home;
        if (folder.back() != '/')
            folder += '/';
        return folder + ".config";
    }
    return std::string();
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDirectory(const std::string& path)
{
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool CreateDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    if (IsFolder(path))
        return true;
    // Every prefix that ends before a "/", then the whole path; existing ones are passed over.
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0777) != 0
            && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return IsFolder(path);
}

std::string GetModuleFileName()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        if (buffer.size() >= (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}
