#include "platform/File64.h"

#include <sys/stat.h>
#include <sys/types.h>

int64_t FileLength(FILE* file)
{
    if (!file)
        return -1;
    struct stat info {};
    if (fstat(fileno(file), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.st_size);
}

bool Seek64(FILE* file, int64_t offset, int origin)
{
    return file && fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t Tell64(FILE* file)
{
    return file ? static_cast<int64_t>(ftello(file)) : -1;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameFile(const struct stat& a, const std::string& path)
{
    struct stat b {};
    return !path.empty() && stat(path.c_str(), &b) == 0 && SameFile(a, b);
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    return stat(a.c_str(), &sa) == 0 && SameFile(sa, b);
}
