#pragma once
// printf-style formatting into a standard string, lower-casing in place, and the stream an
// event selection reads.

#include <string>

// The printf-style result as a new string, of any length; empty for a null format or when the
// format cannot be applied.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Lower-cases A-Z in place and returns the same string. Bytes outside ASCII stay as they are,
// the same in every locale.
std::string& ToLowerInPlace(std::string& text);

// "X Event[ N]" without its first " Event": the stream such a selection entry reads (the
// converters take digital events from the digital stream "Digital Data[ N]"). False, and
// `source` unchanged, when the name holds no " Event".
bool StripEventWord(const std::string& name, std::string& source);
