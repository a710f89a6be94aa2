#pragma once
// Settings object of a "chat" stream: the channel-tool settings themselves.

#include <string>

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/CMChannelToolProperty.h"

class CKVTAChannelToolInfo : public CKVTAInfo, public CMChannelToolProperty
{
public:
    const std::string& GetInputStreamName() const { return m_inputStreamName; }
    const std::string& GetReferenceChannel() const { return m_referenceChannel; }
};
