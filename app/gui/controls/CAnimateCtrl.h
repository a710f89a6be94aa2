#pragma once
// The export dialog's animation: plays an uncompressed or RLE8 8-bit AVI file in a loop on a
// timer, centred in the control.

#include <cstdint>
#include <vector>

#include <QImage>
#include <QString>
#include <QWidget>

class QTimer;

// The frames of an AVI file with one 8-bit palette video stream, decoded. Empty (no frames)
// when the bytes are not such a file: every size and count is checked against the bytes there.
struct AviFrames
{
    int microsecondsPerFrame = 0;
    std::vector<QImage> frames;
    static AviFrames Decode(const std::vector<uint8_t>& bytes);
};

class CAnimateCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit CAnimateCtrl(QWidget* parent = nullptr);

    // Loads the file; false (and nothing shown) when it cannot be read or holds no frames.
    bool Open(const QString& path);
    // Plays every frame from the first in a loop, until Stop.
    void Play();
    // Stops and shows the first frame again.
    void Stop();
    bool IsPlaying() const;
    int FrameCount() const { return static_cast<int>(m_frames.frames.size()); }
    int CurrentFrame() const { return m_current; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AviFrames m_frames;
    QTimer* m_timer = nullptr;
    int m_current = 0;
};
