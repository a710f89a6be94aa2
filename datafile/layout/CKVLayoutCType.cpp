#include "datafile/layout/CKVLayoutCType.h"

#include <cstdio>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast/try_lexical_convert.hpp>

#include "platform/File64.h"

namespace {

// A description lists a few hundred channels; anything far larger is not one, and is not
// read into memory.
constexpr int64_t kMaxUnitFileBytes = 4 << 20;

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')   // files written on Windows end lines in CR LF
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

std::vector<std::string> Fields(const std::string& text)
{
    std::vector<std::string> fields;
    const std::string trimmed = boost::algorithm::trim_copy(text);
    if (!trimmed.empty())
        boost::algorithm::split(fields, trimmed, boost::algorithm::is_any_of(" \t"),
                                boost::algorithm::token_compress_on);
    return fields;
}

bool StartsWith(const std::string& line, const std::string& key)
{
    return line.compare(0, key.size(), key) == 0;
}

bool ToInt(const std::string& text, int32_t& value)
{
    return boost::conversion::try_lexical_convert(text, value);
}

// A name must fit its record field with room for the terminating zero, and hold no zero of its
// own: the field would end there, and the layout written to a recording would lose the rest.
bool FitsField(const std::string& text, size_t width)
{
    return text.size() < width && text.find('\0') == std::string::npos;
}

bool ToInts(const std::vector<std::string>& fields, size_t first, std::initializer_list<int32_t*> values)
{
    size_t i = first;
    for (int32_t* value : values)
        if (i >= fields.size() || !ToInt(fields[i++], *value))
            return false;
    return true;
}

void StartRecord(LayoutRecord& record, int32_t channel, const std::string& name)
{
    record = LayoutRecord();
    record.hwid = channel;
    record.firstChannel = channel;
    record.name = name;
    record.secondName = name;
    record.thirdName = name;
}

}  // namespace

CKVLayout::CType::~CType() = default;

int CKVLayout::CType::Load(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return kUnitCannotOpen;
    const int64_t length = FileLength(file);
    if (length < 0 || length > kMaxUnitFileBytes) {
        std::fclose(file);
        return kUnitCannotOpen;
    }
    std::string text(static_cast<size_t>(length), '\0');
    const size_t got = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0 || got != text.size();
    std::fclose(file);
    if (failed)
        return kUnitCannotOpen;
    return Parse(text);
}

int CKVLayout::CType::Parse(const std::string& text)
{
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.front() != Title())
        return kUnitWrongTitle;

    const std::vector<std::string> listKeys = ListKeys();
    std::string name;
    int32_t version = 0;
    std::vector<LayoutRecord> records;
    std::vector<int32_t> values;
    bool inLayout = false;
    for (size_t n = 1; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        const std::string trimmed = boost::algorithm::trim_copy(line);
        if (trimmed.empty())
            continue;
        if (inLayout) {
            LayoutRecord record;
            if (!ParseLayoutFields(Fields(line), record))
                return kUnitMalformed;
            records.push_back(std::move(record));
        } else if (trimmed == "Layout:") {
            inLayout = true;
        } else if (StartsWith(line, "Version: ")) {
            if (!ToInt(boost::algorithm::trim_copy(line.substr(9)), version))
                return kUnitMalformed;
        } else if (StartsWith(line, "Name: ")) {
            name = boost::algorithm::trim_copy(line.substr(6));
        } else {
            for (const std::string& key : listKeys) {
                if (!StartsWith(line, key))
                    continue;
                for (const std::string& field : Fields(line.substr(key.size()))) {
                    int32_t value = 0;
                    if (!ToInt(field, value))
                        return kUnitMalformed;
                    values.push_back(value);
                }
                break;
            }
        }
    }
    m_name = std::move(name);
    m_version = version;
    m_records = std::move(records);
    m_values = std::move(values);
    Loaded();
    return kUnitLoaded;
}

std::unique_ptr<CKVLayout::CType> CKVLayout::CHardware::Clone() const
{
    return std::make_unique<CHardware>(*this);
}

const char* CKVLayout::CHardware::Title() const
{
    return "KVT Hardware Layout";
}

std::vector<std::string> CKVLayout::CHardware::ListKeys() const
{
    return {"LayoutConfig: ", "StdMeaLayouts: "};
}

bool CKVLayout::CHardware::ParseLayoutFields(const std::vector<std::string>& fields,
                                             LayoutRecord& record) const
{
    namespace B = LayoutRecordBytes;
    if (fields.size() != 8 && fields.size() != 6)
        return false;
    int32_t channel = 0;
    if (!ToInt(fields[0], channel) || !FitsField(fields[1], B::kNameWidth)
        || !FitsField(fields[5], B::kHardwareNameWidth))
        return false;
    StartRecord(record, channel, fields[1]);
    record.hardwareName = fields[5];
    if (!ToInts(fields, 2, {&record.subtype, &record.channelValue1, &record.channelValue2}))
        return false;
    return fields.size() == 6 || ToInts(fields, 6, {&record.dx, &record.dy});
}

void CKVLayout::CHardware::Loaded()
{
    m_channels.clear();
    const std::vector<LayoutRecord>& records = GetRecords();
    for (size_t i = 0; i < records.size(); ++i)
        m_channels.emplace(records[i].hwid, i);
}

const LayoutRecord* CKVLayout::CHardware::FindChannel(int32_t channel) const
{
    const auto found = m_channels.find(channel);
    return found == m_channels.end() ? nullptr : &GetRecords()[found->second];
}

std::unique_ptr<CKVLayout::CType> CKVLayout::CAmplifier::Clone() const
{
    return std::make_unique<CAmplifier>(*this);
}

const char* CKVLayout::CAmplifier::Title() const
{
    return "KVT Amplifier Layout";
}

std::vector<std::string> CKVLayout::CAmplifier::ListKeys() const
{
    return {"AvailOffsets: "};
}

bool CKVLayout::CAmplifier::ParseLayoutFields(const std::vector<std::string>& fields,
                                              LayoutRecord& record) const
{
    int32_t channel = 0;
    if (fields.size() != 5 || !ToInt(fields[0], channel)
        || !FitsField(fields[1], LayoutRecordBytes::kNameWidth))
        return false;
    StartRecord(record, channel, fields[1]);
    return ToInts(fields, 2, {&record.subtype, &record.channelValue1, &record.channelValue2});
}

std::unique_ptr<CKVLayout::CType> CKVLayout::CMea::Clone() const
{
    return std::make_unique<CMea>(*this);
}

const char* CKVLayout::CMea::Title() const
{
    return "KVT MEA Layout";
}

std::vector<std::string> CKVLayout::CMea::ListKeys() const
{
    return {"AvailOffsets: "};
}

bool CKVLayout::CMea::ParseLayoutFields(const std::vector<std::string>& fields,
                                        LayoutRecord& record) const
{
    namespace B = LayoutRecordBytes;
    if (fields.size() != 14 && fields.size() != 13)
        return false;
    const bool hasThirdName = fields.size() == 14;
    int32_t channel = 0;
    if (!ToInt(fields[0], channel) || !FitsField(fields[1], B::kNameWidth)
        || !FitsField(fields[2], B::kNameWidth) || (hasThirdName && !FitsField(fields[3], B::kNameWidth)))
        return false;
    StartRecord(record, channel, fields[1]);
    record.secondName = fields[2];
    if (hasThirdName)
        record.thirdName = fields[3];
    return ToInts(fields, hasThirdName ? 4 : 3,
                  {&record.subtype, &record.unitId, &record.x, &record.y, &record.dx, &record.dy,
                   &record.dxextend, &record.dyextend, &record.channelValue1, &record.channelValue2});
}
