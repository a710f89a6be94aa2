#pragma once
// The console program's entry: the windowed program's start, the command line rebuilt from the
// argument vector, option files, the "-debug" listing, "-help" and the batch runs.

#include <string>

// The whole console program; returns the process exit status: 0 when it did what was asked
// (every run succeeded, the usage was printed or the windowed program was started), 1 otherwise.
int ConsoleMain(int argc, char** argv);

// The command-line text that the parser reads, rebuilt from argv[1..] (the program path is
// left out, so its folder names never become options). The shell has already removed the
// quotes, so they are put back: an option written with its value in one argument ("-i:/x y")
// becomes key, separator and the value in double quotes; every argument that is no option is
// quoted whole. Arguments are joined with single blanks.
std::string RebuildCommandLine(int argc, const char* const* argv);

// Reads an option file: every line (of any length, CR LF or LF) is trimmed of blanks, tabs
// and line ends; empty lines and lines starting with "#" are skipped; the others are appended
// to `options`, each followed by one blank. When reading fails part way, `options` holds what
// was read before.
enum OptionFileResult { kOptionFileRead = 0, kOptionFileCannotOpen = 1, kOptionFileReadError = 2 };
OptionFileResult ReadOptionFile(const std::string& path, std::string& options);

// The windowed program that lies beside the console program: the path with its ".com"
// extension (any case) replaced by ".exe"; empty when the path does not end in ".com".
std::string WindowedProgramPath(const std::string& consolePath);

// Starts the windowed program beside the running console program in a session of its own and
// does not wait for it. Returns 0 when it was started, else 1 after printing why.
int StartWindowedProgram();
