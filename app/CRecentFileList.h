#pragma once
// The windowed program's list of recently opened files, kept in the settings file under
// "Recent File List" as File1 (most recent) to File4.

#include <string>
#include <vector>

class CSettingsFile;

class CRecentFileList
{
public:
    static constexpr size_t kMaxEntries = 4;

    // Replaces the list with File1..File4 of the settings file; empty entries and repeats of an
    // earlier entry are skipped. A missing file or section gives an empty list.
    void Read(const CSettingsFile& settings);
    // Writes the entries as File1.. and removes the keys of unused numbers, in one replacement
    // of the file; false when the file cannot be written or a path cannot be stored (a path
    // holding a line break).
    [[nodiscard]] bool Write(CSettingsFile& settings) const;

    // Puts the path first; an equal path already in the list moves up instead of repeating;
    // the oldest entry falls off beyond kMaxEntries. An empty path is ignored.
    void Add(const std::string& path);

    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
};
