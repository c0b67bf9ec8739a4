#include "ui/SurfacePainter.h"

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cmath>

int surfaceScaleFor(double ratio) {
    // A ratio a hair above a whole number is that number: screens report 2.0000001.
    const double whole = std::ceil(ratio - 1e-6);
    if (whole <= 1) {
        return 1;
    }
    return 2 * int(std::ceil(whole / 2));
}

int surfaceScaleOf(const QWidget& widget) {
    return surfaceScaleFor(widget.devicePixelRatioF());
}

void paintThroughSurface(QWidget& widget, const std::function<void(Surface&)>& paint,
                         std::optional<QColor> fill) {
    const double ratio = widget.devicePixelRatioF();
    const int scale = surfaceScaleFor(ratio);
    // Double buffering: compose off-screen, then one copy to the window.
    QImage buffer(widget.size() * scale, QImage::Format_RGB32);
    if (buffer.isNull()) {
        return;
    }
    buffer.setDevicePixelRatio(scale);
    if (fill) {
        buffer.fill(*fill);
    }
    Surface dc(reinterpret_cast<std::uint32_t*>(buffer.bits()), buffer.width(), buffer.height(),
               int(buffer.bytesPerLine() / 4), scale);
    paint(dc);
    QPainter painter(&widget);
    if (std::abs(ratio - scale) > 1e-6) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }
    painter.drawImage(QPointF(0, 0), buffer);
}
