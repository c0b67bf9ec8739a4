// Reading QR pictures made by an independent encoder, refusing what is not one, and writing codes
// that read back.
#include "qr/QrCodes.h"

#include "QrFixtures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

const std::string kUri = "otpauth://totp/Example:alice@example.com?secret=JBSWY3DPEHPK3PXP&issuer=Example";
const std::string kUtf8Uri = "otpauth://totp/B\xc3\xa4ren:j\xc3\xbcrgen?secret=JBSWY3DPEHPK3PXP";
const std::string kHotpUri = "otpauth://hotp/Bank:bob?secret=GEZDGNBVGY3TQOJQ&counter=7";

void ensureGuiApplication() {
    if (QGuiApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "valdorix-test";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

// A PNG of a 1x1 picture whose header claims width x height: the decoder would allocate for the
// claim. The header's checksum is made right, so only the size can refuse it.
QByteArray pngClaiming(quint32 width, quint32 height) {
    QImage dot(1, 1, QImage::Format_Grayscale8);
    dot.fill(0xff);
    QByteArray png = qrtest::encoded(dot, "png");
    // Signature (8), IHDR length (4), "IHDR" (4), width, height, five bytes, CRC over type+data.
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    const auto crc = static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(png.constData() + 12), 17));
    qToBigEndian(crc, png.data() + 29);
    return png;
}

QImage inverted(QImage image) {
    image.invertPixels();
    return image;
}

class QrCodesTest : public testing::Test {
protected:
    void SetUp() override {
        ensureGuiApplication();
        ASSERT_TRUE(folder.isValid());
        ASSERT_FALSE(qrtest::qrencodePng(kUri).isEmpty()) << "qrencode is missing (scripts/install-deps.sh)";
    }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir folder;
};

struct FileCase {
    const char* name;                    // also the file name
    std::function<QByteArray()> content; // null: the file does not exist
    std::vector<std::string> texts;      // in any order
    const char* error;                   // a part of the error text; "" when it reads
};

TEST_F(QrCodesTest, ReadsEveryCodeInAPictureFileAndSaysWhyWhenItCannot) {
    const std::vector<FileCase> cases = {
        {"code.png", [] { return qrtest::qrencodePng(kUri); }, {kUri}, ""},
        {"utf8.png", [] { return qrtest::qrencodePng(kUtf8Uri); }, {kUtf8Uri}, ""},
        {"photo.jpg", [] { return qrtest::encoded(qrtest::qrencodeImage(kUri, 5), "jpeg", 60); }, {kUri}, ""},
        {"three.png",
         [] {
             return qrtest::encoded(
                 qrtest::sideBySide({qrtest::qrencodeImage(kUri), qrtest::qrencodeImage(kHotpUri),
                                     qrtest::qrencodeImage(kUtf8Uri)}),
                 "png");
         },
         {kUri, kHotpUri, kUtf8Uri},
         ""},
        {"transparent.png",
         [] {
             // Dark modules on a transparent background whose hidden colour is black.
             QImage image = qrtest::qrencodeImage(kUri).convertToFormat(QImage::Format_ARGB32);
             for (int y = 0; y < image.height(); ++y)
                 for (int x = 0; x < image.width(); ++x)
                     if (qGray(image.pixel(x, y)) > 128)
                         image.setPixel(x, y, qRgba(0, 0, 0, 0));
             return qrtest::encoded(image, "png");
         },
         {kUri},
         ""},
        {"dark-theme.png",
         [] { return qrtest::encoded(inverted(qrtest::qrencodeImage(kUri)), "png"); },
         {kUri},
         ""},
        {"blank.png",
         [] {
             QImage image(300, 200, QImage::Format_RGB32);
             image.fill(Qt::white);
             QPainter(&image).fillRect(40, 40, 120, 60, Qt::black);
             return qrtest::encoded(image, "png");
         },
         {},
         "No QR code was found in blank.png"},
        {"notes.png",
         [] { return QByteArray("otpauth://totp/A?secret=JBSWY3DPEHPK3PXP\n"); },
         {},
         "notes.png is not a PNG or JPEG picture"},
        {"picture.bmp",
         [] { return qrtest::encoded(qrtest::qrencodeImage(kUri), "bmp"); },
         {},
         "is not a PNG or JPEG picture"},
        {"cut.png",
         [] { return qrtest::qrencodePng(kUri).left(120); },
         {},
         "cut.png could not be read as a picture"},
        {"long-chunk.png",
         [] {
             // A text chunk claiming 2 GB in a file of a few hundred bytes.
             QByteArray png = qrtest::qrencodePng(kUri);
             return png.insert(33, QByteArray::fromHex("7fffff00") + "tEXt" + QByteArray(12, 'x'));
         },
         {},
         "long-chunk.png could not be read as a picture"},
        {"scrambled.png",
         [] {
             // Whole chunks, but the image data is noise.
             QByteArray png = qrtest::qrencodePng(kUri);
             const qsizetype data = png.indexOf("IDAT") + 4;
             for (qsizetype i = data; i < data + 16; ++i)
                 png[i] = char(0xa5 ^ i);
             return png;
         },
         {},
         "scrambled.png could not be read as a picture"},
        {"empty.jpg", [] { return QByteArray(); }, {}, "is not a PNG or JPEG picture"},
        {"huge.png", [] { return pngClaiming(40000, 40000); }, {}, "huge.png is too large a picture"},
        {"missing.png", nullptr, {}, "Cannot read missing.png"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name);
        const QString path = c.content ? write(name, c.content()) : folder.filePath(name);
        QrFileResult result = readQrCodesFromFile(path);
        std::vector<std::string> expected = c.texts;
        std::sort(result.texts.begin(), result.texts.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(result.texts, expected);
        if (*c.error)
            EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.error))) << result.error.toStdString();
        else
            EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    }
}

TEST_F(QrCodesTest, AFolderIsNotReadAsAPicture) {
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("codes.png")));
    const QrFileResult result = readQrCodesFromFile(folder.filePath(QStringLiteral("codes.png")));
    EXPECT_TRUE(result.texts.empty());
    EXPECT_TRUE(result.error.startsWith(QStringLiteral("Cannot read codes.png")))
        << result.error.toStdString();
}

TEST_F(QrCodesTest, WrittenCodesReadBackWithSquareModulesAndAQuietZone) {
    const std::string longText(900, 'x');
    const struct {
        std::string text;
        int modulePixels;
    } cases[] = {{kUri, 1}, {kUri, 3}, {kUtf8Uri, 6}, {longText, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 30) + " at " + std::to_string(c.modulePixels));
        const QImage image = encodeQrCode(c.text, c.modulePixels);
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.width(), image.height());
        ASSERT_EQ(image.width() % c.modulePixels, 0);
        // Versions are 21 + 4k modules wide, plus four on each side.
        EXPECT_EQ((image.width() / c.modulePixels - 8 - 21) % 4, 0) << image.width();
        for (int y = 0; y < 4 * c.modulePixels; ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(qGray(image.pixel(x, y)), 255) << "quiet zone at " << x << "," << y;
        // The top-left finder pattern starts right after the quiet zone.
        EXPECT_EQ(qGray(image.pixel(4 * c.modulePixels, 4 * c.modulePixels)), 0);
        EXPECT_EQ(decodeQrCodes(image), std::vector<std::string>{c.text});
        // And an independent reader path: the file as saved.
        EXPECT_EQ(readQrCodesFromBytes(qrtest::encoded(image, "png"), QStringLiteral("x.png")).texts,
                  std::vector<std::string>{c.text});
    }
}

TEST_F(QrCodesTest, WritingRefusesWhatCannotBeACode) {
    EXPECT_TRUE(encodeQrCode(std::string(8000, 'x'), 4).isNull()); // beyond the largest version
    EXPECT_TRUE(encodeQrCode(kUri, 0).isNull());
    EXPECT_TRUE(decodeQrCodes(QImage()).empty());
}

} // namespace
