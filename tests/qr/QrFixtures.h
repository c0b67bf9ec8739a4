#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// QR pictures for tests, made by an independent encoder (qrencode), so a reader is never checked
// only against our own writer.
namespace qrtest {

// The PNG qrencode writes for `text` (module `scale` pixels, quiet zone 4); empty when it fails.
inline QByteArray qrencodePng(const std::string& text, int scale = 4) {
    QProcess process;
    process.start(QStringLiteral(VALDORIX_QRENCODE),
                  {QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("-s"), QString::number(scale),
                   QString::fromStdString(text)});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

inline QImage qrencodeImage(const std::string& text, int scale = 4) {
    return QImage::fromData(qrencodePng(text, scale), "png");
}

// Several pictures side by side on one white canvas, with a gap between them.
inline QImage sideBySide(const std::vector<QImage>& images, int gap = 40) {
    int width = gap, height = 0;
    for (const QImage& image : images) {
        width += image.width() + gap;
        height = std::max(height, image.height());
    }
    QImage canvas(width, height + 2 * gap, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int x = gap;
    for (const QImage& image : images) {
        painter.drawImage(x, gap, image);
        x += image.width() + gap;
    }
    return canvas;
}

inline QByteArray encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

} // namespace qrtest
