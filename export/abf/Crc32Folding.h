#pragma once
// CRC-32 as zlib computes it, with the bulk of long buffers folded by carry-less multiplication
// where the processor has it: the ABF writer checksums every byte it writes.

#include <cstddef>
#include <cstdint>

// zlib's crc32_z(previous, data, length): the CRC-32 of the bytes `previous` covers followed by
// these (previous = 0: none before). The very same value whichever way it is computed.
uint32_t Crc32Folding(const void* data, size_t length, uint32_t previous);

// True when Crc32Folding uses carry-less multiplication on this machine.
bool Crc32FoldingAvailable();
