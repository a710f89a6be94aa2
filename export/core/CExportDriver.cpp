#include "export/core/CExportDriver.h"

#include <utility>

#include "export/core/CConvertInterface.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"

CExportDriver::CExportDriver(CConvertInterface& converter, ExportBatch batch)
    : m_converter(converter), m_batch(std::move(batch))
{
}

bool CExportDriver::OpensEachOutput(bool singleOutfile, bool oneOutputForAllSweeps,
                                    bool assumeSplittedFile)
{
    return !(singleOutfile && oneOutputForAllSweeps && assumeSplittedFile);
}

int CExportDriver::Run()
{
    m_removed = 0;
    m_sweepBase = 0;
    m_timeOffset = 0;
    const std::vector<CKVD*>* files = m_converter.GetFileList();
    return files ? ConvertSeveral(*files) : ConvertOne();
}

int CExportDriver::ConvertOne()
{
    CConvertInterface& c = m_converter;
    if (m_batch.baseIsPressedStart && c.GetDataSource())
        m_timeOffset = c.GetDataSource()->GetPressTimeUs();
    const int result = c.Convert(&m_sweepBase, &m_timeOffset, true, true);
    if (CKVDataSelection* selection = c.GetSelection())
        selection->DeleteEntryObjects();
    return result;
}

int CExportDriver::ConvertSeveral(const std::vector<CKVD*>& files)
{
    CConvertInterface& c = m_converter;
    const bool perFile = m_batch.perFile;
    // A single output that did not open is never written to.
    if (!perFile && !c.OpenOutputFile(c.GetOutputName()))
        return kConvertOpenFailed;
    CKVD* const source = c.GetDataSource();
    CKVDataSelection* const selection = c.GetSelection();
    const std::string outputName = c.GetOutputName();
    int result = kConvertOk;
    bool missing = false;
    for (size_t k = 0; k < files.size(); ++k) {
        CKVD& file = *files[k];
        const int index = static_cast<int>(k);
        // The copy starts without per-entry objects: the converter attaches its own.
        CKVDataSelection copy(selection ? *selection : CKVDataSelection());
        if (copy.GetCount() == 0) {
            result = kConvertNoChannels;
            break;
        }
        const CStreamChannelMap* streams =
            m_batch.fileStreams ? m_batch.fileStreams(index) : nullptr;
        m_removed += streams ? streams->RemoveUnavailable(copy) : 0;
        if (m_removed != 0 && !perFile) {
            result = kConvertChannelsMissing;
            break;
        }
        result = ConvertInput(index, file, copy);
        c.SetSelection(selection);
        // A file with unreadable blocks was written whole and named them: the next one follows.
        if (result == kConvertReported && c.HasMissingData()) {
            missing = true;
            result = kConvertOk;
        }
        if (result >= kConvertOpenFailed)
            break;
        if (result == kConvertNoChannels) {
            if (m_batch.reportNoChannels)
                m_batch.reportNoChannels(file.GetPath());
            result = kConvertOk;
        }
    }
    // A single output that cannot be finished is incomplete: never report it as written.
    if (!perFile && !c.CloseOutputFile() && result == kConvertOk)
        result = kConvertCloseFailed;
    if (missing && result == kConvertOk)
        result = kConvertReported;
    c.SetDataSource(source);
    c.SetSelection(selection);
    if (!perFile)
        c.SetOutputName(outputName);
    return result;
}

int CExportDriver::ConvertInput(int index, CKVD& file, CKVDataSelection& selection)
{
    CConvertInterface& c = m_converter;
    const int sweeps = file.GetStreamFile().GetSweepCount();
    c.SetDataSource(&file);
    c.SetSelection(&selection);
    c.SetSweepRange(1, static_cast<unsigned>(sweeps));
    c.SetInputName(file.GetPath());
    if (m_batch.outputName)
        c.SetOutputName(m_batch.outputName());
    if (!m_batch.assumeSplittedFile) {
        m_sweepBase = 0;
        m_timeOffset = 0;
    }
    if (m_batch.baseIsPressedStart)
        m_timeOffset = file.GetPressTimeUs();
    const int result = c.Convert(&m_sweepBase, &m_timeOffset, m_batch.perFile,
                                 index == 0 || !m_batch.assumeSplittedFile);
    m_sweepBase += sweeps;
    return result;
}
