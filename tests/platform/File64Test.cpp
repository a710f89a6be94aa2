#include "platform/File64.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);

// A descriptor closed when the test ends.
struct Fd
{
    int fd;
    explicit Fd(int value) : fd(value) {}
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

struct Pipe
{
    Fd read;
    Fd write;
    Pipe() : Pipe(MakePipe()) {}

private:
    struct Ends
    {
        int read;
        int write;
    };
    explicit Pipe(Ends ends) : read(ends.read), write(ends.write) {}
    static Ends MakePipe()
    {
        int ends[2] = {-1, -1};
        EXPECT_EQ(pipe(ends), 0);
        return {ends[0], ends[1]};
    }
};

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

std::atomic<int> g_signals {0};

void CountSignal(int)
{
    ++g_signals;
}

// SIGUSR1 counted and, without SA_RESTART, ending a blocked read or write early; the old handler
// comes back with the object's end.
class InterruptingSignal
{
public:
    InterruptingSignal()
    {
        struct sigaction action {};
        action.sa_handler = CountSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGUSR1, &action, &m_old);
        g_signals = 0;
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &m_old, nullptr); }

private:
    struct sigaction m_old {};
};

// The system call thread `tid` of this process is blocked in, -1 while it runs, -2 when the
// system does not tell.
long BlockedIn(pid_t tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    std::string first;
    if (!(in >> first))
        return -2;
    return first == "running" ? -1 : std::stol(first);
}

// Interrupts `thread` (with id `tid`) `times` times, each time once it is blocked in `call` and
// `ready` holds. False when that does not happen within seconds.
template <typename Ready>
bool InterruptWhenBlocked(pthread_t thread, pid_t tid, long call, int times, Ready ready)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto waitFor = [&](auto condition) {
        while (!condition())
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            else
                std::this_thread::yield();
        return true;
    };
    for (int i = 0; i < times; ++i) {
        if (!waitFor([&] { return BlockedIn(tid) == call && ready(); }))
            return false;
        const int before = g_signals;
        pthread_kill(thread, SIGUSR1);
        if (!waitFor([&] { return g_signals != before; }))
            return false;
    }
    return true;
}

pid_t ThisThreadId()
{
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// Bytes waiting in a pipe.
int Waiting(int readEnd)
{
    int bytes = -1;
    return ioctl(readEnd, FIONREAD, &bytes) == 0 ? bytes : -1;
}

} // namespace

TEST(File64, ReadFullyAtStopsOnlyAtTheEndOfTheFileOrAFailure)
{
    TempDir dir;
    const std::vector<uint8_t> content = Pattern(10000);
    ASSERT_TRUE(WriteFileBytes(dir.File("data"), content));
    Fd fd(open(dir.File("data").c_str(), O_RDONLY));
    ASSERT_GE(fd.fd, 0);

    const struct {
        const char* name;
        uint64_t offset;
        size_t size;
        size_t bytes;
        int error;
    } cases[] = {
        {"whole file", 0, 10000, 10000, 0},
        {"inside", 1234, 5000, 5000, 0},
        {"short at the end", 9000, 4000, 1000, 0},
        {"at the end", 10000, 10, 0, 0},
        {"past the end", 20000, 10, 0, 0},
        {"nothing asked", 5, 0, 0, 0},
        {"offset the system cannot address", kMaxOffset + 1, 10, 0, EINVAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> buffer(c.size + 1, 0xEE);
        const FileReadResult got = ReadFullyAt(fd.fd, buffer.data(), c.size, c.offset);
        EXPECT_EQ(got.bytes, c.bytes);
        EXPECT_EQ(got.error, c.error);
        if (c.bytes > 0) {
            EXPECT_EQ(0, std::memcmp(buffer.data(), content.data() + c.offset, c.bytes));
        }
        EXPECT_EQ(buffer[c.size], 0xEE);
    }
    EXPECT_EQ(lseek(fd.fd, 0, SEEK_CUR), 0) << "the file position moved";

    SCOPED_TRACE("a descriptor that cannot read");
    Fd writeOnly(open(dir.File("data").c_str(), O_WRONLY));
    uint8_t byte = 0;
    errno = 0;
    const FileReadResult failed = ReadFullyAt(writeOnly.fd, &byte, 1, 0);
    EXPECT_EQ(failed.bytes, 0u);
    EXPECT_EQ(failed.error, EBADF);
    EXPECT_EQ(errno, EBADF);
}

TEST(File64, ReadsAndWritesPastFourGibibytesInASparseFile)
{
    TempDir dir;
    Fd fd(open(dir.File("sparse").c_str(), O_RDWR | O_CREAT, 0600));
    ASSERT_GE(fd.fd, 0);
    const uint64_t offset = (uint64_t(1) << 32) + 3;
    const std::string marker = "marker";
    ASSERT_TRUE(WriteFullyAt(fd.fd, marker.data(), marker.size(), offset));
    EXPECT_EQ(lseek(fd.fd, 0, SEEK_CUR), 0);

    char buffer[16] = {};
    const FileReadResult got = ReadFullyAt(fd.fd, buffer, sizeof buffer, offset);
    EXPECT_EQ(got.bytes, marker.size());
    EXPECT_EQ(got.error, 0);
    EXPECT_EQ(std::string(buffer, got.bytes), marker);
    const FileReadResult hole = ReadFullyAt(fd.fd, buffer, 4, offset - 4);
    EXPECT_EQ(hole.bytes, 4u);
    EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));
}

TEST(File64, ReadVectorAtFillsThePartsInOneCall)
{
    TempDir dir;
    const std::vector<uint8_t> content = Pattern(100);
    ASSERT_TRUE(WriteFileBytes(dir.File("data"), content));
    Fd fd(open(dir.File("data").c_str(), O_RDONLY));
    ASSERT_GE(fd.fd, 0);

    uint8_t first[30] = {};
    uint8_t second[50] = {};
    iovec parts[2] = {{first, sizeof first}, {second, sizeof second}};
    const FileReadResult whole = ReadVectorAt(fd.fd, parts, 2, 10);
    EXPECT_EQ(whole.bytes, 80u);
    EXPECT_EQ(0, std::memcmp(first, content.data() + 10, sizeof first));
    EXPECT_EQ(0, std::memcmp(second, content.data() + 40, sizeof second));

    const FileReadResult tail = ReadVectorAt(fd.fd, parts, 2, 60);
    EXPECT_EQ(tail.bytes, 40u);
    EXPECT_EQ(tail.error, 0);
    EXPECT_EQ(0, std::memcmp(second, content.data() + 90, 10));

    const FileReadResult far = ReadVectorAt(fd.fd, parts, 2, kMaxOffset + 1);
    EXPECT_EQ(far.bytes, 0u);
    EXPECT_EQ(far.error, EINVAL);
}

TEST(File64, WritesGoOnAfterShortWritesAndStopAtAFailureWithItsErrno)
{
    // Far more than a pipe holds: the reader takes it in many short reads.
    const std::vector<uint8_t> content = Pattern(1 << 20);
    Pipe pipe;
    std::vector<uint8_t> received(content.size() + 1);
    FileReadResult got;
    std::thread reader([&] {
        got = ReadFully(pipe.read.fd, received.data(), received.size());
        // Should the read stop early, the writer must not wait for a reader forever.
        for (char sink[4096]; read(pipe.read.fd, sink, sizeof sink) > 0;) {
        }
    });
    const bool written = WriteFully(pipe.write.fd, content.data(), content.size());
    close(pipe.write.fd);
    pipe.write.fd = -1;
    reader.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(got.bytes, content.size()) << "the writer's end closed: the end of the data";
    EXPECT_EQ(got.error, 0);
    EXPECT_EQ(0, std::memcmp(received.data(), content.data(), content.size()));

    Fd full(open("/dev/full", O_WRONLY));
    if (full.fd < 0)
        GTEST_SKIP() << "no /dev/full";
    const struct {
        const char* name;
        bool positioned;
        uint64_t offset;
        int error;
    } cases[] = {
        {"disk full", false, 0, ENOSPC},
        {"disk full at an offset", true, 0, ENOSPC},
        {"offset the system cannot address", true, kMaxOffset + 1, EINVAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errno = 0;
        EXPECT_FALSE(c.positioned ? WriteFullyAt(full.fd, content.data(), 10, c.offset)
                                  : WriteFully(full.fd, content.data(), 10));
        EXPECT_EQ(errno, c.error);
    }
    EXPECT_TRUE(WriteFully(full.fd, content.data(), 0)) << "nothing to write";
}

TEST(File64, CallsASignalInterruptsAreMadeAgain)
{
    const pthread_t self = pthread_self();
    const pid_t tid = ThisThreadId();
    if (BlockedIn(tid) == -2)
        GTEST_SKIP() << "the system does not tell which call a thread is blocked in";
    InterruptingSignal interrupting;
    const std::vector<uint8_t> content = Pattern(1 << 20);
    {
        SCOPED_TRACE("a write blocked on a full pipe");
        Pipe pipe;
        const int capacity = fcntl(pipe.write.fd, F_GETPIPE_SZ);
        ASSERT_GT(capacity, 0);
        std::vector<uint8_t> received(content.size());
        bool interrupted = false;
        FileReadResult got;
        // The first signal ends the call that filled the pipe (a short write), the second a call
        // that has written nothing yet (it fails as interrupted).
        std::thread reader([&] {
            interrupted = InterruptWhenBlocked(self, tid, SYS_write, 2,
                                               [&] { return Waiting(pipe.read.fd) == capacity; });
            got = ReadFully(pipe.read.fd, received.data(), received.size());
        });
        EXPECT_TRUE(WriteFully(pipe.write.fd, content.data(), content.size()));
        close(pipe.write.fd);
        pipe.write.fd = -1;
        reader.join();
        EXPECT_TRUE(interrupted);
        EXPECT_EQ(got.bytes, content.size());
        EXPECT_EQ(0, std::memcmp(received.data(), content.data(), content.size()));
    }
    {
        SCOPED_TRACE("a read blocked on an empty pipe");
        Pipe pipe;
        std::vector<uint8_t> some(100);
        bool interrupted = false;
        bool sent = false;
        std::thread writer([&] {
            interrupted = InterruptWhenBlocked(self, tid, SYS_read, 2,
                                               [&] { return Waiting(pipe.read.fd) == 0; });
            sent = WriteFully(pipe.write.fd, content.data(), some.size());
        });
        const FileReadResult got = ReadFully(pipe.read.fd, some.data(), some.size());
        writer.join();
        EXPECT_TRUE(interrupted);
        EXPECT_TRUE(sent);
        EXPECT_EQ(got.bytes, some.size());
        EXPECT_EQ(0, std::memcmp(some.data(), content.data(), some.size()));
    }
    EXPECT_EQ(g_signals, 4);
}
