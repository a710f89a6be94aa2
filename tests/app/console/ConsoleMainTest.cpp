#include "app/console/ConsoleMain.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/console/CCmdLineParser.h"
#include "export/VersionInfo.h"
#include "tests/app/console/ConsoleRun.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

std::vector<std::pair<std::string, std::string>> Pairs(const std::string& line)
{
    CCmdLineParser parser(line.c_str(), false, true);
    std::vector<std::pair<std::string, std::string>> pairs;
    CCmdLineParser::Iterator it;
    std::string key, value;
    for (parser.Begin(it); !parser.IsEnd(it);) {
        parser.GetNext(it, key, value);
        pairs.emplace_back(key, value);
    }
    return pairs;
}

const char kUsage[] = "Usage: Sondrel -taskoption -i:\"input file name\" -o:\"output file name\""
                      "-taskoption: could be -bin or -ascii\n";

} // namespace

TEST(ConsoleMain, RebuildsTheCommandLineSoTheParserSeesEveryValueWhole)
{
    using P = std::vector<std::pair<std::string, std::string>>;
    const struct
    {
        std::vector<const char*> argv;
        std::string line;
        P pairs;
    } cases[] = {
        // The program path never becomes a key, however many "-" its folders hold.
        {{"/opt/my-tools/Sondrel.com", "-i", "/data/my rec.kvd", "-list"},
         "-i \"/data/my rec.kvd\" -list", P{{"i", "/data/my rec.kvd"}, {"list", ""}}},
        {{"x", "-i:/x y", "-o=out dir/a.txt"}, "-i:\"/x y\" -o=\"out dir/a.txt\"",
         P{{"i", "/x y"}, {"o", "out dir/a.txt"}}},
        {{"x", "-s", "Digital Data:all:3", "-ascii"}, "-s \"Digital Data:all:3\" -ascii",
         P{{"ascii", ""}, {"s", "Digital Data:all:3"}}},
        // A value that starts with "-" stays a value once quoted.
        {{"x", "-o:-odd name"}, "-o:\"-odd name\"", P{{"o", "-odd name"}}},
        {{"x", "-CommentChar:", "-o", ""}, "-CommentChar: -o \"\"",
         P{{"commentchar", ""}, {"o", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string line = RebuildCommandLine(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(Pairs(line), c.pairs);
    }
}

TEST(ConsoleMain, ReadsOptionFiles)
{
    TempDir dir;
    const std::string longPath(5000, 'p');
    const struct
    {
        const char* name;
        std::string text;
        std::string options;
    } cases[] = {
        {"crlf and tabs", "-ascii\r\n\t -i a.kvd \t\r\n\r\n", "-ascii -i a.kvd "},
        {"comments only", "# Run this file by typing:\r\n  # Sondrel -file filename\r\n", ""},
        {"hash inside a line", "-o a#b.txt\n", "-o a#b.txt "},
        {"long line", "-i \"" + longPath + "\"\n", "-i \"" + longPath + "\" "},
        {"option and value on two lines", "-o\nout.txt", "-o out.txt "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("options.txt");
        WriteText(path, c.text);
        std::string options;
        EXPECT_EQ(ReadOptionFile(path, options), kOptionFileRead);
        EXPECT_EQ(options, c.options);
    }
    std::string options;
    EXPECT_EQ(ReadOptionFile(dir.File("missing.txt"), options), kOptionFileCannotOpen);
    EXPECT_EQ(ReadOptionFile(dir.Path(), options), kOptionFileReadError);
}

TEST(ConsoleMain, NamesTheWindowedProgramBesideIt)
{
    EXPECT_EQ(WindowedProgramPath("/opt/my tools/Sondrel.com"), "/opt/my tools/Sondrel.exe");
    EXPECT_EQ(WindowedProgramPath("/opt/SONDREL.COM"), "/opt/SONDREL.exe");
    EXPECT_EQ(WindowedProgramPath("/opt/sondrel"), "");
    EXPECT_EQ(WindowedProgramPath("/opt/a.com/sondrel"), "");
}

TEST(ConsoleMain, HelpWinsOverEverythingButTheDebugListing)
{
    for (const auto& args : {std::vector<std::string>{"-help", "-i", "a.kvd", "-file", "x"},
                             std::vector<std::string>{"-?", "-version"}}) {
        const ConsoleRun run = RunConsoleMain(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, kUsage);
    }
    const ConsoleRun run = RunConsoleMain({"-DEBUG", "-Help", "-i:/x y"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Parameters on the command line:\n"
                       "Key: debug, value \nKey: help, value \nKey: i, value /x y\n\n"
                           + std::string(kUsage));
}

TEST(ConsoleMain, RunsTheTaskOncePerOptionFile)
{
    TempDir dir;
    const std::string a = dir.File("a.txt");
    const std::string b = dir.File("b.txt");
    const std::string comments = dir.File("comments.txt");
    WriteText(a, "# Run this file by typing:\r\n-version\r\n");
    WriteText(b, "-i\r\n");
    WriteText(comments, "# nothing here\n");
    VersionInfo info;
    ASSERT_TRUE(info.LoadFromModule());
    const std::string version = "Sondrel Version " + info.GetFileVersionText() + "\n"
                                + info.GetStringValue("LegalCopyright") + "\n";

    ConsoleRun run = RunConsoleMain({"-file", a, "-file", comments});
    EXPECT_EQ(run.status, 1);   // the second run has no input
    EXPECT_EQ(run.out.find("Reading command line from file: " + a + ".\n" + version), 0u)
        << run.out;
    EXPECT_NE(run.out.find("Reading command line from file: " + comments
                           + ".\nNo input file specified.\n"),
              std::string::npos)
        << run.out;

    // The real command line's options enter every run.
    run = RunConsoleMain({"-version", "-file", b, "-file", comments});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Reading command line from file: " + b + ".\n" + version
                           + "Reading command line from file: " + comments + ".\n" + version);

    // A missing file ends the program before any run, also before the later files.
    run = RunConsoleMain({"-file", dir.File("missing.txt"), "-file", a});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Error opening file: " + dir.File("missing.txt") + ".\n");

    run = RunConsoleMain({"-debug", "-file", a});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Complete command line after reading file(s):\n"
                           "key: debug, value \nkey: file, value " + a + "\n"
                           "key: version, value \n\n" + version),
              std::string::npos)
        << run.out;
}

#ifdef SONDREL_CONSOLE
TEST(ConsoleMain, StartsTheWindowedProgramBesideItDetached)
{
    // Beside the built program there is no windowed program yet.
    ConsoleRun run = RunConsoleBinary(SONDREL_CONSOLE, {});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("Can not start the windowed program "), 0u) << run.out;

    TempDir dir;
    const std::string console = dir.File("Sondrel.com");
    const std::string windowed = dir.File("Sondrel.exe");
    fs::copy_file(SONDREL_CONSOLE, console);
    WriteText(windowed, "#!/bin/sh\necho started > \"$(dirname \"$0\")/started\"\n");
    fs::permissions(windowed, fs::perms::owner_all);
    run = RunConsoleBinary(console, {});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    // It runs on its own: wait for its mark rather than for the process.
    for (int i = 0; i < 1000 && !fs::exists(dir.File("started")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(dir.File("started")));

    fs::rename(console, dir.File("sondrel"));
    run = RunConsoleBinary(dir.File("sondrel"), {});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("does not end in \".com\""), std::string::npos) << run.out;
}
#endif
