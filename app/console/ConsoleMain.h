#pragma once
// The console program's entry: the windowed program's start, the options of the argument
// vector, option files, the "-debug" listing, "-help" and the batch runs.

#include <string>

class CCmdLineParser;

// The whole console program; returns the process exit status: 0 when it did what was asked
// (every run succeeded, the usage was printed or the windowed program was started), 1 otherwise.
int ConsoleMain(int argc, char** argv);

// Adds the options of argv[1..] to `parser` (the program path is left out, so its folder
// names never become options). The shell has split the words and removed the quotes: an
// argument "-key" takes the next argument as its value unless that starts with "-" (else it
// has the value ""); "-key:value", "-key=value" and "-key value" in one argument carry their
// value. Values are taken whole, quotes and blanks included. Arguments that are neither an
// option nor its value are ignored.
void AddArguments(CCmdLineParser& parser, int argc, const char* const* argv);

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
