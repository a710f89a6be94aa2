#pragma once
// Conversion of the program's 8-bit Windows-1252 text to UTF-8 where it is shown to a person.

#include <string>

// Every byte becomes its Windows-1252 character in UTF-8: ASCII stays as it is, 0xB5 becomes
// the micro sign, 0x80 the euro sign. The five bytes that Windows-1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, as the system's
// own conversion gives them, so no byte is lost.
std::string Cp1252ToUtf8(const std::string& text);

// One byte's Windows-1252 character (the undefined five as above), and back: the byte of a
// character, or '?' for one the code page does not hold.
char16_t Cp1252CodePoint(unsigned char byte);
char Cp1252ByteOf(char32_t codePoint);

// True when the bytes are well-formed UTF-8 (plain ASCII included).
bool IsValidUtf8(const std::string& text);

// Text on its way to a person: the program's own texts and what files hold are Windows-1252,
// while paths given on a Linux command line are UTF-8 already. Text that is well-formed UTF-8
// stays as it is; anything else is taken as Windows-1252 and converted.
std::string ToDisplayText(const std::string& text);
