#include "app/console/CCmdLineParser.h"

#include "platform/AsciiCase.h"

namespace {

constexpr char kKeyPrefix = '-';
constexpr char kValueSeparators[] = " :=";
constexpr char kQuote = '"';
constexpr char kBlank = ' ';
// Every round consumes at least one character; the cap only bounds pathological input.
constexpr int kMaxRounds = 1000000;

} // namespace

CCmdLineParser::CCmdLineParser(const char* line, bool caseSensitive, bool allowRepeatedKeys)
    : m_caseSensitive(caseSensitive)
    , m_allowRepeatedKeys(allowRepeatedKeys)
{
    if (line)
        Parse(line);
}

CCmdLineParser::~CCmdLineParser() = default;

std::string CCmdLineParser::NormalizeKey(const std::string& key) const
{
    return m_caseSensitive ? key : AsciiLower(key);
}

void CCmdLineParser::Parse(const char* line)
{
    if (!line)
        return;
    m_line = line;
    m_values.clear();
    const std::string& text = m_line;
    const size_t size = text.size();
    size_t cursor = 0;
    for (int round = 0; round < kMaxRounds && cursor < size; ++round) {
        const size_t prefix = text.find(kKeyPrefix, cursor);
        if (prefix == std::string::npos || prefix + 1 >= size)
            return;
        const size_t keyStart = prefix + 1;
        const size_t separator = text.find_first_of(kValueSeparators, keyStart);
        if (separator == std::string::npos) {
            const std::string key = text.substr(keyStart);
            if (!key.empty())
                Insert(key, std::string());
            return;
        }
        const std::string key = text.substr(keyStart, separator - keyStart);
        if (separator + 1 == size || text[separator + 1] == kKeyPrefix) {
            if (!key.empty())
                Insert(key, std::string());
            cursor = separator + 1;
            continue;
        }
        size_t valueStart = separator + 1;
        char terminator = kBlank;
        if (text[valueStart] == kQuote) {
            ++valueStart;
            terminator = kQuote;
        }
        const size_t valueEnd = text.find(terminator, valueStart);
        if (valueEnd == std::string::npos) {
            if (!key.empty())
                Insert(key, text.substr(valueStart));
            return;
        }
        if (!key.empty())
            Insert(key, text.substr(valueStart, valueEnd - valueStart));
        cursor = valueEnd + 1;
    }
}

void CCmdLineParser::Insert(const std::string& key, const std::string& value)
{
    const std::string stored = NormalizeKey(key);
    if (!m_allowRepeatedKeys && m_values.count(stored) != 0)
        return;
    m_values.emplace(stored, value); // a multimap inserts after the pairs of an equal key
}

CCmdLineParser::Iterator CCmdLineParser::Find(const std::string& key) const
{
    // lower_bound, not find: find may land on any of several equal keys.
    const std::string wanted = NormalizeKey(key);
    const Iterator it = m_values.lower_bound(wanted);
    return it != m_values.end() && it->first == wanted ? it : m_values.end();
}

bool CCmdLineParser::HasKey(const std::string& key) const
{
    return Find(key) != m_values.end();
}

const char* CCmdLineParser::GetVal(const std::string& key) const
{
    const Iterator it = Find(key);
    return it == m_values.end() ? nullptr : it->second.c_str();
}

size_t CCmdLineParser::Count(const std::string& key) const
{
    return m_values.count(NormalizeKey(key));
}

void CCmdLineParser::GetNext(Iterator& it, std::string& key, std::string& value) const
{
    if (it == m_values.end()) {
        key.clear();
        return;
    }
    key = it->first;
    value = it->second;
    ++it;
}

void CCmdLineParser::GetNextOf(Iterator& it, const std::string& key, std::string& value) const
{
    if (it == m_values.end())
        return;
    value = it->second;
    ++it;
    if (it != m_values.end() && it->first != NormalizeKey(key))
        it = m_values.end();
}
