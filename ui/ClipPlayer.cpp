#include "ui/ClipPlayer.h"

#include "controls/ScaledPicture.h"
#include "ui/SurfacePainter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

CClipPlayer::CClipPlayer(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CClipPlayer::advance);
}

bool CClipPlayer::Open(int id) {
    const int scale = pictureScaleFor(surfaceScaleOf(*this));
    const std::optional<CAviClip> clip = CAviClip::Load(id, scale);
    if (!clip) {
        Stop();
        m_clipId = 0;
        m_frames.clear();
        m_period = 0;
        update();
        return false;
    }
    const bool opened = Open(*clip);
    m_clipId = id;
    m_clipScale = scale;
    return opened;
}

bool CClipPlayer::Open(const CAviClip& clip) {
    Stop();
    m_clipId = 0;
    setFrames(clip);
    // A clip that names no period still plays, at the usual 12 frames a second.
    m_period = clip.microSecondsPerFrame() != 0 ? clip.microSecondsPerFrame() : 83333;
    m_frame = 0;
    resize(clip.width() / clip.scale(), clip.height() / clip.scale());
    update();
    return !m_frames.empty();
}

void CClipPlayer::setFrames(const CAviClip& clip) {
    m_frames.clear();
    for (int i = 0; i < clip.frameCount(); ++i) {
        QImage image(clip.width(), clip.height(), QImage::Format_RGB32);
        for (int y = 0; y < clip.height(); ++y) {
            std::memcpy(image.scanLine(y), clip.frame(i).data() + std::size_t(y) * std::size_t(clip.width()),
                        std::size_t(clip.width()) * 4);
        }
        image.setDevicePixelRatio(clip.scale());
        m_frames.push_back(std::move(image));
    }
    m_frame = std::min(m_frame, std::max(0, int(m_frames.size()) - 1));
}

void CClipPlayer::Play() {
    if (m_frames.empty()) {
        return;
    }
    m_frame = 0;
    m_clock.start();
    // The timer only wakes us; the frame shown comes from the elapsed time, so a late tick
    // never slows the clip down.
    m_timer.start(std::max(1, int(m_period / 1000)));
    update();
}

void CClipPlayer::Stop() {
    m_timer.stop();
}

void CClipPlayer::advance() {
    if (m_frames.empty() || m_period == 0) {
        return;
    }
    const qint64 elapsed = m_clock.nsecsElapsed() / 1000;
    const int frame = int((elapsed / qint64(m_period)) % qint64(m_frames.size()));
    if (frame != m_frame) {
        m_frame = frame;
        update();
    }
}

void CClipPlayer::paintEvent(QPaintEvent*) {
    // Moved to a screen of another scale: the clip drawn for it, decoded once on the way.
    const int wanted = pictureScaleFor(surfaceScaleOf(*this));
    if (m_clipId != 0 && wanted != m_clipScale) {
        if (const std::optional<CAviClip> clip = CAviClip::Load(m_clipId, wanted))
            setFrames(*clip);
        m_clipScale = wanted;
    }
    QPainter painter(this);
    if (m_frames.empty()) {
        painter.fillRect(rect(), palette().color(backgroundRole()));
        return;
    }
    const QImage& frame = m_frames[std::size_t(m_frame)];
    if (std::abs(devicePixelRatioF() - frame.devicePixelRatio()) > 1e-6)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), frame);
}
