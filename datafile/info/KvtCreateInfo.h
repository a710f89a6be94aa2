#pragma once
// Builds the settings object of a stream from its buffer type and settings bytes.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "datafile/info/CKVTAInfo.h"

// Creates the settings object that matches the stream's buffer type (compared exactly):
//   "trigger"  -> CKVTAInfoTrigger         (tag "PARAMTRG")
//   "spikes"   -> CKVTAInfoSpike           (tag "PARAMSPK")
//   "spkparam" -> CKVTAInfoSpikeParameter  (tag "PARAMSPP")
//   "bstparam" -> CKVTAInfoBurstParameter  (tag "PARAMBSP")
//   "average"  -> CKVTAInfoAverage         (tag "PARAMEVP")
//   "filter"   -> CKVTAFilterInfo          (tag "PARAMFLT")
//   "chat"     -> CKVTAChannelToolInfo     (tag "PARAMCHT")
//   "params"   -> CKVTAInfoParam           (no tag)
// `settings` and `settingsLength` are the bytes behind the 32-byte stream-format head;
// `headerVersion` is the stream header version. `adcBits`, `adcZero` and `voltsPerStep` are the
// format-head values as stored (the scale at offset 8, unchanged) and matter only for "params".
// `programVersion` is the first recording-program version of the stream's own file; trigger
// and old spike records depend on it.
// Returns NULL for "analog", "digital", an unknown or NULL type, a missing tag (fewer than 8
// bytes included) and any record that is cut short or holds a count beyond its bytes.
std::unique_ptr<CKVTAInfo> KvtCreateInfo(const char* bufferType, uint16_t headerVersion,
                                         const uint8_t* settings, size_t settingsLength,
                                         uint16_t adcBits, uint16_t adcZero, double voltsPerStep,
                                         int32_t programVersion);
