// Writing a recorded-data file: the header area and the finishing step of a merge output.

#include "datafile/container/CKVTAStreamFile.h"

#include <vector>

#include "datafile/container/KvdFormat.h"
#include "platform/CByteWriter.h"
#include "platform/File64.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr const char* kWriteError = "Error writing output file.";
constexpr const char* kReadBackError = "Error reading output file.";
constexpr const char* kCanceled = "Merging canceled.";

bool WriteAll(FILE* file, const std::vector<uint8_t>& bytes)
{
    return file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

} // namespace

int CKVTAStreamFile::WriteHeader(FILE* file)
{
    const int64_t at = Tell64(file);
    if (at < 0)
        return 1;
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.PutId(Kvd::kIdMagic).PutBytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8);
    out.PutId(Kvd::kIdListHeader).Put<int64_t>(m_listHeaderSize);
    out.PutId(Kvd::kIdFileHeader).Put<int64_t>(Kvd::kFileHeaderSizeWritten);
    out.PutBytes(m_header.Block().data(), m_header.Block().size());
    if (m_header.GetLayoutKind() == CKVLayout::kIndividualLayout)
        m_layout.AppendLayoutChunk(bytes);
    if (m_header.GetStimulatorFlag() != 0)
        m_stimulator.WriteChunk(bytes);
    const int32_t streams = m_header.GetStreamCount();
    for (size_t i = 0; i < m_streams.size() && static_cast<int64_t>(i) < streams; ++i)
        m_streams[i]->AppendTo(bytes);
    out.PutId(Kvd::kIdIndexPosition).Put<int64_t>(8);
    m_indexPositionField = static_cast<uint64_t>(at) + bytes.size();
    out.Put<int64_t>(0);
    return WriteAll(file, bytes) ? 0 : 1;
}

int CKVTAStreamFile::FinaliseMerge()
{
    if (!m_file || !m_hasHeader) {
        SetLastErrorText(kWriteError);
        return 1;
    }
    m_header.Set<int32_t>(FH::kIndexFlag, 1);
    // The index is generated from the chunks as they now are in the output: everything written
    // must reach the file before it is read back through the reader and a fresh chunk chain.
    const int64_t end = fflush(m_file) == 0 ? Tell64(m_file) : -1;
    if (end < 0 || static_cast<uint64_t>(end) < m_dataStart) {
        SetLastErrorText(kWriteError);
        return 1;
    }
    const uint64_t indexPosition = static_cast<uint64_t>(end);
    m_reader.Attach(m_file);
    ResetChain(indexPosition);
    for (const auto& stream : m_streams)
        stream->ClearChunks();
    ClearIndex();
    if (!GenerateIndex()) {
        SetLastErrorText(kCanceled);
        return 1;
    }
    // The heads copied may no longer tell the sweeps the inputs' readers saw.
    if (!m_mergeSweeps.empty())
        m_index.SetSweeps(m_mergeSweeps);
    // Every chunk written must have been found again, or the index would silently miss data.
    const int64_t written = m_header.GetDataChunkCount();
    m_chain.ScanAll();
    if (written < 0 || (written > 0 && !m_chain.Has(static_cast<size_t>(written - 1)))
        || m_chain.Has(static_cast<size_t>(written))) {
        SetLastErrorText(kReadBackError);
        return 1;
    }
    m_indexPosition = indexPosition;

    std::vector<uint8_t> index;
    m_index.AppendHeader(index, m_path, GetStreamCount());
    m_index.AppendRecords(index);
    std::vector<uint8_t> position;
    CByteWriter(position).Put<int64_t>(end);
    // The second header area must end exactly where the data starts, or it would overwrite the
    // first chunk.
    if (!Seek64(m_file, end) || !WriteAll(m_file, index) || !Seek64(m_file, 0) || WriteHeader(m_file) != 0
        || Tell64(m_file) != static_cast<int64_t>(m_dataStart) || !Seek64(m_file, static_cast<int64_t>(m_indexPositionField))
        || !WriteAll(m_file, position)) {
        SetLastErrorText(kWriteError);
        return 1;
    }
    return 0;
}
