// Draws the export dialog's animation: a recording turning into an output file, page by page,
// written as "ConvertAnimation.avi" (RLE8) to the path given.

#include <cstdio>

#include "res/tools/AviWriter.h"

namespace {

constexpr int kSize = 32;
constexpr int kFrames = 12;
enum Colour : uint8_t { kBack, kInk, kPaper, kBlue, kGrey };

void Fill(std::vector<uint8_t>& f, int x0, int y0, int x1, int y1, uint8_t c)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (x >= 0 && y >= 0 && x < kSize && y < kSize)
                f[static_cast<size_t>(y) * kSize + x] = c;
}

void Page(std::vector<uint8_t>& f, int x0, int y0, int x1, int y1)
{
    Fill(f, x0, y0, x1, y1, kInk);
    Fill(f, x0 + 1, y0 + 1, x1 - 1, y1 - 1, kPaper);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.avi\n", argv[0]);
        return 1;
    }
    AviAnimation a;
    a.width = kSize;
    a.height = kSize;
    a.microsecondsPerFrame = 100000;
    a.palette = {0xF0F0F0, 0x000000, 0xFFFFFF, 0x2050C0, 0x808080};
    for (int n = 0; n < kFrames; ++n) {
        std::vector<uint8_t> f(kSize * kSize, kBack);
        Page(f, 1, 6, 11, 25);                      // the recording
        for (int y = 9; y < 23; y += 3)             // its trace
            Fill(f, 3, y, 9, y, kGrey);
        Page(f, 20, 6, 30, 25);                     // the output file
        for (int y = 9; y < 9 + 3 * (n * 5 / kFrames); y += 3)
            Fill(f, 22, y, 28, y, kBlue);           // filling as the block travels
        const int x = 12 + n * 7 / kFrames;
        Fill(f, x, 14, x + 1, 17, kBlue);
        a.frames.push_back(f);
    }
    return WriteAviFile(argv[1], BuildAvi(a, true)) ? 0 : 1;
}
