#include "qr/ScreenGrab.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

const QString& useAPicture() {
    static const QString text = QStringLiteral(
        "Take a screenshot with your desktop's screenshot tool, or save the QR code as a picture, "
        "and import the picture instead.");
    return text;
}

bool isWaylandSession() {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return true;
    // Under XWayland the X11 root window shows none of the Wayland windows: a grab of it is black
    // where the code is.
    const char* session = std::getenv("XDG_SESSION_TYPE");
    return session && std::strcmp(session, "wayland") == 0;
}

bool allOneColour(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    // The alpha byte of an RGB32 pixel is undefined after painting; only the colour counts.
    const QRgb first = rgb.pixel(0, 0) & RGB_MASK;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        if (!std::all_of(row, row + rgb.width(), [first](QRgb p) { return (p & RGB_MASK) == first; }))
            return false;
    }
    return true;
}

} // namespace

ScreenGrabResult grabScreen() {
    if (!qGuiApp)
        return {{}, QStringLiteral("The screen cannot be read without a display.")};
    if (isWaylandSession()) {
        return {{},
                QStringLiteral("This desktop session (Wayland) does not let programs read the screen. ") +
                    useAPicture()};
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return {{}, QStringLiteral("No screen was found to read. ") + useAPicture()};

    // Each screen is grabbed at its own pixel density and drawn where it sits on the desktop, at
    // the highest density, so codes on every screen stay sharp enough to read.
    QRect desktop;
    qreal ratio = 1;
    for (QScreen* screen : screens) {
        desktop = desktop.united(screen->geometry());
        ratio = std::max(ratio, screen->devicePixelRatio());
    }
    QImage image(desktop.size() * ratio, QImage::Format_RGB32);
    if (image.isNull())
        return {{}, QStringLiteral("The screen is too large to read. ") + useAPicture()};
    image.fill(Qt::black);
    bool grabbed = false;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (QScreen* screen : screens) {
            const QPixmap shot = screen->grabWindow(0);
            if (shot.isNull())
                continue;
            const QRect place = screen->geometry().translated(-desktop.topLeft());
            painter.drawPixmap(QRectF(QPointF(place.topLeft()) * ratio, QSizeF(place.size()) * ratio), shot,
                               QRectF(shot.rect()));
            grabbed = true;
        }
    }
    if (!grabbed)
        return {{}, QStringLiteral("The screen could not be read. ") + useAPicture()};
    if (allOneColour(image)) {
        // What a session that refuses the grab hands back instead of an error.
        return {{},
                QStringLiteral("The screen came back blank: this session does not let programs read it. ") +
                    useAPicture()};
    }
    return {image, {}};
}
