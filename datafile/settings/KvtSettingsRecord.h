#pragma once
// Pieces shared by the settings-record readers: counted texts, tags and count checks.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CByteReader.h"

// Reads a text stored as a byte count (u32 or u16) and that many bytes. The text is the bytes
// before the first NUL; the reader moves by the full count. A count beyond the bytes left fails
// the reader before anything is allocated.
bool ReadText32(CByteReader& in, std::string& out);
bool ReadText16(CByteReader& in, std::string& out);

// Reads 8 bytes and compares them with `tag` (8 characters). A mismatch fails the reader.
[[nodiscard]] bool ReadTag(CByteReader& in, const char* tag);

// True when `count` elements of at least `minBytesEach` bytes can still be in the reader.
// Otherwise the reader fails, so that a corrupt count never reaches an allocation or a loop.
[[nodiscard]] bool CountFits(CByteReader& in, uint64_t count, size_t minBytesEach);

// (int)(seconds x 1000000 + 0.5) with the x86 truncation toward zero, but defined for every
// input: NaN gives 0 and values beyond the int32 range are clamped to it.
int32_t SecondsToMicroseconds(double seconds);

// Clamps a 64-bit value into the int32 range.
int32_t ClampToInt32(int64_t value);
