#pragma once
// Binary export: the selected raw channels as interleaved 16-bit little-endian samples in a
// ".raw" file, optionally after a short text head that ends in "EOH".

#include <string>
#include <vector>

#include "export/CConvertInterface.h"
#include "export/COutputFile.h"

class CConvertToBIN : public CConvertInterface
{
public:
    CConvertToBIN(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType = nullptr);
    ~CConvertToBIN() override;

    const char* GetFileExtension() const override { return "raw"; }
    const char* GetTaskOption() const override { return "-bin"; }
    // Creates the file and, with WriteHeader, writes the head. Reports "Can not open Output file"
    // and gives false when the file cannot be created, is the input, or the head is not written.
    bool OpenOutputFile(const std::string& path) override;
    // False when no file was open or a write, the flush or the close failed.
    bool CloseOutputFile() override;
    // One-second blocks with progress. A block whose read fails is written as 0-volt rows after
    // the reader's message, so every later row keeps its time. 2 without output, 1/8/7 for the
    // selection, 5 on cancel, 10 after a reported write failure.
    int WriteContinuousData(int64_t* timeOffset, bool newOutput, bool firstInput) override;
    // One sweep in one write; 10 after a reported read or write failure.
    int WriteSweepData(unsigned sweep, int* sweepBase, int64_t* timeOffset, bool newOutput,
                       bool firstSweep) override;

    // The text head, CR LF after every line, "µ" as the single byte 0xB5.
    std::string BuildHeader() const;

private:
    // Writes the values as little-endian 16-bit samples; reports a failure once and gives false.
    bool WriteSamples(const std::vector<uint16_t>& values);

    COutputFile m_output;
    std::vector<uint16_t> m_block;
    std::vector<uint16_t> m_swapped;
};
