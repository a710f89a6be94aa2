#include "datafile/settings/KvtQuantity.h"

const char* KvtUnitText(int32_t unitKind)
{
    switch (unitKind) {
    case kUnitVolt: return "V";
    case kUnitSecond1:
    case kUnitSecond2:
    case kUnitSecond3: return "s";
    case kUnitVoltSecond: return "Vs";
    case kUnitHertz: return "Hz";
    case kUnitVoltPerSecond: return "V/s";
    default: return "";
    }
}

const char* KvtSiPrefixText(int32_t exponent)
{
    switch (exponent) {
    case -9: return "n";
    case -6: return "\xB5";
    case -3: return "m";
    case 3: return "k";
    case 6: return "M";
    case 9: return "G";
    default: return "";
    }
}

std::string KvtQuantityUnitText(int32_t unitKind, int32_t exponent)
{
    return std::string(KvtSiPrefixText(exponent)) + KvtUnitText(unitKind);
}

int32_t KvtUnitKindDefaultExponent(int32_t unitKind)
{
    switch (unitKind) {
    case kUnitVolt:
    case kUnitMarker: return -6;
    case kUnitSecond1:
    case kUnitSecond2:
    case kUnitSecond3: return -9;
    case kUnitVoltSecond: return -15;
    case kUnitVoltPerSecond: return -3;
    default: return 0;
    }
}
