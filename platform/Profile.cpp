#include "platform/Profile.h"

#include "platform/CProfile.h"

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path)
{
    CProfile profile;
    if (path.empty() || !profile.Load(path))
        return defaultValue;
    return profile.GetString(section, key, defaultValue);
}

int32_t GetPrivateProfileInt(const std::string& section, const std::string& key,
                             int32_t defaultValue, const std::string& path)
{
    CProfile profile;
    if (path.empty() || !profile.Load(path))
        return defaultValue;
    return profile.GetInt(section, key, defaultValue);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const char* value, const std::string& path)
{
    CProfile profile;
    // A file that exists but cannot be read is never replaced: its other settings would be lost.
    if (path.empty() || !profile.Load(path))
        return false;
    if (value)
        return profile.SetString(section, key, value) && profile.Save(path);
    std::string old;
    if (!profile.Find(section, key, old))
        return true; // nothing to remove; a missing file is not created for it
    profile.DeleteKey(section, key);
    return profile.Save(path);
}
