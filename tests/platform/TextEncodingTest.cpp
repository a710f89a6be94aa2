#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

#include "platform/CMessageReporter.h"

TEST(TextEncoding, Cp1252BytesBecomeTheirUtf8Characters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain ASCII\n", "plain ASCII\n"},
        {"10 \xB5V", "10 \xC2\xB5V"},
        {"\x80", "\xE2\x82\xAC"},          // euro sign
        {"\x9F", "\xC5\xB8"},              // Y with diaeresis
        {"\x81\x9D", "\xC2\x81\xC2\x9D"},  // undefined bytes keep their number
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(Cp1252ToUtf8(input), expected);
    }
}

TEST(TextEncoding, ConsoleMessagesLeaveInUtf8WithALineEnd)
{
    testing::internal::CaptureStdout();
    CConsoleReporter().Report("Unit: \xB5V");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unit: \xC2\xB5V\n");
}

TEST(TextEncoding, WellFormedUtf8StaysAsItIs)
{
    EXPECT_EQ(ToDisplayText("/data/Messung \xC3\xA4.kvd"), "/data/Messung \xC3\xA4.kvd"); // a UTF-8 path
    EXPECT_EQ(ToDisplayText("\xE4"), "\xC3\xA4");                                        // a file's byte
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // cut short
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}
