#pragma once
// One export of a recording as the front ends run it, and what came out: bytes, messages and
// result.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class ExportFormat { Bin, Ascii, Abf };

// "bin", "ascii" or "abf".
const char* FormatName(ExportFormat format);

// One selected channel: stream, channel name and channel number.
struct SelectedChannel
{
    std::string stream;
    std::string channel;
    int number = 0;
};

// What a table exports from a recording, and in which formats.
struct ExportSelection
{
    std::string name;
    std::vector<SelectedChannel> channels;
    std::vector<ExportFormat> formats;

    bool Selects(const std::string& stream) const;
};

struct ExportOutcome
{
    int rc = -1;
    std::vector<uint8_t> bytes;            // ABF: with the file id and CRC zeroed
    std::vector<std::string> messages;
};

// Exports `input` to `output` with every channel of `selection` at `rateHz`, sweeps 1 to
// `lastSweep` (0: all). `progress` runs at every progress call. A walk that runs away is cut
// short: by a failed write past 64 MB or by a cancel after 200 progress calls.
//
// Text is formatted as the text converter's plain mode does (the very same bytes): its fast
// mode first makes a table of the text of every 16-bit value, which costs more than a whole
// export of these small recordings. `fastText` asks for the fast mode.
ExportOutcome RunExport(ExportFormat format, const ExportSelection& selection, int rateHz,
                        const std::string& input, const std::string& output, unsigned lastSweep = 0,
                        const std::function<void()>& progress = {}, bool fastText = false);
