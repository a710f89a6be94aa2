#include "export/binary/CConvertToBIN.h"

#include "datafile/container/CKVTAStream.h"
#include "export/core/StringHelpers.h"
#include "export/core/VersionInfo.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"

namespace {

const char kOpenFailed[] = "Can not open Output file";
const char kWriteFailed[] = "Can not write Output file";
const char kLineEnd[] = "\r\n";

constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

} // namespace

CConvertToBIN::CConvertToBIN(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType)
    : CConvertInterface(dataSource, selection, recordingType),
      m_writer([this](const uint16_t* values, size_t count) {
          return m_output.Write(values, count * sizeof(uint16_t));
      })
{
}

CConvertToBIN::~CConvertToBIN() = default;

std::string CConvertToBIN::BuildHeader() const
{
    const CKVDataSelection* selection = GetSelection();
    const CKVD* source = GetDataSource();
    const auto streamOf = [source](const std::string& name) -> const CKVTAStream* {
        return source ? source->FindStream(name) : nullptr;
    };
    VersionInfo version;
    version.LoadFromModule();

    std::string head;
    head += "Sondrel binary conversion";
    head += kLineEnd;
    head += "Version " + version.GetFileVersionText() + kLineEnd;
    head += "KV_REC file = \"" + (source ? source->GetPath() : std::string()) + "\"" + kLineEnd;
    head += FormatString("Sample rate = %d", selection ? selection->GetFirstEntryValue() : 0) + kLineEnd;
    const CKVDataSelection::Entry* first = selection ? selection->At(0) : nullptr;
    const CKVTAStream* firstStream = first ? streamOf(first->streamName) : nullptr;
    head += FormatString("ADC zero = %d", firstStream ? firstStream->GetAdcZero() : 0) + kLineEnd;

    // One scale group per two-character stream prefix, in the order the prefixes first appear.
    std::string groups;
    std::string streams = "Streams = ";
    std::vector<std::string> seen;
    for (int e = 0; selection && e < selection->GetCount(); ++e) {
        const CKVDataSelection::Entry* entry = selection->At(e);
        const std::string prefix = entry->streamName.substr(0, 2);
        streams += prefix + "_" + entry->channelName + ";";
        bool met = false;
        for (const std::string& p : seen)
            met = met || p == prefix;
        if (met)
            continue;
        seen.push_back(prefix);
        const CKVTAStream* stream = streamOf(entry->streamName);
        const double scale = stream ? stream->GetVoltsPerStep() * 1000000.0 : 0.0;
        groups += prefix + " = " + FormatString("%.4f", scale) + "\xB5V/AD;";
    }
    if (!groups.empty())
        groups.pop_back();
    streams.pop_back();
    head += groups + kLineEnd;
    head += streams + kLineEnd;
    head += "EOH";
    head += kLineEnd;
    return head;
}

bool CConvertToBIN::OpenOutputFile(const std::string& path)
{
    m_writeReported = false;
    // Creating the output empties it first: never over the recording being read.
    if (m_output.IsOpen() || IsInputFile(path) || !m_output.Open(path)) {
        ReportError(kOpenFailed);
        return false;
    }
    if (Options().WriteHeader && !m_output.WriteText(BuildHeader())) {
        (void)m_output.Close();
        ReportError(kOpenFailed);
        return false;
    }
    return true;
}

bool CConvertToBIN::CloseOutputFile()
{
    const bool written = WaitWritten();
    return m_output.Close() && written;
}

bool CConvertToBIN::ReportWriteFailure()
{
    if (!m_writeReported)
        ReportError(kWriteFailed);
    m_writeReported = true;
    return false;
}

bool CConvertToBIN::WaitWritten()
{
    return m_writer.Finish() || ReportWriteFailure();
}

bool CConvertToBIN::WriteBlock()
{
    if (kLittleEndianHost)
        return m_writer.Submit(m_block) || ReportWriteFailure();
    m_swapped.resize(m_block.size());
    for (size_t i = 0; i < m_block.size(); ++i)
        m_swapped[i] = static_cast<uint16_t>((m_block[i] >> 8) | (m_block[i] << 8));
    return m_output.Write(m_swapped.data(), m_swapped.size() * sizeof(uint16_t)) || ReportWriteFailure();
}

int CConvertToBIN::FinishOutput(bool, bool)
{
    return WaitWritten() ? kConvertOk : kConvertReported;
}

int CConvertToBIN::WriteSweepData(unsigned sweep, int*, int64_t*, bool, bool)
{
    if (!m_output.IsOpen())
        return kConvertOpenFailed;
    std::vector<std::string> names;
    if (const int rc = CheckRawSelection(names))
        return rc;
    int rows = 0;
    if (!ReadSweepRawData(static_cast<int>(sweep), m_block, rows, Options().ToSigned != 0)) {
        ReportError(FormatString("Error reading sweep %u. Stopped conversion.", sweep + 1));
        return kConvertReported;
    }
    return WriteBlock() ? kConvertOk : kConvertReported;
}

int CConvertToBIN::WriteContinuousData(int64_t*, bool, bool)
{
    if (!m_output.IsOpen())
        return kConvertOpenFailed;
    std::vector<std::string> names;
    if (const int rc = CheckRawSelection(names))
        return rc;
    const bool toSigned = Options().ToSigned != 0;
    const int rc = ForEachContinuousBlock([this, toSigned](int64_t from, int64_t to) {
        int rows = 0;
        // A failed read has been reported and left 0-volt rows in the block: they are written.
        (void)ReadContinuousRawData(from, to, m_block, rows, toSigned);
        return WriteBlock() ? kConvertOk : kConvertReported;
    }, true);
    // A write still going when the blocks ran out, or were cancelled, is checked here: its
    // failure is the result, as it was when each block was written before going on.
    if (!WaitWritten() && (rc == kConvertOk || rc == kConvertCancelled))
        return kConvertReported;
    return rc;
}
