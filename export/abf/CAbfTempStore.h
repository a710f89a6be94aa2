#pragma once
// Records that belong after the samples of an ABF file (synch entries, tags), kept until the
// header is completed: the newest ones in memory, older ones in a scratch file, so memory stays
// bounded however many records come.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CAbfOutput;

class CAbfTempStore
{
public:
    // `prefix` names the scratch file; it is created only when memory runs full.
    explicit CAbfTempStore(const std::string& prefix, size_t memoryBytes = 64 * 1024);
    ~CAbfTempStore();
    CAbfTempStore(const CAbfTempStore&) = delete;
    CAbfTempStore& operator=(const CAbfTempStore&) = delete;

    // Adds bytes at the end. 0, or 1023 when no scratch file can be made, 1015 when it cannot be
    // written; nothing is added then.
    [[nodiscard]] int Append(const void* data, size_t size);
    // Appends everything stored, in order, to the output. 0, 1023 when the scratch file cannot be
    // read back, 1015 when the output cannot be written.
    [[nodiscard]] int CopyTo(CAbfOutput& output) const;

private:
    [[nodiscard]] int Spill();

    std::string m_prefix;
    size_t m_memoryBytes;
    std::vector<uint8_t> m_memory;
    int m_fd = -1;
    uint64_t m_spilled = 0;
};
