#include "export/abf/CConvertToABF.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTATimeStamp.h"
#include "export/abf/AbfMessages.h"
#include "export/abf/CABF.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "platform/Numeric.h"

namespace {

constexpr int kOperationEpisodic = 2;
constexpr int kOperationGapFree = 3;

// The library's text for an error of a file that has no open handle (yet).
std::string ErrorText(int error, const std::string& path)
{
    bool known = false;
    const std::string text = AbfErrorText(error, path, &known);
    return known ? "ERROR: " + text : FormatString("Unknown error number: %d\r\n", error);
}

// The stream's unit character, taken from its format byte; a byte that is no character gives
// 'V': the channels are scaled to microvolts from volts per step.
char UnitCharacter(const CKVTAStream* stream)
{
    const int unit = stream ? stream->GetFormatByte() : 0;
    return unit > ' ' && unit < 0x7F ? static_cast<char>(unit) : 'V';
}

} // namespace

CConvertToABF::CConvertToABF(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType,
                             CABF* abf)
    : CConvertInterface(dataSource, selection, recordingType), m_abf(abf)
{
    if (!m_abf) {
        m_ownAbf = std::make_unique<CABF>();
        m_abf = m_ownAbf.get();
    }
}

CConvertToABF::~CConvertToABF()
{
    if (m_abf->IsOpen())
        (void)CloseOutputFile();   // it reports its own failure
}

int CConvertToABF::SampleRate() const
{
    // The front ends store the rate in Hz with each entry; the stream's own rate stands in
    // where that was left at 0.
    const CKVDataSelection* selection = GetSelection();
    if (!selection || selection->GetCount() == 0)
        return 0;
    if (selection->GetFirstEntryValue() > 0)
        return selection->GetFirstEntryValue();
    const CKVTAStream* stream = GetDataSource() ? GetDataSource()->FindStream(selection->At(0)->streamName) : nullptr;
    return stream ? stream->GetSampleRate() : 0;
}

int32_t CConvertToABF::EpisodeSamples() const
{
    if (!GetDataSource() || !GetSelection())
        return 0;
    const int32_t perChannel = MulDiv(SampleRate(), GetDataSource()->GetStreamFile().GetSweepLength(), 1000);
    const int64_t samples = static_cast<int64_t>(perChannel) * GetSelection()->GetCount();
    return perChannel > 0 && samples <= INT32_MAX ? static_cast<int32_t>(samples) : 0;
}

AbfStreamScaling CConvertToABF::Scaling(const CKVTAStream* stream) const
{
    AbfStreamScaling scaling;
    if (stream) {
        scaling.adcBits = stream->GetAdcBits();
        scaling.adcZero = stream->GetAdcZero();
        scaling.voltsPerStep = stream->GetVoltsPerStep();
    }
    scaling.rangeCode = GetDataSource() ? GetDataSource()->GetStreamFile().GetVersion8Value() : 0;
    return scaling;
}

int CConvertToABF::CheckAbfSelection() const
{
    std::vector<std::string> names;
    if (const int rc = CheckRawSelection(names))
        return rc;
    // The header describes 16 channels, with one ADC resolution for all of them.
    if (GetSelection()->GetCount() > kAbfAdcCount || SampleRate() <= 0)
        return kConvertIncompatible;
    int sixteenBit = 0;
    for (const std::string& name : names)
        if (GetDataSource()->FindStream(name)->GetAdcBits() == 16)
            ++sixteenBit;
    if (sixteenBit != 0 && sixteenBit != static_cast<int>(names.size()))
        return kConvertIncompatible;
    return kConvertOk;
}

int CConvertToABF::CheckBeforeOpen()
{
    if (const int rc = CheckAbfSelection())
        return rc;
    const int64_t entries = GetSelection()->GetCount();
    int64_t total = 0;
    if (IsContinuous()) {
        // A stop time far out (as a damaged header may give) must not overflow the product.
        const int64_t stopUs = std::max<int64_t>(RecordingStopUs(), 0);
        const __int128 rows = static_cast<__int128>(SampleRate()) * stopUs / 1000000 + 1;
        total = static_cast<int64_t>(std::min<__int128>(rows * entries, INT64_MAX));
    } else {
        const int32_t episode = EpisodeSamples();
        if (episode <= 0) {
            ReportError(FormatString("The sweep length of %d ms cannot be written as ABF episodes.",
                                     GetDataSource()->GetStreamFile().GetSweepLength()));
            return kConvertReported;
        }
        const int64_t sweeps = GetSingleOutput() ? static_cast<int64_t>(GetLastSweep()) - GetFirstSweep() + 1 : 1;
        total = sweeps * episode;
    }
    // ABF 1.x counts samples, episode starts and tag times in 32 bits.
    if (total > INT32_MAX) {
        ReportError(FormatString("The export holds %lld samples; an ABF file holds at most %d. "
                                 "Select fewer channels or sweeps.",
                                 static_cast<long long>(total), INT32_MAX));
        return kConvertReported;
    }
    return kConvertOk;
}

int CConvertToABF::SetupHeader(int episodes)
{
    if (const int rc = CheckAbfSelection())
        return rc;
    CKVD& source = *GetDataSource();
    const CKVDataSelection& selection = *GetSelection();
    CKVTAStreamFile& file = source.GetStreamFile();
    const int entries = selection.GetCount();
    const int rate = SampleRate();

    AbfInitFileHeader(m_abf->Header());
    // A continuous recording is gap-free even when it has a trigger stream: it has no sweeps.
    if (IsContinuous() || file.GetTriggerStreamIndex() < 0) {
        m_abf->SetOperationMode(kOperationGapFree);
        m_abf->SetEpisodes(1);
    } else {
        m_abf->SetOperationMode(kOperationEpisodic);
        m_abf->SetEpisodes(episodes);
        m_abf->SetSamplesPerEpisode(EpisodeSamples());
    }
    const CKVTAStream* first = source.FindStream(selection.At(0)->streamName);
    m_abf->SetAdcChannelCount(entries);
    m_abf->SetAdcSampleInterval(static_cast<float>(1.0 / (static_cast<double>(entries) * rate) * 1000000.0));
    m_abf->SetAdcResolution(Scaling(first));

    m_twosComplement.assign(static_cast<size_t>(entries), false);
    for (int i = 0; i < entries; ++i) {
        const CKVDataSelection::Entry& entry = *selection.At(i);
        const CKVTAStream* stream = source.FindStream(entry.streamName);
        m_twosComplement[static_cast<size_t>(i)] = stream->GetAdcBits() == 16;
        m_abf->SetAdcChannelName(i, CABF::MakeChannelName(entry.streamName, entry.channelName));
        m_abf->SetAdcUnits(i, UnitCharacter(stream));
        m_abf->SetChannelScaling(i, Scaling(stream),
                                 source.GetChannelExtensionValue(entry.streamName, entry.channelName));
        if (m_twosComplement[static_cast<size_t>(i)] && stream->GetAdcZero() != 32768 && i < kAbfAdcCount)
            SetSixteenBitOffset(i, stream->GetAdcZero());
    }

    if (std::unique_ptr<CKVTATimeStamp> local = file.GetStartTimeStamp().ToLocalTime()) {
        SYSTEMTIME start;
        start.wYear = static_cast<uint16_t>(local->GetYear());
        start.wMonth = static_cast<uint16_t>(local->GetMonth());
        start.wDay = static_cast<uint16_t>(local->GetDay());
        start.wHour = static_cast<uint16_t>(local->GetHour());
        start.wMinute = static_cast<uint16_t>(local->GetMinute());
        start.wSecond = static_cast<uint16_t>(local->GetSecond());
        start.wMilliseconds = static_cast<uint16_t>(local->GetMillisecond());
        m_abf->SetFileStartTime(start);
    }
    return kConvertOk;
}

void CConvertToABF::SetSixteenBitOffset(int channel, uint16_t adcZero)
{
    // 16-bit samples are written less 32768; a stream whose 0 V lies elsewhere needs the rest
    // of its zero as offset, in the units the channel's scaling gives.
    AbfFileHeader& h = m_abf->Header();
    const double gain = h.Get<float>(AbfField::fADCRange)
                        / (static_cast<double>(h.Get<float>(AbfField::fInstrumentScaleFactor + 4 * channel))
                           * h.Get<int32_t>(AbfField::lADCResolution));
    const double offset = -(static_cast<double>(adcZero) - 32768.0) * gain;
    if (std::isfinite(offset))
        h.Set<float>(AbfField::fInstrumentOffset + 4 * channel, static_cast<float>(offset));
}

bool CConvertToABF::OpenOutputFile(const std::string& path)
{
    m_episodeCounter = 0;
    m_samplesWritten = 0;
    if (m_abf->IsOpen() || IsInputFile(path)) {
        ReportError(ErrorText(kAbfOpenFailed, path));
        return false;
    }
    const int episodes = IsContinuous() || !GetSingleOutput()
                             ? 1
                             : static_cast<int>(GetLastSweep() - GetFirstSweep() + 1);
    if (SetupHeader(episodes) != kConvertOk) {
        ReportError(ErrorText(kAbfInvalidParameters, path));
        return false;
    }
    int error = 0;
    if (!m_abf->OpenForWrite(path, &error)) {
        ReportError(ErrorText(error, path));
        return false;
    }
    m_headerCurrent = false;
    return true;
}

bool CConvertToABF::UpdateHeader()
{
    int error = 0;
    if (m_abf->UpdateHeader(&error)) {
        m_headerCurrent = true;
        return true;
    }
    ReportError(m_abf->ErrorMessage(error));
    (void)m_abf->Close();   // the header's failure is the one reported
    return false;
}

bool CConvertToABF::CloseOutputFile()
{
    if (!m_abf->IsOpen())
        return false;
    bool ok = m_headerCurrent || UpdateHeader();
    if (!m_abf->IsOpen())
        return false;
    int error = 0;
    if (!m_abf->Close(&error)) {
        ReportError("Can not close file. Error: " + m_abf->LibraryText(error));
        ok = false;
    }
    return ok;
}

int CConvertToABF::FinishOutput(bool, bool complete)
{
    // Gap-free files hold tags as episodic ones do, counted from the recording start.
    if (m_saveTags)
        if (const int rc = WriteTriggerTags())
            return rc;
    // A failed header update has been reported with the library's text: that is result 10.
    if (complete && !m_headerCurrent && !UpdateHeader())
        return kConvertReported;
    return kConvertOk;
}

void CConvertToABF::ToAbfValues(std::vector<uint16_t>& values) const
{
    const size_t entries = m_twosComplement.size();
    if (entries == 0)
        return;
    // Taking 32768 off a 16-bit value flips its top bit. A mask of four rows (a whole number of
    // 64-bit words) goes over the values four values at a time: no division per sample.
    constexpr size_t kMaskRows = 4;
    std::vector<uint16_t> mask(entries * kMaskRows);
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = m_twosComplement[i % entries] ? 0x8000u : 0u;
    std::vector<uint64_t> words(mask.size() / 4);
    std::memcpy(words.data(), mask.data(), mask.size() * sizeof(uint16_t));
    uint8_t* bytes = reinterpret_cast<uint8_t*>(values.data());
    const size_t n = values.size();
    const size_t span = mask.size();
    size_t i = 0;
    for (; span <= n - i; i += span) {
        for (size_t w = 0; w < words.size(); ++w) {
            uint64_t word;
            std::memcpy(&word, bytes + 2 * i + 8 * w, sizeof word);
            word ^= words[w];
            std::memcpy(bytes + 2 * i + 8 * w, &word, sizeof word);
        }
    }
    for (size_t j = 0; i < n; ++i, ++j)
        values[i] = static_cast<uint16_t>(values[i] ^ mask[j]);
}

bool CConvertToABF::AppendSamples(const std::vector<uint16_t>& values, size_t count, int32_t start)
{
    if (count == 0)
        return true;
    int error = 0;
    // int16_t and uint16_t may alias: the bits are the two's-complement samples.
    const int16_t* samples = reinterpret_cast<const int16_t*>(values.data());
    m_headerCurrent = false;
    if (!m_abf->WriteMultiplexData(samples, static_cast<uint32_t>(count), start, 0, &error)) {
        ReportError(m_abf->ErrorMessage(error));
        return false;
    }
    m_samplesWritten += static_cast<int64_t>(count);
    return true;
}

int CConvertToABF::WriteContinuousData(int64_t*, bool, bool)
{
    if (!m_abf->IsOpen())
        return kConvertOpenFailed;
    if (const int rc = CheckAbfSelection())
        return rc;
    return ForEachContinuousBlock([this](int64_t from, int64_t to) {
        int rows = 0;
        // A failed read has been reported and left 0-volt rows in the block: they are written.
        (void)ReadContinuousRawData(from, to, m_block, rows, false);
        ToAbfValues(m_block);
        const int32_t start = static_cast<int32_t>(std::min<int64_t>(m_samplesWritten, INT32_MAX));
        return AppendSamples(m_block, m_block.size(), start) ? kConvertOk : kConvertReported;
    }, true);
}

int CConvertToABF::WriteSweepData(unsigned sweep, int*, int64_t*, bool, bool)
{
    if (!m_abf->IsOpen())
        return kConvertOpenFailed;
    if (const int rc = CheckAbfSelection())
        return rc;
    const int32_t episode = EpisodeSamples();
    if (episode <= 0)
        return kConvertIncompatible;
    int rows = 0;
    if (!ReadSweepRawData(static_cast<int>(sweep), m_block, rows, false)) {
        ReportError(FormatString("Error reading sweep %u. Stopped conversion.", sweep + 1));
        return kConvertReported;
    }
    // Every episode holds exactly the header's length: pad with 0 V, or cut.
    const size_t entries = static_cast<size_t>(GetSelection()->GetCount());
    const size_t length = static_cast<size_t>(episode);
    const size_t have = m_block.size();
    m_block.resize(std::max(have, length));
    for (size_t i = have; i < length; ++i)
        m_block[i] = ZeroVoltValue(static_cast<int>(i % entries), false);
    ToAbfValues(m_block);
    const int64_t start = static_cast<int64_t>(m_episodeCounter) * episode;
    if (!AppendSamples(m_block, length, static_cast<int32_t>(std::min<int64_t>(start, INT32_MAX))))
        return kConvertReported;
    ++m_episodeCounter;
    return kConvertOk;
}

int CConvertToABF::WriteTriggerTags()
{
    CKVD& source = *GetDataSource();
    int dropped = 0;
    for (int i = 0; i < source.GetStreamFile().GetStreamCount(); ++i) {
        CKVTAStream* stream = source.GetStream(i);
        if (!stream || stream->GetBufferType() != "trigger")
            continue;
        std::vector<double> times;
        if (!source.GetEventTimes(stream, times))
            continue;
        const int rate = stream->GetSampleRate() > 0 ? stream->GetSampleRate() : SampleRate();
        const std::string comment = stream->GetChannelName(0);
        for (double seconds : times) {
            const double samples = std::trunc(seconds * rate);
            // A time ABF's 32-bit tag field cannot hold would point somewhere else entirely.
            if (!(samples >= 0.0 && samples <= INT32_MAX)) {
                ++dropped;
                continue;
            }
            int error = 0;
            m_headerCurrent = false;
            if (!m_abf->WriteTag(static_cast<int32_t>(samples), comment, &error)) {
                ReportError(m_abf->ErrorMessage(error));
                return kConvertReported;
            }
        }
    }
    if (dropped > 0)
        ReportError(FormatString("%d trigger events lie outside the time range of ABF tags and were "
                                 "not saved.", dropped));
    return kConvertOk;
}
