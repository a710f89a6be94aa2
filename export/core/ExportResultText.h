#pragma once
// What the console task and the export dialog say about the result of an export: one table,
// a column for each, since the two word a few results differently.

#include <string>

enum class ExportFrontEnd {
    kConsole,   // printed without a line end
    kDialog,    // shown in a message box
};

// The text for a ConvertResult; `removed` counts the selection entries some input lacked.
// Empty when the front end says nothing.
std::string ExportResultText(int result, int removed, ExportFrontEnd frontEnd);

// The message for an input without any selected channel: head, the input's path, tail.
constexpr char kNoNewOutputHead[] = "There is no new output file for: ";
constexpr char kNoNewOutputTail[] = ",\nbecause non of the selected channels exist in this file.";
