#pragma once
// Runs the console program in the test process or as the built binary, with its output.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/console/ConsoleMain.h"
#include "tests/support/TempDir.h"

struct ConsoleRun
{
    int status = -1;
    std::string out;
    bool Has(const std::string& text) const { return out.find(text) != std::string::npos; }
    bool EndsWith(const std::string& text) const
    {
        return out.size() >= text.size() && out.compare(out.size() - text.size(), text.size(), text) == 0;
    }
};

// ConsoleMain on "Sondrel.com" followed by `args`.
inline ConsoleRun RunConsoleMain(std::vector<std::string> args)
{
    args.insert(args.begin(), "Sondrel.com");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    ConsoleRun run;
    testing::internal::CaptureStdout();
    run.status = ConsoleMain(static_cast<int>(args.size()), argv.data());
    std::fflush(stdout);
    run.out = testing::internal::GetCapturedStdout();
    return run;
}

// The program at `exe` with each of `args` as one argument; standard output only.
inline ConsoleRun RunConsoleBinary(const std::string& exe, const std::vector<std::string>& args)
{
    const auto quote = [](const std::string& text) {
        std::string quoted = "'";
        for (char c : text)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    };
    std::string command = quote(exe);
    for (const std::string& arg : args)
        command += " " + quote(arg);
    ConsoleRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.out.append(buffer, n);
        const int wait = pclose(pipe);
        run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    }
    return run;
}

inline void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}
