// The contact sheet: every committed picture at its size and enlarged, the generated disabled
// faces, and mock-ups of the pages put together the way the product draws them.

#include "Pictures.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <cstdio>

namespace pictures {

namespace {

QString g_dir;

QImage png(const char* name) {
    QImage image(g_dir + QLatin1Char('/') + QLatin1String(name));
    if (image.isNull()) {
        std::fprintf(stderr, "missing %s\n", name);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

std::vector<QImage> icoImages(const char* name) {
    std::vector<QImage> images;
    QImageReader reader(g_dir + QLatin1Char('/') + QLatin1String(name), "ico");
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        images.push_back(reader.read());
    }
    return images;
}

quint32 le32(const QByteArray& b, qsizetype at) {
    return quint32(quint8(b[at])) | (quint32(quint8(b[at + 1])) << 8) | (quint32(quint8(b[at + 2])) << 16) |
           (quint32(quint8(b[at + 3])) << 24);
}

// Enough of an AVI reader for our own file: the frames of the movi list.
std::vector<QImage> aviFrames(const char* name, int w, int h) {
    std::vector<QImage> frames;
    QFile file(g_dir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return frames;
    }
    const QByteArray data = file.readAll();
    const qsizetype movi = data.indexOf("movi");
    if (movi < 0) {
        return frames;
    }
    const qsizetype stride = (w * 3 + 3) & ~3;
    qsizetype at = movi + 4;
    while (at + 8 <= data.size() && data.mid(at, 4) == "00db") {
        const quint32 size = le32(data, at + 4);
        QImage frame(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            const char* row = data.constData() + at + 8 + (h - 1 - y) * stride;
            for (int x = 0; x < w; ++x) {
                frame.setPixel(x, y,
                               qRgb(quint8(row[x * 3 + 2]), quint8(row[x * 3 + 1]), quint8(row[x * 3])));
            }
        }
        frames.push_back(frame);
        at += 8 + size + (size & 1);
    }
    return frames;
}

// The disabled face as the button makes it: grey (306 r + 601 g + 117 b) >> 10, then gamma 2.0.
QImage disabledFace(const QImage& normal) {
    QImage out = normal.convertToFormat(QImage::Format_ARGB32);
    int table[256];
    const double scale = std::pow(255.0, 0.5) / 255.0;
    for (int i = 0; i < 256; ++i) {
        table[i] = std::min(255, int(std::pow(double(i), 0.5) / scale));
    }
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const int grey = table[(306 * qRed(p) + 601 * qGreen(p) + 117 * qBlue(p)) >> 10];
            line[x] = qRgba(grey, grey, grey, qAlpha(p));
        }
    }
    return out;
}

void tile(QPainter& p, const QImage& image, QRect r) {
    for (int y = 0; y < r.height(); y += image.height()) {
        for (int x = 0; x < r.width(); x += image.width()) {
            const int w = std::min(image.width(), r.width() - x);
            const int h = std::min(image.height(), r.height() - y);
            p.drawImage(QPoint(r.left() + x, r.top() + y), image, QRect(0, 0, w, h));
        }
    }
}

void piece(QPainter& p, const QImage& image, QRect source, QRect target, bool stretch) {
    source = source.intersected(image.rect());
    if (source.isEmpty() || target.isEmpty()) {
        return;
    }
    const QImage part = image.copy(source);
    if (stretch) {
        p.drawImage(target, part);
    } else {
        tile(p, part, target);
    }
}

// Nine-patch drawing as the product does it (corners unscaled).
void nine(QPainter& p, const QImage& image, QRect r, int m, bool stretchTopBottom, bool stretchSides) {
    const int w = image.width(), h = image.height();
    const int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    p.drawImage(QPoint(left, top), image, QRect(0, 0, m, m));
    piece(p, image, QRect(m, 0, w - 2 * m, m), QRect(left + m, top, r.width() - 2 * m, m), stretchTopBottom);
    p.drawImage(QPoint(right - m, top), image, QRect(w - m, 0, m, m));
    piece(p, image, QRect(0, m, m, h - 2 * m), QRect(left, top + m, m, r.height() - 2 * m), stretchSides);
    piece(p, image, QRect(m, m, w - 2 * m, h - 2 * m),
          QRect(left + m, top + m, r.width() - 2 * m, r.height() - 2 * m), stretchSides);
    piece(p, image, QRect(w - m, m, m, h - 2 * m), QRect(right - m, top + m, m, r.height() - 2 * m),
          stretchSides);
    p.drawImage(QPoint(left, bottom - m), image, QRect(0, h - m, m, m));
    piece(p, image, QRect(m, h - m, w - 2 * m, m), QRect(left + m, bottom - m, r.width() - 2 * m, m),
          stretchTopBottom);
    p.drawImage(QPoint(right - m, bottom - m), image, QRect(w - m, h - m, m, m));
}

// The number plate: background cells across, digits spaced as the OTP page spaces them.
void plate(QPainter& p, const QImage& strip, QPoint at, int width, const QString& code) {
    const QImage background = strip.copy(11 * 15, 0, 15, 25);
    for (int i = 0; i < (width - 1) / 15 + 1; ++i) {
        p.drawImage(QPoint(at.x() + i * 15, at.y()), background,
                    QRect(0, 0, std::min(15, width - i * 15), 25));
    }
    const int n = int(code.size());
    const int gap = (width - 15 * n) / (n + 1);
    const int left = (width - 15 * n - (n - 1) * gap) / 2;
    for (int i = 0; i < n; ++i) {
        const int cell = code[i].unicode() - '0';
        p.drawImage(QPoint(at.x() + left + i * (gap + 15), at.y()), strip, QRect(cell * 15, 0, 15, 25));
    }
}

void raisedBorder(QPainter& p, QRect r) {
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), QColor(255, 255, 255));
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), QColor(255, 255, 255));
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), QColor(160, 160, 160));
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), QColor(160, 160, 160));
}

QFont uiFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void label(QPainter& p, QPoint at, const QString& text, int pixels = 13, bool bold = true) {
    p.setFont(uiFont(pixels, bold));
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(at, text);
}

QImage zoom(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A 391 x 191 page inside a plain window frame with a menu bar, as the main window shows it.
void window(QPainter& p, QPoint at, const QImage& page) {
    p.fillRect(QRect(at.x() - 1, at.y() - 21, 393, 213), QColor(0x9A, 0xA4, 0xB0));
    p.fillRect(QRect(at.x(), at.y() - 20, 391, 20), QColor(0xFB, 0xFB, 0xFC));
    p.setFont(uiFont(12));
    p.setPen(QColor(0x20, 0x20, 0x20));
    p.drawText(QPoint(at.x() + 8, at.y() - 6), QStringLiteral("File    Token    Help"));
    p.drawImage(at, page);
}

} // namespace

bool contactSheet(const QString& dir, const QString& out) {
    g_dir = dir;
    const QImage bg202 = png("png_202.png"), bg232 = png("png_232.png"), bg213 = png("png_213.png");
    const QImage go = png("png_209.png"), goPressed = png("png_211.png");
    const QImage copy = png("png_210.png"), copyPressed = png("png_212.png");
    const QImage change = png("png_233.png"), home = png("png_218.png"), back = png("png_220.png"),
                 forward = png("png_221.png");
    const QImage edit = png("png_215.png"), panelImage = png("png_214.png"), track = png("png_217.png");
    const QImage logo230 = png("png_230.png"), logo229 = png("png_229.png");
    const QImage strip = png("bitmap_216.png");
    const std::vector<QImage> clip = aviFrames("avi_107.avi", 220, 18);
    const std::vector<QImage> appIcons = icoImages("icon_128.ico");
    const std::vector<QImage> defaultIcons = icoImages("icon_226.ico");
    const std::vector<QImage> tokenIcons = icoImages("icon_227.ico");

    QImage sheet(1290, 1760, QImage::Format_RGB32);
    sheet.fill(QColor(0xE2, 0xE5, 0xE9));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::TextAntialiasing);

    // ---- mock pages
    label(p, QPoint(20, 28), QStringLiteral("Pages as the product composes them"), 16);
    {
        // OTP page.
        QImage page = bg232.copy();
        QPainter pp(&page);
        pp.setFont(uiFont(13, true));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(24, 34), QStringLiteral("Corporate VPN"));
        pp.setFont(uiFont(11));
        pp.setPen(QColor(0x6A, 0x78, 0x8A));
        pp.drawText(QPoint(24, 50), QStringLiteral("Event token  \u00b7  OTP-000418"));
        plate(pp, strip, QPoint(24, 78), 200, QStringLiteral("482913"));
        nine(pp, track, QRect(24, 112, 200, 4), 3, false, false);
        pp.fillRect(QRect(24, 112, 200 * 12 / 30, 4), QColor(255, 0, 0));
        pp.drawImage(QPoint(250, 66), go);
        pp.drawImage(QPoint(312, 66), copy);
        pp.drawImage(QPoint(24, 146), change);
        pp.setFont(uiFont(11));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(54, 162), QStringLiteral("Change Token... (F2)"));
        pp.end();
        window(p, QPoint(20, 64), page);
    }
    {
        // Log-in page.
        QImage page = bg202.copy();
        QPainter pp(&page);
        pp.setFont(uiFont(11));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(40, 62), QStringLiteral("Please enter your PIN:"));
        nine(pp, edit, QRect(38, 70, 204, 21), 2, false, false);
        pp.setPen(QColor(0x20, 0x20, 0x20));
        pp.drawText(QPoint(44, 85), QStringLiteral("\u2022\u2022\u2022\u2022\u2022\u2022"));
        pp.drawImage(QPoint(280, 56), go);
        pp.setPen(QColor(0xC0, 0x20, 0x20));
        pp.drawText(QPoint(40, 112), QStringLiteral("Incorrect PIN! Please try again."));
        pp.end();
        window(p, QPoint(440, 64), page);
    }
    {
        // Progress page with the navigation bar, Home hovered, Forward disabled.
        QImage page = bg202.copy();
        QPainter pp(&page);
        pp.drawImage(QPoint(40, 74), clip.empty() ? QImage() : clip[8]);
        pp.setFont(uiFont(11));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(40, 60), QStringLiteral("Downloading your token..."));
        pp.drawText(QPoint(40, 112), QStringLiteral("Connecting to the OXA server"));
        const int y = 160;
        pp.drawImage(QPoint(303, y), home);
        raisedBorder(pp, QRect(303, y, 24, 24));
        pp.drawImage(QPoint(329, y), back);
        pp.drawImage(QPoint(355, y), disabledFace(forward));
        pp.end();
        window(p, QPoint(860, 64), page);
    }
    {
        // Set-PIN page with disabled Go and a panel.
        QImage page = bg202.copy();
        QPainter pp(&page);
        nine(pp, panelImage, QRect(20, 20, 351, 110), 10, false, true);
        pp.setFont(uiFont(11));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(36, 48), QStringLiteral("Choose a PIN:"));
        nine(pp, edit, QRect(36, 56, 180, 21), 2, false, false);
        pp.drawText(QPoint(36, 98), QStringLiteral("Confirm the PIN:"));
        nine(pp, edit, QRect(36, 104, 180, 21), 2, false, false);
        pp.drawImage(QPoint(290, 140), disabledFace(go));
        pp.end();
        window(p, QPoint(20, 300), page);
    }
    {
        // About page.
        QImage page = bg202.copy();
        QPainter pp(&page);
        pp.drawImage(QPoint(30, 40), logo230);
        pp.setFont(uiFont(14, true));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(110, 60), QStringLiteral("Valdorix Desktop"));
        pp.setFont(uiFont(11));
        pp.drawText(QPoint(110, 80), QStringLiteral("Version 5.9.5"));
        pp.drawImage(QPoint(329, 160), back);
        pp.end();
        window(p, QPoint(440, 300), page);
    }
    {
        // Show-OTP page: two lines of digits.
        QImage page = bg202.copy();
        QPainter pp(&page);
        pp.setFont(uiFont(11));
        pp.setPen(colours::ink);
        pp.drawText(QPoint(24, 40), QStringLiteral("Your response:"));
        plate(pp, strip, QPoint(24, 56), 150, QStringLiteral("73920418"));
        plate(pp, strip, QPoint(24, 81), 150, QStringLiteral("05617734"));
        pp.drawImage(QPoint(300, 60), copyPressed);
        pp.end();
        window(p, QPoint(860, 300), page);
    }

    // ---- backgrounds
    int y = 530;
    label(p, QPoint(20, y), QStringLiteral("Backgrounds 202, 232, 213 (391 x 191)"), 16);
    p.drawImage(QPoint(20, y + 12), bg202);
    p.drawImage(QPoint(440, y + 12), bg232);
    p.drawImage(QPoint(860, y + 12), bg213);

    // ---- buttons
    y = 760;
    label(p, QPoint(20, y), QStringLiteral("Buttons 209, 211, 210, 212 with generated disabled faces; 3x"),
          16);
    p.fillRect(QRect(20, y + 12, 1250, 190), colours::page);
    const QImage faces[] = {go, goPressed, disabledFace(go), copy, copyPressed, disabledFace(copy)};
    for (int i = 0; i < 6; ++i) {
        p.drawImage(QPoint(30 + i * 60, y + 22), faces[i]);
        p.drawImage(QPoint(400 + i * 145, y + 22 + (i % 3 == 1 ? 3 : 0)), zoom(faces[i], 3));
    }
    label(p, QPoint(30, y + 100), QStringLiteral("normal, pressed, disabled"), 12, false);

    // ---- glyphs
    y = 980;
    label(p, QPoint(20, y),
          QStringLiteral("Home 218, Back 220, Forward 221, Change token 233: 1x, hover frame, disabled, 4x"),
          16);
    p.fillRect(QRect(20, y + 12, 1250, 120), colours::page);
    const QImage glyphs[] = {home, back, forward, change};
    for (int i = 0; i < 4; ++i) {
        p.drawImage(QPoint(30 + i * 30, y + 24), glyphs[i]);
        p.drawImage(QPoint(30 + i * 30, y + 56), glyphs[i]);
        raisedBorder(p, QRect(30 + i * 30, y + 56, 24, 24));
        p.drawImage(QPoint(30 + i * 30, y + 88), disabledFace(glyphs[i]));
        p.drawImage(QPoint(170 + i * 110, y + 22), zoom(glyphs[i], 4));
    }

    // ---- frames
    y = 1130;
    label(p, QPoint(20, y),
          QStringLiteral("Nine-patch 215 (edit frame), 214 (panel), 217 (countdown track); digit strip 216"),
          16);
    p.fillRect(QRect(20, y + 12, 1250, 180), colours::page);
    nine(p, edit, QRect(30, y + 24, 220, 24), 2, false, false);
    p.drawImage(QPoint(270, y + 24), zoom(edit.copy(0, 0, 16, 8), 6));
    nine(p, panelImage, QRect(400, y + 20, 300, 90), 10, false, true);
    nine(p, track, QRect(30, y + 70, 301, 4), 3, false, false);
    nine(p, track, QRect(30, y + 84, 301, 4), 3, false, false);
    p.fillRect(QRect(30, y + 84, 301 * 2 / 3, 4), QColor(255, 0, 0));
    p.drawImage(QPoint(720, y + 24), strip);
    p.drawImage(QPoint(720, y + 56), zoom(strip, 3));
    plate(p, strip, QPoint(30, y + 110), 200, QStringLiteral("07142936"));
    plate(p, strip, QPoint(240, y + 110), 120, QStringLiteral("5810"));

    // ---- clip
    y = 1330;
    label(p, QPoint(20, y), QStringLiteral("Progress clip 107: 20 frames of 220 x 18"), 16);
    p.fillRect(QRect(20, y + 12, 1250, 200), colours::page);
    for (std::size_t i = 0; i < clip.size(); ++i) {
        p.drawImage(QPoint(30 + int(i / 10) * 240, y + 20 + int(i % 10) * 18), clip[i]);
    }
    if (clip.size() > 6) {
        p.drawImage(QPoint(520, y + 24), zoom(clip[6], 3));
    }

    // ---- icons and logos
    y = 1580;
    label(p, QPoint(20, y - 8), QStringLiteral("Icons 128, 226, 227; logos 230, 229"), 16);
    int x = 30;
    for (const QImage& icon : appIcons) {
        p.drawImage(QPoint(x, y + 150 - icon.height()), icon);
        x += icon.width() + 12;
    }
    x += 20;
    for (const auto* set : {&defaultIcons, &tokenIcons}) {
        for (const QImage& icon : *set) {
            p.fillRect(QRect(x - 2, y + 150 - icon.height() - 2, icon.width() + 4, icon.height() + 4),
                       QColor(255, 255, 255));
            p.drawImage(QPoint(x, y + 150 - icon.height()), icon);
            x += icon.width() + 12;
        }
        x += 10;
    }
    p.drawImage(QPoint(x, y + 90), logo230);
    p.drawImage(QPoint(x + 70, y + 102), logo229);
    if (!appIcons.empty()) {
        p.drawImage(QPoint(x + 140, y + 86), zoom(appIcons.front(), 4));
        p.drawImage(QPoint(x + 220, y + 86), zoom(defaultIcons.front(), 4));
        p.drawImage(QPoint(x + 300, y + 86), zoom(tokenIcons.front(), 4));
    }
    p.end();
    return sheet.save(out);
}

} // namespace pictures
