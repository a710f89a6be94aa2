#pragma once
// The ABF file library's error numbers and their texts.

#include <cstddef>
#include <string>

enum AbfError : int {
    kAbfUnknownFileType = 1001,
    kAbfBadFileIndex = 1002,
    kAbfTooManyFiles = 1003,
    kAbfOpenFailed = 1004,
    kAbfInvalidParameters = 1005,
    kAbfReadFailed = 1006,
    kAbfOutOfMemory = 1008,
    kAbfReadOnly = 1014,
    kAbfDiskFull = 1015,
    kAbfTagReadFailed = 1017,
    kAbfNoTempFile = 1023,
    kAbfNoFileHandles = 1025,
    kAbfNoCompression = 1029,
    kAbfWriteOnly = 1033,
    kAbfNoMessageText = 4,
};

// The table text of an error number (with "%s" for the file name and "%d" for a number), or
// nullptr when the number has none.
const char* AbfMessageText(int error);

// Writes the text of `error` into `buffer` (at most `size` bytes, always NUL-terminated).
// Below 2002, "%s" becomes `fileName`. A number without a text gives text 4 with the number and
// FALSE (0); `size` below 2 writes nothing and gives FALSE. The file name is never a format.
int AbfBuildErrorText(int error, const char* fileName, char* buffer, size_t size);

// The same text as a string; `known` (when given) says whether the number has a text.
std::string AbfErrorText(int error, const std::string& fileName, bool* known = nullptr);
