// Files written by the ABF library, read back by two public ABF readers (python3-neo and
// python3-stfio) through check_abf_readers.py. Skipped when python3 or a reader is missing.

#include "export/abf/CABF.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string ScriptPath()
{
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/') + 1) + "check_abf_readers.py";
}

// The Debian interpreter first: the readers are Debian packages.
std::string FindPython()
{
    if (access("/usr/bin/python3", X_OK) == 0)
        return "/usr/bin/python3";
    return std::system("command -v python3 >/dev/null 2>&1") == 0 ? "python3" : std::string();
}

struct ReaderCase
{
    const char* name;
    bool episodic;
    int channels;
    int rate;                 // per channel, Hz
    int episodes;             // episodic: sweeps; gap-free: blocks appended
    int rowsPerEpisode;
    AbfStreamScaling stream;
    double extensionValue;
    bool rowByRow;            // gap-free appended one row per call
    bool neoOnly;             // offset-binary samples: see check_abf_readers.py
};

std::string JsonText(const std::string& cp1252)
{
    std::string out;
    for (unsigned char c : cp1252) {
        if (c == 0xB5)
            out += "\\u00b5";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string TrimBlanks(const uint8_t* field, size_t width)
{
    std::string text(reinterpret_cast<const char*>(field), width);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

// Writes the file and its expectations; samples span the whole 16-bit range.
void WriteCase(const ReaderCase& c, const std::string& abfPath, const std::string& jsonPath)
{
    CABF abf;
    abf.SetAdcChannelCount(c.channels);
    abf.SetAdcSampleInterval(static_cast<float>(1000000.0 / (c.channels * static_cast<double>(c.rate))));
    abf.SetAdcResolution(c.stream);
    const char* streamName = c.stream.adcBits == 16 ? "Electrode Raw Data" : "Analog Data";
    for (int ch = 0; ch < c.channels; ++ch) {
        abf.SetAdcChannelName(ch, CABF::MakeChannelName(streamName, std::to_string(11 + ch)));
        abf.SetAdcUnits(ch, 'V');
        abf.SetChannelScaling(ch, c.stream, c.extensionValue);
    }
    const int episodeSamples = c.channels * c.rowsPerEpisode;
    if (c.episodic) {
        abf.SetOperationMode(2);
        abf.SetEpisodes(c.episodes);
        abf.SetSamplesPerEpisode(episodeSamples);
    }
    int error = 0;
    ASSERT_TRUE(abf.OpenForWrite(abfPath, &error)) << abf.ErrorMessage(error);

    std::vector<std::vector<std::vector<int>>> expected;   // episode, channel, row
    uint32_t seed = 12345;
    std::vector<int16_t> block(episodeSamples);
    for (int e = 0; e < c.episodes; ++e) {
        for (int i = 0; i < episodeSamples; ++i) {
            seed = seed * 1103515245u + 12345u;
            block[i] = static_cast<int16_t>(seed >> 16);
        }
        if (c.stream.adcBits < 16) {
            // Offset binary: 0 .. 2^bits - 1.
            for (int16_t& value : block)
                value = static_cast<int16_t>(static_cast<uint16_t>(value) >> (16 - c.stream.adcBits));
        } else {
            block[0] = -32768;
            block[episodeSamples - 1] = 32767;
        }
        if (c.rowByRow) {
            for (int row = 0; row < c.rowsPerEpisode; ++row)
                ASSERT_TRUE(abf.WriteMultiplexData(&block[row * c.channels], c.channels, 1, 0, &error));
        } else {
            ASSERT_TRUE(abf.WriteMultiplexData(block.data(), episodeSamples, e * episodeSamples, 0, &error))
                << abf.ErrorMessage(error);
        }
        if (c.episodic || expected.empty())
            expected.emplace_back(c.channels);
        for (int i = 0; i < episodeSamples; ++i)
            expected.back()[i % c.channels].push_back(block[i]);
    }
    ASSERT_TRUE(abf.UpdateHeader(&error)) << abf.ErrorMessage(error);
    ASSERT_TRUE(abf.Close(&error)) << abf.ErrorMessage(error);

    const AbfFileHeader& h = abf.Header();
    std::ostringstream json;
    json.precision(17);
    json << "{\"mode\": \"" << (c.episodic ? "episodic" : "gapfree") << "\", \"rate\": " << c.rate
         << (c.neoOnly ? ", \"readers\": [\"neo\"]" : "") << ", \"channels\": [";
    for (int ch = 0; ch < c.channels; ++ch) {
        const double gain = h.Get<float>(AbfField::fADCRange)
            / (h.Get<float>(AbfField::fInstrumentScaleFactor + 4 * ch) * double(h.Get<int32_t>(AbfField::lADCResolution)));
        json << (ch ? ", " : "") << "{\"name\": \""
             << JsonText(TrimBlanks(h.bytes + AbfField::sADCChannelName + 10 * ch, 10)) << "\", \"units\": \""
             << JsonText(TrimBlanks(h.bytes + AbfField::sADCUnits + 8 * ch, 8)) << "\", \"gain\": " << gain
             << ", \"offset\": " << h.Get<float>(AbfField::fInstrumentOffset + 4 * ch) << "}";
    }
    json << "], \"episodes\": [";
    for (size_t e = 0; e < expected.size(); ++e) {
        json << (e ? ", " : "") << "[";
        for (int ch = 0; ch < c.channels; ++ch) {
            json << (ch ? ", " : "") << "[";
            for (size_t i = 0; i < expected[e][ch].size(); ++i)
                json << (i ? "," : "") << expected[e][ch][i];
            json << "]";
        }
        json << "]";
    }
    json << "]}";
    std::ofstream(jsonPath) << json.str();
}

} // namespace

TEST(AbfReaders, PublicReadersSeeWhatWasWritten)
{
    const std::string python = FindPython();
    if (python.empty())
        GTEST_SKIP() << "python3 is not installed";

    AbfStreamScaling electrode;      // 16 bits, scale from volts per step (no range code)
    electrode.adcBits = 16;
    electrode.adcZero = 32768;
    electrode.voltsPerStep = 1.0e-7;
    AbfStreamScaling amplified = electrode;   // 16 bits with range code and channel scale
    amplified.rangeCode = 2500;
    AbfStreamScaling analog;         // 12 bits, offset binary: the reader takes the zero off
    analog.adcBits = 12;
    analog.adcZero = 2048;
    analog.voltsPerStep = 2.5e-3;

    const ReaderCase cases[] = {
        {"gap-free, 1 channel, 10 kHz", false, 1, 10000, 3, 1000, amplified, 1.0e5, false, false},
        {"gap-free, 3 channels, 12.5 kHz, row by row", false, 3, 12500, 1, 700, electrode, 0.0, true, false},
        {"gap-free, 2 channels, 12-bit offset binary", false, 2, 5000, 2, 300, analog, 0.0, false, true},
        {"episodic, 4 channels, 12.5 kHz", true, 4, 12500, 5, 125, electrode, 0.0, false, false},
        {"episodic, 16 channels, 25 kHz", true, 16, 25000, 2, 250, amplified, 2.0e5, false, false},
    };
    TempDir dir;
    std::string command = python + " '" + ScriptPath() + "'";
    int index = 0;
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string abfPath = dir.File("case" + std::to_string(index) + ".abf");
        const std::string jsonPath = dir.File("case" + std::to_string(index) + ".json");
        ++index;
        WriteCase(c, abfPath, jsonPath);
        if (HasFatalFailure())
            return;
        command += " '" + abfPath + "' '" + jsonPath + "'";
    }
    // One run of the readers for all files: loading them takes most of the time.
    const std::string outPath = dir.File("readers.out");
    const int status = std::system((command + " >'" + outPath + "' 2>&1").c_str());
    std::ifstream out(outPath);
    const std::string report((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(WIFEXITED(status)) << report;
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << report;
    EXPECT_EQ(WEXITSTATUS(status), 0) << report;
}
