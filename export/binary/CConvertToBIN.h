#pragma once
// Binary export: the selected raw channels as interleaved 16-bit little-endian samples in a
// ".raw" file, optionally after a short text head that ends in "EOH".

#include <string>
#include <vector>

#include "export/binary/CBackgroundWriter.h"
#include "export/core/CConvertInterface.h"
#include "export/core/COutputFile.h"

class CConvertToBIN : public CConvertInterface
{
public:
    CConvertToBIN(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType = nullptr);
    ~CConvertToBIN() override;

    const char* GetFileExtension() const override { return "raw"; }
    const char* GetTaskOption() const override { return "-bin"; }
    // Creates the file and, with WriteHeader, writes the head. Reports "Can not open Output file"
    // and gives false when the file cannot be created, is the input, or the head is not written.
    [[nodiscard]] bool OpenOutputFile(const std::string& path) override;
    // False when no file was open or a write, the flush or the close failed.
    [[nodiscard]] bool CloseOutputFile() override;
    // One-second blocks with progress. A block whose read fails is written as 0-volt rows after
    // the reader's message, so every later row keeps its time. 2 without output, 1/8/7 for the
    // selection, 5 on cancel, 10 after a reported write failure.
    [[nodiscard]] int WriteContinuousData(int64_t* timeOffset, bool newOutput,
                                          bool firstInput) override;
    // One sweep in one write; 10 after a reported read or write failure.
    [[nodiscard]] int WriteSweepData(unsigned sweep, int* sweepBase, int64_t* timeOffset,
                                     bool newOutput, bool firstSweep) override;
    // Waits for the last block's write: 10 when a write failed (reported).
    [[nodiscard]] int FinishOutput(bool sweeps, bool complete) override;

    // The text head, CR LF after every line, "µ" as the single byte 0xB5.
    std::string BuildHeader() const;

private:
    // Hands m_block over to be written as little-endian 16-bit samples while the next block is
    // read (m_block then holds the other buffer); gives false, after reporting, when a write
    // of a block before failed.
    [[nodiscard]] bool WriteBlock();
    // Waits for the block being written; reports a failed write and gives false.
    [[nodiscard]] bool WaitWritten();
    // Reports a failed write, once per conversion; always false, so a write and its report read
    // as one expression.
    [[nodiscard]] bool ReportWriteFailure();

    COutputFile m_output;
    std::vector<uint16_t> m_block;
    std::vector<uint16_t> m_swapped;
    bool m_writeReported = false;   // "Can not write Output file" said for this output
    // Last: its thread is gone before the file it writes to.
    CBackgroundWriter m_writer;
};
