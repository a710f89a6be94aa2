#include "platform/Numeric.h"

#include <cmath>
#include <cstdlib>
#include <limits>

int32_t TruncateToInt32(double value)
{
    if (std::isnan(value) || value >= 2147483648.0 || value <= -2147483649.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const uint64_t magnitude = static_cast<uint64_t>(product < 0 ? -product : product);
    const uint64_t divisor = static_cast<uint64_t>(c < 0 ? -static_cast<int64_t>(c) : c);
    const uint64_t quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > (negative ? 2147483648ULL : 2147483647ULL))
        return -1;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(quotient)) : static_cast<int32_t>(quotient);
}
