#include "export/core/ExportOutputName.h"

#include "platform/AppPaths.h"

namespace {

// The file name of `path` without its extension; a name that starts with its only dot keeps it.
std::string FileStem(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string ExportOutputName(const std::string& outputPath, OutputPathKind kind,
                             const std::string& inputPath, const std::string& extension)
{
    std::string folder = outputPath;
    if (kind == OutputPathKind::kFolderOrFile && !IsFolder(outputPath))
        folder = FolderOf(outputPath);
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + FileStem(inputPath) + "." + extension;
}
