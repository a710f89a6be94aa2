#include "app/gui/dialogs/CommandLineText.h"

#include <cstdio>

#include "export/core/CExportDriver.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"

namespace {

bool Unwritable(const std::string& value)
{
    return value.find_first_of("\"\r\n") != std::string::npos;
}

// A value the parser reads back as it stands: not empty, no blank or tab, and no leading minus
// (the parser takes a minus after the separator as the next option).
bool IsPlainWord(const std::string& value)
{
    return !value.empty() && value.find_first_of(" \t") == std::string::npos && value[0] != '-';
}

class CLineBuilder
{
public:
    void Line(const std::string& line) { m_text += line + "\n"; }
    // "-x "value"": every path and selection value is quoted.
    void Value(char option, const std::string& value)
    {
        Check(value);
        m_text += std::string("-") + option + " \"" + value + "\"\n";
    }
    void Switch(bool on, const char* onName, const char* offName)
    {
        Line(std::string("-") + (on ? onName : offName));
    }
    void Check(const std::string& value)
    {
        if (m_refused.empty() && Unwritable(value))
            m_refused = value.empty() ? std::string(" ") : value;
    }
    bool Refused() const { return !m_refused.empty(); }
    const std::string& RefusedValue() const { return m_refused; }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
    std::string m_refused;
};

// The dialog's trigger entry carries "Tr", no channel of its stream, and the console refuses a
// channel it cannot find. The stream's own first channel selects the same there: the trigger
// writer takes an entry as its whole stream. A stream without a channel name is written alone.
std::string TriggerValue(const CKVDataSelection::Entry& entry, const CStreamChannelMap* map)
{
    const CStreamChannelMap::CStream* stream = map ? map->FindStream(entry.streamName) : nullptr;
    if (!stream || stream->m_channelNames.empty() || stream->m_channelNames.front().empty())
        return entry.streamName;
    return entry.streamName + ":" + stream->m_channelNames.front();
}

std::string SelectionValue(const CKVDataSelection::Entry& entry, const CStreamChannelMap* map)
{
    if (entry.bit < 0 && entry.streamName.find("Trigger") != std::string::npos)
        return TriggerValue(entry, map);
    std::string value = entry.streamName + ":" + entry.channelName;
    if (entry.bit >= 0)
        value += ":" + std::to_string(entry.bit);
    return value;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

bool BuildCommandLineText(const CommandLineRequest& r, std::string& text, std::string& refusedValue)
{
    CLineBuilder b;
    b.Line("# Run this file by typing:");
    b.Line("# Sondrel -file filename");
    b.Line("");
    b.Line(r.taskOption);
    const bool oneOutput = !CExportDriver::OpensEachOutput(r.singleOutfile != 0, r.oneOutputForAllSweeps != 0,
                                                           r.assumeSplittedFile != 0);
    if (r.multiFile) {
        for (const std::string& input : r.inputs)
            b.Value('i', input);
        b.Value('o', oneOutput || r.inputs.size() <= 1 ? r.outputName : r.outputFolder);
    } else {
        b.Value('i', r.inputs.empty() ? std::string() : r.inputs.front());
        b.Value('o', r.outputName);
    }
    b.Line("");
    bool digitalEvents = false;
    if (r.selection) {
        for (int i = 0; i < r.selection->GetCount(); ++i) {
            const CKVDataSelection::Entry& entry = *r.selection->At(i);
            b.Value('s', SelectionValue(entry, r.map));
            digitalEvents = digitalEvents || entry.streamName == "Digital Data Event";
        }
    }
    b.Line("");
    if (r.multiFile && r.inputs.size() > 1) {
        b.Switch(r.assumeSplittedFile, "AssumeSplittedFile", "NoAssumeSplittedFile");
        if (!r.assumeSplittedFile)
            b.Line("-NoSingleOutfile");
        else
            b.Switch(r.singleOutfile, "SingleOutfile", "NoSingleOutfile");
    }
    if (r.taskOption == "-ascii") {
        b.Switch(r.baseIsPressedStart, "BaseIsPressedStart", "NoBaseIsPressedStart");
        if (r.triggered)
            b.Switch(r.options.SweepHeader, "SweepHeader", "NoSweepHeader");
        if (digitalEvents)
            b.Switch(r.options.DigitalEventInitialValue, "DigitalEventInitialValue",
                     "NoDigitalEventInitialValue");
        if (!r.options.CommentChar) {
            b.Line("-NoCommentChar");
        } else {
            const std::string& comment = r.options.CommentCharText;
            b.Check(comment);
            b.Line("-CommentChar " + (IsPlainWord(comment) ? comment : "\"" + comment + "\""));
        }
    } else if (r.taskOption == "-bin") {
        b.Switch(r.options.WriteHeader, "WriteHeader", "NoWriteHeader");
        b.Switch(r.options.ToSigned, "ToSigned", "ToUnsigned");
    }
    if (b.Refused()) {
        text.clear();
        refusedValue = b.RefusedValue();
        return false;
    }
    text = WithCrLf(b.Text());
    refusedValue.clear();
    return true;
}

std::string RefusedValueMessage(const std::string& value)
{
    return "The option file can not hold a value with a double quote or a line break:\n" + value;
}

bool WriteCommandLineFile(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool flushed = std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    return written && flushed && closed;
}
