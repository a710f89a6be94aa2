#include "app/CSondrelDoc.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/layout/CKVLayout.h"
#include "export/model/CKVD.h"
#include "platform/AsciiCase.h"
#include "platform/CMessageReporter.h"

namespace {

constexpr char kUntitled[] = "Untitled";
constexpr char kMultiple[] = "Multiple";
constexpr char kDataExtension[] = ".kvd";
constexpr char kBatchExtension[] = ".bcd";

constexpr char kNoValidExtension[] = "File has no valid extension!\n";
constexpr char kCannotOpen[] = "Error while opening the file: ";
constexpr char kCannotRead[] = "Error while reading the file: ";
constexpr char kMixedRecordings[] =
    "One or more of the selected files contain continuous data.\n"
    "One or more of the selected files contain triggered data.\n"
    "The data cannot be processed. Please load the files separately into Sondrel.\n"
    "(See the Harpstead Help for more information on continuous and triggered data.)";
constexpr char kSetupMismatch[] =
    "The data source setup of the selected data files did not match.\n"
    "The data cannot be processed. Please load the files separately into Sondrel.\n"
    "(See the Harpstead Help for more information on the data source setup.)";
constexpr char kStreamsDiffer[] =
    "The data streams of the selected files do not match.\n"
    "Only data streams present in all data files can be extracted.\n";
constexpr char kChannelsDiffer[] =
    "Info: The channel numbers of one or more data streams in the selected files do not match.\n"
    "You can select any channel numbers that are present in at least one file.";

constexpr int kStreamDifferenceWeight = 10000;

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// From the last '.' of the file name on, lower-cased; a name without '.' is its own extension.
// Only the file name is looked at, so a '.' in a folder name plays no part.
std::string ExtensionOf(const std::string& path)
{
    const std::string name = FileNameOf(path);
    const size_t dot = name.find_last_of('.');
    return AsciiLower(dot == std::string::npos ? name : name.substr(dot));
}

// A relative path of a batch list names a file beside the list, wherever the program runs.
std::string ResolveAgainstList(const std::string& listPath, const std::string& path)
{
    const size_t slash = listPath.find_last_of('/');
    if (path.empty() || path[0] == '/' || slash == std::string::npos)
        return path;
    return listPath.substr(0, slash + 1) + path;
}

int SourceTypeClass(int sourceType)
{
    return sourceType >= 0 && sourceType <= 3 ? sourceType : 4;
}

// Two layouts describe the same setup when they hold as many records and each pair agrees in
// subtype, both names and unit.
bool SameLayout(const CKVLayout& a, const CKVLayout& b)
{
    if (a.GetRecordCount() != b.GetRecordCount())
        return false;
    LayoutRecord ra, rb;
    for (int i = 0; i < a.GetRecordCount(); ++i) {
        if (!a.GetRecord(ra, i) || !b.GetRecord(rb, i))
            return false;
        if (ra.subtype != rb.subtype || ra.name != rb.name || ra.secondName != rb.secondName
            || ra.unitId != rb.unitId)
            return false;
    }
    return true;
}

const char kBlanks[] = " \t\r\n\v\f";

void TakeBatchLine(std::string& line, std::vector<std::string>& paths)
{
    const size_t first = line.find_first_not_of(kBlanks);
    if (first != std::string::npos && line[first] != '#' && line[first] != ';') {
        const size_t last = line.find_last_not_of(kBlanks);
        paths.push_back(line.substr(first, last - first + 1));
    }
    line.clear();
}

} // namespace

CSondrelDoc::CSondrelDoc(CMessageReporter& reporter) : m_reporter(reporter)
{
}

CSondrelDoc::~CSondrelDoc() = default;

void CSondrelDoc::ReportError(const std::string& text)
{
    m_reporter.Report(text);
}

void CSondrelDoc::DeleteAllFiles()
{
    m_files.clear();
}

CKVD* CSondrelDoc::GetFile(int i) const
{
    return i >= 0 && i < GetFileCount() ? m_files[i].file.get() : nullptr;
}

const CStreamChannelMap* CSondrelDoc::GetFileStreams(int i) const
{
    return i >= 0 && i < GetFileCount() ? m_files[i].streams.get() : nullptr;
}

bool CSondrelDoc::AppendFile(const std::string& path)
{
    FileEntry entry;
    entry.file = std::make_unique<CKVD>();
    const bool opened = entry.file->Open(path);
    m_files.push_back(std::move(entry));
    if (!opened)
        ReportError(kCannotOpen + path);
    return opened;
}

void CSondrelDoc::SetPathName(const std::string& pathName, const std::string& title)
{
    m_pathName = pathName;
    m_title = title;
}

bool CSondrelDoc::OnOpenDocument(const char* path)
{
    m_multiFile = false;
    m_canMerge = 0;
    m_mergeRefusalText.clear();
    bool result = true;
    bool multi = false;

    if (!path) {
        multi = true;
        DeleteAllFiles();
        for (const std::string& member : m_pathList) {
            if (ExtensionOf(member) != kDataExtension) {
                ReportError(kNoValidExtension + member);
                result = false;
                break;
            }
            if (!AppendFile(member))
                result = false;
        }
        if (result) {
            std::stable_sort(m_files.begin(), m_files.end(),
                             [](const FileEntry& a, const FileEntry& b) {
                                 return a.file->GetStreamFile().GetStartTimeStamp().GetTime()
                                     < b.file->GetStreamFile().GetStartTimeStamp().GetTime();
                             });
            SetPathName(kMultiple, kMultiple);
        }
    } else if (ExtensionOf(path) == kDataExtension) {
        DeleteAllFiles();
        if (AppendFile(path)) {
            SetPathName(path, FileNameOf(path));
            AddToRecentFileList(path);
        } else {
            result = false;
        }
    } else if (ExtensionOf(path) == kBatchExtension) {
        multi = true;
        std::vector<std::string> listed;
        switch (ReadBatchFile(path, listed)) {
        case kBatchRead:
            AddToRecentFileList(path);
            DeleteAllFiles();
            for (const std::string& member : listed) {
                if (!AppendFile(ResolveAgainstList(path, member)))
                    result = false;
            }
            break;
        case kBatchCannotOpen:
            ReportError(kCannotOpen + std::string(path));
            result = false;
            break;
        default:
            ReportError(kCannotRead + std::string(path));
            result = false;
            break;
        }
    } else {
        ReportError(kNoValidExtension + std::string(path));
        result = false;
    }

    if (!result) {
        m_map.RemoveAll();
        m_map.SetRecordingKind(0);
        m_map.SetSetupMismatch(0);
        DeleteAllFiles();
        SetPathName(kUntitled, kUntitled);
    } else {
        m_multiFile = multi;
        m_canMerge = CanMergeFiles();
        if (m_canMerge == 0) {
            m_mergeRefusalText = CKVTAStreamFile::GetLastErrorText();
            if (m_mergeRefusalText.size() > kMaxRefusalTextLength)
                m_mergeRefusalText.resize(kMaxRefusalTextLength);
        }
        uint16_t kind = 0;
        uint16_t mismatch = 0;
        const int total = CheckFilesCompatible(kind, mismatch);
        ReportCompatibility(total, kind, mismatch);
    }
    UpdateAllViews();
    return result;
}

void CSondrelDoc::ReportCompatibility(int total, uint16_t kind, uint16_t mismatch)
{
    if (kind == kMixed) {
        ReportError(kMixedRecordings);
    } else if (mismatch != 0) {
        ReportError(kSetupMismatch);
    } else if (total != 0) {
        std::string text;
        if (total >= kStreamDifferenceWeight)
            text += kStreamsDiffer;
        if (total % kStreamDifferenceWeight != 0)
            text += kChannelsDiffer;
        ReportError(text);
    }
}

int CSondrelDoc::CheckFilesCompatible(uint16_t& kind, uint16_t& mismatch)
{
    kind = 0;
    mismatch = 0;
    int referenceSource = -1;
    for (size_t i = 0; i < m_files.size(); ++i) {
        const CKVTAStreamFile& file = m_files[i].file->GetStreamFile();
        kind |= file.GetTriggerStreamIndex() < 0 ? kContinuous : kTriggered;
        const int source = SourceTypeClass(file.GetSourceType());
        if (i == 0)
            referenceSource = source;
        else if (source != referenceSource)
            mismatch = 1;
        if (i + 1 < m_files.size()
            && !SameLayout(file.GetLayout(), m_files[i + 1].file->GetStreamFile().GetLayout()))
            mismatch = 1;
        auto streams = std::make_unique<CStreamChannelMap>();
        streams->AddFileStreams(file);
        m_files[i].streams = std::move(streams);
    }

    m_map.RemoveAll();
    int64_t total = 0;
    for (size_t i = 0; i < m_files.size(); ++i) {
        const int difference = m_map.Merge(*m_files[i].streams, i == 0);
        if (i > 0)
            total += difference;
    }
    m_map.SetRecordingKind(kind);
    m_map.SetSetupMismatch(mismatch);
    return static_cast<int>(std::min<int64_t>(total, INT32_MAX));
}

int CSondrelDoc::CanMergeFiles()
{
    std::vector<CKVTAStreamFile*> files;
    files.reserve(m_files.size());
    for (const FileEntry& entry : m_files)
        files.push_back(&entry.file->GetStreamFile());
    return CKVTAStreamFile::CheckMergeCompatibility(files.data(), static_cast<int>(files.size()));
}

int CSondrelDoc::ReadBatchFile(const std::string& path, std::vector<std::string>& paths)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return kBatchCannotOpen;
    std::vector<char> block(64 * 1024);
    std::string line;
    size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
        const char* at = block.data();
        const char* end = at + got;
        while (at < end) {
            const char* feed = static_cast<const char*>(std::memchr(at, '\n', end - at));
            line.append(at, feed ? feed : end);
            if (!feed)
                break;
            TakeBatchLine(line, paths);
            at = feed + 1;
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return kBatchReadError;
    TakeBatchLine(line, paths);
    return kBatchRead;
}

bool CSondrelDoc::SetupAgrees() const
{
    return m_map.GetRecordingKind() != kMixed && m_map.GetSetupMismatch() == 0;
}

bool CSondrelDoc::IsConvertEnabled() const
{
    return SetupAgrees() && m_map.HasRawDataStream();
}

bool CSondrelDoc::IsConvertToAsciiEnabled() const
{
    return SetupAgrees()
        && (m_map.HasRawDataStream() || m_map.HasTriggerStream() || m_map.HasSpikeStream()
            || m_map.HasAverageStream() || m_map.HasParameterStream()
            || m_map.HasSpikeParameterStream() || m_map.HasBurstParameterStream());
}

bool CSondrelDoc::IsMergeEnabled() const
{
    return m_multiFile && !m_files.empty() && SetupAgrees();
}
