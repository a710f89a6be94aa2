#include "app/console/StreamSelection.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "app/console/CCmdLineParser.h"
#include "datafile/container/CKVTAStream.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"
#include "platform/AsciiCase.h"
#include "platform/ConsoleOutput.h"

namespace {

struct Shortcut
{
    const char* shortForm;
    const char* streamName;
};

// Tried in this order: "DiEv" after "Di" works because "Ev" is no number above 0.
constexpr Shortcut kShortcuts[] = {
    {"El", "Electrode Raw Data"},
    {"Di", "Digital Data"},
    {"DiEv", "Digital Data Event"},
    {"An", "Analog Raw Data"},
    {"Tr", "Trigger"},
    {"Sp", "Spikes"},
    {"SpPa", "Spikes Parameter"},
    {"Pa", "Parameter"},
    {"Ch", "Channel Tool Data"},
    {"Fi", "Filtered Data"},
};

// True when the text starts with a decimal digit run whose value is above 0 (however long).
bool LeadingNumberAboveZero(const std::string& text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        if (c != '0')
            return true;
    }
    return false;
}

// The bit part: a decimal number from 0 to 15, sign allowed, nothing else.
bool ParseBit(const std::string& text, int& bit, bool& numeric)
{
    size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    numeric = i < text.size();
    int value = 0;
    for (; i < text.size() && numeric; ++i) {
        const int digit = text[i] - '0';
        if (digit < 0 || digit > 9)
            numeric = false;
        else
            value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
    }
    if (!numeric)
        return false;
    bit = text[0] == '-' ? -value : value;
    return bit >= 0 && bit <= 15;
}

int StreamRate(const CKVD* firstFile, const std::string& streamName)
{
    const CKVTAStream* stream = firstFile ? firstFile->FindStream(streamName) : nullptr;
    std::string read;
    if (!stream && firstFile && StripEventWord(streamName, read))
        stream = firstFile->FindStream(read);
    return stream ? stream->GetSampleRate() : 0;
}

// Name of a whole-stream entry: the first file's layout name for the hardware id, or the map's
// own channel name when the layout holds no name for it (analog ids may lie past the layout).
std::string WholeStreamChannelName(const CKVD* firstFile, const CStreamChannelMap::CStream& stream,
                                   size_t index)
{
    const uint16_t id = stream.m_channelIds[index];
    if (firstFile) {
        std::string name = firstFile->GetStreamFile().GetLayout().GetSecondName(id);
        if (!name.empty())
            return name;
    }
    return index < stream.m_channelNames.size() ? stream.m_channelNames[index] : std::string();
}

int SelectValue(const std::string& value, const CStreamChannelMap& map, const CKVD* firstFile,
                bool debug, CKVDataSelection& selection)
{
    const size_t firstColon = value.find(':');
    const std::string typedStream = value.substr(0, firstColon);
    std::string channel;
    std::string bitText;
    if (firstColon != std::string::npos) {
        const size_t secondColon = value.find(':', firstColon + 1);
        channel = value.substr(firstColon + 1, secondColon == std::string::npos
                                                   ? std::string::npos
                                                   : secondColon - firstColon - 1);
        if (secondColon != std::string::npos)
            bitText = value.substr(secondColon + 1);
    }

    const std::string stream = ExpandStreamShortcut(typedStream);
    if (stream != typedStream)
        ConsolePrintf("Shortcut: %s, expanded to: %s.\n", typedStream.c_str(), stream.c_str());

    int bit = -1;
    bool numeric = true;
    const bool bitOk = bitText.empty() || ParseBit(bitText, bit, numeric);
    // Converters shift by the bit; only 0..15 address a bit of a 16-bit word.
    auto refuseBit = [&]() {
        if (numeric)
            ConsolePrintf("Stream: %s, Channel %s, Bit: %d does not exist\n", stream.c_str(),
                          channel.c_str(), bit);
        else
            ConsolePrintf("Stream: %s, Channel %s, Bit: %s does not exist\n", stream.c_str(),
                          channel.c_str(), bitText.c_str());
        return 1;
    };

    if (channel.empty() || AsciiEqualsNoCase(channel, "all")) {
        const CStreamChannelMap::CStream* mapStream = map.FindStream(stream);
        if (!mapStream || mapStream->m_channelIds.empty()) {
            ConsolePrintf("Stream: %s, Channels %s does not exist\n", stream.c_str(),
                          channel.c_str());
            return 1;
        }
        if (!bitOk)
            return refuseBit();
        ConsolePrintf("Selected Stream: %s, Channels %s\n", stream.c_str(), "All");
        if (debug)
            ConsolePrint("Expanded to following channels:\n");
        const int rate = StreamRate(firstFile, stream);
        for (size_t i = 0; i < mapStream->m_channelIds.size(); ++i) {
            CKVDataSelection::Entry entry;
            entry.streamName = stream;
            entry.channelName = WholeStreamChannelName(firstFile, *mapStream, i);
            entry.channelId = mapStream->m_channelIds[i];
            entry.bit = bit;
            entry.value = rate;
            if (debug && bit == -1)
                ConsolePrintf("Stream: %s, Channel %s\n", stream.c_str(),
                              entry.channelName.c_str());
            else if (debug)
                ConsolePrintf("Stream: %s, Channel %s, Bit: %d\n", stream.c_str(),
                              entry.channelName.c_str(), bit);
            selection.Add(std::move(entry));
        }
        return 0;
    }

    const int id = map.GetChannelId(stream, channel);
    if (!bitOk)
        return refuseBit();
    if (id == -1) {
        if (bit == -1)
            ConsolePrintf("Stream: %s, Channel %s does not exist\n", stream.c_str(),
                          channel.c_str());
        else
            ConsolePrintf("Stream: %s, Channel %s, Bit: %d does not exist\n", stream.c_str(),
                          channel.c_str(), bit);
        return 1;
    }
    if (bit == -1)
        ConsolePrintf("Selected Stream: %s, Channel %s\n", stream.c_str(), channel.c_str());
    else
        ConsolePrintf("Selected Stream: %s, Channel %s, Bit: %d\n", stream.c_str(),
                      channel.c_str(), bit);
    CKVDataSelection::Entry entry;
    entry.streamName = stream;
    entry.channelName = channel;
    entry.channelId = id;
    entry.bit = bit;
    entry.value = StreamRate(firstFile, stream);
    selection.Add(std::move(entry));
    return 0;
}

} // namespace

std::string ExpandStreamShortcut(const std::string& typed)
{
    for (const Shortcut& shortcut : kShortcuts) {
        const std::string shortForm = shortcut.shortForm;
        if (typed == shortForm)
            return shortcut.streamName;
        if (typed.compare(0, shortForm.size(), shortForm) == 0
            && LeadingNumberAboveZero(typed.substr(shortForm.size())))
            return std::string(shortcut.streamName) + " " + typed.substr(shortForm.size());
    }
    return typed;
}

int ParseSelection(const CCmdLineParser& parser, const CStreamChannelMap& map,
                   const CKVD* firstFile, bool debug, CKVDataSelection& selection)
{
    CCmdLineParser::Iterator it = parser.Find("s");
    while (!parser.IsEnd(it)) {
        std::string value;
        parser.GetNextOf(it, "s", value);
        if (SelectValue(value, map, firstFile, debug, selection) != 0)
            return 1;
    }
    return 0;
}
