#include "export/binary/CBackgroundWriter.h"

#include <system_error>
#include <utility>

namespace {

// Written buffers kept for the caller's next blocks.
constexpr size_t kSpareBuffers = 2;

} // namespace

CBackgroundWriter::CBackgroundWriter(std::function<bool(const uint16_t* values, size_t count)> write,
                                     size_t queuedValues)
    : m_write(std::move(write)), m_limit(queuedValues)
{
}

CBackgroundWriter::~CBackgroundWriter()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        WaitIdle(lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CBackgroundWriter::WaitIdle(std::unique_lock<std::mutex>& lock)
{
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_writing; });
}

void CBackgroundWriter::Recycle(std::vector<uint16_t>&& buffer)
{
    if (m_spare.size() < kSpareBuffers)
        m_spare.push_back(std::move(buffer));
}

bool CBackgroundWriter::Submit(std::vector<uint16_t>& block)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_failed || m_queued == 0 || m_queued + block.size() <= m_limit; });
        if (m_failed)
            return false;
        m_queued += block.size();
        m_queue.push_back(std::move(block));
        block.clear();
        if (!m_spare.empty()) {
            block.swap(m_spare.back());
            m_spare.pop_back();
        }
    }
    // Started with the first block: a converter that never writes has no thread.
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread(&CBackgroundWriter::Run, this);
        } catch (const std::system_error&) {
            // No thread to be had: this block, and every later one, is written here and now.
            std::unique_lock<std::mutex> lock(m_mutex);
            std::vector<uint16_t> next = std::move(m_queue.front());
            m_queue.pop_front();
            const bool ok = !m_failed && m_write(next.data(), next.size());
            m_failed = m_failed || !ok;
            m_queued = 0;
            return true;
        }
    }
    m_changed.notify_all();
    return true;
}

bool CBackgroundWriter::Finish()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    WaitIdle(lock);
    const bool ok = !m_failed;
    m_failed = false;
    return ok;
}

void CBackgroundWriter::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_stop; });
        if (m_queue.empty())
            return;
        std::vector<uint16_t> block = std::move(m_queue.front());
        m_queue.pop_front();
        m_writing = true;
        lock.unlock();
        const bool ok = m_write(block.data(), block.size());
        lock.lock();
        m_writing = false;
        m_queued -= block.size();
        Recycle(std::move(block));
        if (!ok) {
            // Nothing after a failed block goes out: the file ends where the writing failed.
            m_failed = true;
            for (std::vector<uint16_t>& waiting : m_queue) {
                m_queued -= waiting.size();
                Recycle(std::move(waiting));
            }
            m_queue.clear();
        }
        m_changed.notify_all();
    }
}
