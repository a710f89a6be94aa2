#pragma once
// The windowed program's reporter: every library and document message in a message box.

#include "platform/CMessageReporter.h"

class CMessageBoxReporter : public CMessageReporter
{
public:
    // The text is the program's own 8-bit text; shown with an OK button and a warning icon.
    void Report(const std::string& text) override;

    // The one instance the windowed program's documents report to.
    static CMessageBoxReporter& Instance();
};
