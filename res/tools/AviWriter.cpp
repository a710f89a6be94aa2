#include "res/tools/AviWriter.h"

#include <algorithm>
#include <cstdio>

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

void PutId(std::vector<uint8_t>& out, const char* id)
{
    out.insert(out.end(), id, id + 4);
}

void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Starts a chunk or list; returns the position of its size field.
size_t Begin(std::vector<uint8_t>& out, const char* id, const char* listType = nullptr)
{
    PutId(out, id);
    const size_t at = out.size();
    PutU32(out, 0);
    if (listType)
        PutId(out, listType);
    return at;
}

void End(std::vector<uint8_t>& out, size_t sizeAt)
{
    SetU32(out, sizeAt, static_cast<uint32_t>(out.size() - sizeAt - 4));
    if (out.size() % 2)
        out.push_back(0);
}

std::vector<uint8_t> BottomUpRows(const std::vector<uint8_t>& pixels, int width, int height)
{
    const int stride = (width + 3) / 4 * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[static_cast<size_t>(height - 1 - y) * stride + x] = pixels[static_cast<size_t>(y) * width + x];
    return rows;
}

} // namespace

std::vector<uint8_t> EncodeRle8(const std::vector<uint8_t>& pixels, int width, int height)
{
    std::vector<uint8_t> out;
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = pixels.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width;) {
            int run = 1;
            while (x + run < width && run < 255 && row[x + run] == row[x])
                ++run;
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(row[x]);
            x += run;
        }
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);   // end of bitmap after the top row, else end of line
    }
    return out;
}

std::vector<uint8_t> BuildAvi(const AviAnimation& a, bool rle8)
{
    std::vector<std::vector<uint8_t>> data;
    size_t largest = 0;
    for (const std::vector<uint8_t>& frame : a.frames) {
        data.push_back(rle8 ? EncodeRle8(frame, a.width, a.height) : BottomUpRows(frame, a.width, a.height));
        largest = std::max(largest, data.back().size());
    }
    const uint32_t frames = static_cast<uint32_t>(a.frames.size());
    const uint32_t colours = static_cast<uint32_t>(a.palette.size());

    std::vector<uint8_t> out;
    const size_t riff = Begin(out, "RIFF", "AVI ");
    const size_t hdrl = Begin(out, "LIST", "hdrl");
    const size_t avih = Begin(out, "avih");
    PutU32(out, static_cast<uint32_t>(a.microsecondsPerFrame));
    PutU32(out, 0);                    // max bytes per second
    PutU32(out, 0);                    // padding granularity
    PutU32(out, 0x10);                 // AVIF_HASINDEX
    PutU32(out, frames);
    PutU32(out, 0);                    // initial frames
    PutU32(out, 1);                    // streams
    PutU32(out, static_cast<uint32_t>(largest));
    PutU32(out, static_cast<uint32_t>(a.width));
    PutU32(out, static_cast<uint32_t>(a.height));
    for (int i = 0; i < 4; ++i)
        PutU32(out, 0);
    End(out, avih);
    const size_t strl = Begin(out, "LIST", "strl");
    const size_t strh = Begin(out, "strh");
    PutId(out, "vids");
    PutId(out, rle8 ? "RLE " : "DIB ");
    PutU32(out, 0);                    // flags
    PutU16(out, 0);                    // priority
    PutU16(out, 0);                    // language
    PutU32(out, 0);                    // initial frames
    PutU32(out, static_cast<uint32_t>(a.microsecondsPerFrame));   // scale
    PutU32(out, 1000000);              // rate: frames per second = rate / scale
    PutU32(out, 0);                    // start
    PutU32(out, frames);
    PutU32(out, static_cast<uint32_t>(largest));
    PutU32(out, 0xFFFFFFFF);           // quality
    PutU32(out, 0);                    // sample size
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, static_cast<uint32_t>(a.width));
    PutU16(out, static_cast<uint32_t>(a.height));
    End(out, strh);
    const size_t strf = Begin(out, "strf");
    PutU32(out, 40);
    PutU32(out, static_cast<uint32_t>(a.width));
    PutU32(out, static_cast<uint32_t>(a.height));
    PutU16(out, 1);
    PutU16(out, 8);
    PutU32(out, rle8 ? 1 : 0);         // BI_RLE8 or BI_RGB
    PutU32(out, static_cast<uint32_t>((a.width + 3) / 4 * 4 * a.height));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, colours);
    PutU32(out, colours);
    for (uint32_t rgb : a.palette) {
        out.push_back(static_cast<uint8_t>(rgb));
        out.push_back(static_cast<uint8_t>(rgb >> 8));
        out.push_back(static_cast<uint8_t>(rgb >> 16));
        out.push_back(0);
    }
    End(out, strf);
    End(out, strl);
    End(out, hdrl);
    const size_t movi = Begin(out, "LIST", "movi");
    std::vector<std::pair<uint32_t, uint32_t>> index;   // offset from "movi", size
    for (const std::vector<uint8_t>& frame : data) {
        index.emplace_back(static_cast<uint32_t>(out.size() - (movi + 4)), static_cast<uint32_t>(frame.size()));
        const size_t chunk = Begin(out, rle8 ? "00dc" : "00db");
        out.insert(out.end(), frame.begin(), frame.end());
        End(out, chunk);
    }
    End(out, movi);
    const size_t idx1 = Begin(out, "idx1");
    for (const auto& [offset, size] : index) {
        PutId(out, rle8 ? "00dc" : "00db");
        PutU32(out, 0x10);             // AVIIF_KEYFRAME
        PutU32(out, offset);
        PutU32(out, size);
    }
    End(out, idx1);
    End(out, riff);
    return out;
}

bool WriteAviFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}
