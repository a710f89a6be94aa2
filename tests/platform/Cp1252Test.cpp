#include "platform/Cp1252.h"

#include <gtest/gtest.h>

TEST(Cp1252, ConvertsEveryRangeToUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain %s text", "plain %s text"},
        {"\xB5V", "\xC2\xB5V"},
        {"\x80", "\xE2\x82\xAC"},     // euro sign
        {"\x81", "\xC2\x81"},         // undefined: kept as the control of the same number
        {"\x9F\xFF", "\xC5\xB8\xC3\xBF"},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(Cp1252ToUtf8(in), out);
    }
}
