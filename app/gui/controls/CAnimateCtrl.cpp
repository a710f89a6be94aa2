#include "app/gui/controls/CAnimateCtrl.h"

#include <QFile>
#include <QPainter>
#include <QTimer>

#include <cstring>

namespace {

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;

uint32_t U32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool IsId(const uint8_t* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

struct Stream
{
    int32_t width = 0;
    int32_t height = 0;
    uint32_t compression = 0;
    QVector<QRgb> palette;
    bool ok = false;
};

// The BITMAPINFOHEADER of the video stream and its palette.
bool ReadFormat(const uint8_t* p, size_t size, Stream& s)
{
    if (size < 40)
        return false;
    const uint32_t headerSize = U32(p);
    s.width = static_cast<int32_t>(U32(p + 4));
    s.height = static_cast<int32_t>(U32(p + 8));
    const uint16_t bits = static_cast<uint16_t>(p[14] | (p[15] << 8));
    s.compression = U32(p + 16);
    uint32_t colours = U32(p + 32);
    if (colours == 0)
        colours = 256;
    if (headerSize < 40 || headerSize > size || bits != 8 || colours > 256
        || (s.compression != kRgb && s.compression != kRle8) || s.width <= 0 || s.height <= 0
        || s.width > 4096 || s.height > 4096)
        return false;
    if (colours > (size - headerSize) / 4)
        colours = static_cast<uint32_t>((size - headerSize) / 4);
    for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t* q = p + headerSize + 4 * i;
        s.palette.push_back(qRgb(q[2], q[1], q[0]));
    }
    while (s.palette.size() < 256)
        s.palette.push_back(qRgb(0, 0, 0));
    s.ok = true;
    return true;
}

// Bottom-up rows padded to 4 bytes.
void DecodeRgb(const uint8_t* p, size_t size, QImage& image)
{
    const int stride = (image.width() + 3) / 4 * 4;
    for (int row = 0; row < image.height(); ++row) {
        const size_t at = static_cast<size_t>(row) * stride;
        if (at + image.width() > size)
            break;
        std::memcpy(image.scanLine(image.height() - 1 - row), p + at, image.width());
    }
}

// Runs, escapes (end of line, end of bitmap, delta) and absolute runs over the previous frame.
void DecodeRle8(const uint8_t* p, size_t size, QImage& image)
{
    int x = 0;
    int y = image.height() - 1;   // row in the image; RLE8 starts at the bottom
    const auto put = [&](uint8_t value) {
        if (x < image.width() && y >= 0)
            image.scanLine(y)[x] = value;
        ++x;
    };
    size_t i = 0;
    while (i + 1 < size && y >= 0) {
        const uint8_t count = p[i];
        const uint8_t value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int n = 0; n < count; ++n)
                put(value);
        } else if (value == 0) {
            x = 0;
            --y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (i + 1 >= size)
                return;
            x += p[i];
            y -= p[i + 1];
            i += 2;
        } else {
            if (value > size - i)
                return;
            for (int n = 0; n < value; ++n)
                put(p[i + n]);
            i += value + (value & 1);
        }
    }
}

// Walks the chunks of [begin, end) and calls `visit(id, listType or null, data, size)`.
template <class Visit>
void Walk(const uint8_t* data, size_t begin, size_t end, Visit&& visit, int depth = 0)
{
    size_t at = begin;
    while (depth < 8 && at + 8 <= end) {
        const uint8_t* id = data + at;
        const uint32_t size = U32(data + at + 4);
        if (size > end - at - 8)
            return;
        if (IsId(id, "LIST") && size >= 4) {
            visit(id, data + at + 8, data + at + 12, size - 4);
            Walk(data, at + 12, at + 8 + size, visit, depth + 1);
        } else {
            visit(id, nullptr, data + at + 8, size);
        }
        at += 8 + size + (size & 1);
    }
}

} // namespace

AviFrames AviFrames::Decode(const std::vector<uint8_t>& bytes)
{
    AviFrames result;
    if (bytes.size() < 12 || !IsId(bytes.data(), "RIFF") || !IsId(bytes.data() + 8, "AVI "))
        return result;
    const size_t end = std::min<size_t>(bytes.size(), 8 + static_cast<size_t>(U32(bytes.data() + 4)));
    Stream stream;
    bool video = false;
    QImage image;
    Walk(bytes.data(), 12, end, [&](const uint8_t* id, const uint8_t* listType, const uint8_t* p, uint32_t size) {
        if (listType)
            return;
        if (IsId(id, "avih") && size >= 4) {
            result.microsecondsPerFrame = static_cast<int>(std::min<uint32_t>(U32(p), 10000000));
        } else if (IsId(id, "strh") && size >= 4) {
            video = IsId(p, "vids");
        } else if (IsId(id, "strf") && video && !stream.ok) {
            if (ReadFormat(p, size, stream)) {
                image = QImage(stream.width, stream.height, QImage::Format_Indexed8);
                image.setColorTable(stream.palette);
                image.fill(0);
            }
        } else if (stream.ok && (IsId(id, "00db") || IsId(id, "00dc"))) {
            if (stream.compression == kRle8)
                DecodeRle8(p, size, image);
            else
                DecodeRgb(p, size, image);
            result.frames.push_back(image.copy());
        }
    });
    return result;
}

CAnimateCtrl::CAnimateCtrl(QWidget* parent)
    : QWidget(parent)
    , m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_frames.frames.empty())
            return;
        m_current = (m_current + 1) % FrameCount();
        update();
    });
}

bool CAnimateCtrl::Open(const QString& path)
{
    Stop();
    m_frames = AviFrames();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024)
        return false;
    const QByteArray bytes = file.readAll();
    m_frames = AviFrames::Decode(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    update();
    return !m_frames.frames.empty();
}

void CAnimateCtrl::Play()
{
    if (m_frames.frames.empty())
        return;
    m_current = 0;
    const int ms = std::max(10, m_frames.microsecondsPerFrame / 1000);
    m_timer->start(ms);
    update();
}

void CAnimateCtrl::Stop()
{
    m_timer->stop();
    m_current = 0;
    update();
}

bool CAnimateCtrl::IsPlaying() const
{
    return m_timer->isActive();
}

void CAnimateCtrl::paintEvent(QPaintEvent*)
{
    if (m_frames.frames.empty())
        return;
    QPainter painter(this);
    const QImage& frame = m_frames.frames[static_cast<size_t>(m_current)];
    painter.drawImage((width() - frame.width()) / 2, (height() - frame.height()) / 2, frame);
}
