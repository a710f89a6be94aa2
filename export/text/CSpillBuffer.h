#pragma once
// Text gathered in memory up to a limit and moved on to an unnamed scratch file beyond it, so
// that many blocks can be built side by side in bounded memory and written out in order later.

#include <cstddef>
#include <functional>
#include <string>

class CSpillBuffer
{
public:
    explicit CSpillBuffer(size_t memoryLimit = 256 * 1024) : m_limit(memoryLimit) {}
    ~CSpillBuffer();
    CSpillBuffer(const CSpillBuffer&) = delete;
    CSpillBuffer& operator=(const CSpillBuffer&) = delete;
    CSpillBuffer(CSpillBuffer&& other) noexcept;

    // The in-memory tail; append to it, then call Settle.
    std::string& Text() { return m_text; }
    // Moves the tail to the scratch file once it passes the limit. False when the scratch file
    // cannot be created or written; the buffer is then failed, keeps failing and drops the text
    // appended to it (Drain writes nothing of a failed buffer).
    [[nodiscard]] bool Settle();
    bool Empty() const { return m_spilled == 0 && m_text.empty(); }

    // Hands everything, in the order appended, to `write` in large pieces; false when a read of
    // the scratch file or a call of `write` fails. The buffer is empty afterwards.
    [[nodiscard]] bool Drain(const std::function<bool(const char* data, size_t size)>& write);

private:
    void Reset();

    size_t m_limit;
    std::string m_text;
    int m_fd = -1;
    size_t m_spilled = 0;
    bool m_failed = false;
};
