#include "com/CComRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "platform/AppPaths.h"
#include "platform/CProfile.h"

namespace {

constexpr char kMakerFolder[] = "Calverin";

constexpr char kProgIdKey[] = "ProgID";
constexpr char kTypeNameKey[] = "TypeName";
constexpr char kServerKey[] = "InprocServer32";
constexpr char kThreadingKey[] = "ThreadingModel";
constexpr char kTypeLibKey[] = "TypeLib";
constexpr char kVersionKey[] = "Version";
constexpr char kMiscStatusKey[] = "MiscStatus";
constexpr char kToolboxBitmapKey[] = "ToolboxBitmap32";
constexpr char kClsidKey[] = "CLSID";
constexpr char kVersionsKey[] = "Versions";
constexpr char kNameKey[] = "Name";
constexpr char kPathKey[] = "Path";

const char* const kClassKeys[] = {kProgIdKey,  kTypeNameKey,  kServerKey,
                                  kThreadingKey, kTypeLibKey, kVersionKey,
                                  kMiscStatusKey, kToolboxBitmapKey};

std::string ClassSection(const CLSID& clsid) { return "CLSID\\" + GuidToString(clsid); }
std::string ProgIdSection(const std::string& progId) { return "ProgID\\" + progId; }
std::string TypeLibSection(const GUID& libid) { return "TypeLib\\" + GuidToString(libid); }

std::string VersionText(uint16_t major, uint16_t minor)
{
    return std::to_string(major) + "." + std::to_string(minor);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Section lines with no entry under them, which unregistering leaves behind, are dropped.
void DropEmptySections(CProfile& profile)
{
    std::istringstream in(profile.Text());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    auto trimmedFront = [](const std::string& line) {
        const size_t first = line.find_first_not_of(" \t");
        return first == std::string::npos ? std::string() : line.substr(first);
    };
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string head = trimmedFront(lines[i]);
        if (!head.empty() && head[0] == '[') {
            bool hasEntry = false;
            for (size_t j = i + 1; j < lines.size(); ++j) {
                const std::string next = trimmedFront(lines[j]);
                if (!next.empty() && next[0] == '[')
                    break;
                if (!next.empty() && next[0] != ';') {
                    hasEntry = true;
                    break;
                }
            }
            if (!hasEntry)
                continue;
        }
        text += lines[i];
        text += '\n';
    }
    profile.Parse(text);
}

bool SaveProfile(CProfile& profile, const std::string& path)
{
    DropEmptySections(profile);
    CreateDirectories(FolderOf(path));
    return profile.Save(path);
}

// The registered versions of a type library, as (major, minor) pairs in file order.
std::vector<std::pair<uint16_t, uint16_t>> ParseVersions(const std::string& text)
{
    std::vector<std::pair<uint16_t, uint16_t>> versions;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        unsigned major = 0;
        unsigned minor = 0;
        char tail = 0;
        if (std::sscanf(word.c_str(), "%u.%u%c", &major, &minor, &tail) == 2 && major <= 0xFFFF
            && minor <= 0xFFFF)
            versions.emplace_back(static_cast<uint16_t>(major), static_cast<uint16_t>(minor));
    }
    return versions;
}

std::string FormatVersions(const std::vector<std::pair<uint16_t, uint16_t>>& versions)
{
    std::string text;
    for (const auto& version : versions) {
        if (!text.empty())
            text += ' ';
        text += VersionText(version.first, version.second);
    }
    return text;
}

void RemoveClassKeys(CProfile& profile, const std::string& section)
{
    for (const char* key : kClassKeys)
        profile.DeleteKey(section, key);
}

} // namespace

std::string CComRegistry::PerUserPath()
{
    const std::string folder = GetAppDataFolder();
    if (folder.empty())
        return std::string();
    return folder + "/" + kMakerFolder + "/" + kFileName;
}

std::string CComRegistry::InstalledDefaultPath()
{
    const std::string program = GetModuleFileName();
    if (program.empty())
        return std::string();
    return FolderOf(program) + "/" + kFileName;
}

std::string CComRegistry::WritePath()
{
    const char* variable = std::getenv(kEnvironmentVariable);
    if (variable && *variable)
        return variable;
    const std::string perUser = PerUserPath();
    return perUser.empty() ? InstalledDefaultPath() : perUser;
}

std::vector<std::string> CComRegistry::LookupPaths()
{
    const char* variable = std::getenv(kEnvironmentVariable);
    if (variable && *variable)
        return {variable};
    std::vector<std::string> paths;
    for (std::string path : {PerUserPath(), InstalledDefaultPath()})
        if (!path.empty())
            paths.push_back(std::move(path));
    return paths;
}

HRESULT CComRegistry::RegisterClass(const ClassEntry& entry)
{
    const std::string path = WritePath();
    CProfile profile;
    if (path.empty() || !profile.Load(path))
        return SELFREG_E_CLASS;
    const std::string section = ClassSection(entry.clsid);
    std::string oldProgId;
    if (profile.Find(section, kProgIdKey, oldProgId) && !oldProgId.empty())
        profile.DeleteKey(ProgIdSection(oldProgId), kClsidKey);
    RemoveClassKeys(profile, section);

    bool stored = profile.SetString(section, kServerKey, entry.libraryPath);
    auto setOptional = [&](const char* key, const std::string& value) {
        if (!value.empty())
            stored = profile.SetString(section, key, value) && stored;
    };
    setOptional(kProgIdKey, entry.progId);
    setOptional(kTypeNameKey, entry.typeName);
    setOptional(kThreadingKey, entry.threadingModel);
    setOptional(kTypeLibKey, entry.typeLib);
    setOptional(kVersionKey, entry.version);
    setOptional(kToolboxBitmapKey, entry.toolboxBitmap);
    stored = profile.SetString(section, kMiscStatusKey, std::to_string(entry.miscStatus)) && stored;
    if (!entry.progId.empty())
        stored = profile.SetString(ProgIdSection(entry.progId), kClsidKey,
                                   GuidToString(entry.clsid))
                 && stored;
    if (!stored || !SaveProfile(profile, path))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT CComRegistry::UnregisterClass(const CLSID& clsid)
{
    const std::string path = WritePath();
    CProfile profile;
    if (path.empty() || !profile.Load(path))
        return SELFREG_E_CLASS;
    const std::string section = ClassSection(clsid);
    std::string value;
    if (!profile.Find(section, kServerKey, value))
        return S_OK; // not registered in this file: nothing to write
    std::string progId;
    if (profile.Find(section, kProgIdKey, progId) && !progId.empty()) {
        std::string named;
        GUID namedClsid;
        if (profile.Find(ProgIdSection(progId), kClsidKey, named)
            && GuidFromString(named, namedClsid) && namedClsid == clsid)
            profile.DeleteKey(ProgIdSection(progId), kClsidKey);
    }
    RemoveClassKeys(profile, section);
    return SaveProfile(profile, path) ? S_OK : SELFREG_E_CLASS;
}

std::vector<ClassEntry> CComRegistry::LookupClassEntries(const CLSID& clsid)
{
    const std::string section = ClassSection(clsid);
    std::vector<ClassEntry> entries;
    for (const std::string& path : LookupPaths()) {
        CProfile profile;
        std::string library;
        if (!profile.Load(path) || !profile.Find(section, kServerKey, library))
            continue;
        ClassEntry found;
        found.clsid = clsid;
        if (!library.empty() && library[0] != '/')
            library = FolderOf(path) + "/" + library;
        found.libraryPath = library;
        found.progId = profile.GetString(section, kProgIdKey, "");
        found.typeName = profile.GetString(section, kTypeNameKey, "");
        found.threadingModel = profile.GetString(section, kThreadingKey, "");
        found.typeLib = profile.GetString(section, kTypeLibKey, "");
        found.version = profile.GetString(section, kVersionKey, "");
        found.miscStatus = static_cast<uint32_t>(
            std::strtoul(profile.GetString(section, kMiscStatusKey, "0").c_str(), nullptr, 10));
        found.toolboxBitmap = profile.GetString(section, kToolboxBitmapKey, "");
        entries.push_back(std::move(found));
    }
    return entries;
}

bool CComRegistry::LookupClass(const CLSID& clsid, ClassEntry* entry)
{
    std::vector<ClassEntry> entries = LookupClassEntries(clsid);
    if (entries.empty())
        return false;
    if (entry)
        *entry = std::move(entries.front());
    return true;
}

bool CComRegistry::LookupProgId(const std::string& progId, CLSID* clsid)
{
    if (progId.empty())
        return false;
    for (const std::string& path : LookupPaths()) {
        CProfile profile;
        std::string text;
        GUID found;
        if (profile.Load(path) && profile.Find(ProgIdSection(progId), kClsidKey, text)
            && GuidFromString(text, found)) {
            if (clsid)
                *clsid = found;
            return true;
        }
    }
    return false;
}

HRESULT CComRegistry::RegisterTypeLib(const GUID& libid, uint16_t major, uint16_t minor,
                                      const std::string& libraryPath, const std::string& name)
{
    const std::string path = WritePath();
    CProfile profile;
    if (path.empty() || !profile.Load(path))
        return SELFREG_E_TYPELIB;
    const std::string section = TypeLibSection(libid);
    auto versions = ParseVersions(profile.GetString(section, kVersionsKey, ""));
    bool known = false;
    for (const auto& version : versions)
        known = known || (version.first == major && version.second == minor);
    if (!known)
        versions.emplace_back(major, minor);
    const std::string versionSection = section + "\\" + VersionText(major, minor);
    const bool stored = profile.SetString(section, kVersionsKey, FormatVersions(versions))
                        && profile.SetString(versionSection, kNameKey, name)
                        && profile.SetString(versionSection, kPathKey, libraryPath);
    if (!stored || !SaveProfile(profile, path))
        return SELFREG_E_TYPELIB;
    return S_OK;
}

HRESULT CComRegistry::UnregisterTypeLib(const GUID& libid, uint16_t major, uint16_t minor)
{
    const std::string path = WritePath();
    CProfile profile;
    if (path.empty() || !profile.Load(path))
        return SELFREG_E_TYPELIB;
    const std::string section = TypeLibSection(libid);
    auto versions = ParseVersions(profile.GetString(section, kVersionsKey, ""));
    std::vector<std::pair<uint16_t, uint16_t>> kept;
    for (const auto& version : versions)
        if (version.first != major || version.second != minor)
            kept.push_back(version);
    const std::string versionSection = section + "\\" + VersionText(major, minor);
    std::string value;
    if (kept.size() == versions.size() && !profile.Find(versionSection, kPathKey, value))
        return S_OK; // not registered in this file
    if (kept.empty())
        profile.DeleteKey(section, kVersionsKey);
    else if (!profile.SetString(section, kVersionsKey, FormatVersions(kept)))
        return SELFREG_E_TYPELIB;
    profile.DeleteKey(versionSection, kNameKey);
    profile.DeleteKey(versionSection, kPathKey);
    return SaveProfile(profile, path) ? S_OK : SELFREG_E_TYPELIB;
}

bool CComRegistry::QueryTypeLib(const GUID& libid, uint16_t* major, uint16_t* minor,
                                std::string* path)
{
    const std::string section = TypeLibSection(libid);
    for (const std::string& file : LookupPaths()) {
        CProfile profile;
        if (!profile.Load(file))
            continue;
        const auto versions = ParseVersions(profile.GetString(section, kVersionsKey, ""));
        if (versions.empty())
            continue;
        std::pair<uint16_t, uint16_t> best = versions.front();
        for (const auto& version : versions)
            if (version > best)
                best = version;
        if (major)
            *major = best.first;
        if (minor)
            *minor = best.second;
        if (path)
            *path = profile.GetString(section + "\\" + VersionText(best.first, best.second),
                                      kPathKey, "");
        return true;
    }
    return false;
}
