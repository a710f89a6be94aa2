#pragma once
// Temporary folder and temporary files: $TMPDIR when it is a writable folder, else /tmp.

#include <string>

// True when `folder` exists, is a directory, is writable, and a file can really be created in
// it (the probe file is removed at once).
bool IsDirectoryWritable(const std::string& folder);

// $TMPDIR when it names a writable folder, else /tmp when that is writable, else "" (every
// temporary file then fails to be created).
std::string GetTempDirectory();

// Creates a new empty file "<folder>/<prefix>XXXXXX" for reading and writing (close-on-exec) and
// returns its descriptor, with its path in `path`; -1 on failure. The caller removes the file.
int CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path);

// A scratch file in the temporary folder that has no name: it is unlinked at once, so it goes
// away when the descriptor is closed, whatever happens to the program. -1 on failure.
int CreateScratchFile(const std::string& prefix);
