#pragma once
// Settings of the recording program's spike-parameter analyser ("spkparam" streams).

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/settings/CMCloneObject.h"
#include "datafile/settings/KvtQuantity.h"
#include "platform/CByteReader.h"

class CMSpikeAnalyzerProperty : public CMCloneObject
{
public:
    static constexpr size_t kQuantityCount = 3;
    static constexpr size_t kUnitWordCount = 4;

    CMSpikeAnalyzerProperty();

    std::unique_ptr<CMCloneObject> Clone() const override;

    // The three default quantities ("ISI", "Rate", "Timestamp").
    virtual void SetDefaults();

    // Reads the analyser record into the existing entries. The model holds exactly 3 quantities
    // and 4 unit words: further stored ones are read and dropped, so the fields behind them still
    // line up. Returns false when the record runs past the reader's end.
    [[nodiscard]] virtual bool Read(CByteReader& in);

    std::vector<KvtQuantity> m_quantities;   // always kQuantityCount entries
    std::vector<uint32_t> m_unitWords;       // always kUnitWordCount entries
    std::string m_inputStreamName;
    uint32_t m_unitsSelected = 0;            // nonzero: units are selected

protected:
    [[nodiscard]] bool ReadCommon(CByteReader& in);
};
