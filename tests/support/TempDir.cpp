#include "tests/support/TempDir.h"

#include <boost/filesystem.hpp>

#include <cstdio>
#include <cstdlib>

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/sondrel-test-XXXXXX";
    if (char* made = mkdtemp(pattern.data()))
        m_path = made;
}

TempDir::~TempDir()
{
    if (!m_path.empty()) {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(m_path, ignored);
    }
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);
    return bytes;
}
