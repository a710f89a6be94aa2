#include "export/CBackgroundWriter.h"

#include <system_error>
#include <utility>

CBackgroundWriter::CBackgroundWriter(std::function<bool(const uint16_t* values, size_t count)> write)
    : m_write(std::move(write))
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
    m_changed.wait(lock, [this] { return !m_hasPending; });
}

bool CBackgroundWriter::Submit(std::vector<uint16_t>& block)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        WaitIdle(lock);
        if (m_failed)
            return false;
        m_pending.swap(block);
        m_hasPending = true;
    }
    // Started with the first block: a converter that never writes has no thread.
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread(&CBackgroundWriter::Run, this);
        } catch (const std::system_error&) {
            // No thread to be had: this block, and every later one, is written here and now.
            const bool ok = m_write(m_pending.data(), m_pending.size());
            std::unique_lock<std::mutex> lock(m_mutex);
            m_failed = m_failed || !ok;
            m_hasPending = false;
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
        m_changed.wait(lock, [this] { return m_hasPending || m_stop; });
        if (!m_hasPending)
            return;
        // The caller does not touch the pending block until it is marked written.
        lock.unlock();
        const bool ok = m_write(m_pending.data(), m_pending.size());
        lock.lock();
        m_failed = m_failed || !ok;
        m_hasPending = false;
        m_changed.notify_all();
    }
}
