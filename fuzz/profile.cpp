// Fuzzes the INI layer: arbitrary text is parsed, then one key is read, set, set as a number and
// deleted, each result checked against what a reader of the saved text would see.
//
// Input: section, key, value, a second section and key (each a FuzzedDataProvider string), a
// 32-bit number, then the text of the file.

#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/AsciiCase.h"
#include "platform/CProfile.h"

namespace {

constexpr size_t kMaxNameBytes = 64;

std::string TrimBlanks(const std::string& text)
{
    const char* const blanks = " \t\r\v\f";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

bool HasAny(const std::string& text, const std::string& chars)
{
    return text.find_first_of(chars) != std::string::npos;
}

// What the layer promises to store: non-empty names that cannot change the meaning of the line,
// a value without line breaks or NUL.
bool Storable(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string s = TrimBlanks(section);
    const std::string k = TrimBlanks(key);
    return !s.empty() && !HasAny(s, std::string("\r\n]\0", 4)) && !k.empty()
        && !HasAny(k, std::string("\r\n=\0", 4)) && k[0] != ';' && k[0] != '['
        && !HasAny(value, std::string("\r\n\0", 3));
}

bool SameEntry(const std::string& s1, const std::string& k1, const std::string& s2,
               const std::string& k2)
{
    return AsciiEqualsNoCase(TrimBlanks(s1), TrimBlanks(s2))
        && AsciiEqualsNoCase(TrimBlanks(k1), TrimBlanks(k2));
}

std::optional<std::string> Lookup(const CProfile& profile, const std::string& section,
                                  const std::string& key)
{
    std::string value;
    if (!profile.Find(section, key, value))
        return std::nullopt;
    return value;
}

// The value as the next reader of the saved file finds it.
std::optional<std::string> LookupAfterSave(const CProfile& profile, const std::string& section,
                                           const std::string& key)
{
    CProfile reread;
    reread.Parse(profile.Text());
    return Lookup(reread, section, key);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(kMaxNameBytes);
    const std::string key = in.ConsumeRandomLengthString(kMaxNameBytes);
    const std::string value = in.ConsumeRandomLengthString(kMaxNameBytes);
    const std::string otherSection = in.ConsumeRandomLengthString(kMaxNameBytes);
    const std::string otherKey = in.ConsumeRandomLengthString(kMaxNameBytes);
    const int32_t number = in.ConsumeIntegral<int32_t>();
    const std::string text = in.ConsumeRemainingBytesAsString();

    CProfile profile;
    profile.Parse(text);
    const std::string written = profile.Text();

    // Reading, directly and after a save.
    const std::optional<std::string> found = Lookup(profile, section, key);
    FUZZ_CHECK(LookupAfterSave(profile, section, key) == found);
    FUZZ_CHECK(profile.GetString(section, key, "\n") == (found ? *found : "\n"));
    FUZZ_CHECK(profile.GetInt(section, key, number)
               == (found && !found->empty() ? ProfileTextToInt(*found) : number));
    const std::optional<std::string> other = Lookup(profile, otherSection, otherKey);
    const bool same = SameEntry(section, key, otherSection, otherKey);

    // Setting a text.
    const bool storable = Storable(section, key, value);
    FUZZ_CHECK(profile.SetString(section, key, value) == storable);
    if (!storable) {
        FUZZ_CHECK(profile.Text() == written);
        return 0;
    }
    FUZZ_CHECK(Lookup(profile, section, key) == value);
    FUZZ_CHECK(LookupAfterSave(profile, section, key) == value);
    if (!same) {
        FUZZ_CHECK(Lookup(profile, otherSection, otherKey) == other);
        FUZZ_CHECK(LookupAfterSave(profile, otherSection, otherKey) == other);
    }

    // Setting a number.
    FUZZ_CHECK(profile.SetInt(section, key, number));
    FUZZ_CHECK(profile.GetInt(section, key, number == 0 ? 1 : 0) == number);
    CProfile reread;
    reread.Parse(profile.Text());
    FUZZ_CHECK(reread.GetInt(section, key, number == 0 ? 1 : 0) == number);

    // Deleting.
    profile.DeleteKey(section, key);
    FUZZ_CHECK(!Lookup(profile, section, key));
    FUZZ_CHECK(!LookupAfterSave(profile, section, key));
    if (!same)
        FUZZ_CHECK(LookupAfterSave(profile, otherSection, otherKey) == other);
    return 0;
}
