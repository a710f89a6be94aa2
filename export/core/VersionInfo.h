#pragma once
// The program's version block: fixed file version and string values, built into the program
// from the project version instead of read from a resource.

#include <cstdint>
#include <memory>
#include <string>

struct VS_FIXEDFILEINFO
{
    uint32_t dwSignature = 0;
    uint32_t dwStrucVersion = 0;
    uint32_t dwFileVersionMS = 0; // major << 16 | minor
    uint32_t dwFileVersionLS = 0; // build << 16 | fourth part
    uint32_t dwProductVersionMS = 0;
    uint32_t dwProductVersionLS = 0;
    uint32_t dwFileFlagsMask = 0;
    uint32_t dwFileFlags = 0;
    uint32_t dwFileOS = 0;
    uint32_t dwFileType = 0;
    uint32_t dwFileSubtype = 0;
    uint32_t dwFileDateMS = 0;
    uint32_t dwFileDateLS = 0;
};

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// "major.minor.build" from a fixed file version; the fourth part is not shown.
std::string FileVersionText(const VS_FIXEDFILEINFO& info);

class VersionInfo
{
public:
    VersionInfo();
    ~VersionInfo();
    VersionInfo(const VersionInfo&) = delete;
    VersionInfo& operator=(const VersionInfo&) = delete;

    // Loads the version block of the given executable. Only the running program carries one
    // (the file is compared by device and inode, so any path to it works); any other file, or
    // one that does not exist, gives false with nothing loaded.
    bool LoadFromFile(const std::string& path);
    // The running program's own block.
    bool LoadFromModule();

    // False when nothing is loaded.
    bool GetFixedInfo(VS_FIXEDFILEINFO& info) const;
    // The string value of the key (compared without regard to ASCII case) in the string table
    // of that translation (0: the loaded one); empty when nothing is loaded, the translation is
    // another or the key is missing.
    std::string GetStringValue(const std::string& key, uint32_t translation = 0) const;
    // "%u.%u.%u" of the file version; empty when nothing is loaded.
    std::string GetFileVersionText() const;
    // Language identifier << 16 | code page of the loaded block; 0 when nothing is loaded.
    uint32_t GetTranslation() const { return m_translation; }

    void Free();

private:
    struct Block;
    std::unique_ptr<Block> m_block;
    uint32_t m_translation = 0;
};
