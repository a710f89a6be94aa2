#pragma once
// Numeric conversions that behave as the 32-bit Windows program's did, without undefined behaviour.

#include <cstdint>

// Truncates toward zero; NaN or a value outside int32 gives INT32_MIN, what the x86 truncating
// conversion gives there.
int32_t TruncateToInt32(double value);

// a * b / c with a 64-bit product, rounded half away from zero; -1 on overflow or when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);
