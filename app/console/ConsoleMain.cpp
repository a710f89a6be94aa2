#include "app/console/ConsoleMain.h"

#include <spawn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/console/CCmdLineParser.h"
#include "app/console/CCmdLineTask.h"
#include "platform/AppPaths.h"
#include "platform/AsciiCase.h"
#include "platform/ConsoleOutput.h"

extern char** environ;

namespace {

const char kUsage[] = "Usage: Sondrel -taskoption -i:\"input file name\" -o:\"output file name\""
                      "-taskoption: could be -bin or -ascii\n";

void PrintPairs(const CCmdLineParser& parser, const char* format)
{
    CCmdLineParser::Iterator it;
    std::string key;
    std::string value;
    for (parser.Begin(it); !parser.IsEnd(it);) {
        parser.GetNext(it, key, value);
        ConsolePrintf(format, key.c_str(), value.c_str());
    }
    ConsolePrint("\n");
}

// Runs one batch task on `parser`; its exit status.
int RunTask(const CCmdLineParser& parser, int debug)
{
    CCmdLineTask task(&parser, debug);
    return task.Run();
}

bool IsLineSpace(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

struct FileCloser
{
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

void AddArguments(CCmdLineParser& parser, int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg.size() < 2 || arg[0] != '-')
            continue;  // no option, and the value of none
        // The key ends at a blank, ":" or "=", as in a command-line text.
        const size_t separator = arg.find_first_of(" :=", 1);
        if (separator == 1)
            continue;  // no key
        if (separator != std::string::npos) {
            parser.Insert(arg.substr(1, separator - 1), arg.substr(separator + 1));
            continue;
        }
        std::string value;
        if (i + 1 < argc && argv[i + 1] && argv[i + 1][0] != '-')
            value = argv[++i];
        parser.Insert(arg.substr(1), value);
    }
}

OptionFileResult ReadOptionFile(const std::string& path, std::string& options)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return kOptionFileCannotOpen;
    char* buffer = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while ((length = ::getline(&buffer, &capacity, file.get())) >= 0) {
        size_t begin = 0;
        size_t end = static_cast<size_t>(length);
        while (begin < end && IsLineSpace(buffer[begin]))
            ++begin;
        while (end > begin && IsLineSpace(buffer[end - 1]))
            --end;
        if (begin == end || buffer[begin] == '#')
            continue;
        options.append(buffer + begin, end - begin);
        options += ' ';
    }
    std::free(buffer);
    // A folder opens but cannot be read; a failing disk stops in the middle.
    return std::ferror(file.get()) ? kOptionFileReadError : kOptionFileRead;
}

std::string WindowedProgramPath(const std::string& consolePath)
{
    const size_t n = consolePath.size();
    if (n < 4 || !AsciiEqualsNoCase(consolePath.substr(n - 4), ".com"))
        return std::string();
    return consolePath.substr(0, n - 4) + ".exe";
}

int StartWindowedProgram()
{
    const std::string self = GetModuleFileName();
    const std::string program = WindowedProgramPath(self);
    if (program.empty()) {
        ConsolePrintf("Can not start the windowed program: the program path %s does not end in "
                      "\".com\".\n", self.c_str());
        return 1;
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the windowed program stays when the console that started us closes.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* const arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        ConsolePrintf("Can not start the windowed program %s: %s.\n", program.c_str(),
                      std::strerror(rc));
        return 1;
    }
    return 0;
}

int ConsoleMain(int argc, char** argv)
{
    if (argc < 2)
        return StartWindowedProgram();

    // The arguments go to the parser as they are: a value may hold quotes and blanks.
    CCmdLineParser parser(nullptr, false, true);
    AddArguments(parser, argc, argv);
    int debug = 0;
    if (parser.HasKey("debug")) {
        debug = 1;
        ConsolePrint("Parameters on the command line:\n");
        PrintPairs(parser, "Key: %s, value %s\n");
    }
    if (parser.HasKey("help") || parser.HasKey("?")) {
        ConsolePrint(kUsage);
        return 0;
    }
    if (!parser.HasKey("file"))
        return RunTask(parser, debug);

    std::vector<std::string> files;
    CCmdLineParser::Iterator it = parser.Find("file");
    while (!parser.IsEnd(it)) {
        std::string value;
        parser.GetNextOf(it, "file", value);
        files.push_back(value);
    }
    int status = 0;
    for (const std::string& file : files) {
        // A file that cannot be read ends the program: the later files may depend on it.
        std::string options;
        const OptionFileResult read = ReadOptionFile(file, options);
        if (read == kOptionFileCannotOpen) {
            ConsolePrintf("Error opening file: %s.\n", file.c_str());
            return 1;
        }
        ConsolePrintf("Reading command line from file: %s.\n", file.c_str());
        if (read == kOptionFileReadError) {
            ConsolePrintf("Error reading file: %s.\n", file.c_str());
            return 1;
        }
        // The command line's values first, then the file's, as one line of both would give.
        CCmdLineParser fileParser(nullptr, false, true);
        AddArguments(fileParser, argc, argv);
        const CCmdLineParser fromFile(options.c_str(), false, true);
        CCmdLineParser::Iterator at;
        std::string key;
        std::string value;
        for (fromFile.Begin(at); !fromFile.IsEnd(at);) {
            fromFile.GetNext(at, key, value);
            fileParser.Insert(key, value);
        }
        if (debug) {
            ConsolePrint("Complete command line after reading file(s):\n");
            PrintPairs(fileParser, "key: %s, value %s\n");
        }
        if (RunTask(fileParser, debug) != 0)
            status = 1;
    }
    return status;
}
