#include "app/gui/dialogs/ExportNames.h"

#include <sys/statvfs.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "export/core/CConvertInterface.h"
#include "export/core/ExportOutputName.h"

bool IsReadOnlyVolume(const std::string& folder)
{
    struct statvfs info {};
    return statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

std::string ChooseOutputFolder(const std::string& writeFolder, const std::string& readFolder,
                               const std::string& inputPath, const std::string& documentsFolder)
{
    if (!writeFolder.empty())
        return writeFolder;
    const std::string folder = readFolder.empty() ? FolderOf(inputPath) : readFolder;
    if (!folder.empty() && IsReadOnlyVolume(folder) && !documentsFolder.empty())
        return documentsFolder;
    return folder;
}

bool OutputFileExists(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return errno != ENOENT && errno != ENOTDIR;
}

int CountExistingOutputs(const std::string& name, bool perSweep, unsigned first, unsigned last,
                         std::string& shown)
{
    if (!perSweep) {
        shown = name;
        return OutputFileExists(name) ? 1 : 0;
    }
    shown = CConvertInterface::SweepFilePattern(name);
    int count = 0;
    for (unsigned s = first; s >= first && s <= last && s != 0; ++s) {
        if (OutputFileExists(CConvertInterface::SweepFileName(name, s)))
            ++count;
        if (s == last)
            break;
    }
    return count;
}
