// The option file of the "Command Line" button, byte for byte.

#include <gtest/gtest.h>


#include "app/gui/dialogs/CommandLineText.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace {

CKVDataSelection::Entry Entry(const std::string& stream, const std::string& channel, int bit = -1)
{
    CKVDataSelection::Entry e;
    e.streamName = stream;
    e.channelName = channel;
    e.bit = bit;
    return e;
}

// `lines` joined with CR LF after each.
std::string CrLf(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

} // namespace

TEST(CommandLineText, GoldenFiles)
{
    CKVDataSelection two;
    two.Add(Entry("Electrode Raw Data", "12"));
    two.Add(Entry("Electrode Raw Data", "13"));
    CKVDataSelection bits;
    bits.Add(Entry("Digital Data", "D1", 3));
    bits.Add(Entry("Digital Data Event", "D1"));

    CommandLineRequest single;
    single.taskOption = "-ascii";
    single.inputs = {"/data/run 1.kvd"};
    single.outputName = "/out/run 1.txt";
    single.selection = &two;

    CommandLineRequest perFile = single;
    perFile.multiFile = true;
    perFile.inputs = {"/data/a.kvd", "/data/b.kvd"};
    perFile.outputName = "/out/a.txt";
    perFile.outputFolder = "/out";
    perFile.assumeSplittedFile = 1;
    perFile.options.CommentChar = 1;
    perFile.options.CommentCharText = "%";

    CommandLineRequest oneOutput = perFile;
    oneOutput.singleOutfile = 1;
    oneOutput.options.CommentCharText = "-";

    CommandLineRequest binary = single;
    binary.taskOption = "-bin";
    binary.outputName = "/out/run 1.raw";
    binary.triggered = true;
    binary.options.WriteHeader = 1;
    binary.selection = &bits;

    CommandLineRequest triggered = single;
    triggered.triggered = true;
    triggered.baseIsPressedStart = 1;
    triggered.options.SweepHeader = 1;
    triggered.options.DigitalEventInitialValue = 1;
    triggered.selection = &bits;

    const std::pair<const char*, std::pair<CommandLineRequest, std::string>> cases[] = {
        {"one file, two channels",
         {single, CrLf({"# Run this file by typing:", "# Sondrel -file filename", "", "-ascii",
                        "-i \"/data/run 1.kvd\"", "-o \"/out/run 1.txt\"", "",
                        "-s \"Electrode Raw Data:12\"", "-s \"Electrode Raw Data:13\"", "",
                        "-NoBaseIsPressedStart", "-NoCommentChar"})}},
        {"several files, one output each: the folder",
         {perFile, CrLf({"# Run this file by typing:", "# Sondrel -file filename", "", "-ascii",
                         "-i \"/data/a.kvd\"", "-i \"/data/b.kvd\"", "-o \"/out\"", "",
                         "-s \"Electrode Raw Data:12\"", "-s \"Electrode Raw Data:13\"", "",
                         "-AssumeSplittedFile", "-NoSingleOutfile", "-NoBaseIsPressedStart",
                         "-CommentChar %"})}},
        {"several files into one output: the file; a comment text that is no plain word",
         {oneOutput, CrLf({"# Run this file by typing:", "# Sondrel -file filename", "", "-ascii",
                           "-i \"/data/a.kvd\"", "-i \"/data/b.kvd\"", "-o \"/out/a.txt\"", "",
                           "-s \"Electrode Raw Data:12\"", "-s \"Electrode Raw Data:13\"", "",
                           "-AssumeSplittedFile", "-SingleOutfile", "-NoBaseIsPressedStart",
                           "-CommentChar \"-\""})}},
        {"binary switches, a bit entry",
         {binary, CrLf({"# Run this file by typing:", "# Sondrel -file filename", "", "-bin",
                        "-i \"/data/run 1.kvd\"", "-o \"/out/run 1.raw\"", "",
                        "-s \"Digital Data:D1:3\"", "-s \"Digital Data Event:D1\"", "",
                        "-WriteHeader", "-ToUnsigned"})}},
        {"triggered text with digital events",
         {triggered, CrLf({"# Run this file by typing:", "# Sondrel -file filename", "", "-ascii",
                           "-i \"/data/run 1.kvd\"", "-o \"/out/run 1.txt\"", "",
                           "-s \"Digital Data:D1:3\"", "-s \"Digital Data Event:D1\"", "",
                           "-BaseIsPressedStart", "-SweepHeader", "-DigitalEventInitialValue",
                           "-NoCommentChar"})}},
    };
    for (const auto& [name, c] : cases) {
        SCOPED_TRACE(name);
        std::string text;
        std::string refused;
        ASSERT_TRUE(BuildCommandLineText(c.first, text, refused));
        EXPECT_EQ(text, c.second);
        EXPECT_TRUE(refused.empty());
    }

    // Several files when the list holds only one: one output, no splitting switches.
    CommandLineRequest listOfOne = perFile;
    listOfOne.inputs = {"/data/a.kvd"};
    std::string text;
    std::string refused;
    ASSERT_TRUE(BuildCommandLineText(listOfOne, text, refused));
    EXPECT_NE(text.find("-o \"/out/a.txt\"\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.find("AssumeSplittedFile"), std::string::npos);
}

TEST(CommandLineText, ATriggerEntryNamesItsStreamsOwnChannel)
{
    // The dialog's trigger entry reads "Tr", a channel the console does not know.
    CKVDataSelection trigger;
    trigger.Add(Entry("Trigger 1", "Tr"));
    trigger.Add(Entry("Trigger 2", "Tr"));
    CStreamChannelMap map;
    CStreamChannelMap::CStream one;
    one.m_name = "Trigger 1";
    one.m_kind = "trigger";
    one.m_channelIds = {0, 1};
    one.m_channelNames = {"T1", "T2"};
    map.AddStream(one);
    CStreamChannelMap::CStream unnamed = one;
    unnamed.m_name = "Trigger 2";
    unnamed.m_channelIds.clear();
    unnamed.m_channelNames.clear();
    map.AddStream(unnamed);

    CommandLineRequest r;
    r.taskOption = "-ascii";
    r.inputs = {"/data/a.kvd"};
    r.outputName = "/out/a.txt";
    r.selection = &trigger;
    const std::pair<const char*, std::pair<const CStreamChannelMap*, std::string>> cases[] = {
        {"the first channel of the stream; a stream without one alone",
         {&map, "\r\n-s \"Trigger 1:T1\"\r\n-s \"Trigger 2\"\r\n"}},
        {"no map: the streams alone", {nullptr, "\r\n-s \"Trigger 1\"\r\n-s \"Trigger 2\"\r\n"}},
    };
    for (const auto& [name, c] : cases) {
        SCOPED_TRACE(name);
        r.map = c.first;
        std::string text;
        std::string refused;
        ASSERT_TRUE(BuildCommandLineText(r, text, refused));
        EXPECT_NE(text.find(c.second), std::string::npos) << text;
        EXPECT_EQ(text.find("Tr\""), std::string::npos) << text;
    }
}

TEST(CommandLineText, ValuesTheParserCannotReadAreRefused)
{
    CKVDataSelection none;
    CommandLineRequest r;
    r.taskOption = "-ascii";
    r.selection = &none;
    r.outputName = "/out/x.txt";
    const std::pair<const char*, std::function<void(CommandLineRequest&)>> cases[] = {
        {"input with a quote", [](CommandLineRequest& q) { q.inputs = {"/data/a\"b.kvd"}; }},
        {"output with a line break", [](CommandLineRequest& q) { q.outputName = "/out/a\nb.txt"; }},
        {"comment text with a quote", [](CommandLineRequest& q) {
             q.options.CommentChar = 1;
             q.options.CommentCharText = "\"";
         }},
    };
    for (const auto& [name, change] : cases) {
        SCOPED_TRACE(name);
        CommandLineRequest q = r;
        q.inputs = {"/data/a.kvd"};
        change(q);
        std::string text = "stale";
        std::string refused;
        EXPECT_FALSE(BuildCommandLineText(q, text, refused));
        EXPECT_TRUE(text.empty());
        EXPECT_FALSE(refused.empty());
    }
}

TEST(CommandLineText, WritesAndReportsFailures)
{
    TempDir dir;
    const std::string text = "-ascii\r\n";
    ASSERT_TRUE(WriteCommandLineFile(dir.File("opt.txt"), text));
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("opt.txt"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);
    EXPECT_FALSE(WriteCommandLineFile(dir.File("missing/opt.txt"), text));
    // A full disk: the write or the close fails and says so.
    FileSizeLimit limit(4096);
    EXPECT_FALSE(WriteCommandLineFile(dir.File("big.txt"), std::string(1 << 16, 'x')));
}
