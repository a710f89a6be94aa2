#pragma once
// Small, well-formed layout description texts of each unit kind: seeds for the fuzzers and the
// state a unit holds before a fuzzed text is parsed into it.

namespace LayoutTextSamples {

inline constexpr char kHardware[] =
    "KVT Hardware Layout\n"
    "Version: 3\n"
    "Name: Rack 64\n"
    "LayoutConfig: 0 1 2\n"
    "StdMeaLayouts: 60 120\n"
    "\n"
    "Layout:\n"
    "0 E1 0 1000 0 AmpA 0 0\n"
    "1 E2 0 1000 0 AmpA 100 0\n"
    "60 A1 1 1 0 AmpA\n"
    "63 D1 2 1 0 AmpA\n";

inline constexpr char kAmplifier[] =
    "KVT Amplifier Layout\r\n"
    "Version: 1\r\n"
    "Name: Head stage\r\n"
    "AvailOffsets: 0 32 64\r\n"
    "Layout:\r\n"
    "0 E1 0 1000 0\r\n"
    "1 E2 0 1000 0\r\n"
    "32 A1 1 1 0\r\n";

inline constexpr char kMea[] =
    "KVT MEA Layout\n"
    "Version: 2\n"
    "Name: Grid 8x8\n"
    "AvailOffsets: 0 64\n"
    "Layout:\n"
    "0 47 47A 47B 0 0 3000 6000 300 600 100 100 1000 0\n"
    "1 48 48A 0 0 3000 7000 300 700 100 100 1000 0\n"
    "2 A1 A1 1 -1 0 0 0 0 100 100 1 0\n";

} // namespace LayoutTextSamples
