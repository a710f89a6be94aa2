#pragma once
// The plain-text report of what one opened recorded-data file holds, produced line by line. The
// console program prints it; the windowed program's view draws the same lines with a few more
// details (sample rates per stream, amplifiers and arrays of an individual layout, spike
// windows, filter settings), so the two cannot drift apart.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class CKVD;
class CKVTAStream;

class CFileInfoReport
{
public:
    enum LineKind { kTitleLine, kBodyLine };
    // Receives each line without a line end, in Windows-1252 as the file stores its texts.
    using LineSink = std::function<void(LineKind kind, const std::string& line)>;

    // `windowed`: the view's variant of the report.
    CFileInfoReport(CKVD& file, LineSink sink, bool windowed = false);

    // Sends the report of the file to the sink. A closed file gives the title line alone. A
    // stream whose settings cannot be read (none stored, or a bad record) gets its stream line
    // and no settings lines. Asking for the sweep count may build the file's index.
    void Write();

    // The report as a list of lines.
    static std::vector<std::string> Lines(CKVD& file, bool windowed = false);
    // Prints the report to `out`, each line converted to UTF-8 and ended by "\n"; false when a
    // write fails.
    [[nodiscard]] static bool Print(CKVD& file, FILE* out);

private:
    void Line(const std::string& text) { m_sink(kBodyLine, text); }
    void WriteLayoutLine();
    void WriteLayoutUnits();
    void WriteRecordingKind();
    void WriteTimes();
    void WriteStream(CKVTAStream& stream);
    void WriteParameterLines(CKVTAStream& stream);
    void WriteTriggerLines(CKVTAStream& stream);
    void WriteSpikeLines(CKVTAStream& stream);
    void WriteAnalyserLines(CKVTAStream& stream, bool burst);
    void WriteChannelToolLines(CKVTAStream& stream);
    void WriteFilterLines(CKVTAStream& stream);
    void WriteVersionLine();

    CKVD& m_file;
    LineSink m_sink;
    bool m_windowed;
};
