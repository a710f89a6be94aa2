#pragma once
// Runs the console program in the test process or as the built binary, with its output.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/console/ConsoleMain.h"

struct ConsoleRun
{
    int status = -1;
    std::string out;
};

// ConsoleMain on "Sondrel.com" followed by `args`.
inline ConsoleRun RunConsoleMain(const std::vector<std::string>& args)
{
    std::vector<std::string> storage = {"Sondrel.com"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    ConsoleRun run;
    testing::internal::CaptureStdout();
    run.status = ConsoleMain(static_cast<int>(storage.size()), argv.data());
    std::fflush(stdout);
    run.out = testing::internal::GetCapturedStdout();
    return run;
}

inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The program at `exe` with `args` (each passed as one argument), standard output only.
inline ConsoleRun RunConsoleBinary(const std::string& exe, const std::vector<std::string>& args)
{
    std::string command = ShellQuote(exe);
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    ConsoleRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int wait = pclose(pipe);
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return run;
}
