#pragma once
// Output names of the export dialog: the folder it writes into and which of the names it will
// write exist already (each name is ExportOutputName's). No Qt: the dialog passes the folders in.

#include <string>

#include "export/core/ExportOutputName.h"

// The folder the dialog writes into: `writeFolder` ("Settings"/"WriteDirectory") when it is not
// empty; else `readFolder` ("ReadDirectory"), or `documentsFolder` when that lies on a read-only
// volume; with neither folder kept, the folder of `inputPath`, never the root folder.
std::string ChooseOutputFolder(const std::string& writeFolder, const std::string& readFolder,
                               const std::string& inputPath, const std::string& documentsFolder);

// True when `folder` lies on a volume mounted read-only; false when it cannot be asked.
bool IsReadOnlyVolume(const std::string& folder);

// True unless opening `path` for reading fails because it, or a folder on its way, does not
// exist: a file that exists but cannot be read still counts, so it is never overwritten unasked.
bool OutputFileExists(const std::string& path);

// How many of the files an export writes already exist: with `perSweep` the sweep files
// first..last of `name` (the sweep file names of the converters), else `name` itself. `shown`
// gets the name to show in the question: the "_sweep*" pattern or `name`.
int CountExistingOutputs(const std::string& name, bool perSweep, unsigned first, unsigned last,
                         std::string& shown);
