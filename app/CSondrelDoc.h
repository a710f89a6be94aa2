#pragma once
// The document both programs share: the opened recorded-data files (one file, a batch list or a
// set chosen together), the check whether a set can be processed together, and the user's
// channel selection. It shows no window: messages go to a reporter, and the windowed program
// adds its menus, dialogs and views around it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"

class CKVD;
class CMessageReporter;

class CSondrelDoc
{
public:
    // Bits of the set's recording kind.
    enum RecordingKind : uint16_t {
        kContinuous = 1,
        kTriggered = 2,
        kMixed = kContinuous | kTriggered,   // cannot be processed together
    };

    enum BatchResult : int { kBatchRead = 0, kBatchCannotOpen = 1, kBatchReadError = 2 };

    static constexpr size_t kMaxRefusalTextLength = 255;

    // Messages go to `reporter`, which outlives the document: the console program passes one
    // that prints, the windowed program one that shows a message box.
    explicit CSondrelDoc(CMessageReporter& reporter);
    virtual ~CSondrelDoc();
    CSondrelDoc(const CSondrelDoc&) = delete;
    CSondrelDoc& operator=(const CSondrelDoc&) = delete;

    // Opens one ".kvd" file, a ".bcd" batch list (extensions in any case), or with a null path
    // every path of the path list as one set (each must end in ".kvd"; the set is then ordered
    // by recording start). Whatever was open before is closed. True when every file opened;
    // the set is then checked and at most one message says why it cannot be processed (the
    // files stay open). False after a reported failure: no file stays open and the document is
    // "Untitled".
    [[nodiscard]] bool OnOpenDocument(const char* path);

    // Shows one message through the reporter.
    void ReportError(const std::string& text);

    // Closes every opened file.
    void DeleteAllFiles();

    // Checks the opened files against each other: recording kind (`kind` gets the bits of
    // RecordingKind), data-source setup (`mismatch` 1 when the source types or layouts differ),
    // and builds each file's stream map and the merged map of the set. Returns the summed
    // difference of the maps: 10000 per stream that not all files hold, plus the channel
    // differences; 0 when the streams agree. The map keeps kind and mismatch.
    int CheckFilesCompatible(uint16_t& kind, uint16_t& mismatch);
    // The merge compatibility of the opened files in list order: 0 cannot be merged (the reason
    // is in the file library's last error text), 1 can be merged, 3 can be merged and the files
    // are the parts of one split recording.
    int CanMergeFiles();

    // Reads a batch list: one data-file path per line; blanks around a line are dropped, and
    // empty lines and lines starting with "#" or ";" are skipped. Lines may be of any length.
    // Paths are appended to `paths` as written. kBatchCannotOpen when the file cannot be
    // opened, kBatchReadError when reading it fails (the paths read before stay).
    static int ReadBatchFile(const std::string& path, std::vector<std::string>& paths);

    // The opened files, in list order.
    int GetFileCount() const { return static_cast<int>(m_files.size()); }
    // File i, or nullptr outside 0..count-1.
    CKVD* GetFile(int i) const;
    // File i's own stream map, built by the last check; nullptr before it or outside the list.
    const CStreamChannelMap* GetFileStreams(int i) const;

    // The streams of the whole set and, in its two fields, the set's kind and mismatch.
    const CStreamChannelMap& GetStreamChannelMap() const { return m_map; }
    CKVDataSelection& GetSelection() { return m_selection; }
    const CKVDataSelection& GetSelection() const { return m_selection; }

    // True after a batch list or a set was opened, false after one file.
    bool IsMultiFile() const { return m_multiFile; }
    int GetCanMerge() const { return m_canMerge; }
    // Why the set cannot be merged (at most 255 characters); empty when it can.
    const std::string& GetMergeRefusalText() const { return m_mergeRefusalText; }

    // The paths that the next open with a null path takes, in this order.
    std::vector<std::string>& GetPathList() { return m_pathList; }

    // The opened document's path ("Multiple" for a set) and title (its file name, "Multiple" or
    // "Untitled"); "Untitled" before anything was opened. A batch list leaves both as they were.
    const std::string& GetPathName() const { return m_pathName; }
    const std::string& GetTitle() const { return m_title; }

    // When the export and merge commands can run: the files are not of mixed recording kinds,
    // their setups agree, and the set offers a stream the command can write. Merging also needs
    // a batch list or set with at least one opened file.
    bool IsConvertEnabled() const;          // ABF and binary: a raw-data stream
    bool IsConvertToAsciiEnabled() const;   // text: any stream the text converter writes
    bool IsMergeEnabled() const;

protected:
    // The windowed program's recent-file list and views; the console program has neither.
    virtual void AddToRecentFileList(const std::string& /*path*/) {}
    virtual void UpdateAllViews() {}

private:
    struct FileEntry
    {
        std::unique_ptr<CKVD> file;
        std::unique_ptr<CStreamChannelMap> streams;  // built by the check
    };

    // Opens `path` into a new entry appended to the list (kept even when it fails); reports a
    // failure with the path and returns false.
    [[nodiscard]] bool AppendFile(const std::string& path);
    void SetPathName(const std::string& pathName, const std::string& title);
    void ReportCompatibility(int total, uint16_t kind, uint16_t mismatch);
    bool SetupAgrees() const;

    CMessageReporter& m_reporter;
    std::vector<FileEntry> m_files;
    CStreamChannelMap m_map;
    CKVDataSelection m_selection;
    bool m_multiFile = false;
    int m_canMerge = 0;
    std::string m_mergeRefusalText;
    std::vector<std::string> m_pathList;
    std::string m_pathName = "Untitled";
    std::string m_title = "Untitled";
};
