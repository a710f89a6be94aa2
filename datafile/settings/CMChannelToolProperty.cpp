#include "datafile/settings/CMChannelToolProperty.h"

#include "datafile/settings/KvtSettingsRecord.h"

std::unique_ptr<CMCloneObject> CMChannelToolProperty::Clone() const
{
    return std::make_unique<CMChannelToolProperty>(*this);
}

bool CMChannelToolProperty::Read(CByteReader& in)
{
    in.Read(m_word);
    ReadText32(in, m_inputStreamName);
    ReadText32(in, m_referenceChannel);
    return in.Ok();
}
