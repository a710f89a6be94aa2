#pragma once
// Writes one block at a time on a helper thread while the caller fills the next: the exports
// read and rearrange block N+1 while block N goes to the disk. Two blocks in all, handed over
// by swapping, so memory stays at twice a block and the bytes go out in the order given.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CBackgroundWriter
{
public:
    // `write` is called on the helper thread, one block at a time, never alongside another call
    // of it; it returns false when the block was not written whole.
    explicit CBackgroundWriter(std::function<bool(const uint16_t* values, size_t count)> write);
    // Waits for the block being written.
    ~CBackgroundWriter();
    CBackgroundWriter(const CBackgroundWriter&) = delete;
    CBackgroundWriter& operator=(const CBackgroundWriter&) = delete;

    // Waits until the block handed over before is written, then takes `block` to be written
    // and gives back in its place the other buffer (contents unspecified). False, taking
    // nothing, when a write since the last Finish failed.
    bool Submit(std::vector<uint16_t>& block);
    // Waits until the block handed over is written. False when a write since the last Finish
    // failed; the next Submit starts afresh.
    bool Finish();

private:
    void Run();
    // With the lock held: waits for the helper to be idle.
    void WaitIdle(std::unique_lock<std::mutex>& lock);

    std::function<bool(const uint16_t*, size_t)> m_write;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint16_t> m_pending;
    bool m_hasPending = false;
    bool m_failed = false;
    bool m_stop = false;
    std::thread m_thread;
};
