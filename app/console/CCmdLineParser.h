#pragma once
// Splits one command-line text into an ordered table of option keys and their values.

#include <map>
#include <string>

class CCmdLineParser
{
public:
    using Table = std::multimap<std::string, std::string>;
    using Iterator = Table::const_iterator;

    // Parses `line` at once when it is not null. Case-insensitive parsers store and look up keys
    // lower-cased (ASCII letters only); without repeated keys only a key's first value is kept.
    CCmdLineParser(const char* line, bool caseSensitive, bool allowRepeatedKeys);
    virtual ~CCmdLineParser();

    // Empties the table and fills it from `line`; a null line changes nothing.
    //
    // Options start with "-" (a "/" starts a path here, never an option). The key runs to the
    // first blank, ":" or "="; the value follows that separator up to the next blank, or
    // between double quotes (to the end of the line when the closing quote is missing). A
    // separator at the end of the line or followed by "-" ends a key without a value.
    void Parse(const char* line);
    void Parse(const std::string& line) { Parse(line.c_str()); }

    // Adds the pair after every pair of the same key; dropped when repeated keys are not
    // allowed and the key is present.
    void Insert(const std::string& key, const std::string& value);

    // The first pair of the key, or the end position.
    Iterator Find(const std::string& key) const;
    bool HasKey(const std::string& key) const;
    // The first value of the key ("" for a key given without value), or null when absent. The
    // pointer stays valid until the next Parse.
    const char* GetVal(const std::string& key) const;
    size_t Count(const std::string& key) const;

    // Walks the table in key order (byte order; insertion order within one key).
    void Begin(Iterator& it) const { it = m_values.begin(); }
    bool IsEnd(const Iterator& it) const { return it == m_values.end(); }
    // Copies the pair and advances; at the end only empties `key`.
    void GetNext(Iterator& it, std::string& key, std::string& value) const;
    // Walks the values of one key from Find(key): copies the value and advances, going to the
    // end position once the next pair has another key. At the end it does nothing.
    void GetNextOf(Iterator& it, const std::string& key, std::string& value) const;

    const std::string& Line() const { return m_line; }

private:
    std::string NormalizeKey(const std::string& key) const;

    std::string m_line;
    Table m_values;
    bool m_caseSensitive;
    bool m_allowRepeatedKeys;
};
