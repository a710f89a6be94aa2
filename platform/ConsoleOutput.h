#pragma once
// Lines of the console program on standard output, converted to UTF-8 on their way out.

#include <string>

// Writes the text (no line end added) as ToDisplayText gives it: Windows-1252 becomes UTF-8.
void ConsolePrint(const std::string& text);
// The printf-style text, formatted in the program's text and then written as ConsolePrint does.
// Texts from files go in as "%s" arguments, never as the format.
void ConsolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
