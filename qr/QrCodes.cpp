#include "qr/QrCodes.h"

#include "platform/ReadFile.h"

#include "qr/ZXingModule.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string_view>

namespace {

// A QR picture is a photo or a screenshot: a few megabytes. The bounds keep a hostile file from
// making the decoder allocate gigabytes (a tiny PNG can declare a huge canvas).
constexpr std::uint64_t kMaxFileBytes = 64ull * 1024 * 1024;
constexpr qint64 kMaxPixels = 50ll * 1000 * 1000;
constexpr int kQuietZoneModules = 4;
constexpr int kMaxModulePixels = 32;

struct QrModule {
    ValdorixQrRead read = nullptr;
    ValdorixQrWrite write = nullptr;
    std::string problem; // why the module could not be opened; empty when it was
};

// Installed, the module lies beside the program's own folder as the install laid it out; a
// program run from the build tree (the tests) takes the one built beside it, and only then.
std::vector<std::string> moduleCandidates() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return {VALDORIX_QR_MODULE_INSTALLED};
    std::vector<std::string> candidates{
        (program.parent_path() / VALDORIX_QR_MODULE_FROM_PROGRAM).lexically_normal().string()};
    const std::string buildTree = VALDORIX_BUILD_TREE;
    const std::string programPath = program.string();
    if (programPath.size() > buildTree.size() && programPath.compare(0, buildTree.size(), buildTree) == 0 &&
        programPath[buildTree.size()] == '/')
        candidates.insert(candidates.begin(), VALDORIX_QR_MODULE_BUILT);
    return candidates;
}

QrModule openModule() {
    QrModule module;
    for (const std::string& path : moduleCandidates()) {
        void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            if (const char* why = ::dlerror(); module.problem.empty() && why != nullptr)
                module.problem = why;
            continue;
        }
        // Kept open for the life of the process.
        module.read = reinterpret_cast<ValdorixQrRead>(::dlsym(library, kQrReadEntry));
        module.write = reinterpret_cast<ValdorixQrWrite>(::dlsym(library, kQrWriteEntry));
        if (module.read != nullptr && module.write != nullptr) {
            module.problem.clear();
            return module;
        }
        module.problem = path + ": not the QR module of this version";
    }
    module.read = nullptr;
    module.write = nullptr;
    if (module.problem.empty())
        module.problem = "the QR module is not installed";
    return module;
}

const QrModule& qrModule() {
    static const QrModule module = openModule();
    return module;
}

std::vector<std::string> readCodes(const QImage& gray) {
    std::vector<std::string> texts;
    const QrModule& module = qrModule();
    if (module.read == nullptr)
        return texts;
    const auto collect = [](void* context, const char* text, std::size_t length) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(text, length);
    };
    if (!module.read(gray.constBits(), gray.width(), gray.height(), static_cast<int>(gray.bytesPerLine()), collect,
                     &texts))
        texts.clear();
    return texts;
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
        result.error = qrModuleProblem().isEmpty()
                           ? QStringLiteral("No QR code was found in %1.").arg(name)
                           : QStringLiteral("QR codes cannot be read: %1.").arg(qrModuleProblem());
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

QString qrModuleProblem() {
    return QString::fromStdString(qrModule().problem);
}

QImage encodeQrCode(std::string_view text, int modulePixels) {
    if (modulePixels < 1 || modulePixels > kMaxModulePixels)
        return {};
    const QrModule& module = qrModule();
    if (module.write == nullptr)
        return {};
    struct Matrix {
        int side = 0;
        std::vector<std::uint8_t> dark;
    } matrix;
    const auto keep = [](void* context, int side, const std::uint8_t* dark) {
        auto* out = static_cast<Matrix*>(context);
        out->side = side;
        out->dark.assign(dark, dark + std::size_t(side) * std::size_t(side));
    };
    if (!module.write(text.data(), text.size(), kQuietZoneModules, keep, &matrix) || matrix.side <= 0)
        return {}; // too long for the largest QR version
    const int side = matrix.side;
    QImage image(side * modulePixels, side * modulePixels, QImage::Format_Grayscale8);
    if (image.isNull())
        return {};
    for (int y = 0; y < side; ++y) {
        uchar* row = image.scanLine(y * modulePixels);
        for (int x = 0; x < side; ++x)
            std::memset(row + x * modulePixels, matrix.dark[std::size_t(y) * std::size_t(side) + std::size_t(x)] ? 0x00 : 0xff,
                        modulePixels);
        for (int r = 1; r < modulePixels; ++r)
            std::memcpy(image.scanLine(y * modulePixels + r), row, static_cast<std::size_t>(image.width()));
    }
    return image;
}
