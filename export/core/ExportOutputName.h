#pragma once
// The name of each input's output file: one rule for the console task and the export dialog.

#include <string>

// What the output path handed to ExportOutputName names. The two front ends differ here on
// purpose: the console's "-o" names the one output of a single input, or the folder of several,
// while the export dialog keeps its output folder apart from any file name.
enum class OutputPathKind {
    kFolder,        // the folder the outputs go into, made or not (the export dialog)
    kFolderOrFile,  // an existing folder, else a file whose folder takes the outputs (the console)
};

// The folder part of `path` (without the last component and its "/"); "/" for a file in the
// root folder, empty for a bare file name.
std::string FolderOf(const std::string& path);

// The output of `inputPath`: the folder that `outputPath` gives, a "/" unless it ends in one, the
// input's file name without its extension (from its last ".", a leading one not counted; dots
// in folder names are never taken), "." and `extension`. An empty folder gives a name in the
// current folder. One file per sweep is named from it by CConvertInterface::SweepFileName.
std::string ExportOutputName(const std::string& outputPath, OutputPathKind kind,
                             const std::string& inputPath, const std::string& extension);
