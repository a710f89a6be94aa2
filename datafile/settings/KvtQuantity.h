#pragma once
// One output value of an analyser (range, recorded flag, factor, exponent, unit kind, name) and
// the unit and SI-prefix texts that label it.

#include <cstdint>
#include <string>

struct KvtQuantity
{
    float rangeMin = 0.0f;
    float rangeMax = 0.0f;
    uint32_t recorded = 0;      // nonzero: the value is recorded
    double factor = 0.0;
    int32_t exponent = 0;       // decimal exponent of the display unit (-6 = micro)
    int32_t unitKind = 0;       // KvtUnitKind
    std::string name;
};

// Unit kinds of a quantity.
enum KvtUnitKind : int32_t {
    kUnitVolt = 0,
    kUnitSecond1 = 1,
    kUnitSecond2 = 2,
    kUnitSecond3 = 3,
    kUnitVoltSecond = 4,
    kUnitHertz = 5,
    kUnitCount = 6,
    kUnitVoltPerSecond = 7,
    kUnitMarker = 8,
};

// "V", "s", "Vs", "Hz", "V/s" or an empty text for kinds without a unit and unknown kinds.
const char* KvtUnitText(int32_t unitKind);

// "n", the micro sign (the single byte 0xB5), "m", "k", "M", "G" for -9, -6, -3, 3, 6, 9;
// an empty text for any other exponent.
const char* KvtSiPrefixText(int32_t exponent);

// Prefix followed by unit text, e.g. "\xB5V" for kind 0 with exponent -6.
std::string KvtQuantityUnitText(int32_t unitKind, int32_t exponent);

// The exponent in which an analyser stores values of the kind: -6, -9, -15, -3 or 0.
int32_t KvtUnitKindDefaultExponent(int32_t unitKind);
