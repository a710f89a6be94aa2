#include "platform/TempFiles.h"

#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool IsDirectoryWritable(const std::string& folder)
{
    struct stat info;
    if (folder.empty() || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)
        || access(folder.c_str(), W_OK | X_OK) != 0)
        return false;
    std::string path;
    const int fd = CreateTempFile(folder, "probe", &path);
    if (fd < 0)
        return false;
    close(fd);
    unlink(path.c_str());
    return true;
}

std::string GetTempDirectory()
{
    const char* fromEnvironment = std::getenv("TMPDIR");
    if (fromEnvironment && *fromEnvironment && IsDirectoryWritable(fromEnvironment))
        return fromEnvironment;
    if (IsDirectoryWritable("/tmp"))
        return "/tmp";
    return std::string();
}

int CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path)
{
    if (folder.empty())
        return -1;
    std::string pattern = folder;
    if (pattern.back() != '/')
        pattern += '/';
    pattern += prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0 && path)
        *path = name.data();
    return fd;
}

int CreateScratchFile(const std::string& prefix)
{
    std::string path;
    const int fd = CreateTempFile(GetTempDirectory(), prefix, &path);
    if (fd >= 0)
        unlink(path.c_str());
    return fd;
}
