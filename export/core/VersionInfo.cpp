#include "export/core/VersionInfo.h"

#include "platform/AppPaths.h"
#include "platform/AsciiCase.h"
#include "platform/File64.h"

#include <cstdio>
#include <sys/stat.h>
#include <utility>
#include <vector>

#if !defined(SONDREL_VERSION_MAJOR) || !defined(SONDREL_VERSION_MINOR) || !defined(SONDREL_VERSION_PATCH)
#error "The build defines the version numbers from the project version."
#endif

namespace {

constexpr uint32_t kMajor = SONDREL_VERSION_MAJOR;
constexpr uint32_t kMinor = SONDREL_VERSION_MINOR;
constexpr uint32_t kPatch = SONDREL_VERSION_PATCH;
static_assert(kMajor <= 0xFFFF && kMinor <= 0xFFFF && kPatch <= 0xFFFF,
              "each version number fits in 16 bits");

// U.S. English, Windows-1252: the string table the program's texts are written in.
constexpr uint32_t kTranslation = 0x0409u << 16 | 1252u;

constexpr uint32_t kVsFfiStrucVersion = 0x00010000;
constexpr uint32_t kVosNtWindows32 = 0x00040004;
constexpr uint32_t kVftApp = 0x00000001;

std::string VersionNumberText()
{
    return std::to_string(kMajor) + "." + std::to_string(kMinor) + "." + std::to_string(kPatch);
}

} // namespace

struct VersionInfo::Block
{
    VS_FIXEDFILEINFO fixed;
    std::vector<std::pair<std::string, std::string>> strings;
};

std::string FileVersionText(const VS_FIXEDFILEINFO& info)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u", info.dwFileVersionMS >> 16,
                  info.dwFileVersionMS & 0xFFFFu, info.dwFileVersionLS >> 16);
    return text;
}

VersionInfo::VersionInfo() = default;

VersionInfo::~VersionInfo()
{
    Free();
}

bool VersionInfo::LoadFromFile(const std::string& path)
{
    Free();
    if (path.empty() || !SameFile(path, "/proc/self/exe"))
        return false;
    auto block = std::make_unique<Block>();
    VS_FIXEDFILEINFO& fixed = block->fixed;
    fixed.dwSignature = kFixedFileInfoSignature;
    fixed.dwStrucVersion = kVsFfiStrucVersion;
    fixed.dwFileVersionMS = kMajor << 16 | kMinor;
    fixed.dwFileVersionLS = kPatch << 16;
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileOS = kVosNtWindows32;
    fixed.dwFileType = kVftApp;
    const std::string version = VersionNumberText();
    block->strings = {
        {"CompanyName", "Calverin"},
        {"FileDescription", "Sondrel recording converter"},
        {"FileVersion", version},
        {"InternalName", "Sondrel"},
        {"LegalCopyright", "Copyright (C) Calverin"},
        {"ProductName", "Sondrel"},
        {"ProductVersion", version},
    };
    m_block = std::move(block);
    m_translation = kTranslation;
    return true;
}

bool VersionInfo::LoadFromModule()
{
    return LoadFromFile(GetModuleFileName());
}

bool VersionInfo::GetFixedInfo(VS_FIXEDFILEINFO& info) const
{
    if (!m_block)
        return false;
    info = m_block->fixed;
    return true;
}

std::string VersionInfo::GetStringValue(const std::string& key, uint32_t translation) const
{
    if (!m_block || (translation != 0 && translation != m_translation))
        return std::string();
    for (const auto& [name, value] : m_block->strings)
        if (AsciiEqualsNoCase(name, key))
            return value;
    return std::string();
}

std::string VersionInfo::GetFileVersionText() const
{
    VS_FIXEDFILEINFO info;
    return GetFixedInfo(info) ? FileVersionText(info) : std::string();
}

void VersionInfo::Free()
{
    m_block.reset();
    m_translation = 0;
}
