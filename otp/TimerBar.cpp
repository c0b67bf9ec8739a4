#include "otp/TimerBar.h"

#include <QImage>
#include <QPainter>

CTimerBar::CTimerBar(QWidget* parent, const QRect& rect) : QWidget(parent), m_track(C9Image::FromPng(Track)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_track->SetMargins(3, 3, 3, 3);
    m_track->SetStretch(false, false);
    const int h = m_track->IsValid() ? m_track->GetHeight() : rect.height();
    setGeometry(rect.x(), rect.y(), rect.width(), h);
    show();
}

void CTimerBar::setRange(int max) {
    m_range = max;
    update();
}

void CTimerBar::setPos(int pos, bool) {
    m_position = pos;
    repaint();
}

int CTimerBar::redWidth(int range, int position, int width) {
    if (range == 0)
        return 0;
    // 64-bit: a long interval times a wide bar must not overflow.
    return int(std::int64_t(range - position) * width / range);
}

void CTimerBar::PaintTo(Surface& dc) {
    // The track has soft edges: the page shows through them.
    DrawParentBackground(dc);
    const CRect client{0, 0, width(), height()};
    m_track->Draw(dc, client);
    if (m_range != 0)
        dc.fillRect({0, 0, redWidth(m_range, m_position, client.width()), client.bottom}, rgb(255, 0, 0));
}

void CTimerBar::paintEvent(QPaintEvent*) {
    QImage buffer(size(), QImage::Format_RGB32);
    if (buffer.isNull())
        return;
    Surface dc(reinterpret_cast<std::uint32_t*>(buffer.bits()), buffer.width(), buffer.height(),
               int(buffer.bytesPerLine() / 4));
    PaintTo(dc);
    QPainter painter(this);
    painter.drawImage(0, 0, buffer);
}
