#pragma once
// Cursor over parameter records ("params"): time, then each channel's values.

#include <memory>
#include <vector>

#include "datafile/events/CKVTAEvent.h"
#include "datafile/info/CKVTAInfoParam.h"

// The record size follows from the stream's parameter settings (bytes per channel), so the
// cursor has no records when the stream has no settings object.
class CKVTAEvtParam : public CKVTAEvent
{
public:
    explicit CKVTAEvtParam(CKVTAStream* stream);
    ~CKVTAEvtParam() override;

    [[nodiscard]] bool First() override;
    int GetDataSize() const override { return static_cast<int>(m_valueBytes); }
    // The values of one channel in the current record, one per recorded quantity; false when
    // the record has fewer channels or the settings cannot decode it.
    [[nodiscard]] bool GetValues(int channel, std::vector<float>& out) const;
    const CKVTAInfoParam* GetInfo() const { return m_info.get(); }

protected:
    size_t RecordSize(size_t offset) const override;

private:
    std::unique_ptr<CKVTAInfoParam> m_info;  // made once per cursor: the settings never change
    size_t m_valueBytes = 0;
};
