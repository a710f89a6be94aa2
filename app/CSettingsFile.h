#pragma once
// The settings file both programs share: where it lives, its keys with their defaults, and
// reading and writing them through the INI layer.

#include "export/core/ConvertOptions.h"

#include <cstdint>
#include <string>

class CProfile;

// Names the settings folder and file. Both programs use this constant rather than their own
// file names, so they share one file however the binaries are named or linked.
constexpr char kProgramName[] = "Sondrel";

namespace SettingsKey {
constexpr char kMakerFolder[] = "Calverin";

constexpr char kSettings[] = "Settings";
constexpr char kSingleOutfile[] = "SingleOutfile";
constexpr char kAssumeSplittedFile[] = "AssumeSplittedFile";
constexpr char kBaseIsPressedStart[] = "BaseIsPressedStart";
constexpr char kCommentChar[] = "CommentChar";
constexpr char kCommentCharText[] = "CommentCharText";
constexpr char kSingleFile[] = "SingleFile";
constexpr char kReadDirectory[] = "ReadDirectory";
constexpr char kWriteDirectory[] = "WriteDirectory";
constexpr char kCmdlineDirectory[] = "CmdlineDirectory";

constexpr char kAscii[] = "Ascii";
constexpr char kSweepHeader[] = "SweepHeader";
constexpr char kDigitalEventInitialValue[] = "DigitalEventInitialValue";

constexpr char kBinary[] = "Binary";
constexpr char kWriteHeader[] = "WriteHeader";
constexpr char kToSigned[] = "ToSigned";

constexpr char kRecentFileList[] = "Recent File List";
} // namespace SettingsKey

constexpr char kDefaultCommentCharText[] = "%";

// <application data>/Calverin/<program>/<program>.ini. Creates the two folders (and the
// application-data folder itself when it is missing); a folder that cannot be made is not
// reported, the first write then fails instead. Empty when there is no application-data folder
// or the program name is empty or holds a "/".
std::string BuildProfilePath(const std::string& programName);

// Every value of the settings file except the folders and the recent-file list.
struct ExportSettings
{
    int SingleOutfile = 0;      // several inputs go into one output file
    int AssumeSplittedFile = 0; // several inputs are parts of one recording
    int BaseIsPressedStart = 0; // times count from the recording-button press
    int SingleFile = 1;         // triggered recordings: all sweeps into one output file
    ConvertOptions Options;     // CommentCharText "%" unless the file says otherwise
    ExportSettings() { Options.CommentCharText = kDefaultCommentCharText; }
};

class CSettingsFile
{
public:
    // An empty path means there is no settings file: every read gives its default and every
    // write fails, so nothing is ever written to a relative file.
    explicit CSettingsFile(std::string path);

    const std::string& Path() const { return m_path; }

    // Single keys, as the windowed program's profile calls read and write them. Writes replace
    // the file atomically and report failure (empty path, unreadable file, unstorable value).
    int32_t GetInt(const std::string& section, const std::string& key, int32_t defaultValue) const;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const;
    bool WriteInt(const std::string& section, const std::string& key, int32_t value);
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Every key of the table with its default where it is missing, from one read of the file.
    ExportSettings Read() const;

    // The export dialog's keys in "Settings", in one replacement of the file: "SingleFile" only
    // when writeSingleFile (triggered recordings), "AssumeSplittedFile" only when
    // writeAssumeSplitted (the dialog may split), "CommentCharText" only when CommentChar is set,
    // so a cleared comment keeps its stored text.
    bool WriteExportSettings(const ExportSettings& settings, bool writeSingleFile,
                             bool writeAssumeSplitted);
    // "Ascii": SweepHeader and DigitalEventInitialValue.
    bool WriteAsciiSettings(const ConvertOptions& options);
    // "Binary": WriteHeader and ToSigned.
    bool WriteBinarySettings(const ConvertOptions& options);

private:
    // Loads the file into `profile`; false for an empty path or a file that cannot be read.
    [[nodiscard]] bool Load(CProfile& profile) const;

    std::string m_path;
};
