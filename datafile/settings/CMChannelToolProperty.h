#pragma once
// Settings of the recording program's channel tool ("chat" streams).

#include <cstdint>
#include <string>

#include "datafile/settings/CMCloneObject.h"
#include "platform/CByteReader.h"

class CMChannelToolProperty : public CMCloneObject
{
public:
    std::unique_ptr<CMCloneObject> Clone() const override;

    // Reads the record behind the "PARAMCHT" tag; false when it runs past the reader's end.
    [[nodiscard]] bool Read(CByteReader& in);

    std::string m_inputStreamName;
    std::string m_referenceChannel;
    uint16_t m_word = 0;
};
