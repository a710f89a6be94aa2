#pragma once
// One INI ("profile") file in memory: read as the Windows private-profile functions read it,
// edited in place, and written back whole with every other line kept in its order.

#include <cstdint>
#include <string>
#include <vector>

class CProfile
{
public:
    // Reads the file. A missing file gives an empty profile and true; a file that exists but
    // cannot be read gives false and an empty profile. The path is not remembered.
    [[nodiscard]] bool Load(const std::string& path);
    // Takes the text of a file; CR LF and LF line ends, a leading UTF-8 byte-order mark kept.
    void Parse(const std::string& text);

    // The value of a key, unquoted, blanks around it removed; false when the section or the key
    // is missing. Section and key names compare without regard to ASCII case; when a section
    // appears more than once, the first key found in file order wins.
    bool Find(const std::string& section, const std::string& key, std::string& value) const;
    // The value, or defaultValue when the key is missing.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const;
    // The value read as an integer (see ProfileTextToInt); defaultValue when the key is missing
    // or its value is empty.
    int32_t GetInt(const std::string& section, const std::string& key, int32_t defaultValue) const;

    // Sets a key: an existing entry is rewritten where it stands, a new one goes after the last
    // entry of its section, a new section at the end. Refused (false, nothing changed) when a
    // name is empty or holds characters that would change the meaning of the line (a line
    // break, "]" in a section name, "=" in a key, a key starting with ";" or "["), or when the
    // value holds a line break or NUL. A value that would lose blanks or quotes when read back
    // is written in double quotes.
    [[nodiscard]] bool SetString(const std::string& section, const std::string& key, const std::string& value);
    [[nodiscard]] bool SetInt(const std::string& section, const std::string& key, int32_t value);
    // Removes every entry of that key in that section; the section line stays.
    void DeleteKey(const std::string& section, const std::string& key);

    // The whole file as text, every line ending in LF.
    std::string Text() const;
    // Replaces the file atomically: the text goes to a temporary file beside it, which is
    // flushed to disk and then renamed over the file; on any failure the old file is untouched
    // and the result is false. A symbolic link is followed, so the link itself stays.
    bool Save(const std::string& path) const;

private:
    // Position of the line of an entry, or npos.
    size_t FindEntryLine(const std::string& section, const std::string& key) const;

    bool m_byteOrderMark = false;
    std::vector<std::string> m_lines; // without line ends
};

// Reads an integer the way the Windows profile functions do: blanks, an optional sign and the
// leading decimal digits; text without digits gives 0. Values beyond int32 saturate.
int32_t ProfileTextToInt(const std::string& text);
