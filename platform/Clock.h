#pragma once
// Millisecond clock for progress throttling: monotonic, wraps like a 32-bit tick count.

#include <cstdint>

uint32_t GetTickCount();
