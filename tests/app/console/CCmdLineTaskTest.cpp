#include "app/console/CCmdLineTask.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/app/console/ConsoleRun.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// 2.5 s at 10 kHz of the electrodes "12" and "13": 100000 bytes of raw samples.
constexpr uintmax_t kRawBytes = 25000 * 2 * 2;

std::string Record(const std::string& path, const KvdRecordingPlan& plan = {})
{
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(WriteKvdRecording(plan, path));
    return path;
}

KvdRecordingPlan OneChannel()
{
    KvdRecordingPlan plan;
    plan.streams[0].channels = {"12"};
    return plan;
}

KvdRecordingPlan Triggered()
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    return plan;
}

void WriteText(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Sets an environment variable for one test.
class EnvOverride
{
public:
    EnvOverride(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        setenv(name, value.c_str(), 1);
    }
    ~EnvOverride() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

} // namespace

TEST(CCmdLineTask, RefusesWithItsMessageAndStatus1)
{
    TempDir dir;
    const std::string rec = Record(dir.File("rec.kvd"));
    const std::string trig = Record(dir.File("trig.kvd"), Triggered());
    const std::string a = Record(dir.File("a/rec.kvd"));
    const std::string b = Record(dir.File("b/rec.kvd"));
    const std::string out = dir.File("out");
    fs::create_directory(out);
    const std::string x = out + "/x.raw";
    const std::vector<uint8_t> recBytes = ReadFileBytes(rec);
    const std::string start = "Start processing file: " + rec + ".\n";

    const struct
    {
        const char* name;
        std::vector<std::string> args;
        std::string tail;
    } cases[] = {
        {"no input", {"-bin", "-o", x}, "No input file specified.\n"},
        {"input missing", {"-i", dir.File("none.kvd"), "-o", x, "-bin", "-s", "El"},
         dir.File("none.kvd")},
        {"no output", {"-i", rec, "-bin", "-s", "El"}, start + "No output file specified.\n"},
        {"two outputs", {"-i", rec, "-o", x, "-o", x, "-bin"},
         start + "To many output files specified.\n"},
        {"no task", {"-i", rec, "-o", x, "-s", "El"},
         "no valid task option found, please use -help or -? for a full list of features.\n"},
        {"unknown stream", {"-i", rec, "-o", x, "-bin", "-s", "Nope:all"},
         "Stream: Nope, Channels all does not exist\n"},
        {"nothing selected", {"-i", rec, "-o", x, "-bin"},
         "Option: -NoWriteHeader\nOption: -ToUnsigned\nNo channels selected"},
        {"switch conflict", {"-i", rec, "-o", x, "-bin", "-s", "El", "-WriteHeader", "-NoWriteHeader"},
         "Conflicting options are selected: -NoWriteHeader and -WriteHeader.\n"},
        {"sweep header conflict",
         {"-i", trig, "-o", x, "-ascii", "-s", "El", "-SweepHeader", "-NoSweepHeader"},
         "Option: -NoBaseIsPressedStart\n"
         "Conflicting options are selected: -NoSweepHeader and -SweepHeader.\n"},
        {"output is the input", {"-i", rec, "-o", dir.File("./rec.kvd"), "-bin", "-s", "El"},
         "The output file " + dir.File("./rec.kvd") + " is the input file " + rec
             + ". Nothing was converted.\n"},
        {"one output without splitted files", {"-i", a, "-i", b, "-o", out, "-bin", "-s", "El",
                                               "-SingleOutfile"},
         "Option: -NoAssumeSplittedFile\nOption: -SingleOutfile\n"
         "-NoAssumeSplittedFile and -SingleOutfile is not allowed.\n"},
        {"same output name twice", {"-i", a, "-i", b, "-o", out, "-bin", "-s", "El"},
         "The input files " + a + " and " + b + " would both be written to " + out
             + "/rec.raw. Nothing was converted.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ConsoleRun run = RunConsoleMain(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(EndsWith(run.out, c.tail) || run.out.find(c.tail) != std::string::npos)
            << run.out;
        EXPECT_TRUE(fs::is_empty(out));
    }
    EXPECT_EQ(ReadFileBytes(rec), recBytes);
}

TEST(CCmdLineTask, ListsTheInputsAndTellsItsVersion)
{
    TempDir dir;
    const std::string a = Record(dir.File("a.kvd"));
    const std::string b = Record(dir.File("b.kvd"));
    ConsoleRun run = RunConsoleMain({"-i", a, "-i", b, "-list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Start processing file: " + a + "\nStart processing file: " + b + "\n"),
              0u);
    for (const std::string& path : {a, b})
        EXPECT_NE(run.out.find("Harpstead Data File Information\n" + path + " ("),
                  std::string::npos)
            << run.out;

    run = RunConsoleMain({"-version", "-i", a, "-list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Sondrel Version 1.0.0\n"), 0u) << run.out;
}

TEST(CCmdLineTask, ConvertsOneInput)
{
    TempDir dir;
    // A "%" in the path reaches the progress lines as text, never as a format.
    const std::string rec = Record(dir.File("rec%s%n.kvd"));
    const std::string raw = dir.File("out.raw");

    ConsoleRun run = RunConsoleMain({"-bin", "-i", rec, "-o", raw, "-s", "El:all"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(fs::file_size(raw), kRawBytes);
    EXPECT_NE(run.out.find("Output file is: " + raw + ".\n"), std::string::npos);
    EXPECT_NE(run.out.find("Shortcut: El, expanded to: Electrode Raw Data.\n"
                           "Selected Stream: Electrode Raw Data, Channels All\n"
                           "Export to binary.\nOption: -NoWriteHeader\nOption: -ToUnsigned\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(EndsWith(run.out, "Progress: " + rec + " Raw data streams 100%\n")) << run.out;

    // Both task options: the binary one is taken.
    run = RunConsoleMain({"-ascii", "-bin", "-i", rec, "-o", raw, "-s", "El:13", "-WriteHeader"});
    EXPECT_EQ(run.status, 0);
    const std::vector<uint8_t> bytes = ReadFileBytes(raw);
    const std::string text(bytes.begin(), bytes.end());
    const size_t head = text.find("EOH\r\n");
    ASSERT_NE(head, std::string::npos);
    EXPECT_EQ(bytes.size() - head - 5, kRawBytes / 2);

    const std::string txt = dir.File("out.txt");
    run = RunConsoleMain({"-ascii", "-i", rec, "-o", txt, "-s", "El:all"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Export to ascii.\nOption: -NoBaseIsPressedStart\n"
                           "Option: -NoCommentChar\n"),
              std::string::npos)
        << run.out;
    const std::vector<uint8_t> textBytes = ReadFileBytes(txt);
    EXPECT_EQ(std::string(textBytes.begin(), textBytes.end()).substr(0, 26),
              "Sondrel ASCII conversion\r\n");
}

TEST(CCmdLineTask, ConvertsSeveralInputs)
{
    TempDir dir;
    const std::string a = Record(dir.File("in/a.kvd"));
    const std::string b = Record(dir.File("in/b.kvd"));
    const std::string c = Record(dir.File("in/c.kvd"), OneChannel());
    const std::string out = dir.File("out");
    fs::create_directory(out);
    const std::vector<std::string> bin = {"-bin", "-s", "El:all", "-NoWriteHeader"};
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.end(), bin.begin(), bin.end());
        return RunConsoleMain(args);
    };

    // One output per input, named after it, in the "-o" folder (or the folder of a file path).
    ConsoleRun r = run({"-i", a, "-i", b, "-o", out + "/ignored.raw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Option: -NoAssumeSplittedFile\nOption: -NoSingleOutfile\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(fs::file_size(out + "/a.raw"), kRawBytes);
    EXPECT_EQ(fs::file_size(out + "/b.raw"), kRawBytes);
    EXPECT_FALSE(fs::exists(out + "/ignored.raw"));

    // A batch list opens the same set.
    WriteText(dir.File("in/list.bcd"), "# recordings\r\n" + a + "\r\n" + b + "\r\n");
    fs::remove_all(out);
    fs::create_directory(out);
    r = run({"-i", dir.File("in/list.bcd"), "-o", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::file_size(out + "/a.raw"), kRawBytes);
    EXPECT_EQ(fs::file_size(out + "/b.raw"), kRawBytes);

    // One output for the parts of one recording.
    const std::string all = out + "/all.raw";
    r = run({"-i", a, "-i", b, "-o", all, "-AssumeSplittedFile", "-SingleOutfile"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::file_size(all), 2 * kRawBytes);

    // A channel that one input lacks: per-input files are still written, a single one is not.
    r = run({"-i", a, "-i", c, "-o", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::file_size(out + "/c.raw"), kRawBytes / 2);
    EXPECT_TRUE(EndsWith(r.out, "Selected Channels are not available for all files.")) << r.out;
    r = run({"-i", a, "-i", c, "-o", all, "-AssumeSplittedFile", "-SingleOutfile"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(EndsWith(r.out, "Selected Channels are not available for all files, single "
                                "outfile export is not possible."))
        << r.out;
    EXPECT_EQ(fs::file_size(all), kRawBytes);
}

TEST(CCmdLineTask, ReadsTheSettingsFileOnlyWithIni)
{
    TempDir dir;
    const EnvOverride config("XDG_CONFIG_HOME", dir.File("config"));
    const std::string ini = dir.File("config/Calverin/Sondrel/Sondrel.ini");
    const std::string settings = "[Settings]\nCommentChar=1\nCommentCharText=#\n"
                                 "[Binary]\nWriteHeader=1\nToSigned=1\n";
    WriteText(ini, settings);
    const std::string rec = Record(dir.File("rec.kvd"));
    const std::vector<std::string> base = {"-i", rec, "-o", dir.File("out"), "-s", "El"};

    const struct
    {
        std::vector<std::string> args;
        std::string options;
    } cases[] = {
        {{"-bin"}, "Option: -NoWriteHeader\nOption: -ToUnsigned\n"},
        {{"-bin", "-ini"}, "Option: -WriteHeader\nOption: -ToSigned\n"},
        {{"-bin", "-INI", "-NoWriteHeader", "-ToUnsigned"},
         "Option: -NoWriteHeader\nOption: -ToUnsigned\n"},
        {{"-ascii", "-ini"}, "Option: -CommentChar #\n"},
        {{"-ascii", "-CommentChar:;x"}, "Option: -CommentChar ;\n"},
        {{"-ascii", "-ini", "-CommentChar:"}, "Option: -CommentChar #\n"},
        {{"-ascii", "-ini", "-NoCommentChar"}, "Option: -NoCommentChar\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = base;
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.back());
        const ConsoleRun run = RunConsoleMain(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find(c.options), std::string::npos) << run.out;
    }
    const std::vector<uint8_t> after = ReadFileBytes(ini);
    EXPECT_EQ(std::string(after.begin(), after.end()), settings);
}

TEST(CCmdLineTask, BuildsOutputNamesForSeveralInputs)
{
    TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {dir.Path(), dir.File("a.txt")},
        {dir.Path() + "/", dir.File("a.txt")},
        {dir.File("x.txt"), dir.File("a.txt")},
        {"x.txt", "a.txt"},
        {"out/x.txt", "out/a.txt"},
        {"/x.txt", "/a.txt"},
    };
    for (const auto& [output, expected] : cases) {
        SCOPED_TRACE(output);
        EXPECT_EQ(CCmdLineTask::BuildOutputName(output, "/data/rec.d/a.kvd", "txt"), expected);
    }
}

#ifdef SONDREL_CONSOLE
TEST(CCmdLineTask, TheProgramConvertsPathsWithBlanksAndTellsFailures)
{
    TempDir dir;
    const std::string rec = Record(dir.File("my recordings/-rec 1.kvd"));
    const std::string raw = dir.File("my output/rec 1.raw");
    fs::create_directory(dir.File("my output"));
    ConsoleRun run = RunConsoleBinary(SONDREL_CONSOLE, {"-i", rec, "-o:" + raw, "-bin", "-s",
                                                        "Electrode Raw Data:all"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(fs::file_size(raw), kRawBytes);

    run = RunConsoleBinary(SONDREL_CONSOLE, {"-i", rec, "-o", raw, "-bin", "-s", "El:99"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(EndsWith(run.out, "Stream: Electrode Raw Data, Channel 99 does not exist\n"))
        << run.out;
}
#endif
