#pragma once
// Settings of the recording program's trigger detector ("trigger" streams, old spike records).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafile/settings/CMCloneObject.h"
#include "platform/CByteReader.h"

class CMMEATriggerProperty : public CMCloneObject
{
public:
    std::unique_ptr<CMCloneObject> Clone() const override;

    // Reads one trigger record of the given stream header version. `programVersion` is the first
    // recording-program version of the file the record comes from: the parameter-trigger part
    // (version 4 and later) exists only when its high 16 bits are 3 or more. Versions 0 to 2 hold
    // an image of the old settings; fields the image is too short for keep their values.
    // Returns false when the record runs past the reader's end.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version, int32_t programVersion);

    // Reads the trigger list of an old spike record into `triggers` and its dead, pre and post
    // times (the outputs keep their values for version 0). Version 3 takes the times from the
    // first trigger when there is one. Returns 1, or 0 when the list runs past the reader's end
    // or its count cannot fit in the bytes left.
    [[nodiscard]] static int ReadList(CByteReader& in, uint16_t version, int32_t programVersion,
                                      std::vector<std::unique_ptr<CMMEATriggerProperty>>& triggers,
                                      int64_t& deadTime, int64_t& preTime, int64_t& postTime);

    // True when the program version carries the parameter-trigger part in records of version 4+.
    static bool HasParameterPart(int32_t programVersion);

    uint32_t m_word1 = 2;
    uint32_t m_word2 = 0;
    uint32_t m_word3 = 1;
    uint32_t m_deadTime = 3;         // ms
    int32_t m_level = -1200;         // tenths of a microvolt
    int32_t m_secondLevel = -1200;
    uint32_t m_slope = 1;            // 0 rising, else falling
    int32_t m_inputHwid = 0;
    uint32_t m_sourceKind = 65535;   // 0 electrode, 1 analog, 2 digital
    uint32_t m_words4To8[5] = {2, 1, 0, 0, 0};
    uint8_t m_digitalFlag = 0;
    uint32_t m_digitalValue = 1;
    uint32_t m_digitalType = 1;
    std::string m_inputStreamName;
    uint32_t m_digitalMask = 1;
    uint8_t m_parameterFlag = 0;
    int32_t m_parameterWord = -1;
    uint8_t m_extraFlag = 0;
    std::string m_parameterName;
    std::string m_parameterUnit;

private:
    void ReadImage(const uint8_t* image, size_t size);
    [[nodiscard]] bool ReadParameterAndExtra(CByteReader& in, uint16_t version,
                                             int32_t programVersion);
};
