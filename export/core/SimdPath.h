#pragma once
// Which vector instructions the per-sample loops of the exports may use: the widest the
// processor has, or less when SONDREL_SIMD ("plain", "avx2" or "avx512") caps it, so that each
// path can be measured on one machine.

enum class SimdPath : int { kPlain = 0, kAvx2 = 1, kAvx512 = 2 };

// The widest path the processor runs (AVX-512 needs its F and BW parts).
SimdPath SimdPathSupported();
// The processor's path, capped by SONDREL_SIMD when that names a path; an unknown value caps
// nothing. Read once per process.
SimdPath SimdPathAllowed();
// True when `path` is not above what the processor runs.
bool SimdPathRuns(SimdPath path);
// "plain", "avx2" or "avx512".
const char* SimdPathName(SimdPath path);
// The path a name stands for; false (and `path` untouched) for any other text or null.
bool ParseSimdPath(const char* name, SimdPath& path);
