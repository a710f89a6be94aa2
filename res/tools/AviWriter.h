#pragma once
// Writes 8-bit palette AVI files (one video stream, uncompressed or RLE8), as the export
// dialog's animation player reads them.

#include <cstdint>
#include <string>
#include <vector>

struct AviAnimation
{
    int width = 0;
    int height = 0;
    int microsecondsPerFrame = 100000;
    std::vector<uint32_t> palette;               // 0xRRGGBB, at most 256
    std::vector<std::vector<uint8_t>> frames;    // width x height palette indexes, top row first
};

// The whole file; `rle8` compresses every frame (each one complete, so each is a key frame).
std::vector<uint8_t> BuildAvi(const AviAnimation& animation, bool rle8);

// One frame in RLE8: rows bottom up, runs of at most 255 equal pixels, end of line after each
// row and end of bitmap at the end.
std::vector<uint8_t> EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height);

bool WriteAviFile(const std::string& path, const std::vector<uint8_t>& bytes);
