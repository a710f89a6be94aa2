#pragma once
// Where the converters' messages go: the console prints them, the windowed program shows a box.

#include <string>

class CMessageReporter
{
public:
    virtual ~CMessageReporter() = default;
    // Shows one message. The text is 8-bit (Windows-1252) and carries no line end.
    virtual void ShowMessage(const std::string& text) = 0;
};
