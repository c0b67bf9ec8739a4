// The module's side: ZXing-C++ behind the two entry points of ZXingModule.h. Nothing escapes it
// but texts and module bytes; no exception crosses the boundary.
#include "qr/ZXingModule.h"

#define ZX_USE_UTF8 1
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

namespace {

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

extern "C" __attribute__((visibility("default"))) bool
valdorix_qr_read(const std::uint8_t* grey, int width, int height, int bytesPerLine,
                 void (*found)(void* context, const char* text, std::size_t length), void* context) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryDownscale(true);
    try {
        const ZXing::ImageView view(grey, width, height, ZXing::ImageFormat::Lum, bytesPerLine);
        std::vector<std::string> texts;
        for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
            if (result.isValid())
                texts.push_back(result.text());
        }
        for (const std::string& text : texts)
            found(context, text.data(), text.size());
        return true;
    } catch (const std::exception&) {
        // The reader does not throw for bad pictures; if it ever does, the picture holds no code
        // we could read.
        return false;
    }
}

extern "C" __attribute__((visibility("default"))) bool
valdorix_qr_write(const char* text, std::size_t length, int quietZone,
                  void (*modules)(void* context, int side, const std::uint8_t* dark), void* context) {
    ZXing::BitMatrix matrix;
    try {
        const std::string input(text, length);
        ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
        writer.setMargin(quietZone);
        // Plain ASCII stays without a character set marker, which every reader takes.
        if (!isAscii(input))
            writer.setEncoding(ZXing::CharacterSet::UTF8);
        // Width and height 0: one pixel per module.
        matrix = writer.encode(input, 0, 0);
    } catch (const std::exception&) {
        return false; // too long for the largest QR version
    }
    const int side = matrix.width();
    if (side <= 0 || matrix.height() != side)
        return false;
    std::vector<std::uint8_t> dark(std::size_t(side) * std::size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            dark[std::size_t(y) * std::size_t(side) + std::size_t(x)] = matrix.get(x, y) ? 1 : 0;
    modules(context, side, dark.data());
    return true;
}
