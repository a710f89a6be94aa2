#include "platform/CMessageReporter.h"

#include "platform/ConsoleOutput.h"

void CConsoleReporter::Report(const std::string& text)
{
    ConsolePrint(text + "\n");
}
