#include "platform/CProfile.h"

#include "platform/AsciiCase.h"
#include "platform/File64.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// Anything larger is not a settings file; refusing it keeps a wrong path from eating memory.
constexpr size_t kMaxProfileBytes = 64u << 20;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

bool IsQuoted(const std::string& value)
{
    return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

enum class LineKind { kOther, kSection, kEntry };

struct ParsedLine
{
    LineKind kind = LineKind::kOther;
    std::string name;  // section name or key, trimmed, as written in the file
    std::string value; // entries: trimmed and unquoted
};

ParsedLine ParseLine(const std::string& line)
{
    ParsedLine parsed;
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start]))
        ++start;
    if (start == line.size() || line[start] == ';')
        return parsed;
    if (line[start] == '[') {
        // A section line without its "]" still names the section, as the Windows reader has it.
        const size_t close = line.find(']', start + 1);
        const size_t end = close == std::string::npos ? line.size() : close;
        parsed.kind = LineKind::kSection;
        parsed.name = Trim(line.substr(start + 1, end - start - 1));
        return parsed;
    }
    const size_t equals = line.find('=', start);
    if (equals == std::string::npos)
        return parsed;
    parsed.name = Trim(line.substr(start, equals - start));
    if (parsed.name.empty())
        return parsed;
    parsed.kind = LineKind::kEntry;
    parsed.value = Trim(line.substr(equals + 1));
    if (IsQuoted(parsed.value))
        parsed.value = parsed.value.substr(1, parsed.value.size() - 2);
    return parsed;
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

bool ValidSection(const std::string& trimmed)
{
    return !trimmed.empty() && !HasLineBreak(trimmed) && trimmed.find(']') == std::string::npos
        && trimmed.find('\0') == std::string::npos;
}

bool ValidKey(const std::string& trimmed)
{
    return !trimmed.empty() && !HasLineBreak(trimmed) && trimmed.find('=') == std::string::npos
        && trimmed.find('\0') == std::string::npos && trimmed[0] != ';' && trimmed[0] != '[';
}

// The text that reads back as exactly `value`: blanks at either end or a pair of enclosing
// quotes would be stripped by the reader, so such values are written inside double quotes.
std::string EncodeValue(const std::string& value)
{
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value)))
        return '"' + value + '"';
    return value;
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool CProfile::Load(const std::string& path)
{
    m_lines.clear();
    m_byteOrderMark = false;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return errno == ENOENT;
    std::string text;
    char block[16384];
    bool ok = true;
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
        if (text.size() + n > kMaxProfileBytes) {
            ok = false;
            break;
        }
        text.append(block, n);
    }
    if (std::ferror(file))
        ok = false;
    std::fclose(file);
    if (!ok)
        return false;
    Parse(text);
    return true;
}

void CProfile::Parse(const std::string& text)
{
    m_lines.clear();
    m_byteOrderMark = text.compare(0, 3, kByteOrderMark) == 0;
    size_t pos = m_byteOrderMark ? 3 : 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        size_t lineEnd = end;
        if (lineEnd > pos && text[lineEnd - 1] == '\r')
            --lineEnd;
        m_lines.push_back(text.substr(pos, lineEnd - pos));
        pos = end + 1;
    }
}

size_t CProfile::FindEntryLine(const std::string& section, const std::string& key) const
{
    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const ParsedLine line = ParseLine(m_lines[i]);
        if (line.kind == LineKind::kSection)
            inSection = AsciiEqualsNoCase(line.name, wantedSection);
        else if (inSection && line.kind == LineKind::kEntry && AsciiEqualsNoCase(line.name, wantedKey))
            return i;
    }
    return std::string::npos;
}

bool CProfile::Find(const std::string& section, const std::string& key, std::string& value) const
{
    const size_t at = FindEntryLine(section, key);
    if (at == std::string::npos)
        return false;
    value = ParseLine(m_lines[at]).value;
    return true;
}

std::string CProfile::GetString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const
{
    std::string value;
    return Find(section, key, value) ? value : defaultValue;
}

int32_t CProfile::GetInt(const std::string& section, const std::string& key, int32_t defaultValue) const
{
    std::string value;
    // An empty value reads as the default, as with the Windows call: it sees no text at all.
    if (!Find(section, key, value) || value.empty())
        return defaultValue;
    return ProfileTextToInt(value);
}

bool CProfile::SetString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    if (!ValidSection(wantedSection) || !ValidKey(wantedKey) || HasLineBreak(value)
        || value.find('\0') != std::string::npos)
        return false;
    const std::string encoded = EncodeValue(value);

    const size_t existing = FindEntryLine(wantedSection, wantedKey);
    if (existing != std::string::npos) {
        m_lines[existing] = ParseLine(m_lines[existing]).name + "=" + encoded;
        return true;
    }
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const ParsedLine line = ParseLine(m_lines[i]);
        if (line.kind != LineKind::kSection || !AsciiEqualsNoCase(line.name, wantedSection))
            continue;
        // After the section's last entry, so comments and blank lines that lead into the next
        // section stay with it.
        size_t insertAt = i + 1;
        for (size_t j = i + 1; j < m_lines.size(); ++j) {
            const LineKind kind = ParseLine(m_lines[j]).kind;
            if (kind == LineKind::kSection)
                break;
            if (kind == LineKind::kEntry)
                insertAt = j + 1;
        }
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), wantedKey + "=" + encoded);
        return true;
    }
    m_lines.push_back("[" + wantedSection + "]");
    m_lines.push_back(wantedKey + "=" + encoded);
    return true;
}

bool CProfile::SetInt(const std::string& section, const std::string& key, int32_t value)
{
    return SetString(section, key, std::to_string(value));
}

void CProfile::DeleteKey(const std::string& section, const std::string& key)
{
    const std::string wantedSection = Trim(section);
    const std::string wantedKey = Trim(key);
    bool inSection = false;
    std::vector<std::string> kept;
    kept.reserve(m_lines.size());
    for (std::string& text : m_lines) {
        const ParsedLine line = ParseLine(text);
        if (line.kind == LineKind::kSection)
            inSection = AsciiEqualsNoCase(line.name, wantedSection);
        else if (inSection && line.kind == LineKind::kEntry && AsciiEqualsNoCase(line.name, wantedKey))
            continue;
        kept.push_back(std::move(text));
    }
    m_lines = std::move(kept);
}

std::string CProfile::Text() const
{
    std::string text = m_byteOrderMark ? kByteOrderMark : "";
    for (const std::string& line : m_lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool CProfile::Save(const std::string& path) const
{
    if (path.empty())
        return false;
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    mode_t mode = NewFileMode();
    if (::stat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return false;
        mode = info.st_mode & 07777;
    }

    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const std::string text = Text();
    bool ok = ::fchmod(fd, mode) == 0 && WriteFully(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

int32_t ProfileTextToInt(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t(INT32_MAX) + 1)
            magnitude = int64_t(INT32_MAX) + 1; // saturate; keeps the loop free of overflow
    }
    if (negative)
        return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}
