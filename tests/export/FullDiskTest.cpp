// Exports and merges onto a disk that fills up: every one ends with its failure code and a
// message, never with success, and leaves its inputs byte for byte as they were.

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <set>

#include "datafile/container/CKVTAStreamFile.h"
#include "export/abf/CConvertToABF.h"
#include "export/binary/CConvertToBIN.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CConvertToASCII.h"
#include "platform/CMessageReporter.h"
#include "platform/File64.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

struct Outcome
{
    int rc = -1;
    std::vector<std::string> messages;
    std::string skipped;   // why the run could not be set up (the child could not mount)
};

struct Reporter : CMessageReporter
{
    std::vector<std::string>* messages;
    explicit Reporter(std::vector<std::string>* m) : messages(m) {}
    void Report(const std::string& text) override { messages->push_back(text); }
};

// One export or merge into `folder`.
struct Job
{
    const char* name;
    std::function<Outcome(const std::string& folder)> run;
    std::set<int> codes;          // the failure codes it may end with
    int withoutRoom;              // the code when not one byte can be written
    int lastByteMissing;          // the code when all but the last byte can
    std::set<int> unreported;     // codes the converter leaves to the front end to word
};

// Runs `work` in a child process, so that the file-size limit or the mount it sets up ends
// with it. A child that crashes or ends early gives rc -1 and the reason as message.
Outcome InChild(const std::function<Outcome()>& work)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {-1, {"no pipe"}, ""};
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        const Outcome outcome = work();
        std::string bytes = std::to_string(outcome.rc) + '\0' + outcome.skipped + '\0';
        for (const std::string& message : outcome.messages)
            bytes += message + '\0';
        _exit(WriteFully(pipeEnds[1], bytes.data(), bytes.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string bytes;
    char piece[4096];
    FileReadResult got;
    do {
        got = ReadFully(pipeEnds[0], piece, sizeof piece);
        bytes.append(piece, got.bytes);
    } while (got.bytes == sizeof piece);
    close(pipeEnds[0]);
    int status = 0;
    const bool waited = pid > 0 && waitpid(pid, &status, 0) == pid;
    if (!waited || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {-1, {"the child process did not end normally"}, ""};
    std::vector<std::string> fields;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find('\0', at);
        fields.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    Outcome outcome;
    outcome.rc = std::stoi(fields.at(0));
    outcome.skipped = fields.at(1);
    outcome.messages.assign(fields.begin() + 2, fields.end());
    return outcome;
}

// In a child: writes of any file beyond `bytes` fail (EFBIG) instead of raising SIGXFSZ.
void LimitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

// In a child: a 1 MiB tmpfs of its own over `folder`, filled up to `freeBytes`. Empty when done,
// else why it could not be set up.
std::string MountSmallDisk(const std::string& folder, size_t freeBytes)
{
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") != 0)
        return std::string("mounting a tmpfs is not permitted here: ") + std::strerror(errno);
    const int fd = open((folder + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::vector<char> zeros((1 << 20) - std::min<size_t>(freeBytes, 1 << 20), 0);
    const bool filled = fd >= 0 && (zeros.empty() || write(fd, zeros.data(), zeros.size())
                                                           == static_cast<ssize_t>(zeros.size()));
    if (!filled)
        return "the tmpfs cannot be filled";
    close(fd);
    return "";
}

// Size of the largest file in `folder`.
uint64_t LargestFile(const std::string& folder)
{
    uint64_t largest = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            struct stat info {};
            if (stat((folder + "/" + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
                largest = std::max(largest, static_cast<uint64_t>(info.st_size));
        }
        closedir(dir);
    }
    return largest;
}

KvdRecordingPlan Recording(bool triggered)
{
    KvdRecordingPlan plan;
    plan.rateHz = 25000;
    plan.chunks = 40;
    plan.triggered = triggered;
    plan.streams[0].channels = {"1", "2", "3", "4", "5", "6", "7", "8"};
    return plan;
}

CKVDataSelection Channels(int count)
{
    CKVDataSelection selection;
    for (int c = 1; c <= count; ++c) {
        CKVDataSelection::Entry entry;
        entry.streamName = "Electrode Raw Data";
        entry.channelName = std::to_string(c);
        entry.value = 25000;
        selection.Add(std::move(entry));
    }
    return selection;
}

// One conversion of `input` into `folder`/out.<extension>, all sweeps.
template <class Converter>
Outcome Export(const std::string& input, const std::string& folder, int channels,
               const std::function<void(Converter&)>& setup)
{
    Outcome outcome;
    CKVD kvd;
    if (!kvd.Open(input))
        return outcome;
    CKVDataSelection selection = Channels(channels);
    Reporter reporter(&outcome.messages);
    Converter converter(&kvd, &selection);
    converter.SetReporter(&reporter);
    converter.SetOutputName(folder + "/out." + converter.GetFileExtension());
    converter.SetSweepRange(1, static_cast<unsigned>(kvd.GetStreamFile().GetSweepCount()));
    setup(converter);
    outcome.rc = converter.Convert(nullptr, nullptr, true, true);
    return outcome;
}

class FullDisk : public testing::Test
{
protected:
    void SetUp() override
    {
        m_continuous = m_inputs.File("continuous.kvd");
        m_triggered = m_inputs.File("triggered.kvd");
        m_second = m_inputs.File("second.kvd");
        ASSERT_TRUE(WriteKvdRecording(Recording(false), m_continuous));
        ASSERT_TRUE(WriteKvdRecording(Recording(true), m_triggered));
        ASSERT_TRUE(WriteKvdRecording(Recording(false), m_second));
        for (const std::string& path : {m_continuous, m_triggered, m_second})
            m_before.push_back(ReadFileBytes(path));
    }

    std::vector<Job> Jobs() const
    {
        const std::string continuous = m_continuous;
        const std::string triggered = m_triggered;
        const std::string second = m_second;
        const std::set<int> written = {kConvertOpenFailed, kConvertCloseFailed, kConvertReported};
        const std::set<int> abf = {kConvertOpenFailed, kConvertCloseFailed, kConvertReported};
        const std::set<int> closing = {kConvertCloseFailed};
        return {
            {".raw with head", [=](const std::string& folder) {
                 return Export<CConvertToBIN>(continuous, folder, 8,
                                              [](CConvertToBIN& c) { c.Options().WriteHeader = 1; });
             }, written, kConvertReported, kConvertCloseFailed, closing},
            {".raw, one file per sweep", [=](const std::string& folder) {
                 return Export<CConvertToBIN>(triggered, folder, 8, [](CConvertToBIN& c) {
                     c.Options().WriteHeader = 1;
                     c.SetSingleOutput(false);
                 });
             }, written, kConvertReported, kConvertCloseFailed, closing},
            {"ABF, gap-free", [=](const std::string& folder) {
                 return Export<CConvertToABF>(continuous, folder, 8, [](CConvertToABF&) {});
             }, abf, kConvertOpenFailed, kConvertReported, {}},
            {"ABF, episodes with tags", [=](const std::string& folder) {
                 return Export<CConvertToABF>(triggered, folder, 8,
                                              [](CConvertToABF& c) { c.SetSaveTriggersAsTags(true); });
             }, abf, kConvertOpenFailed, kConvertReported, {}},
            {".txt", [=](const std::string& folder) {
                 return Export<CConvertToASCII>(continuous, folder, 2, [](CConvertToASCII&) {});
             }, written, kConvertReported, kConvertCloseFailed, closing},
            {".txt, sweeps", [=](const std::string& folder) {
                 return Export<CConvertToASCII>(triggered, folder, 2,
                                                [](CConvertToASCII& c) { c.Options().SweepHeader = 1; });
             }, written, kConvertReported, kConvertCloseFailed, closing},
            {"merge", [=](const std::string& folder) {
                 Outcome outcome;
                 CKVTAStreamFile first;
                 CKVTAStreamFile next;
                 CKVTAStreamFile output;
                 if (first.Open(continuous) != 0 || next.Open(second) != 0)
                     return outcome;
                 CKVTAStreamFile* files[] = {&first, &next};
                 outcome.rc = output.MergeFiles(files, 2, folder + "/merged.kvd", nullptr);
                 if (!CKVTAStreamFile::GetLastErrorText().empty())
                     outcome.messages.push_back(CKVTAStreamFile::GetLastErrorText());
                 return outcome;
             }, {1}, 1, 1, {}},
        };
    }

    // Runs `job` with `failing` setting up the full disk in a child; checks the outcome (code
    // `expected`, or any of the job's failure codes for -1) and the inputs. False when the child
    // could not set the disk up (reason in `skipped`).
    bool RunFull(const Job& job, const std::function<std::string(const std::string& folder)>& failing,
                 int expected, std::string& skipped)
    {
        TempDir out;
        const Outcome outcome = InChild([&] {
            Outcome o;
            o.skipped = failing(out.Path());
            return o.skipped.empty() ? job.run(out.Path()) : o;
        });
        if (!outcome.skipped.empty()) {
            skipped = outcome.skipped;
            return false;
        }
        std::string said;
        for (const std::string& message : outcome.messages)
            said += " [" + message + "]";
        EXPECT_TRUE(expected < 0 ? job.codes.count(outcome.rc) != 0 : outcome.rc == expected)
            << "result " << outcome.rc << said;
        EXPECT_EQ(outcome.messages.empty(), job.unreported.count(outcome.rc) != 0)
            << "result " << outcome.rc << said;
        const std::string inputs[] = {m_continuous, m_triggered, m_second};
        for (size_t i = 0; i < m_before.size(); ++i)
            EXPECT_TRUE(ReadFileBytes(inputs[i]) == m_before[i]) << inputs[i] << " changed";
        return true;
    }

    // Size of the job's largest output when the disk has room.
    uint64_t RoomyOutputSize(const Job& job)
    {
        TempDir out;
        const Outcome outcome = job.run(out.Path());
        EXPECT_EQ(outcome.rc, 0) << job.name;
        return LargestFile(out.Path());
    }

    TempDir m_inputs;
    std::string m_continuous;
    std::string m_triggered;
    std::string m_second;
    std::vector<std::vector<uint8_t>> m_before;
};

} // namespace

// The limit falls before the first byte, halfway and on the very last byte of the (largest)
// output file.
TEST_F(FullDisk, FileSizeLimitFailsEveryExportAndTheMerge)
{
    for (const Job& job : Jobs()) {
        const uint64_t size = RoomyOutputSize(job);
        ASSERT_GT(size, 1000u) << job.name;
        const std::pair<uint64_t, int> limits[] = {
            {0, job.withoutRoom}, {size / 2, -1}, {size - 1, job.lastByteMissing}};
        for (const auto& [limit, expected] : limits) {
            SCOPED_TRACE(testing::Message() << job.name << ", " << limit << " of " << size << " bytes");
            std::string skipped;
            ASSERT_TRUE(RunFull(job, [limit = limit](const std::string&) {
                LimitFileSize(static_cast<rlim_t>(limit));
                return std::string();
            }, expected, skipped)) << skipped;
        }
    }
}

// A 1 MiB tmpfs (when this process may mount one) with room for part of the output.
TEST_F(FullDisk, SmallTmpfsFailsEveryExportAndTheMerge)
{
    for (const Job& job : Jobs()) {
        const size_t room = static_cast<size_t>(std::min<uint64_t>(RoomyOutputSize(job) / 2, 1 << 19));
        SCOPED_TRACE(testing::Message() << job.name << ", " << room << " bytes free");
        std::string skipped;
        const auto mount = [room](const std::string& folder) { return MountSmallDisk(folder, room); };
        if (!RunFull(job, mount, -1, skipped))
            GTEST_SKIP() << skipped;
    }
}
