#include "qr/QrCodes.h"

#include "platform/ReadFile.h"

#define ZX_USE_UTF8 1
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>
#include <algorithm>
#include <cstring>
#include <exception>
#include <string_view>

namespace {

// A QR picture is a photo or a screenshot: a few megabytes. The bounds keep a hostile file from
// making the decoder allocate gigabytes (a tiny PNG can declare a huge canvas).
constexpr std::uint64_t kMaxFileBytes = 64ull * 1024 * 1024;
constexpr qint64 kMaxPixels = 50ll * 1000 * 1000;
constexpr int kQuietZoneModules = 4;
constexpr int kMaxModulePixels = 32;

std::vector<std::string> readCodes(const QImage& gray) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryDownscale(true);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(), ZXing::ImageFormat::Lum,
                                static_cast<int>(gray.bytesPerLine()));
    std::vector<std::string> texts;
    try {
        for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
            if (result.isValid())
                texts.push_back(result.text());
        }
    } catch (const std::exception&) {
        // The reader does not throw for bad pictures; if it ever does, the picture just holds
        // no code we could read.
        texts.clear();
    }
    return texts;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// libpng allocates a chunk's buffer by the length the chunk declares, before reading it: a file of a
// few hundred bytes can ask for gigabytes. The whole file is in memory, so a chunk that runs past
// its end is refused here.
bool pngChunksFit(const QByteArray& png) {
    const auto size = static_cast<std::uint64_t>(png.size());
    std::uint64_t at = 8;
    while (at < size) {
        if (size - at < 12)
            return false;
        const std::uint64_t length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > size - at - 12)
            return false;
        if (QByteArrayView(png.constData() + at + 4, 4) == "IEND")
            return true;
        at += length + 12;
    }
    return true;
}

QString tooLarge(const QString& name) {
    return QStringLiteral("%1 is too large a picture to search for QR codes.").arg(name);
}

} // namespace

std::vector<std::string> decodeQrCodes(const QImage& image) {
    if (image.isNull())
        return {};
    QImage gray;
    if (image.hasAlphaChannel()) {
        // Codes saved with a transparent background: transparent black would read as dark
        // modules everywhere, so the picture is laid on white first, as a viewer shows it.
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter(&opaque).drawImage(0, 0, image);
        gray = opaque.convertToFormat(QImage::Format_Grayscale8);
    } else {
        gray = image.convertToFormat(QImage::Format_Grayscale8);
    }
    if (gray.isNull())
        return {};
    std::vector<std::string> texts = readCodes(gray);
    if (texts.empty()) {
        // Light on dark, as a dark theme may show it: the reader of this version only looks for
        // dark modules.
        gray.invertPixels();
        texts = readCodes(gray);
    }
    return texts;
}

QrFileResult readQrCodesFromBytes(const QByteArray& bytes, const QString& name) {
    static constexpr char kPng[] = "\x89PNG\r\n\x1a\n";
    static constexpr char kJpeg[] = "\xff\xd8\xff";
    const char* format = nullptr;
    if (bytes.startsWith(QByteArrayView(kPng, 8)))
        format = "png";
    else if (bytes.startsWith(QByteArrayView(kJpeg, 3)))
        format = "jpeg";
    else
        return {{}, QStringLiteral("%1 is not a PNG or JPEG picture.").arg(name)};
    if (static_cast<std::uint64_t>(bytes.size()) > kMaxFileBytes)
        return {{}, tooLarge(name)};
    if (format == std::string_view("png") && !pngChunksFit(bytes))
        return {{},
                QStringLiteral("%1 could not be read as a picture: it is cut short or damaged.").arg(name)};

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels)
        return {{}, tooLarge(name)};
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        return {{}, QStringLiteral("%1 could not be read as a picture: %2").arg(name, reader.errorString())};
    }
    QrFileResult result;
    result.texts = decodeQrCodes(image);
    if (result.texts.empty())
        result.error = QStringLiteral("No QR code was found in %1.").arg(name);
    return result;
}

QrFileResult readQrCodesFromFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    std::error_code error;
    const auto bytes = platform::readRegularFile(QFile::encodeName(path).toStdString(), kMaxFileBytes, error);
    if (!bytes) {
        if (error == std::errc::file_too_large)
            return {{}, tooLarge(name)};
        return {{}, QStringLiteral("Cannot read %1: %2").arg(name, QString::fromStdString(error.message()))};
    }
    return readQrCodesFromBytes(
        QByteArray(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size())),
        name);
}

QImage encodeQrCode(std::string_view text, int modulePixels) {
    if (modulePixels < 1 || modulePixels > kMaxModulePixels)
        return {};
    ZXing::BitMatrix matrix;
    try {
        ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
        writer.setMargin(kQuietZoneModules);
        // Plain ASCII stays without a character set marker, which every reader takes.
        if (!isAscii(text))
            writer.setEncoding(ZXing::CharacterSet::UTF8);
        // Width and height 0: one pixel per module, scaled below so each module stays square.
        matrix = writer.encode(std::string(text), 0, 0);
    } catch (const std::exception&) {
        return {}; // too long for the largest QR version
    }
    const int side = matrix.width();
    if (side <= 0 || matrix.height() != side)
        return {};
    QImage image(side * modulePixels, side * modulePixels, QImage::Format_Grayscale8);
    if (image.isNull())
        return {};
    for (int y = 0; y < side; ++y) {
        uchar* row = image.scanLine(y * modulePixels);
        for (int x = 0; x < side; ++x)
            std::memset(row + x * modulePixels, matrix.get(x, y) ? 0x00 : 0xff, modulePixels);
        for (int r = 1; r < modulePixels; ++r)
            std::memcpy(image.scanLine(y * modulePixels + r), row, static_cast<std::size_t>(image.width()));
    }
    return image;
}
