#include "ui/ClipPlayer.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

CClipPlayer::CClipPlayer(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CClipPlayer::advance);
}

bool CClipPlayer::Open(int id) {
    const std::optional<CAviClip> clip = CAviClip::Load(id);
    if (!clip) {
        Stop();
        m_frames.clear();
        m_period = 0;
        update();
        return false;
    }
    return Open(*clip);
}

bool CClipPlayer::Open(const CAviClip& clip) {
    Stop();
    m_frames.clear();
    for (int i = 0; i < clip.frameCount(); ++i) {
        QImage image(clip.width(), clip.height(), QImage::Format_RGB32);
        for (int y = 0; y < clip.height(); ++y) {
            std::memcpy(image.scanLine(y), clip.frame(i).data() + std::size_t(y) * std::size_t(clip.width()),
                        std::size_t(clip.width()) * 4);
        }
        m_frames.push_back(std::move(image));
    }
    // A clip that names no period still plays, at the usual 12 frames a second.
    m_period = clip.microSecondsPerFrame() != 0 ? clip.microSecondsPerFrame() : 83333;
    m_frame = 0;
    resize(clip.width(), clip.height());
    update();
    return !m_frames.empty();
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
    QPainter painter(this);
    if (m_frames.empty()) {
        painter.fillRect(rect(), palette().color(backgroundRole()));
        return;
    }
    painter.drawImage(0, 0, m_frames[std::size_t(m_frame)]);
}
