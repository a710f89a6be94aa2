// The animation player over files of our own AVI writer, and over broken bytes.

#include <gtest/gtest.h>

#include <QPixmap>
#include <QTimer>

#include "app/gui/controls/CAnimateCtrl.h"
#include "res/tools/AviWriter.h"
#include "tests/support/TempDir.h"

namespace {

AviAnimation Sample()
{
    AviAnimation a;
    a.width = 5;   // a row that needs padding
    a.height = 3;
    a.microsecondsPerFrame = 20000;
    a.palette = {0x102030, 0xFF0000, 0x00FF00};
    for (int n = 0; n < 3; ++n) {
        std::vector<uint8_t> f(15, 0);
        f[n] = 1;                  // top row
        f[14 - n] = 2;             // bottom row
        a.frames.push_back(f);
    }
    return a;
}

} // namespace

TEST(CAnimateCtrl, DecodesUncompressedAndRle8Alike)
{
    const AviAnimation a = Sample();
    for (bool rle : {false, true}) {
        SCOPED_TRACE(rle ? "RLE8" : "uncompressed");
        const std::vector<uint8_t> bytes = BuildAvi(a, rle);
        const AviFrames decoded = AviFrames::Decode(bytes);
        ASSERT_EQ(decoded.frames.size(), 3u);
        EXPECT_EQ(decoded.microsecondsPerFrame, 20000);
        for (int n = 0; n < 3; ++n) {
            const QImage& image = decoded.frames[static_cast<size_t>(n)];
            ASSERT_EQ(image.size(), QSize(5, 3));
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x)
                    EXPECT_EQ(image.pixelIndex(x, y), a.frames[static_cast<size_t>(n)][static_cast<size_t>(y * 5 + x)])
                        << n << " " << x << "," << y;
            EXPECT_EQ(image.pixel(n, 0), qRgb(0xFF, 0, 0));
            EXPECT_EQ(image.pixel(0, 1), qRgb(0x10, 0x20, 0x30));
        }
    }
}

TEST(CAnimateCtrl, BrokenFilesGiveNoFrames)
{
    const std::vector<uint8_t> good = BuildAvi(Sample(), true);
    const std::pair<const char*, std::function<void(std::vector<uint8_t>&)>> cases[] = {
        {"empty", [](auto& b) { b.clear(); }},
        {"no RIFF", [](auto& b) { b[0] = 'X'; }},
        {"cut in the header", [](auto& b) { b.resize(60); }},
        {"huge chunk size", [](auto& b) { b[16] = b[17] = b[18] = b[19] = 0xFF; }},
    };
    for (const auto& [name, breakIt] : cases) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = good;
        breakIt(bytes);
        EXPECT_TRUE(AviFrames::Decode(bytes).frames.empty());
    }
    // Cut inside the frames: the whole frames before the cut remain, nothing is read past it.
    std::vector<uint8_t> cut = good;
    cut.resize(cut.size() - 70);
    EXPECT_LE(AviFrames::Decode(cut).frames.size(), 3u);
}

TEST(CAnimateCtrl, PlaysInALoopAndStops)
{
    TempDir dir;
    ASSERT_TRUE(WriteAviFile(dir.File("a.avi"), BuildAvi(Sample(), true)));
    CAnimateCtrl control;
    EXPECT_FALSE(control.Open(QString::fromStdString(dir.File("missing.avi"))));
    ASSERT_TRUE(control.Open(QString::fromStdString(dir.File("a.avi"))));
    EXPECT_EQ(control.FrameCount(), 3);
    control.resize(5, 3);
    QTimer* timer = control.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    // Frame n of the sample has its one red pixel at (n, 0) of the top row.
    const auto shows = [&](int frame) {
        const QImage painted = control.grab().toImage();
        return control.CurrentFrame() == frame && painted.pixel(frame, 0) == qRgb(0xFF, 0, 0);
    };

    control.Play();
    EXPECT_TRUE(control.IsPlaying());
    EXPECT_EQ(timer->interval(), 20);
    EXPECT_TRUE(shows(0));
    // Each tick of the timer shows the next frame; after the last comes the first again.
    for (int frame : {1, 2, 0, 1}) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
        EXPECT_TRUE(shows(frame));
    }

    control.Stop();
    EXPECT_FALSE(control.IsPlaying());
    EXPECT_FALSE(timer->isActive());   // no tick comes any more
    EXPECT_TRUE(shows(0));
    // Playing again starts at the first frame, wherever the last play left off.
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
    ASSERT_TRUE(shows(1));
    control.Play();
    EXPECT_TRUE(shows(0));
}
