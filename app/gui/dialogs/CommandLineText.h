#pragma once
// The option file that the export dialog's "Command Line" button writes for the console
// program's "-file" option: built as text without Qt, then written and checked.

#include <string>
#include <vector>

#include "export/core/ConvertOptions.h"

class CKVDataSelection;
class CStreamChannelMap;

// What the dialog holds at the time of the button, copied into plain values.
struct CommandLineRequest
{
    std::string taskOption;            // "-ascii" or "-bin"
    bool multiFile = false;            // the document holds a file list
    std::vector<std::string> inputs;   // the list's paths, or the one data source's path
    std::string outputName;            // the converter's output name
    std::string outputFolder;          // the folder the dialog writes one file per input into
    int singleOutfile = 0;
    int assumeSplittedFile = 0;
    int oneOutputForAllSweeps = 1;
    int baseIsPressedStart = 0;
    bool triggered = false;            // recording kind 2
    const CKVDataSelection* selection = nullptr;
    const CStreamChannelMap* map = nullptr;   // the streams and channels of the opened files
    ConvertOptions options;
};

// The option file's text with CR LF line ends. False, with `refusedValue` set to the value,
// when a value holds a double quote or a line break: the console's parser cannot read such a
// value back, so nothing is to be written.
bool BuildCommandLineText(const CommandLineRequest& request, std::string& text,
                          std::string& refusedValue);

// The message shown for such a value.
std::string RefusedValueMessage(const std::string& value);

// Writes `text` to `path` in one piece and closes it; false when opening, writing, flushing or
// closing failed.
[[nodiscard]] bool WriteCommandLineFile(const std::string& path, const std::string& text);
