#pragma once
// Where the program lives and where per-user settings go, and folder creation.

#include <string>

// The user's application-data folder: $XDG_CONFIG_HOME, or $HOME/.config when that is unset,
// empty or not an absolute path. Empty when neither gives an absolute path. Not created here.
std::string GetAppDataFolder();

// True when `path` names an existing folder (links followed); false for an empty path.
bool IsFolder(const std::string& path);

// Creates one folder, as the Windows call does: false when it exists already, its parent is
// missing, or it cannot be made.
[[nodiscard]] bool CreateDirectory(const std::string& path);

// Creates the folder and every missing folder above it; true when it is a folder afterwards.
bool CreateDirectories(const std::string& path);

// Full path of the running program (/proc/self/exe, links resolved), without any length limit;
// empty when it cannot be read.
std::string GetModuleFileName();
