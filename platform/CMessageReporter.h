#pragma once
// Where the libraries' messages to the user go: one line on standard output in the console
// program, a message box in the windowed one.

#include <string>

class CMessageReporter
{
public:
    virtual ~CMessageReporter() = default;
    // Shows one message; the text is the program's own 8-bit text and may span several lines.
    virtual void Report(const std::string& text) = 0;
};

// The console program's reporter: the text and "\n" on standard output, in UTF-8.
class CConsoleReporter : public CMessageReporter
{
public:
    void Report(const std::string& text) override;
};
