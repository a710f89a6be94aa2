#pragma once
// Windows-1252 text to UTF-8, for text that leaves the program towards a person.

#include <string>

// Every byte below 0x80 stays as it is; 0xA0-0xFF become U+00A0-U+00FF, 0x80-0x9F the
// characters Windows-1252 gives them (the five bytes it leaves undefined map to U+0081, U+008D,
// U+008F, U+0090 and U+009D, as the Windows conversion does). Never fails.
std::string Cp1252ToUtf8(const std::string& text);
