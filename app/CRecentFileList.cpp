#include "app/CRecentFileList.h"

#include "app/CSettingsFile.h"
#include "platform/CProfile.h"

#include <algorithm>

namespace {

std::string EntryKey(size_t number)
{
    return "File" + std::to_string(number);
}

} // namespace

void CRecentFileList::Read(const CSettingsFile& settings)
{
    m_entries.clear();
    CProfile profile;
    if (settings.Path().empty() || !profile.Load(settings.Path()))
        return;
    for (size_t number = 1; number <= kMaxEntries; ++number) {
        const std::string path = profile.GetString(SettingsKey::kRecentFileList, EntryKey(number), "");
        if (!path.empty() && std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(path);
    }
}

bool CRecentFileList::Write(CSettingsFile& settings) const
{
    CProfile profile;
    if (settings.Path().empty() || !profile.Load(settings.Path()))
        return false;
    for (size_t number = 1; number <= kMaxEntries; ++number) {
        const std::string key = EntryKey(number);
        if (number <= m_entries.size()) {
            if (!profile.SetString(SettingsKey::kRecentFileList, key, m_entries[number - 1]))
                return false;
        } else {
            profile.DeleteKey(SettingsKey::kRecentFileList, key);
        }
    }
    return profile.Save(settings.Path());
}

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kMaxEntries)
        m_entries.resize(kMaxEntries);
}
