#include "datafile/settings/CMTimeWindowProperty.h"

#include "datafile/settings/KvtSettingsRecord.h"

std::unique_ptr<CMCloneObject> CMTimeWindowProperty::Clone() const
{
    return std::make_unique<CMTimeWindowProperty>(*this);
}

bool CMTimeWindowProperty::Read(CByteReader& in, uint16_t version)
{
    if (version >= 2) {
        in.Read(m_windowWord);
        in.Read(m_firstTime);
        in.Read(m_secondTime);
        in.Read(m_firstCode);
        in.Read(m_secondCode);
    }
    m_firstText.clear();
    m_secondText.clear();
    if (version >= 4) {
        ReadText32(in, m_firstText);
        ReadText32(in, m_secondText);
    }
    return in.Ok();
}
