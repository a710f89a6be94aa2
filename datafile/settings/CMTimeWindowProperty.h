#pragma once
// A time window with two codes and two texts, part of the parameter and averager settings.

#include <cstdint>
#include <string>

#include "datafile/settings/CMCloneObject.h"
#include "platform/CByteReader.h"

class CMTimeWindowProperty : public CMCloneObject
{
public:
    std::unique_ptr<CMCloneObject> Clone() const override;

    // Reads the versioned record: from version 2 the word, two times (ms) and two codes, from
    // version 4 the two texts (both are set empty first). Fields the version does not reach keep
    // their values. Returns false when the record runs past the reader's end.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version);

    int32_t m_windowWord = 0;
    float m_firstTime = 1000.0f;
    float m_secondTime = 1000.0f;
    uint16_t m_firstCode = 0xFFFF;
    uint16_t m_secondCode = 0xFFFF;
    std::string m_firstText;
    std::string m_secondText;
};
