#include "app/console/ConsoleMain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/console/CCmdLineParser.h"
#include "export/core/VersionInfo.h"
#include "tests/app/console/ConsoleRun.h"
#include "tests/support/KvdRecording.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "Usage: Sondrel -taskoption -i:\"input file name\" -o:\"output file name\""
                      "-taskoption: could be -bin or -ascii\n";

std::string VersionLines()
{
    VersionInfo info;
    info.LoadFromModule();
    return "Sondrel Version " + info.GetFileVersionText() + "\n"
           + info.GetStringValue("LegalCopyright") + "\n";
}

} // namespace

TEST(ConsoleMain, TheParserGetsEveryArgumentWhole)
{
    using Pairs = std::multimap<std::string, std::string>;
    const struct
    {
        std::vector<const char*> argv;
        Pairs pairs;
    } cases[] = {
        // The program path never becomes a key, however many "-" its folders hold.
        {{"/opt/my-tools/Sondrel.com", "-i", "/data/my rec.kvd", "-list"}, {{"i", "/data/my rec.kvd"}, {"list", ""}}},
        {{"x", "-i:/x y", "-o=out dir/a.txt"}, {{"i", "/x y"}, {"o", "out dir/a.txt"}}},
        {{"x", "-s", "Digital Data:all:3"}, {{"s", "Digital Data:all:3"}}},
        // A value that starts with "-" stays a value in one argument with its key.
        {{"x", "-o:-odd name", "-CommentChar:", "-i", ""}, {{"o", "-odd name"}, {"commentchar", ""}, {"i", ""}}},
        // Linux file names may hold double quotes; a stray word is nobody's value.
        {{"x", "-i", "a\"b.kvd", "-o:c \"d\".txt", "stray-word", "-s", "\"El\""},
         {{"i", "a\"b.kvd"}, {"o", "c \"d\".txt"}, {"s", "\"El\""}}},
        {{"x", "-", "-:v", "-bin"}, {{"bin", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.argv));
        CCmdLineParser parser(nullptr, false, true);
        AddArguments(parser, static_cast<int>(c.argv.size()), c.argv.data());
        Pairs pairs;
        CCmdLineParser::Iterator it;
        std::string key, value;
        for (parser.Begin(it); !parser.IsEnd(it); pairs.emplace(key, value))
            parser.GetNext(it, key, value);
        EXPECT_EQ(pairs, c.pairs);
    }

    // A recording whose name holds a double quote and a blank is listed.
    TempDir dir;
    const std::string path = dir.File("a\"b c.kvd");
    ASSERT_TRUE(WriteKvdRecording(KvdRecordingPlan(), path));
    const ConsoleRun run = RunConsoleMain({"-list", "-i", path});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(run.Has("Start processing file: " + path + ".\n")) << run.out;
}

TEST(ConsoleMain, ReadsOptionFiles)
{
    TempDir dir;
    const std::string longPath(5000, 'p');
    const std::pair<std::string, std::string> cases[] = {
        {"-ascii\r\n\t -i a.kvd \t\r\n\r\n", "-ascii -i a.kvd "},
        {"# Run this file by typing:\r\n  # Sondrel -file filename\r\n", ""},
        {"-o a#b.txt\n", "-o a#b.txt "},
        {"-i \"" + longPath + "\"\n", "-i \"" + longPath + "\" "},
        {"-o\nout.txt", "-o out.txt "},   // an option and its value on two lines
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        WriteText(dir.File("options.txt"), text);
        std::string options;
        EXPECT_EQ(ReadOptionFile(dir.File("options.txt"), options), kOptionFileRead);
        EXPECT_EQ(options, expected);
    }
    std::string options;
    EXPECT_EQ(ReadOptionFile(dir.File("missing.txt"), options), kOptionFileCannotOpen);
    EXPECT_EQ(ReadOptionFile(dir.Path(), options), kOptionFileReadError);
}

TEST(ConsoleMain, HelpWinsOverEverythingButTheDebugListing)
{
    ConsoleRun run = RunConsoleMain({"-help", "-i", "a.kvd", "-file", "x"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kUsage);
    run = RunConsoleMain({"-DEBUG", "-?", "-i:/x y"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Parameters on the command line:\n"
                       "Key: ?, value \nKey: debug, value \nKey: i, value /x y\n\n"
                           + std::string(kUsage));
}

TEST(ConsoleMain, RunsTheTaskOncePerOptionFile)
{
    TempDir dir;
    const std::string a = dir.File("a.txt");
    const std::string comments = dir.File("comments.txt");
    const std::string missing = dir.File("missing.txt");
    WriteText(a, "# Run this file by typing:\r\n-version\r\n");
    WriteText(comments, "# nothing here\n");
    const std::string version = VersionLines();
    const std::string readA = "Reading command line from file: " + a + ".\n";
    const std::string readComments = "Reading command line from file: " + comments + ".\n";

    // The second run has the command line alone, so no input: the program fails.
    ConsoleRun run = RunConsoleMain({"-file", a, "-file", comments});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, readA + version + readComments + "No input file specified.\n");

    // The real command line's options enter every run.
    run = RunConsoleMain({"-version", "-file", comments, "-file", comments});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, readComments + version + readComments + version);

    // A missing file ends the program at once; later files are not run.
    run = RunConsoleMain({"-file", missing, "-file", a});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error opening file: " + missing + ".\n");
    run = RunConsoleMain({"-file", a, "-file", missing, "-file", a});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, readA + version + "Error opening file: " + missing + ".\n");

    run = RunConsoleMain({"-debug", "-file", a});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.EndsWith("Complete command line after reading file(s):\n"
                             "key: debug, value \nkey: file, value " + a + "\n"
                             "key: version, value \n\n" + version))
        << run.out;
}

TEST(ConsoleMain, StartsTheWindowedProgramBesideItDetached)
{
    EXPECT_EQ(WindowedProgramPath("/opt/my tools/Sondrel.com"), "/opt/my tools/Sondrel.exe");
    EXPECT_EQ(WindowedProgramPath("/opt/SONDREL.COM"), "/opt/SONDREL.exe");
    EXPECT_EQ(WindowedProgramPath("/opt/a.com/sondrel"), "");

    // A copy without a windowed program beside it (the build tree has the real one, which must
    // not start here).
    TempDir dir;
    const std::string windowed = dir.File("Sondrel.exe");
    fs::copy_file(SONDREL_CONSOLE, dir.File("Sondrel.com"));
    ConsoleRun run = RunConsoleBinary(dir.File("Sondrel.com"), {});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("Can not start the windowed program "), 0u) << run.out;

    WriteText(windowed, "#!/bin/sh\necho started > \"$(dirname \"$0\")/started\"\n");
    fs::permissions(windowed, fs::perms::owner_all);
    run = RunConsoleBinary(dir.File("Sondrel.com"), {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    // It runs on its own: wait for its mark, not for the process.
    for (int i = 0; i < 1000 && !fs::exists(dir.File("started")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(dir.File("started")));

    fs::rename(dir.File("Sondrel.com"), dir.File("sondrel"));
    run = RunConsoleBinary(dir.File("sondrel"), {});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.Has("does not end in \".com\"")) << run.out;
}
