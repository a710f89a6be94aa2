#include "app/console/CCmdLineTask.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/app/console/ConsoleRun.h"
#include "tests/support/KvdRecording.h"

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

std::string Text(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(CCmdLineTask, RefusesWithItsMessageAndStatus1)
{
    TempDir dir;
    KvdRecordingPlan triggered;
    triggered.triggered = true;
    const std::string rec = Record(dir.File("rec.kvd"));
    const std::string trig = Record(dir.File("trig.kvd"), triggered);
    const std::string a = Record(dir.File("a/rec.kvd"));
    const std::string b = Record(dir.File("b/rec.kvd"));
    const std::string out = dir.File("out");
    fs::create_directory(out);
    const std::string x = out + "/x.raw";
    const std::string recBytes = Text(rec);
    const std::string start = "Start processing file: " + rec + ".\n";

    const struct
    {
        std::vector<std::string> args;
        std::string tail;
    } cases[] = {
        {{"-bin", "-o", x}, "No input file specified.\n"},
        {{"-i", dir.File("none.kvd"), "-o", x, "-bin", "-s", "El"}, dir.File("none.kvd") + "\n"},
        {{"-i", rec, "-bin", "-s", "El"}, start + "No output file specified.\n"},
        {{"-i", rec, "-o", x, "-o", x, "-bin"}, start + "To many output files specified.\n"},
        {{"-i", rec, "-o", x, "-s", "El"},
         "no valid task option found, please use -help or -? for a full list of features.\n"},
        {{"-i", rec, "-o", x, "-bin", "-s", "Nope:all"},
         "Stream: Nope, Channels all does not exist\n"},
        {{"-i", rec, "-o", x, "-bin"}, "Option: -ToUnsigned\nNo channels selected"},
        {{"-i", rec, "-o", x, "-bin", "-s", "El", "-WriteHeader", "-NoWriteHeader"},
         "Conflicting options are selected: -NoWriteHeader and -WriteHeader.\n"},
        {{"-i", trig, "-o", x, "-ascii", "-s", "El", "-SweepHeader", "-NoSweepHeader"},
         "Option: -NoBaseIsPressedStart\n"
         "Conflicting options are selected: -NoSweepHeader and -SweepHeader.\n"},
        // Writing over an input would destroy the recording.
        {{"-i", rec, "-o", dir.File("./rec.kvd"), "-bin", "-s", "El"},
         "The output file " + dir.File("./rec.kvd") + " is the input file " + rec
             + ". Nothing was converted.\n"},
        {{"-i", a, "-i", b, "-o", out, "-bin", "-s", "El", "-SingleOutfile"},
         "Option: -NoAssumeSplittedFile\nOption: -SingleOutfile\n"
         "-NoAssumeSplittedFile and -SingleOutfile is not allowed.\n"},
        // The second output would silently replace the first.
        {{"-i", a, "-i", b, "-o", out, "-bin", "-s", "El"},
         "The input files " + a + " and " + b + " would both be written to " + out
             + "/rec.raw. Nothing was converted.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        const ConsoleRun run = RunConsoleMain(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.EndsWith(c.tail)) << run.out;
        EXPECT_TRUE(fs::is_empty(out));
    }
    EXPECT_EQ(Text(rec), recBytes);
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
    EXPECT_TRUE(run.Has("Harpstead Data File Information\n" + a + " (")) << run.out;
    EXPECT_TRUE(run.Has("Harpstead Data File Information\n" + b + " (")) << run.out;

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
    EXPECT_TRUE(run.Has("Output file is: " + raw + ".\nShortcut: El, expanded to: Electrode Raw "
                        "Data.\nSelected Stream: Electrode Raw Data, Channels All\nExport to "
                        "binary.\nOption: -NoWriteHeader\nOption: -ToUnsigned\n"))
        << run.out;
    EXPECT_TRUE(run.EndsWith("Progress: " + rec + " Raw data streams 100%\n")) << run.out;

    // Both task options: the binary one is taken.
    run = RunConsoleMain({"-ascii", "-bin", "-i", rec, "-o", raw, "-s", "El:13", "-WriteHeader"});
    EXPECT_EQ(run.status, 0);
    const std::string head = Text(raw);
    ASSERT_NE(head.find("EOH\r\n"), std::string::npos);
    EXPECT_EQ(head.size() - head.find("EOH\r\n") - 5, kRawBytes / 2);

    const std::string txt = dir.File("out.txt");
    run = RunConsoleMain({"-ascii", "-i", rec, "-o", txt, "-s", "El:all"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.Has("Export to ascii.\nOption: -NoBaseIsPressedStart\nOption: -NoCommentChar\n"))
        << run.out;
    EXPECT_EQ(Text(txt).substr(0, 26), "Sondrel ASCII conversion\r\n");

    // A triggered recording: three sweeps of 200 ms into one file.
    KvdRecordingPlan triggered;
    triggered.triggered = true;
    const std::string trig = Record(dir.File("trig.kvd"), triggered);
    run = RunConsoleMain({"-bin", "-i", trig, "-o", raw, "-s", "El"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(fs::file_size(raw), 3 * 2000 * 2 * 2u);
    run = RunConsoleMain({"-ascii", "-i", trig, "-o", txt, "-s", "El", "-SweepHeader"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.Has("Option: -SweepHeader\n")) << run.out;
}

TEST(CCmdLineTask, ConvertsSeveralInputs)
{
    TempDir dir;
    KvdRecordingPlan oneChannel;
    oneChannel.streams[0].channels = {"12"};
    const std::string a = Record(dir.File("in/a.kvd"));
    const std::string b = Record(dir.File("in/b.kvd"));
    const std::string c = Record(dir.File("in/c.kvd"), oneChannel);
    const std::string out = dir.File("out");
    const std::string all = out + "/all.raw";
    const auto run = [&](std::vector<std::string> args) {
        fs::remove_all(out);
        fs::create_directory(out);
        args.insert(args.end(), {"-bin", "-s", "El:all"});
        return RunConsoleMain(args);
    };

    // One output per input, named after it, in the "-o" folder (or the folder of a file path).
    ConsoleRun r = run({"-i", a, "-i", b, "-o", out + "/ignored.raw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.Has("Option: -NoAssumeSplittedFile\nOption: -NoSingleOutfile\n")) << r.out;
    EXPECT_EQ(fs::file_size(out + "/a.raw"), kRawBytes);
    EXPECT_EQ(fs::file_size(out + "/b.raw"), kRawBytes);
    EXPECT_FALSE(fs::exists(out + "/ignored.raw"));

    // A batch list opens the same set.
    WriteText(dir.File("in/list.bcd"), "# recordings\r\n" + a + "\r\n" + b + "\r\n");
    r = run({"-i", dir.File("in/list.bcd"), "-o", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::file_size(out + "/b.raw"), kRawBytes);

    // One output for the parts of one recording.
    r = run({"-i", a, "-i", b, "-o", all, "-AssumeSplittedFile", "-SingleOutfile"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::file_size(all), 2 * kRawBytes);

    // A channel that one input lacks: per-input files are still written, a single one is refused.
    r = run({"-i", a, "-i", c, "-o", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fs::file_size(out + "/c.raw"), kRawBytes / 2);
    EXPECT_TRUE(r.EndsWith("Selected Channels are not available for all files.")) << r.out;
    r = run({"-i", a, "-i", c, "-o", all, "-AssumeSplittedFile", "-SingleOutfile"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.EndsWith("Selected Channels are not available for all files, single outfile "
                           "export is not possible."))
        << r.out;
}

TEST(CCmdLineTask, ReadsTheSettingsFileOnlyWithIni)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    const std::string ini = dir.File("config/Calverin/Sondrel/Sondrel.ini");
    const std::string settings = "[Settings]\nCommentChar=1\nCommentCharText=#\n"
                                 "[Binary]\nWriteHeader=1\nToSigned=1\n";
    fs::create_directories(fs::path(ini).parent_path());
    WriteText(ini, settings);
    const std::string rec = Record(dir.File("rec.kvd"));

    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-bin"}, "Option: -NoWriteHeader\nOption: -ToUnsigned\n"},
        {{"-bin", "-INI"}, "Option: -WriteHeader\nOption: -ToSigned\n"},
        {{"-bin", "-ini", "-NoWriteHeader", "-ToUnsigned"},
         "Option: -NoWriteHeader\nOption: -ToUnsigned\n"},
        {{"-ascii", "-ini"}, "Option: -CommentChar #\n"},
        {{"-ascii", "-CommentChar:;x"}, "Option: -CommentChar ;\n"},
        {{"-ascii", "-ini", "-CommentChar:"}, "Option: -CommentChar #\n"},
        {{"-ascii", "-ini", "-NoCommentChar"}, "Option: -NoCommentChar\n"},
    };
    for (const auto& [switches, options] : cases) {
        std::vector<std::string> args = {"-i", rec, "-o", dir.File("out"), "-s", "El"};
        args.insert(args.end(), switches.begin(), switches.end());
        SCOPED_TRACE(switches.back());
        const ConsoleRun run = RunConsoleMain(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.Has(options)) << run.out;
    }
    EXPECT_EQ(Text(ini), settings);   // the console never writes it
    unsetenv("XDG_CONFIG_HOME");
}

TEST(CCmdLineTask, TheProgramConvertsFromItsArgumentsAndOptionFiles)
{
    TempDir dir;
    const std::string rec = Record(dir.File("my recordings/-rec 1.kvd"));
    const std::string raw = dir.File("my output/rec 1.raw");
    fs::create_directory(dir.File("my output"));
    ConsoleRun run = RunConsoleBinary(SONDREL_CONSOLE, {"-i", rec, "-o:" + raw, "-bin", "-s",
                                                        "Electrode Raw Data:all"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(fs::file_size(raw), kRawBytes);

    // An option file as the export dialogs write it, run twice; the second run fails.
    const std::string options = dir.File("options.txt");
    WriteText(options, "# Run this file by typing:\r\n# Sondrel -file filename\r\n-bin\r\n"
                       "-i \"" + rec + "\"\r\n-o \"" + raw + "\"\r\n-s \"El:all\"\r\n"
                       "-WriteHeader\r\n");
    WriteText(dir.File("bad.txt"), "-ascii -i \"" + rec + "\" -o \"" + raw + "\" -s El:99\n");
    fs::remove(raw);
    run = RunConsoleBinary(SONDREL_CONSOLE, {"-file", options, "-file", dir.File("bad.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_GT(fs::file_size(raw), kRawBytes);
    EXPECT_TRUE(run.EndsWith("Stream: Electrode Raw Data, Channel 99 does not exist\n"))
        << run.out;
}

// Digital events of "Digital Data 2" ("DiEv2"), one output per input: each file starts with
// the initial values, whatever the input before ended with. An input without any selected
// channel is told on a line of its own.
TEST(CCmdLineTask, DigitalEventsOfSeveralInputs)
{
    TempDir dir;
    KvdRecordingPlan plan;
    KvdRawStreamPlan digital;
    digital.type = "digital";
    digital.name = "Digital Data 2";
    digital.id = "digi0002";
    digital.channels = {"D1"};
    digital.adcBits = 2;
    plan.streams.push_back(digital);
    const std::string a = Record(dir.File("in/a.kvd"), plan);
    const std::string b = Record(dir.File("in/b.kvd"), plan);
    plan.streams[0].channels = {"12"};
    const std::string c = Record(dir.File("in/c.kvd"), plan);
    const std::string out = dir.File("out");
    fs::create_directory(out);

    ConsoleRun r = RunConsoleMain({"-ascii", "-i", a, "-i", b, "-o", out, "-s", "DiEv2:D1:1", "-DigitalEventInitialValue"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.Has("Selected Stream: Digital Data Event 2, Channel D1, Bit: 1\n")) << r.out;
    const std::string first = Text(out + "/a.txt");
    const size_t head = first.find("\r\n", first.find("[ms]")) + 2;
    const int initial = KvdRecordingSample(plan, 1, 0, 0) >> 1 & 1;
    EXPECT_EQ(first.substr(head, 40), "Di_D1_01    \t0.000       \t" + std::to_string(initial) + "           \r\n");
    EXPECT_EQ(Text(out + "/b.txt"), first);

    r = RunConsoleMain({"-ascii", "-i", a, "-i", c, "-o", out, "-s", "El:13"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.Has("There is no new output file for: " + c + ",\nbecause non of the selected channels exist in "
                      "this file.\n")) << r.out;
}
