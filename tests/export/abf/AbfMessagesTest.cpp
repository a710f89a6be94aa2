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
        {1007, "x.abf", 0, "INTERNAL ERROR: No message string assigned to error 1007."},   // a gap
        {2004, "x.abf", 1, "Not a valid ABF file."},   // shares the text of 2003
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
