#pragma once
// Settings of the recording program's averager ("average" streams).

#include <cstdint>
#include <string>

#include "datafile/settings/CMCloneObject.h"
#include "datafile/settings/CMTimeWindowProperty.h"
#include "platform/CByteReader.h"

class CMEvokedProperty : public CMCloneObject
{
public:
    std::unique_ptr<CMCloneObject> Clone() const override;

    // Reads the averager record behind the "PARAMEVP" tag; the record has one layout for every
    // version. Returns 1, or 0 as soon as a field would run past the reader's end.
    [[nodiscard]] int Read(CByteReader& in, uint16_t version);

    CMTimeWindowProperty m_window;
    uint16_t m_word16 = 0;
    uint32_t m_word32 = 0;
    std::string m_text;
};
