#pragma once
// One run of the console program on one parsed command line: version, file report, or the
// conversion of the inputs to text or binary files with the settings and switches.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCmdLineParser;
class CConvertInterface;
class CKVD;
class CSondrelDoc;

class CCmdLineTask
{
public:
    // `parser` stays the caller's and outlives the task. With the key "ini" the settings file
    // of the program is read; without it every setting starts at its default.
    CCmdLineTask(const CCmdLineParser* parser, int debug);
    virtual ~CCmdLineTask();
    CCmdLineTask(const CCmdLineTask&) = delete;
    CCmdLineTask& operator=(const CCmdLineTask&) = delete;

    // The whole run; every message goes to standard output. Returns the exit status: 0 when
    // the run did what was asked ("-version", "-list", a conversion with result 0), 1 on any
    // refusal, open or selection error or a nonzero conversion result.
    int Run();

    // Settings of the file (or the defaults) into the task and the converter.
    void ReadSettings();
    // The switches and their "No" twins over the settings, with an "Option:" line for each
    // pair examined. 0 = go on; 1 = a conflict or a forbidden combination was printed.
    int ApplySwitches(const CSondrelDoc& doc);
    // Converts every input and prints the result text (without a line end). Returns the
    // conversion's result code.
    int ConvertFiles(CSondrelDoc& doc);

    // The console's progress callback: one "Progress:" line; never asks to stop.
    static int PrintProgress(void* context, int percent, const char* text);

private:
    // The inputs given with "-i", opened into the document; false after the reason was printed.
    [[nodiscard]] bool OpenInputs(CSondrelDoc& doc);
    // Prints the report of every opened file; false when writing it failed.
    [[nodiscard]] bool PrintFileInfo(CSondrelDoc& doc);
    // Refuses, before anything is written, an output that is one of the inputs and several
    // inputs that would write the same output file. False after printing why.
    [[nodiscard]] bool CheckOutputNames(const CSondrelDoc& doc) const;
    // Open-and-close for each input: false only when several inputs go into one output file.
    bool OpensEachOutput() const;

    const CCmdLineParser* m_parser;
    std::unique_ptr<CConvertInterface> m_converter;
    std::string m_outputPath;
    int m_debug;
    std::string m_iniPath;
    int m_singleOutfile = 0;
    int m_assumeSplittedFile = 0;
    int m_baseIsPressedStart = 0;

    uint16_t m_recordingKind = 0;   // the document's, for the converter
    std::vector<CKVD*> m_files;     // the document's files when it holds several
};
