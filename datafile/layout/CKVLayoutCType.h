#pragma once
// One unit description of a layout catalogue, read from a layout description text file:
// a hardware unit, an amplifier or an electrode array.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datafile/layout/CKVLayout.h"

// Results of CKVLayout::CType::Load; every negative value rejects the file.
enum UnitLoadResult : int {
    kUnitLoaded = 0,
    kUnitCannotOpen = -1,     // missing, unreadable, or larger than a description can be
    kUnitWrongTitle = -2,     // the first line is not the title of the unit's kind
    kUnitMalformed = -3,      // a number that does not parse, or a layout line of the wrong shape
};

// A unit file is a title line, then "Version: ", "Name: " and number-list lines, then "Layout:"
// and one line per channel. Lines may end in LF or CR LF. Lines before "Layout:" that start
// with no known key are ignored, as are blank lines anywhere.
class CKVLayout::CType
{
public:
    virtual ~CType();

    // Reads the file at `path` and parses it. Returns kUnitLoaded or a negative UnitLoadResult;
    // a rejected file leaves the unit as it was.
    [[nodiscard]] virtual int Load(const std::string& path);
    // The same over the text of a file.
    [[nodiscard]] int Parse(const std::string& text);

    virtual std::unique_ptr<CType> Clone() const = 0;

    const std::string& GetName() const { return m_name; }
    int32_t GetVersion() const { return m_version; }         // 0 when the file has none
    const std::vector<LayoutRecord>& GetRecords() const { return m_records; }
    const std::vector<int32_t>& GetValues() const { return m_values; }   // the number lists

protected:
    virtual const char* Title() const = 0;
    // Keys ("LayoutConfig: " ...) whose lines hold a list of numbers.
    virtual std::vector<std::string> ListKeys() const = 0;
    // Fills `record` from the blank-separated fields of one layout line; false when the line
    // has not the kind's shape.
    [[nodiscard]] virtual bool ParseLayoutFields(const std::vector<std::string>& fields,
                                                 LayoutRecord& record) const = 0;
    // Called after a successful parse, to build what a kind derives from its records.
    virtual void Loaded() {}

private:
    std::string m_name;
    int32_t m_version = 0;
    std::vector<LayoutRecord> m_records;
    std::vector<int32_t> m_values;
};

// A hardware unit. Layout lines: channel name subtype value1 value2 hardware-name [dx dy].
class CKVLayout::CHardware : public CType
{
public:
    std::unique_ptr<CType> Clone() const override;
    // The record of a channel number, or null; the first line wins when a number repeats.
    const LayoutRecord* FindChannel(int32_t channel) const;

protected:
    const char* Title() const override;
    std::vector<std::string> ListKeys() const override;
    [[nodiscard]] bool ParseLayoutFields(const std::vector<std::string>& fields,
                                         LayoutRecord& record) const override;
    void Loaded() override;

private:
    std::map<int32_t, size_t> m_channels;    // channel number -> index into the records
};

// An amplifier. Layout lines: channel name subtype value1 value2.
class CKVLayout::CAmplifier : public CType
{
public:
    std::unique_ptr<CType> Clone() const override;

protected:
    const char* Title() const override;
    std::vector<std::string> ListKeys() const override;
    [[nodiscard]] bool ParseLayoutFields(const std::vector<std::string>& fields,
                                         LayoutRecord& record) const override;
};

// An electrode array. Layout lines: channel name second-name [third-name] subtype unit-id
// x y dx dy dxextend dyextend value1 value2.
class CKVLayout::CMea : public CType
{
public:
    std::unique_ptr<CType> Clone() const override;

protected:
    const char* Title() const override;
    std::vector<std::string> ListKeys() const override;
    [[nodiscard]] bool ParseLayoutFields(const std::vector<std::string>& fields,
                                         LayoutRecord& record) const override;
};
