// Draws every picture of the product: page backgrounds, action buttons, navigation icons, frames,
// the digit strip, the progress clip and the icons, into resources/pictures/. One palette for all.
// Pictures the program draws on its pages come at 1x and at 2x (<name>@2x.<ext>) for dense
// screens: the same drawing at twice the pixels, not an enlarged copy. Coordinates below are
// logical pixels; `s` is the scale a picture is drawn for.
// Run it through regenerate.sh; contact-sheet mode composes the committed files for review.

#include "Pictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace pictures {

// ---------------------------------------------------------------- helpers

QImage canvas(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(float(alpha));
    return c;
}

// Box blur, three passes (close to a Gaussian), on a premultiplied image.
void blur(QImage& image, int radius) {
    if (radius <= 0) {
        return;
    }
    const int w = image.width();
    const int h = image.height();
    std::vector<int> sum(std::size_t(std::max(w, h)) * 4);
    for (int pass = 0; pass < 3; ++pass) {
        for (int horizontal = 0; horizontal < 2; ++horizontal) {
            const int lines = horizontal ? h : w;
            const int length = horizontal ? w : h;
            for (int l = 0; l < lines; ++l) {
                auto at = [&](int i) -> QRgb& {
                    return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(l))[i]
                                      : reinterpret_cast<QRgb*>(image.scanLine(i))[l];
                };
                std::vector<QRgb> src(static_cast<std::size_t>(length));
                for (int i = 0; i < length; ++i) {
                    src[std::size_t(i)] = at(i);
                }
                for (int i = 0; i < length; ++i) {
                    int a = 0, r = 0, g = 0, b = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int j = i + k;
                        if (j < 0 || j >= length) {
                            continue;
                        }
                        const QRgb p = src[std::size_t(j)];
                        a += qAlpha(p);
                        r += qRed(p);
                        g += qGreen(p);
                        b += qBlue(p);
                    }
                    const int n = 2 * radius + 1;
                    at(i) = qRgba(r / n, g / n, b / n, a / n);
                }
            }
        }
    }
}

// Scales the painter to draw a picture of scale `s` in logical pixels.
void scaleTo(QPainter& p, int s) {
    if (s != 1) {
        p.scale(s, s);
    }
}

// A soft shadow of `shape`, drawn under whatever the painter draws next. `size` and `radius`
// are in pixels of the picture, `shape` and `offset` logical.
void dropShadow(QPainter& p, const QPainterPath& shape, QSize size, QPointF offset, int radius,
                const QColor& colour, int s) {
    QImage layer = canvas(size.width(), size.height());
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        scaleTo(lp, s);
        lp.translate(offset);
        lp.fillPath(shape, colour);
    }
    blur(layer, radius * s);
    p.save();
    p.resetTransform();
    p.drawImage(0, 0, layer);
    p.restore();
}

// Renders at `factor` times the size and averages each factor x factor block: exact, even
// antialiasing for small pictures whose every pixel counts. `w` and `h` are logical; the picture
// is drawn at scale `s`.
QImage supersample(int w, int h, int factor, const std::function<void(QPainter&)>& draw, int s = 1) {
    if (s != 1) {
        return supersample(w * s, h * s, factor, [&](QPainter& p) {
            p.scale(s, s);
            draw(p);
        });
    }
    QImage big = canvas(w * factor, h * factor);
    {
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(factor, factor);
        draw(p);
    }
    QImage small = canvas(w, h);
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<QRgb*>(small.scanLine(y));
        for (int x = 0; x < w; ++x) {
            int a = 0, r = 0, g = 0, b = 0;
            for (int dy = 0; dy < factor; ++dy) {
                const auto* in = reinterpret_cast<const QRgb*>(big.constScanLine(y * factor + dy));
                for (int dx = 0; dx < factor; ++dx) {
                    const QRgb px = in[x * factor + dx];
                    a += qAlpha(px);
                    r += qRed(px);
                    g += qGreen(px);
                    b += qBlue(px);
                }
            }
            const int n = factor * factor;
            out[x] = qRgba((r + n / 2) / n, (g + n / 2) / n, (b + n / 2) / n, (a + n / 2) / n);
        }
    }
    return small;
}

bool savePng(const QImage& image, const QString& path, bool alpha) {
    const QImage out = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (!out.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- backgrounds

// The mark: a shield with a keyhole, the product's sign on the icon, the logo and the pages.
QPainterPath shieldPath(QRectF box) {
    const double x = box.x(), y = box.y(), w = box.width(), h = box.height();
    QPainterPath path;
    path.moveTo(x + w * 0.5, y);
    path.cubicTo(x + w * 0.68, y + h * 0.09, x + w * 0.86, y + h * 0.12, x + w, y + h * 0.12);
    path.lineTo(x + w, y + h * 0.46);
    path.cubicTo(x + w, y + h * 0.74, x + w * 0.76, y + h * 0.9, x + w * 0.5, y + h);
    path.cubicTo(x + w * 0.24, y + h * 0.9, x, y + h * 0.74, x, y + h * 0.46);
    path.lineTo(x, y + h * 0.12);
    path.cubicTo(x + w * 0.14, y + h * 0.12, x + w * 0.32, y + h * 0.09, x + w * 0.5, y);
    path.closeSubpath();
    return path;
}

QPainterPath keyholePath(QPointF centre, double size) {
    QPainterPath path;
    path.addEllipse(centre, size * 0.5, size * 0.5);
    QPainterPath stem;
    stem.moveTo(centre.x() - size * 0.22, centre.y() + size * 0.2);
    stem.lineTo(centre.x() + size * 0.22, centre.y() + size * 0.2);
    stem.lineTo(centre.x() + size * 0.32, centre.y() + size * 1.25);
    stem.lineTo(centre.x() - size * 0.32, centre.y() + size * 1.25);
    stem.closeSubpath();
    return path.united(stem);
}

QImage pageBackground(bool otpPage, int s) {
    QImage image = canvas(391 * s, 191 * s);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    scaleTo(p, s);
    p.fillRect(QRect(0, 0, 391, 191), colours::page);

    // A thin band of the brand colour under the menu bar.
    QLinearGradient band(0, 0, 391, 0);
    band.setColorAt(0, colours::accentLight);
    band.setColorAt(1, colours::accent);
    p.fillRect(QRectF(0, 0, 391, 3), band);
    p.fillRect(QRectF(0, 3, 391, 1), withAlpha(colours::accentDark, 0.10));

    // A faint watermark in the lower right corner, away from where pages put their texts.
    p.setPen(Qt::NoPen);
    if (otpPage) {
        // Rings of a dial: time-based codes.
        const QPointF c(372, 176);
        for (int i = 0; i < 4; ++i) {
            const double r = 34 + i * 18;
            QPen pen(withAlpha(colours::accent, 0.055 - i * 0.01), 7);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, r, r);
        }
    } else {
        const QPainterPath shield = shieldPath(QRectF(318, 104, 96, 112));
        p.fillPath(shield, withAlpha(colours::accent, 0.05));
        p.fillPath(keyholePath(QPointF(366, 146), 15), colours::page);
    }
    return image;
}

QImage splash() {
    QImage image = canvas(391, 191);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 391, 191);
    fill.setColorAt(0, colours::accentLight);
    fill.setColorAt(1, colours::accentDark);
    p.fillRect(QRect(0, 0, 391, 191), fill);
    const QPainterPath shield = shieldPath(QRectF(157, 38, 77, 92));
    p.fillPath(shield, QColor(255, 255, 255, 235));
    p.fillPath(keyholePath(QPointF(195.5, 76), 14), colours::accent);
    p.fillRect(QRectF(150, 150, 91, 3), QColor(255, 255, 255, 120));
    return image;
}

// ---------------------------------------------------------------- round action buttons

enum class Glyph { Go, Copy };

QImage roundButton(Glyph glyph, bool pressed, int s) {
    const bool primary = glyph == Glyph::Go;
    return supersample(51, 51, 4, [&](QPainter& p) {
        const QPointF c(25.5, 24.5);
        const double r = 22.5;
        QPainterPath disc;
        disc.addEllipse(c, r, r);

        // Shadow: a lifted button casts a soft one, a pressed one almost none.
        {
            QImage layer = canvas(51 * 4 * s, 51 * 4 * s);
            QPainter lp(&layer);
            lp.setRenderHint(QPainter::Antialiasing);
            lp.scale(4 * s, 4 * s);
            lp.translate(0, pressed ? 0.4 : 1.6);
            lp.fillPath(disc, QColor(16, 32, 56, pressed ? 40 : 70));
            lp.end();
            blur(layer, (pressed ? 3 : 6) * s);
            p.save();
            p.resetTransform();
            p.drawImage(0, 0, layer);
            p.restore();
        }

        QLinearGradient fill(0, c.y() - r, 0, c.y() + r);
        QColor rim;
        if (primary) {
            fill.setColorAt(0, pressed ? colours::accent : colours::accentLight);
            fill.setColorAt(1, pressed ? colours::accentDark.darker(112) : colours::accent);
            rim = pressed ? colours::accentDark.darker(120) : colours::accentDark;
        } else {
            fill.setColorAt(0, pressed ? QColor(0xDC, 0xE3, 0xEC) : QColor(0xFF, 0xFF, 0xFF));
            fill.setColorAt(1, pressed ? QColor(0xE8, 0xED, 0xF3) : QColor(0xEE, 0xF2, 0xF6));
            rim = pressed ? QColor(0xA9, 0xB6, 0xC5) : colours::line;
        }
        p.fillPath(disc, fill);

        if (pressed) {
            // Inner shadow along the top edge: the face sits lower than its rim.
            QRadialGradient inner(QPointF(c.x(), c.y() + 6), r + 6);
            inner.setColorAt(0.78, QColor(0, 0, 0, 0));
            inner.setColorAt(1.0, QColor(10, 24, 48, primary ? 90 : 45));
            p.fillPath(disc, inner);
        } else {
            // Soft light on the upper half.
            QLinearGradient sheen(0, c.y() - r, 0, c.y());
            sheen.setColorAt(0, QColor(255, 255, 255, primary ? 60 : 0));
            sheen.setColorAt(1, QColor(255, 255, 255, 0));
            QPainterPath upper;
            upper.addEllipse(c, r - 1.2, r - 1.2);
            p.fillPath(upper, sheen);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(rim, 1.0));
        p.drawEllipse(c, r - 0.5, r - 0.5);

        const QColor ink =
            primary ? QColor(255, 255, 255) : (pressed ? colours::accentDark : colours::accent);
        QPen pen(ink, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        if (glyph == Glyph::Go) {
            p.drawLine(QPointF(c.x() - 9, c.y()), QPointF(c.x() + 8.5, c.y()));
            QPainterPath head;
            head.moveTo(c.x() + 1.5, c.y() - 7.5);
            head.lineTo(c.x() + 9, c.y());
            head.lineTo(c.x() + 1.5, c.y() + 7.5);
            p.drawPath(head);
        } else {
            // Two sheets: the one behind drawn as an outline, the front one filled with the face.
            pen.setWidthF(2.4);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(c.x() - 9.5, c.y() - 10.5, 12.5, 15), 2.6, 2.6);
            p.setBrush(primary ? QColor(colours::accent)
                               : (pressed ? QColor(0xE2, 0xE8, 0xEF) : QColor(0xF8, 0xFA, 0xFC)));
            p.drawRoundedRect(QRectF(c.x() - 3.5, c.y() - 4.5, 12.5, 15), 2.6, 2.6);
        }
    }, s);
}

// ---------------------------------------------------------------- 24 x 24 glyphs

QImage glyphIcon(const std::function<void(QPainter&)>& draw, int s) {
    return supersample(24, 24, 4, draw, s);
}

QPen glyphPen(const QColor& c) {
    return QPen(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QImage homeIcon(int s) {
    return glyphIcon([](QPainter& p) {
        p.setPen(glyphPen(colours::ink));
        p.setBrush(Qt::NoBrush);
        QPainterPath roof;
        roof.moveTo(4.5, 11.5);
        roof.lineTo(12, 4.8);
        roof.lineTo(19.5, 11.5);
        p.drawPath(roof);
        QPainterPath body;
        body.moveTo(6.8, 10);
        body.lineTo(6.8, 19);
        body.lineTo(10.3, 19);
        body.lineTo(10.3, 14.5);
        body.lineTo(13.7, 14.5);
        body.lineTo(13.7, 19);
        body.lineTo(17.2, 19);
        body.lineTo(17.2, 10);
        p.drawPath(body);
    }, s);
}

QImage arrowIcon(bool forward, int s) {
    return glyphIcon([forward](QPainter& p) {
        if (!forward) {
            p.translate(24, 0);
            p.scale(-1, 1);
        }
        p.setPen(glyphPen(colours::ink));
        p.drawLine(QPointF(5.5, 12), QPointF(18, 12));
        QPainterPath head;
        head.moveTo(12.5, 6.2);
        head.lineTo(18.3, 12);
        head.lineTo(12.5, 17.8);
        p.drawPath(head);
    }, s);
}

QImage changeTokenIcon(int s) {
    return glyphIcon([](QPainter& p) {
        p.setPen(glyphPen(colours::accent));
        p.drawLine(QPointF(5, 8.5), QPointF(18.5, 8.5));
        QPainterPath top;
        top.moveTo(15, 5);
        top.lineTo(18.6, 8.5);
        top.lineTo(15, 12);
        p.drawPath(top);
        p.drawLine(QPointF(19, 15.5), QPointF(5.5, 15.5));
        QPainterPath bottom;
        bottom.moveTo(9, 12);
        bottom.lineTo(5.4, 15.5);
        bottom.lineTo(9, 19);
        p.drawPath(bottom);
    }, s);
}

// ---------------------------------------------------------------- nine-patch pictures

QImage editFrame(int s) {
    // Margins are 2 pixels: a one-pixel border with softened corners, one pixel of padding, and a
    // white field; every edge row and column is uniform so that tiling shows no seams. At 2x each
    // of those pixels is a 2 x 2 block, so the border keeps its weight.
    const int w = 171, h = 25;
    QImage image(w * s, h * s, QImage::Format_ARGB32);
    image.fill(QColor(255, 255, 255));
    const auto set = [&image, s](int x, int y, const QColor& c) {
        for (int dy = 0; dy < s; ++dy) {
            for (int dx = 0; dx < s; ++dx) {
                image.setPixelColor(x * s + dx, y * s + dy, c);
            }
        }
    };
    const QColor border = colours::frame;
    for (int x = 0; x < w; ++x) {
        set(x, 0, border);
        set(x, h - 1, border);
        set(x, 1, QColor(0xEE, 0xF1, 0xF5));
    }
    for (int y = 0; y < h; ++y) {
        set(0, y, border);
        set(w - 1, y, border);
    }
    const QColor corner = withAlpha(border, 0.45);
    set(0, 0, corner);
    set(w - 1, 0, corner);
    set(0, h - 1, corner);
    set(w - 1, h - 1, corner);
    set(1, 1, mix(QColor(0xEE, 0xF1, 0xF5), border, 0.35));
    set(w - 2, 1, mix(QColor(0xEE, 0xF1, 0xF5), border, 0.35));
    return image;
}

QImage panel(int s) {
    const int w = 307, h = 66;
    QImage image = canvas(w * s, h * s);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    scaleTo(p, s);
    QPainterPath card;
    card.addRoundedRect(QRectF(2, 1, w - 4, h - 4), 7, 7);
    dropShadow(p, card, image.size(), QPointF(0, 1), 1, QColor(20, 40, 70, 40), s);
    p.fillPath(card, QColor(255, 255, 255));
    p.setPen(QPen(colours::panelLine, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.5, 1.5, w - 5, h - 5), 6.5, 6.5);
    return image;
}

QImage timerTrack(int s) {
    return supersample(301, 4, 4, [](QPainter& p) {
        QPainterPath pill;
        pill.addRoundedRect(QRectF(0, 0, 301, 4), 2, 2);
        p.fillPath(pill, colours::track);
        p.fillRect(QRectF(2, 0, 297, 0.75), withAlpha(colours::ink, 0.10));
    }, s);
}

// ---------------------------------------------------------------- digit strip

QColor displayAt(double y) {
    return mix(colours::displayTop, colours::displayBottom, y / 25.0);
}

// Seven segments a-g: top, upper right, lower right, bottom, lower left, upper left, middle.
QPainterPath segment(int which) {
    const double left = 2.9, right = 12.1, top = 3.0, bottom = 22.0, middle = 12.5;
    const double t = 2.8, gap = 0.4;
    auto horizontal = [&](double y) {
        QPainterPath s;
        const double a = left + gap, b = right - gap;
        s.moveTo(a, y);
        s.lineTo(a + t / 2, y - t / 2);
        s.lineTo(b - t / 2, y - t / 2);
        s.lineTo(b, y);
        s.lineTo(b - t / 2, y + t / 2);
        s.lineTo(a + t / 2, y + t / 2);
        s.closeSubpath();
        return s;
    };
    auto vertical = [&](double x, double y0, double y1) {
        QPainterPath s;
        const double a = y0 + gap, b = y1 - gap;
        s.moveTo(x, a);
        s.lineTo(x + t / 2, a + t / 2);
        s.lineTo(x + t / 2, b - t / 2);
        s.lineTo(x, b);
        s.lineTo(x - t / 2, b - t / 2);
        s.lineTo(x - t / 2, a + t / 2);
        s.closeSubpath();
        return s;
    };
    switch (which) {
    case 0:
        return horizontal(top);
    case 1:
        return vertical(right, top, middle);
    case 2:
        return vertical(right, middle, bottom);
    case 3:
        return horizontal(bottom);
    case 4:
        return vertical(left, middle, bottom);
    case 5:
        return vertical(left, top, middle);
    default:
        return horizontal(middle);
    }
}

QImage digitStrip(int s) {
    // Segments lit for 0-9, then cell 10 (a minus sign, not used for codes), cell 11 blank.
    static const char* const lit[12] = {"abcdef", "bc",  "abdeg",   "abcdg",  "bcfg", "acdfg",
                                        "acdefg", "abc", "abcdefg", "abcdfg", "g",    ""};
    // The gradient goes one band per supersampled row.
    const int factor = 4;
    const int rows = factor * s;
    QImage strip = supersample(180, 25, factor, [&](QPainter& p) {
        for (int y = 0; y < 25 * rows; ++y) {
            p.fillRect(QRectF(0, double(y) / rows, 180, 1.0 / rows), displayAt((y + 0.5) / rows));
        }
        // A faint edge of light along the top, as on a glass display.
        p.fillRect(QRectF(0, 0, 180, 1), withAlpha(QColor(255, 255, 255), 0.06));
        for (int cell = 0; cell < 11; ++cell) {
            p.save();
            p.translate(cell * 15, 0);
            for (int s = 0; s < 7; ++s) {
                const bool on = std::strchr(lit[cell], 'a' + s) != nullptr;
                p.fillPath(segment(s), on ? colours::digit : withAlpha(colours::digit, 0.07));
            }
            p.restore();
        }
    }, s);
    // A soft glow under the lit segments, kept inside each cell so cells stay independent.
    QImage glow = canvas(180 * s, 25 * s);
    {
        QPainter p(&glow);
        p.setRenderHint(QPainter::Antialiasing);
        scaleTo(p, s);
        for (int cell = 0; cell < 11; ++cell) {
            p.save();
            p.translate(cell * 15, 0);
            for (int s = 0; s < 7; ++s) {
                if (std::strchr(lit[cell], 'a' + s) != nullptr) {
                    p.fillPath(segment(s), withAlpha(colours::digitGlow, 0.55));
                }
            }
            p.restore();
        }
    }
    blur(glow, s);
    QImage out = strip.convertToFormat(QImage::Format_RGB32);
    const int cell = 15 * s;
    for (int y = 0; y < 25 * s; ++y) {
        auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* g = reinterpret_cast<const QRgb*>(glow.constScanLine(y));
        for (int x = 0; x < 180 * s; ++x) {
            // Glow only darkens nothing and never crosses into the next cell or the blank tile.
            if (x / cell >= 11 || (x % cell) < s || (x % cell) >= cell - s) {
                continue;
            }
            const QColor base = QColor::fromRgb(o[x]);
            const double a = qAlpha(g[x]) / 255.0 * 0.35;
            const QColor c(std::min(255, int(base.red() + colours::digitGlow.red() * a)),
                           std::min(255, int(base.green() + colours::digitGlow.green() * a)),
                           std::min(255, int(base.blue() + colours::digitGlow.blue() * a)));
            o[x] = c.rgb();
        }
    }
    return out;
}

// ---------------------------------------------------------------- progress clip

std::vector<QImage> progressFrames(int s) {
    std::vector<QImage> frames;
    const int dots = 7;
    const double spacing = 15;
    for (int f = 0; f < 20; ++f) {
        QImage frame = supersample(220, 18, 4, [&](QPainter& p) {
            p.fillRect(QRectF(0, 0, 220, 18), colours::page);
            // A pulse runs from left to right through the row of dots, once a loop.
            const double centre = f / 20.0 * (dots + 3) - 1.5;
            for (int i = 0; i < dots; ++i) {
                const double d = i - centre;
                const double level = std::exp(-d * d / (2 * 0.85 * 0.85));
                const double r = 2.4 + 1.5 * level;
                const QPointF at(110 + (i - (dots - 1) / 2.0) * spacing, 9);
                QPainterPath dot;
                dot.addEllipse(at, r, r);
                p.fillPath(dot, mix(colours::dotIdle, colours::accent, level));
            }
        }, s);
        frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
    }
    return frames;
}

void put16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i) {
        out.append(char((v >> (8 * i)) & 0xff));
    }
}

void patch32(QByteArray& out, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = char((v >> (8 * i)) & 0xff);
    }
}

// An uncompressed AVI: one video stream of 24-bit bottom-up frames, with an index.
QByteArray writeAvi(const std::vector<QImage>& frames, quint32 microSecondsPerFrame) {
    const int w = frames.front().width();
    const int h = frames.front().height();
    const quint32 stride = quint32((w * 3 + 3) & ~3);
    const quint32 frameSize = stride * quint32(h);
    const quint32 count = quint32(frames.size());

    QByteArray avi;
    avi.append("RIFF");
    put32(avi, 0);
    avi.append("AVI ");

    avi.append("LIST");
    const qsizetype hdrlSize = avi.size();
    put32(avi, 0);
    avi.append("hdrl");
    avi.append("avih");
    put32(avi, 56);
    put32(avi, microSecondsPerFrame);
    put32(avi, quint32(std::uint64_t(frameSize) * 1000000u / microSecondsPerFrame));
    put32(avi, 0);
    put32(avi, 0x10); // AVIF_HASINDEX
    put32(avi, count);
    put32(avi, 0);
    put32(avi, 1);
    put32(avi, frameSize);
    put32(avi, quint32(w));
    put32(avi, quint32(h));
    for (int i = 0; i < 4; ++i) {
        put32(avi, 0);
    }
    avi.append("LIST");
    const qsizetype strlSize = avi.size();
    put32(avi, 0);
    avi.append("strl");
    avi.append("strh");
    put32(avi, 56);
    avi.append("vids");
    avi.append("DIB ");
    put32(avi, 0);
    put16(avi, 0);
    put16(avi, 0);
    put32(avi, 0);
    put32(avi, microSecondsPerFrame); // scale / rate = seconds per frame
    put32(avi, 1000000);
    put32(avi, 0);
    put32(avi, count);
    put32(avi, frameSize);
    put32(avi, 0xffffffffu);
    put32(avi, 0);
    put16(avi, 0);
    put16(avi, 0);
    put16(avi, quint16(w));
    put16(avi, quint16(h));
    avi.append("strf");
    put32(avi, 40);
    put32(avi, 40);
    put32(avi, quint32(w));
    put32(avi, quint32(h));
    put16(avi, 1);
    put16(avi, 24);
    put32(avi, 0); // BI_RGB
    put32(avi, frameSize);
    put32(avi, 0);
    put32(avi, 0);
    put32(avi, 0);
    put32(avi, 0);
    patch32(avi, strlSize, quint32(avi.size() - strlSize - 4));
    patch32(avi, hdrlSize, quint32(avi.size() - hdrlSize - 4));

    avi.append("LIST");
    const qsizetype moviSize = avi.size();
    put32(avi, 0);
    const qsizetype moviStart = avi.size();
    avi.append("movi");
    std::vector<quint32> offsets;
    for (const QImage& frame : frames) {
        offsets.push_back(quint32(avi.size() - moviStart));
        avi.append("00db");
        put32(avi, frameSize);
        for (int y = h - 1; y >= 0; --y) {
            const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            QByteArray row;
            for (int x = 0; x < w; ++x) {
                row.append(char(qBlue(line[x])));
                row.append(char(qGreen(line[x])));
                row.append(char(qRed(line[x])));
            }
            row.append(QByteArray(qsizetype(stride) - row.size(), '\0'));
            avi.append(row);
        }
    }
    patch32(avi, moviSize, quint32(avi.size() - moviSize - 4));

    avi.append("idx1");
    put32(avi, count * 16);
    for (quint32 offset : offsets) {
        avi.append("00db");
        put32(avi, 0x10); // key frame
        put32(avi, offset);
        put32(avi, frameSize);
    }
    patch32(avi, 4, quint32(avi.size() - 8));
    return avi;
}

// ---------------------------------------------------------------- icons and logo

QImage appMark(int size) {
    // Small sizes are drawn for their size, not scaled: fewer, thicker shapes.
    return supersample(size, size, 4, [size](QPainter& p) {
        const double s = size;
        const double inset = size <= 16 ? 0.5 : s * 0.04;
        const QRectF tile(inset, inset, s - 2 * inset, s - 2 * inset);
        QPainterPath square;
        square.addRoundedRect(tile, s * 0.22, s * 0.22);
        QLinearGradient fill(tile.topLeft(), tile.bottomRight());
        fill.setColorAt(0, colours::accentLight);
        fill.setColorAt(1, colours::accentDark);
        p.fillPath(square, fill);
        if (size >= 32) {
            QLinearGradient sheen(0, tile.top(), 0, tile.center().y());
            sheen.setColorAt(0, QColor(255, 255, 255, 45));
            sheen.setColorAt(1, QColor(255, 255, 255, 0));
            p.fillPath(square, sheen);
        }
        const double sw = size <= 16 ? s * 0.62 : s * 0.52;
        const double sh = sw * 1.18;
        const QRectF box(s / 2 - sw / 2, s / 2 - sh / 2 + s * 0.01, sw, sh);
        p.fillPath(shieldPath(box), QColor(255, 255, 255));
        const double hole = size <= 16 ? 3.0 : sw * 0.26;
        p.fillPath(keyholePath(QPointF(s / 2, box.top() + sh * 0.4), hole), colours::accent);
    });
}

QImage tokenIcon(int size, bool isDefault) {
    return supersample(size, size, 4, [size, isDefault](QPainter& p) {
        p.scale(size / 16.0, size / 16.0);
        // A token: a rounded body with a small display showing a code.
        QPainterPath body;
        body.addRoundedRect(QRectF(0.8, 3.3, 14.4, 9.6), 2.4, 2.4);
        const QColor top = isDefault ? colours::accentLight : QColor(0x8C, 0x99, 0xAA);
        const QColor bottom = isDefault ? colours::accentDark : QColor(0x5E, 0x6B, 0x7C);
        QLinearGradient fill(0, 3.3, 0, 12.9);
        fill.setColorAt(0, top);
        fill.setColorAt(1, bottom);
        p.fillPath(body, fill);
        p.fillRect(QRectF(2.6, 5.4, 8.6, 4.0), colours::displayTop);
        for (int i = 0; i < 3; ++i) {
            p.fillRect(QRectF(3.6 + i * 2.5, 6.7, 1.6, 1.4), colours::digit);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(QPointF(13.1, 7.4), 0.9, 0.9);
        if (isDefault) {
            // The default token carries a check badge.
            p.setBrush(QColor(255, 255, 255));
            p.drawEllipse(QPointF(11.6, 11.6), 4.4, 4.4);
            p.setBrush(colours::ok);
            p.drawEllipse(QPointF(11.6, 11.6), 3.6, 3.6);
            QPen pen(QColor(255, 255, 255), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p.setPen(pen);
            QPainterPath tick;
            tick.moveTo(9.9, 11.7);
            tick.lineTo(11.1, 12.9);
            tick.lineTo(13.3, 10.4);
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
        }
    });
}

QImage logo(int size, int markSize, int s) {
    QImage image = canvas(size * s, size * s);
    QPainter p(&image);
    const double at = (size - markSize) / 2.0;
    QPainterPath square;
    square.addRoundedRect(
        QRectF(at + markSize * 0.04, at + markSize * 0.04, markSize * 0.92, markSize * 0.92), markSize * 0.22,
        markSize * 0.22);
    p.setRenderHint(QPainter::Antialiasing);
    dropShadow(p, square, image.size(), QPointF(0, 1.2), 2, QColor(16, 32, 56, 70), s);
    // The mark drawn for its size in pixels, as the icons are.
    p.drawImage(QPointF(at * s, (at - 0.5) * s), appMark(markSize * s));
    return image;
}

// A Windows .ico holding 32-bit images (BGRA, bottom-up, with an empty AND mask).
QByteArray writeIco(const std::vector<QImage>& images) {
    QByteArray ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, quint16(images.size()));
    std::vector<QByteArray> bodies;
    for (const QImage& source : images) {
        const QImage image = source.convertToFormat(QImage::Format_ARGB32);
        const int w = image.width(), h = image.height();
        QByteArray body;
        put32(body, 40);
        put32(body, quint32(w));
        put32(body, quint32(h * 2));
        put16(body, 1);
        put16(body, 32);
        put32(body, 0);
        put32(body, 0);
        put32(body, 0);
        put32(body, 0);
        put32(body, 0);
        put32(body, 0);
        for (int y = h - 1; y >= 0; --y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                body.append(char(qBlue(line[x])));
                body.append(char(qGreen(line[x])));
                body.append(char(qRed(line[x])));
                body.append(char(qAlpha(line[x])));
            }
        }
        const int maskStride = ((w + 31) / 32) * 4;
        body.append(QByteArray(qsizetype(maskStride) * h, '\0'));
        bodies.push_back(body);
    }
    quint32 offset = quint32(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int w = images[i].width(), h = images[i].height();
        ico.append(char(w >= 256 ? 0 : w));
        ico.append(char(h >= 256 ? 0 : h));
        ico.append('\0');
        ico.append('\0');
        put16(ico, 1);
        put16(ico, 32);
        put32(ico, quint32(bodies[i].size()));
        put32(ico, offset);
        offset += quint32(bodies[i].size());
    }
    for (const QByteArray& body : bodies) {
        ico.append(body);
    }
    return ico;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool generate(const QString& dir) {
    QDir().mkpath(dir);
    const auto at = [&dir](const char* name) { return dir + QLatin1Char('/') + QLatin1String(name); };
    bool ok = true;
    // The pictures the program draws, at 1x and 2x.
    for (int s : {1, 2}) {
        const auto name = [s](const char* kind, int id, const char* ext) {
            return QStringLiteral("%1_%2%3.%4")
                .arg(QLatin1String(kind))
                .arg(id)
                .arg(s == 1 ? QString() : QStringLiteral("@%1x").arg(s))
                .arg(QLatin1String(ext));
        };
        const auto png = [&](const QImage& image, int id, bool alpha = true) {
            return savePng(image, dir + QLatin1Char('/') + name("png", id, "png"), alpha);
        };
        ok &= png(pageBackground(false, s), 202);
        ok &= png(pageBackground(true, s), 232);
        ok &= png(roundButton(Glyph::Go, false, s), 209);
        ok &= png(roundButton(Glyph::Go, true, s), 211);
        ok &= png(roundButton(Glyph::Copy, false, s), 210);
        ok &= png(roundButton(Glyph::Copy, true, s), 212);
        ok &= png(changeTokenIcon(s), 233);
        ok &= png(homeIcon(s), 218);
        ok &= png(arrowIcon(false, s), 220);
        ok &= png(arrowIcon(true, s), 221);
        ok &= png(editFrame(s), 215);
        ok &= png(panel(s), 214);
        ok &= png(timerTrack(s), 217);
        ok &= png(logo(60, 56, s), 230);
        ok &= savePng(digitStrip(s), dir + QLatin1Char('/') + name("bitmap", 216, "png"), false);
        ok &= writeFile(dir + QLatin1Char('/') + name("avi", 107, "avi"), writeAvi(progressFrames(s), 83333));
    }
    // Pictures outside the program's pages: the splash for the package and a plain mark.
    ok &= savePng(splash(), at("png_213.png"), true);
    ok &= savePng(appMark(48), at("png_229.png"), true);
    std::vector<QImage> app;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        app.push_back(appMark(size));
    }
    ok &= writeFile(at("icon_128.ico"), writeIco(app));
    ok &= writeFile(at("icon_226.ico"),
                    writeIco({tokenIcon(16, true), tokenIcon(24, true), tokenIcon(32, true)}));
    ok &= writeFile(at("icon_227.ico"),
                    writeIco({tokenIcon(16, false), tokenIcon(24, false), tokenIcon(32, false)}));
    return ok;
}

} // namespace pictures

int main(int argc, char** argv) {
    // Text on the contact sheet needs fonts; nothing needs a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 2) {
        return pictures::generate(args[1]) ? 0 : 1;
    }
    if (args.size() == 4 && args[1] == QLatin1String("--contact-sheet")) {
        return pictures::contactSheet(args[2], args[3]) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: valdorix-pictures <resources/pictures>\n"
                         "       valdorix-pictures --contact-sheet <resources/pictures> <sheet.png>\n");
    return 2;
}
