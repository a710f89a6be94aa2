#pragma once
// One output file of a converter: buffered writes whose every failure is remembered, so a full
// disk or a lost write is never reported as success.

#include <cstddef>
#include <cstdio>
#include <string>

class COutputFile
{
public:
    COutputFile() = default;
    // Closes a file still open; a failure there is not reported (call Close to see it).
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Creates (or empties) `path` for binary writing. False when it cannot be created or a file
    // is already open.
    [[nodiscard]] bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    // Writes all bytes. After the first failure every later write fails too without writing.
    [[nodiscard]] bool Write(const void* data, size_t bytes);
    [[nodiscard]] bool WriteText(const std::string& text)
    {
        return Write(text.data(), text.size());
    }
    bool Failed() const { return m_failed; }

    // Flushes and closes. False when no file was open, or when a write, the flush or the close
    // failed. The file is closed either way.
    [[nodiscard]] bool Close();

private:
    FILE* m_file = nullptr;
    bool m_failed = false;
};
