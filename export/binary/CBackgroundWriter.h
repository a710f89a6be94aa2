#pragma once
// Writes blocks on a helper thread while the caller fills the next ones: the exports read and
// rearrange the blocks after N while block N goes to the disk. Blocks queue up to a bound of
// bytes (always at least one), so memory stays bounded, and go out whole, in the order given.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CBackgroundWriter
{
public:
    // `write` is called on the helper thread, one block at a time, never alongside another call
    // of it; it returns false when the block was not written whole. After a false no later
    // block is written until Finish. `queuedValues` bounds the values waiting or being written.
    explicit CBackgroundWriter(std::function<bool(const uint16_t* values, size_t count)> write,
                               size_t queuedValues = kQueuedValues);
    // Waits for every block handed over.
    ~CBackgroundWriter();
    CBackgroundWriter(const CBackgroundWriter&) = delete;
    CBackgroundWriter& operator=(const CBackgroundWriter&) = delete;

    // Takes `block` to be written, once the queue has room for it, and gives back in its place
    // a buffer of an earlier block (contents unspecified) or an empty one. False, taking
    // nothing, when a write since the last Finish failed.
    [[nodiscard]] bool Submit(std::vector<uint16_t>& block);
    // Waits until every block handed over is written. False when a write since the last Finish
    // failed; the next Submit starts afresh.
    [[nodiscard]] bool Finish();

    // 8 MB of samples: a dozen sweeps of 200 ms, or two one-second blocks of 65 channels at
    // 25 kHz, keep the helper busy while the caller reads.
    static constexpr size_t kQueuedValues = size_t(4) << 20;

private:
    void Run();
    // With the lock held: waits until nothing is queued or being written.
    void WaitIdle(std::unique_lock<std::mutex>& lock);
    // With the lock held: keeps a written buffer for reuse, a few at most.
    void Recycle(std::vector<uint16_t>&& buffer);

    std::function<bool(const uint16_t*, size_t)> m_write;
    const size_t m_limit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<uint16_t>> m_queue;   // waiting, oldest first
    std::vector<std::vector<uint16_t>> m_spare;
    size_t m_queued = 0;                         // values waiting or being written
    bool m_writing = false;
    bool m_failed = false;
    bool m_stop = false;
    std::thread m_thread;
};
