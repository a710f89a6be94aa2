#include "app/CSondrelDoc.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "export/model/CKVD.h"
#include "platform/CMessageReporter.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

class CRecordingReporter : public CMessageReporter
{
public:
    void Report(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

struct FilePlan
{
    uint64_t start = kKvdDefaultStart;
    bool triggered = false;
    int32_t layoutKind = 0;
    std::vector<int32_t> electrodes = {0, 1};
    bool spikes = false;
};

std::string WriteKvd(const TempDir& dir, const std::string& name, const FilePlan& plan = {})
{
    KvdBuilder b(11);
    b.Set<uint64_t>(FH::kStartTime, plan.start);
    b.Set<uint64_t>(FH::kStopTime, plan.start + 1000000000);
    b.Set<int32_t>(FH::kLayoutKind, plan.layoutKind);
    KvdStreamPlan raw;
    for (int32_t number : plan.electrodes) {
        KvdChannelPlan channel;
        channel.name = channel.displayName = "E" + std::to_string(number);
        channel.number = number;
        raw.channels.push_back(channel);
    }
    b.AddStream(raw);
    if (plan.spikes) {
        KvdStreamPlan spikes;
        spikes.bufferType = "spikes";
        spikes.name = "Spikes";
        spikes.id = "spks0001";
        b.AddStream(spikes);
    }
    if (plan.triggered) {
        KvdStreamPlan trigger;
        trigger.bufferType = "trigger";
        trigger.name = "Trigger";
        trigger.id = "trig0001";
        b.AddStream(trigger);
        b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "trig0001");
    }
    const std::string path = dir.File(name);
    EXPECT_TRUE(b.WriteTo(path));
    return path;
}

void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

std::vector<std::string> OpenedPaths(const CSondrelDoc& doc)
{
    std::vector<std::string> paths;
    for (int i = 0; i < doc.GetFileCount(); ++i)
        paths.push_back(doc.GetFile(i)->GetPath());
    return paths;
}

const char kMixed[] =
    "One or more of the selected files contain continuous data.\n"
    "One or more of the selected files contain triggered data.\n"
    "The data cannot be processed. Please load the files separately into Sondrel.\n"
    "(See the Harpstead Help for more information on continuous and triggered data.)";
const char kStreamsAndChannels[] =
    "The data streams of the selected files do not match.\n"
    "Only data streams present in all data files can be extracted.\n"
    "Info: The channel numbers of one or more data streams in the selected files do not match.\n"
    "You can select any channel numbers that are present in at least one file.";
const char kSetup[] =
    "The data source setup of the selected data files did not match.\n"
    "The data cannot be processed. Please load the files separately into Sondrel.\n"
    "(See the Harpstead Help for more information on the data source setup.)";

} // namespace

TEST(CSondrelDoc, OpensOneFileByItsExtension)
{
    TempDir dir;
    const std::string good = WriteKvd(dir, "rec.KVD");
    CRecordingReporter reporter;
    CSondrelDoc doc(reporter);
    ASSERT_TRUE(doc.OnOpenDocument(good.c_str()));
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(doc.GetFileCount(), 1);
    EXPECT_FALSE(doc.IsMultiFile());
    EXPECT_EQ(doc.GetPathName(), good);
    EXPECT_EQ(doc.GetTitle(), "rec.KVD");
    EXPECT_EQ(doc.GetStreamChannelMap().GetRecordingKind(), CSondrelDoc::kContinuous);
    EXPECT_NE(doc.GetCanMerge(), 0);
    EXPECT_TRUE(doc.IsConvertEnabled());
    EXPECT_TRUE(doc.IsConvertToAsciiEnabled());
    EXPECT_FALSE(doc.IsMergeEnabled());
    ASSERT_NE(doc.GetFileStreams(0), nullptr);
    EXPECT_EQ(doc.GetFileStreams(0)->GetStreamCount(), 1);

    std::filesystem::create_directory(dir.File("run.kvd"));
    const std::pair<std::string, std::string> refused[] = {
        {dir.File("noext"), "File has no valid extension!\n" + dir.File("noext")},
        {dir.File("run.kvd/rec"), "File has no valid extension!\n" + dir.File("run.kvd/rec")},
        {dir.File("rec.txt"), "File has no valid extension!\n" + dir.File("rec.txt")},
        {dir.File("missing.kvd"), "Error while opening the file: " + dir.File("missing.kvd")},
        {dir.File("missing.bcd"), "Error while opening the file: " + dir.File("missing.bcd")},
        {dir.File("run.kvd/.bcd"), "Error while opening the file: " + dir.File("run.kvd/.bcd")},
    };
    std::filesystem::create_directory(dir.File("folder.bcd"));
    for (const auto& [path, message] : refused) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(doc.OnOpenDocument(good.c_str()));
        reporter.messages.clear();
        EXPECT_FALSE(doc.OnOpenDocument(path.c_str()));
        EXPECT_EQ(reporter.messages, std::vector<std::string> {message});
        EXPECT_EQ(doc.GetFileCount(), 0);
        EXPECT_EQ(doc.GetStreamChannelMap().GetStreamCount(), 0);
        EXPECT_EQ(doc.GetTitle(), "Untitled");
        EXPECT_FALSE(doc.IsConvertToAsciiEnabled());
    }
    reporter.messages.clear();
    EXPECT_FALSE(doc.OnOpenDocument(dir.File("folder.bcd").c_str()));
    EXPECT_EQ(reporter.messages,
              std::vector<std::string> {"Error while reading the file: " + dir.File("folder.bcd")});
}

TEST(CSondrelDoc, BatchListsKeepTheirOrderAndLoseNoLine)
{
    TempDir dir;
    const std::string early = WriteKvd(dir, "early.kvd");
    const std::string late = WriteKvd(dir, "late.kvd", {kKvdDefaultStart + 3600000000000ull});
    // A comment line longer than any line buffer stays one line: no part of it becomes a path.
    const std::string longComment = "#" + std::string(2000, 'x');
    WriteText(dir.File("list.bcd"),
              "# recordings\r\n\r\n   " + late + "  \r\n" + longComment + "\n; note\nearly.kvd");
    std::vector<std::string> paths;
    EXPECT_EQ(CSondrelDoc::ReadBatchFile(dir.File("list.bcd"), paths), CSondrelDoc::kBatchRead);
    EXPECT_EQ(paths, (std::vector<std::string> {late, "early.kvd"}));

    CRecordingReporter reporter;
    CSondrelDoc doc(reporter);
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("list.bcd").c_str()));
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(OpenedPaths(doc), (std::vector<std::string> {late, early}));  // relative to the list
    EXPECT_TRUE(doc.IsMultiFile());
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_TRUE(doc.IsMergeEnabled());

    WriteText(dir.File("empty.bcd"), "# nothing\n;\n\n   \n");
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("empty.bcd").c_str()));
    EXPECT_EQ(doc.GetFileCount(), 0);
    EXPECT_FALSE(doc.IsConvertEnabled());
    EXPECT_FALSE(doc.IsConvertToAsciiEnabled());
    EXPECT_FALSE(doc.IsMergeEnabled());

    WriteText(dir.File("bad.bcd"), "early.kvd\nnone.kvd\nlate.kvd\n");
    EXPECT_FALSE(doc.OnOpenDocument(dir.File("bad.bcd").c_str()));
    EXPECT_EQ(reporter.messages,
              std::vector<std::string> {"Error while opening the file: " + dir.File("none.kvd")});
    EXPECT_EQ(doc.GetFileCount(), 0);
}

TEST(CSondrelDoc, SetsAreOrderedByStartAndFailAsAWhole)
{
    TempDir dir;
    const std::string early = WriteKvd(dir, "b.kvd");
    const std::string late = WriteKvd(dir, "a.kvd", {kKvdDefaultStart + 1000});
    CRecordingReporter reporter;
    CSondrelDoc doc(reporter);
    doc.GetPathList() = {late, early};
    ASSERT_TRUE(doc.OnOpenDocument(nullptr));
    EXPECT_EQ(OpenedPaths(doc), (std::vector<std::string> {early, late}));
    EXPECT_EQ(doc.GetPathName(), "Multiple");
    EXPECT_EQ(doc.GetTitle(), "Multiple");
    EXPECT_TRUE(reporter.messages.empty());

    // Every file of the set is tried and reported; the set then fails as a whole.
    doc.GetPathList() = {late, dir.File("gone.kvd"), dir.File("gone2.kvd"), early};
    EXPECT_FALSE(doc.OnOpenDocument(nullptr));
    EXPECT_EQ(reporter.messages, (std::vector<std::string> {
                                     "Error while opening the file: " + dir.File("gone.kvd"),
                                     "Error while opening the file: " + dir.File("gone2.kvd")}));
    EXPECT_EQ(doc.GetFileCount(), 0);
    EXPECT_EQ(doc.GetTitle(), "Untitled");

    // The first path of another kind stops the set there.
    reporter.messages.clear();
    doc.GetPathList() = {early, dir.File("list.bcd"), dir.File("gone.kvd")};
    EXPECT_FALSE(doc.OnOpenDocument(nullptr));
    EXPECT_EQ(reporter.messages,
              std::vector<std::string> {"File has no valid extension!\n" + dir.File("list.bcd")});
}

TEST(CSondrelDoc, MultiFileCheckShowsAtMostOneMessage)
{
    TempDir dir;
    FilePlan triggered;
    triggered.triggered = true;
    FilePlan moreChannelsAndSpikes;
    moreChannelsAndSpikes.electrodes = {0, 1, 5};
    moreChannelsAndSpikes.spikes = true;
    FilePlan otherLayout;
    otherLayout.layoutKind = 1;
    struct Case
    {
        const char* name;
        FilePlan second;
        std::vector<std::string> messages;
        uint16_t kind;
        bool convert;
        bool merge;
    };
    const Case cases[] = {
        {"same setup", {}, {}, CSondrelDoc::kContinuous, true, true},
        {"continuous and triggered", triggered, {kMixed}, CSondrelDoc::kMixed, false, false},
        {"streams and channels differ", moreChannelsAndSpikes, {kStreamsAndChannels},
         CSondrelDoc::kContinuous, true, true},
        {"another data source", otherLayout, {kSetup}, CSondrelDoc::kContinuous, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = WriteKvd(dir, "first.kvd");
        const std::string second = WriteKvd(dir, "second.kvd", c.second);
        CRecordingReporter reporter;
        CSondrelDoc doc(reporter);
        doc.GetPathList() = {first, second};
        ASSERT_TRUE(doc.OnOpenDocument(nullptr));
        EXPECT_EQ(reporter.messages, c.messages);
        EXPECT_EQ(doc.GetFileCount(), 2);
        EXPECT_EQ(doc.GetStreamChannelMap().GetRecordingKind(), c.kind);
        EXPECT_EQ(doc.IsConvertEnabled(), c.convert);
        EXPECT_EQ(doc.IsConvertToAsciiEnabled(), c.convert);
        EXPECT_EQ(doc.IsMergeEnabled(), c.merge);
        // The set offers only the streams of both files, with the channels of either.
        if (c.second.spikes) {
            ASSERT_EQ(doc.GetStreamChannelMap().GetStreamCount(), 1);
            EXPECT_EQ(doc.GetStreamChannelMap().GetStream(0)->m_channelIds,
                      (std::vector<uint16_t> {0, 1, 5}));
            EXPECT_EQ(doc.GetFileStreams(1)->GetStreamCount(), 2);
            EXPECT_EQ(doc.GetCanMerge(), 0);
            EXPECT_EQ(doc.GetMergeRefusalText(), CKVTAStreamFile::GetLastErrorText());
            EXPECT_FALSE(doc.GetMergeRefusalText().empty());
        }
    }
}
