#include "datafile/settings/CMEvokedProperty.h"

#include "datafile/settings/KvtSettingsRecord.h"

std::unique_ptr<CMCloneObject> CMEvokedProperty::Clone() const
{
    return std::make_unique<CMEvokedProperty>(*this);
}

int CMEvokedProperty::Read(CByteReader& in, uint16_t /*version*/)
{
    in.Read(m_word32);
    m_word16 = static_cast<uint16_t>(in.Get<uint32_t>());
    if (ReadText32(in, m_window.m_firstText))
        m_window.m_secondText = m_window.m_firstText;
    ReadText32(in, m_text);
    if (in.Read(m_window.m_firstCode))
        m_window.m_secondCode = m_window.m_firstCode;
    in.Read(m_window.m_firstTime);
    in.Read(m_window.m_secondTime);
    return in.Ok() ? 1 : 0;
}
