#pragma once
// printf-style fields appended to a string, made without stdio: the text converter formats
// millions of values, and a per-value printf call dominates its time.

#include <cstdint>
#include <string>

// The fast mode gives the very same bytes as the printf format named on each method, in the "C"
// locale (fixed-point numbers come from std::to_chars, which rounds exactly as printf does).
// The plain mode calls snprintf with that format instead: the reference the fast mode is tested
// against.
class CTextFormat
{
public:
    explicit CTextFormat(bool plain = false) : m_plain(plain) {}
    bool IsPlain() const { return m_plain; }

    // "%-*s": the text, then blanks up to `width`; never cut.
    void Text(std::string& out, const std::string& text, int width = 0) const;
    // "%-*d" (any 64-bit value).
    void Int(std::string& out, int64_t value, int width) const;
    // "%-*.*f"; a width of 0 gives "%-.*f".
    void Fixed(std::string& out, double value, int precision, int width) const;

private:
    bool m_plain;
};

// Line end of every line the text converter writes.
constexpr char kTextLineEnd[] = "\r\n";
