#include "export/abf/AbfMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(AbfMessages, BuildErrorTextFillsNameAndNumber)
{
    char buffer[256];
    const struct {
        int number;
        const char* file;
        int result;
        const char* text;
    } cases[] = {
        {1004, "x.abf", 1, "Cannot open file 'x.abf'."},
        {1003, "x.abf", 1, "INTERNAL ERROR: too many files open."},
        {1029, "x.abf", 1, "Data compression is not supported on this platform."},
        {7777, "x.abf", 0, "INTERNAL ERROR: No message string assigned to error 7777."},
        {9999, "x.abf", 0, "INTERNAL ERROR: No message string assigned to error 9999."},
        {2003, "x.abf", 1, "Not a valid ABF file."},
        {2013, "x.abf", 1, "There is an error in the User List.\n\nConditioning trains must be enabled in order to vary this parameter."},
        // A file name is text, never a format.
        {1015, "%s%d%n.abf", 1, "Insufficient disk space for file '%s%d%n.abf'."},
        {1006, nullptr, 1, "File '': error reading data."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(AbfBuildErrorText(c.number, c.file, buffer, sizeof buffer), c.result);
        EXPECT_STREQ(buffer, c.text);
    }
}

TEST(AbfMessages, BuildErrorTextRespectsTheBuffer)
{
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(AbfBuildErrorText(1004, "x.abf", buffer, 1), 0);
    EXPECT_EQ(buffer[0], 'z') << "nothing is written into a buffer below 2 bytes";
    EXPECT_EQ(AbfBuildErrorText(1004, "x.abf", nullptr, 8), 0);

    EXPECT_EQ(AbfBuildErrorText(1004, "x.abf", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "Cannot ");

    const std::string longName(5000, 'n');
    char large[64];
    EXPECT_EQ(AbfBuildErrorText(1004, longName.c_str(), large, sizeof large), 1);
    EXPECT_EQ(std::strlen(large), sizeof large - 1);
}

TEST(AbfMessages, TableHoldsEveryNumber)
{
    int count = 0;
    for (int n = 0; n < 3000; ++n)
        if (AbfMessageText(n))
            ++count;
    EXPECT_EQ(count, 75);
    EXPECT_STREQ(AbfMessageText(2004), AbfMessageText(2003));
    EXPECT_EQ(AbfMessageText(1007), nullptr);
    EXPECT_EQ(AbfMessageText(2022), std::string("The user list contains invalid characters or is empty.\n\n"
                                                 "Valid characters are: 0..9 E e + - .\n\n"
                                                 "Valid characters for binary values: 0 1 *."));
}
