#pragma once
// Position-explicit reads of an open recorded-data file through one window buffer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Small reads (chunk headers, records of the header area) are served from a window buffer that
// is refilled only when a read falls outside it, so a walk over many chunk headers costs one
// file read per window instead of a seek and a read per header. Large reads go straight into
// the caller's buffer. The reader also keeps a sequential position for the header-area readers.
// It never owns the FILE*: it reads the FILE's descriptor at explicit positions, so whatever was
// written through the FILE must be flushed first. Every read is checked against the file length
// measured at Attach.
class CFileReader
{
public:
    CFileReader() = default;
    explicit CFileReader(FILE* file) { Attach(file); }
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // Uses `file` (NULL detaches), measures its length and drops the window.
    void Attach(FILE* file);
    // Measures the length again and drops the window: call after the file was written to.
    void Refresh();
    FILE* File() const { return m_file; }
    uint64_t Length() const { return m_length; }

    // Reads exactly n bytes at pos; false (destination zero-filled) when they are not all there.
    [[nodiscard]] bool ReadAt(uint64_t pos, void* destination, size_t n);

    // Sequential reads from Tell(); a failed read leaves the position unchanged.
    [[nodiscard]] bool Read(void* destination, size_t n);
    template <class T>
    [[nodiscard]] bool ReadValue(T& value) {
        return Read(&value, sizeof(T));
    }
    void Seek(uint64_t pos) { m_pos = pos; }
    uint64_t Tell() const { return m_pos; }
    // Bytes between the position and the end of the file.
    uint64_t Remaining() const { return m_pos < m_length ? m_length - m_pos : 0; }

    // Number of reads issued to the file so far (tests count them).
    size_t FileReads() const { return m_fileReads; }

private:
    [[nodiscard]] bool Fill(uint64_t pos, size_t n);
    [[nodiscard]] bool ReadDirect(uint64_t pos, void* destination, size_t n);
    // Bytes read at pos (fewer at the end of the file or on an error).
    size_t ReadFile(uint64_t pos, void* destination, size_t n);

    static constexpr size_t kMinWindow = 16 * 1024;
    static constexpr size_t kMaxWindow = 1024 * 1024;
    // Reads of this size and more bypass the window.
    static constexpr size_t kDirectBytes = 64 * 1024;

    FILE* m_file = nullptr;
    uint64_t m_length = 0;
    uint64_t m_pos = 0;
    std::vector<uint8_t> m_window;
    uint64_t m_windowAt = 0;
    size_t m_windowBytes = 0;
    size_t m_nextFill = kMinWindow;
    size_t m_fileReads = 0;
};
