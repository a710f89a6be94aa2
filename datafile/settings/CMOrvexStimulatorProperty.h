#pragma once
// Settings of the stimulator of a recording, stored in the file-level "VESPRA  " chunk.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "datafile/settings/CMCloneObject.h"

struct KvtStimulatorElement
{
    std::string name;
    // Per stream id (8 characters), a map of u16 -> u16.
    std::map<std::string, std::map<uint16_t, uint16_t>> streams;

    bool operator==(const KvtStimulatorElement& other) const
    {
        return name == other.name && streams == other.streams;
    }
};

struct KvtStimulatorGroup
{
    uint32_t words[9] = {};
    uint32_t groupWord = 1;
};

struct KvtStimulatorPair
{
    int32_t kind = 0;
    int32_t value = -2;
};

class CMOrvexStimulatorProperty : public CMCloneObject
{
public:
    static constexpr size_t kGroupCount = 3;
    static constexpr size_t kSettingCount = 9;
    static constexpr uint32_t kChunkVersion = 7;

    // Defaults of mode 0, no elements, an empty text.
    CMOrvexStimulatorProperty();

    std::unique_ptr<CMCloneObject> Clone() const override;

    // Sets the settings words, the mode and each group's words for mode 0 or 1 (another mode
    // keeps the groups' limits). With `reset` also the group words, pairs, flags, word and last
    // flag return to their defaults.
    void SetDefaults(uint32_t mode, bool reset);

    // Inserts a copy of `element` before `position` (at the end when position is past it).
    void InsertElement(size_t position, const KvtStimulatorElement& element);

    // Reads a "VESPRA  " chunk (id, no size field, then the versioned settings) from the file's
    // current position. Every read starts from the defaults. Returns false on a wrong id, a
    // version of 0 or below, a short read or a count beyond the bytes left in the file; the
    // settings are then the defaults.
    [[nodiscard]] bool ReadChunk(FILE* file);
    // The same from memory; `consumed`, when given, receives the chunk's length on success.
    [[nodiscard]] bool ReadChunk(const uint8_t* data, size_t size, size_t* consumed = nullptr);

    // Writes the chunk in version 7 at the file's current position; false when a write fails.
    [[nodiscard]] bool WriteChunk(FILE* file) const;
    // Appends the chunk's bytes.
    void WriteChunk(std::vector<uint8_t>& out) const;

    uint32_t m_word = 0;
    std::vector<KvtStimulatorElement> m_elements;
    KvtStimulatorGroup m_groups[kGroupCount];
    KvtStimulatorPair m_pairs[kGroupCount];
    uint32_t m_settings[kSettingCount] = {};
    uint32_t m_mode = 0;
    uint8_t m_flag1 = 1;
    uint8_t m_flag2 = 1;     // not stored in the chunk
    uint8_t m_flag3 = 0;
    std::string m_text;
    uint8_t m_lastFlag = 1;
};
