// Fuzzes the command-line parser: an arbitrary line is parsed, then every key and value is
// walked and looked up again.
//
// Input: one byte of flags (bit 0 case-sensitive, bit 1 repeated keys allowed), then the line;
// the parser takes a C string, so the line ends at its first NUL.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/console/CCmdLineParser.h"
#include "fuzz/FuzzCheck.h"
#include "platform/AsciiCase.h"

namespace {

using Pairs = std::map<std::string, std::vector<std::string>>;

// Every pair in table order, checking the order and the shape of each pair on the way.
Pairs Walk(const CCmdLineParser& parser, const std::string& line, bool caseSensitive)
{
    Pairs pairs;
    size_t count = 0;
    std::string previous;
    CCmdLineParser::Iterator it;
    parser.Begin(it);
    while (!parser.IsEnd(it)) {
        std::string key;
        std::string value;
        parser.GetNext(it, key, value);
        FUZZ_CHECK(!key.empty());
        FUZZ_CHECK(key >= previous);
        FUZZ_CHECK(caseSensitive || AsciiLower(key) == key);
        FUZZ_CHECK(line.find(value) != std::string::npos);
        if (caseSensitive)
            FUZZ_CHECK(line.find('-' + key) != std::string::npos);
        pairs[key].push_back(value);
        previous = key;
        ++count;
    }
    // Every pair starts at its own "-".
    FUZZ_CHECK(count <= static_cast<size_t>(std::count(line.begin(), line.end(), '-')));
    std::string key = "x";
    std::string value;
    parser.GetNext(it, key, value);
    FUZZ_CHECK(key.empty());
    return pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool caseSensitive = (data[0] & 1) != 0;
    const bool repeatedKeys = (data[0] & 2) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string line = bytes.c_str();

    CCmdLineParser parser(bytes.c_str(), caseSensitive, repeatedKeys);
    FUZZ_CHECK(parser.Line() == line);
    const Pairs pairs = Walk(parser, line, caseSensitive);

    for (const auto& [key, values] : pairs) {
        FUZZ_CHECK(repeatedKeys || values.size() == 1);
        FUZZ_CHECK(parser.HasKey(key));
        FUZZ_CHECK(parser.Count(key) == values.size());
        const char* first = parser.GetVal(key);
        FUZZ_CHECK(first && values.front() == first);
        if (!caseSensitive) {
            const std::string upper = AsciiUpper(key);
            FUZZ_CHECK(parser.Count(upper) == values.size());
        }
        CCmdLineParser::Iterator it = parser.Find(key);
        for (const std::string& expected : values) {
            FUZZ_CHECK(!parser.IsEnd(it));
            std::string value;
            parser.GetNextOf(it, key, value);
            FUZZ_CHECK(value == expected);
        }
        FUZZ_CHECK(parser.IsEnd(it));
        std::string untouched = "x";
        parser.GetNextOf(it, key, untouched);
        FUZZ_CHECK(untouched == "x");
    }

    // A null line changes nothing; parsing the line again gives the same table.
    parser.Parse(nullptr);
    FUZZ_CHECK(parser.Line() == line);
    parser.Parse(line);
    FUZZ_CHECK(Walk(parser, line, caseSensitive) == pairs);

    // An inserted pair lands after the pairs of its key.
    if (!pairs.empty()) {
        const std::string& key = pairs.begin()->first;
        parser.Insert(key, "inserted");
        FUZZ_CHECK(parser.Count(key) == (repeatedKeys ? pairs.begin()->second.size() + 1 : 1));
    }
    return 0;
}
