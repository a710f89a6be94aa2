#include "datafile/info/KvtCreateInfo.h"

#include <string>

#include "datafile/info/CKVTAChannelToolInfo.h"
#include "datafile/info/CKVTAFilterInfo.h"
#include "datafile/info/CKVTAInfoAverage.h"
#include "datafile/info/CKVTAInfoBurstParameter.h"
#include "datafile/info/CKVTAInfoParam.h"
#include "datafile/info/CKVTAInfoSpike.h"
#include "datafile/info/CKVTAInfoSpikeParameter.h"
#include "datafile/info/CKVTAInfoTrigger.h"
#include "datafile/settings/KvtSettingsRecord.h"

namespace {

template <class Info, class ReadFn>
std::unique_ptr<CKVTAInfo> ReadTagged(CByteReader& in, const char* tag, ReadFn read)
{
    if (!ReadTag(in, tag))
        return nullptr;
    auto info = std::make_unique<Info>();
    if (!read(*info, in))
        return nullptr;
    return info;
}

} // namespace

std::unique_ptr<CKVTAInfo> KvtCreateInfo(const char* bufferType, uint16_t headerVersion,
                                         const uint8_t* settings, size_t settingsLength,
                                         uint16_t adcBits, uint16_t adcZero, double voltsPerStep,
                                         int32_t programVersion)
{
    if (!bufferType)
        return nullptr;
    const std::string type(bufferType);
    CByteReader in(settings, settingsLength);
    const uint16_t v = headerVersion;

    if (type == "params") {
        auto info = std::make_unique<CKVTAInfoParam>();
        if (!info->Read(in, v, adcBits, adcZero, voltsPerStep))
            return nullptr;
        return info;
    }
    if (type == "trigger")
        return ReadTagged<CKVTAInfoTrigger>(in, "PARAMTRG", [&](auto& info, CByteReader& r) {
            return info.Read(r, v, programVersion);
        });
    if (type == "chat")
        return ReadTagged<CKVTAChannelToolInfo>(in, "PARAMCHT", [&](auto& info, CByteReader& r) {
            return info.Read(r);
        });
    if (type == "filter")
        return ReadTagged<CKVTAFilterInfo>(in, "PARAMFLT", [&](auto& info, CByteReader& r) {
            return info.Read(r, v);
        });
    if (type == "spikes")
        return ReadTagged<CKVTAInfoSpike>(in, "PARAMSPK", [&](auto& info, CByteReader& r) {
            return info.Read(r, v, programVersion);
        });
    if (type == "average")
        return ReadTagged<CKVTAInfoAverage>(in, "PARAMEVP", [&](auto& info, CByteReader& r) {
            return info.Read(r, v);
        });
    if (type == "spkparam")
        return ReadTagged<CKVTAInfoSpikeParameter>(in, "PARAMSPP", [&](auto& info, CByteReader& r) {
            return info.Read(r);
        });
    if (type == "bstparam")
        return ReadTagged<CKVTAInfoBurstParameter>(in, "PARAMBSP", [&](auto& info, CByteReader& r) {
            return info.Read(r);
        });
    return nullptr;   // "analog", "digital" and unknown types carry no settings
}
