#pragma once
// COM strings. Ours hold ANSI (Windows-1252) bytes, the text the control's interface converts
// its BSTRs to; a Variant keeps its string as a std::string, so the raw BSTR calls are needed only
// where a caller wants a C string it frees itself.

#include <cstdint>
#include <string>

class Bstr
{
public:
    Bstr() = default;
    Bstr(const char* text) : m_text(text ? text : "") {}

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

using BSTR = char*;

// A new string with a 32-bit byte count in front and a NUL behind (embedded NULs allowed with
// the Len form); nullptr for a null source or when memory runs out. Free with SysFreeString.
BSTR SysAllocString(const char* text);
BSTR SysAllocStringLen(const char* text, uint32_t length);
// Frees a string of SysAllocString; null is allowed.
void SysFreeString(BSTR text);
// The byte count stored in front of the string; 0 for null.
uint32_t SysStringLen(BSTR text);
