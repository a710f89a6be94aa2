#include "app/console/CCmdLineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The whole table in walking order.
Pairs Walk(const CCmdLineParser& parser)
{
    Pairs pairs;
    CCmdLineParser::Iterator it;
    parser.Begin(it);
    while (!parser.IsEnd(it)) {
        std::string key, value;
        parser.GetNext(it, key, value);
        pairs.emplace_back(key, value);
    }
    return pairs;
}

Pairs Parse(const char* line, bool caseSensitive = false, bool repeated = true)
{
    return Walk(CCmdLineParser(line, caseSensitive, repeated));
}

} // namespace

TEST(CCmdLineParser, SplitsKeysAndValues)
{
    struct Row { const char* name; const char* line; Pairs expected; };
    const Row rows[] = {
        {"quoted path with blanks", "Sondrel -i \"/my files/a.kvd\" -list",
         {{"i", "/my files/a.kvd"}, {"list", ""}}},
        {"blank is the first separator", "-ascii -s El:all", {{"ascii", ""}, {"s", "El:all"}}},
        {"equals", "-o=out.txt", {{"o", "out.txt"}}},
        {"colon", "-o:out.txt", {{"o", "out.txt"}}},
        {"colon and quotes", "-i:\"a b.kvd\" -bin", {{"bin", ""}, {"i", "a b.kvd"}}},
        {"absolute paths stay values", "-i /home/a.kvd -o=/tmp/x", {{"i", "/home/a.kvd"}, {"o", "/tmp/x"}}},
        {"a value starting with - is a key", "-o -x", {{"o", ""}, {"x", ""}}},
        {"separator at the end", "-list ", {{"list", ""}}},
        {"prefix at the end", "-list -", {{"list", ""}}},
        {"lone prefix", "-", {}},
        {"no prefix at all", "Sondrel a.kvd /x", {}},
        {"empty line", "", {}},
        {"empty key is dropped", "- x -=y -ok", {{"ok", ""}}},
        {"unterminated quote takes the rest", "-i \"a b -list", {{"i", "a b -list"}}},
        {"empty quotes", "-c \"\" -d", {{"c", ""}, {"d", ""}}},
        {"value keeps its case", "-S Digital:D1:3", {{"s", "Digital:D1:3"}}},
        {"hyphen inside a value", "-o out-file.txt", {{"o", "out-file.txt"}}},
        {"UTF-8 bytes untouched", "-\xC3\x84X \xC3\xA4\xC2\xB5", {{"\xC3\x84x", "\xC3\xA4\xC2\xB5"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Parse(row.line), row.expected);
    }
}

TEST(CCmdLineParser, CaseAndRepeatedKeys)
{
    CCmdLineParser parser("-INI -file a.txt -File b.txt -z -FILE c.txt", false, true);
    for (const char* key : {"ini", "Ini", "INI"}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(parser.HasKey(key));
        ASSERT_NE(parser.GetVal(key), nullptr);
        EXPECT_STREQ(parser.GetVal(key), "");
    }
    EXPECT_EQ(parser.Count("file"), 3u);
    EXPECT_STREQ(parser.GetVal("FILE"), "a.txt");
    EXPECT_EQ(parser.GetVal("missing"), nullptr);
    EXPECT_EQ(parser.Count("missing"), 0u);

    // All values of one key in command-line order, stopping before the next key.
    std::vector<std::string> values;
    for (CCmdLineParser::Iterator it = parser.Find("File"); !parser.IsEnd(it);) {
        std::string value;
        parser.GetNextOf(it, "File", value);
        values.push_back(value);
    }
    EXPECT_EQ(values, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    // The walk is in key order, not command-line order.
    EXPECT_EQ(Walk(parser), (Pairs{{"file", "a.txt"}, {"file", "b.txt"}, {"file", "c.txt"},
                                   {"ini", ""}, {"z", ""}}));

    CCmdLineParser single("-file a.txt -file b.txt", false, false);
    EXPECT_EQ(single.Count("file"), 1u);
    EXPECT_STREQ(single.GetVal("file"), "a.txt");

    CCmdLineParser exact("-INI -ini", true, true);
    EXPECT_EQ(exact.Count("INI"), 1u);
    EXPECT_EQ(exact.Count("ini"), 1u);
    EXPECT_FALSE(exact.HasKey("Ini"));
}

TEST(CCmdLineParser, WalkingPastTheEndAndReparsing)
{
    CCmdLineParser parser(nullptr, false, true);
    EXPECT_TRUE(Walk(parser).empty());
    parser.Parse(nullptr); // changes nothing
    EXPECT_EQ(parser.Line(), "");

    parser.Parse("-a 1 -b 2");
    CCmdLineParser::Iterator it = parser.Find("b");
    std::string key = "x", value = "kept";
    parser.GetNext(it, key, value);
    EXPECT_EQ(key, "b");
    EXPECT_EQ(value, "2");
    EXPECT_TRUE(parser.IsEnd(it));
    parser.GetNext(it, key, value);
    EXPECT_EQ(key, "");
    EXPECT_EQ(value, "2"); // left alone at the end
    parser.GetNextOf(it, "b", value);
    EXPECT_TRUE(parser.IsEnd(it));

    parser.Parse("-c");
    EXPECT_EQ(parser.Line(), "-c");
    EXPECT_EQ(Walk(parser), (Pairs{{"c", ""}}));
    parser.Insert("C", "later");
    EXPECT_EQ(parser.Count("c"), 2u);
}
