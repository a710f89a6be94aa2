#include "app/CSettingsFile.h"

#include "platform/AppPaths.h"
#include "platform/CProfile.h"

#include <utility>

using namespace SettingsKey;

std::string BuildProfilePath(const std::string& programName)
{
    if (programName.empty() || programName.find('/') != std::string::npos)
        return std::string();
    std::string folder = GetAppDataFolder();
    if (folder.empty())
        return std::string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    // Unlike the Windows folder, ours may not exist yet on a fresh account.
    CreateDirectories(folder);
    // False is the usual answer (the folder exists already); a folder that cannot be made shows
    // as a failed settings write.
    folder += (folder == "/" ? "" : "/") + std::string(kMakerFolder);
    (void)CreateDirectory(folder);
    folder += "/" + programName;
    (void)CreateDirectory(folder);
    return folder + "/" + programName + ".ini";
}

CSettingsFile::CSettingsFile(std::string path)
    : m_path(std::move(path))
{
}

bool CSettingsFile::Load(CProfile& profile) const
{
    return !m_path.empty() && profile.Load(m_path);
}

int32_t CSettingsFile::GetInt(const std::string& section, const std::string& key,
                              int32_t defaultValue) const
{
    CProfile profile;
    return Load(profile) ? profile.GetInt(section, key, defaultValue) : defaultValue;
}

std::string CSettingsFile::GetString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) const
{
    CProfile profile;
    return Load(profile) ? profile.GetString(section, key, defaultValue) : defaultValue;
}

bool CSettingsFile::WriteInt(const std::string& section, const std::string& key, int32_t value)
{
    CProfile profile;
    return Load(profile) && profile.SetInt(section, key, value) && profile.Save(m_path);
}

bool CSettingsFile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value)
{
    CProfile profile;
    return Load(profile) && profile.SetString(section, key, value) && profile.Save(m_path);
}

ExportSettings CSettingsFile::Read() const
{
    ExportSettings settings;
    CProfile profile;
    if (!Load(profile))
        return settings;
    settings.SingleOutfile = profile.GetInt(kSettings, kSingleOutfile, settings.SingleOutfile);
    settings.AssumeSplittedFile = profile.GetInt(kSettings, kAssumeSplittedFile, settings.AssumeSplittedFile);
    settings.BaseIsPressedStart = profile.GetInt(kSettings, kBaseIsPressedStart, settings.BaseIsPressedStart);
    settings.SingleFile = profile.GetInt(kSettings, kSingleFile, settings.SingleFile);
    ConvertOptions& options = settings.Options;
    options.CommentChar = profile.GetInt(kSettings, kCommentChar, options.CommentChar);
    options.CommentCharText = profile.GetString(kSettings, kCommentCharText, options.CommentCharText);
    options.SweepHeader = profile.GetInt(kAscii, kSweepHeader, options.SweepHeader);
    options.DigitalEventInitialValue =
        profile.GetInt(kAscii, kDigitalEventInitialValue, options.DigitalEventInitialValue);
    options.WriteHeader = profile.GetInt(kBinary, kWriteHeader, options.WriteHeader);
    options.ToSigned = profile.GetInt(kBinary, kToSigned, options.ToSigned);
    return settings;
}

bool CSettingsFile::WriteExportSettings(const ExportSettings& settings, bool writeSingleFile,
                                        bool writeAssumeSplitted)
{
    CProfile profile;
    if (!Load(profile))
        return false;
    bool ok = true;
    if (writeSingleFile)
        ok = profile.SetInt(kSettings, kSingleFile, settings.SingleFile) && ok;
    if (writeAssumeSplitted)
        ok = profile.SetInt(kSettings, kAssumeSplittedFile, settings.AssumeSplittedFile) && ok;
    ok = profile.SetInt(kSettings, kSingleOutfile, settings.SingleOutfile) && ok;
    ok = profile.SetInt(kSettings, kCommentChar, settings.Options.CommentChar) && ok;
    if (settings.Options.CommentChar)
        ok = profile.SetString(kSettings, kCommentCharText, settings.Options.CommentCharText) && ok;
    ok = profile.SetInt(kSettings, kBaseIsPressedStart, settings.BaseIsPressedStart) && ok;
    // The keys that could be stored are saved even when one value was refused.
    return profile.Save(m_path) && ok;
}

bool CSettingsFile::WriteAsciiSettings(const ConvertOptions& options)
{
    CProfile profile;
    return Load(profile) && profile.SetInt(kAscii, kSweepHeader, options.SweepHeader)
        && profile.SetInt(kAscii, kDigitalEventInitialValue, options.DigitalEventInitialValue)
        && profile.Save(m_path);
}

bool CSettingsFile::WriteBinarySettings(const ConvertOptions& options)
{
    CProfile profile;
    return Load(profile) && profile.SetInt(kBinary, kWriteHeader, options.WriteHeader)
        && profile.SetInt(kBinary, kToSigned, options.ToSigned) && profile.Save(m_path);
}
