#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

// QR codes in pictures, read and written with ZXing-C++ (in a module opened at the first use).

// The text of every QR code found in `image`, in the order the reader found them; empty when it
// holds none (or is null).
std::vector<std::string> decodeQrCodes(const QImage& image);

struct QrFileResult {
    std::vector<std::string> texts;
    QString error; // empty on success; a picture without a code is an error too
};

// Reads a PNG or JPEG file (bounded in bytes and pixels) and decodes its QR codes.
QrFileResult readQrCodesFromFile(const QString& path);

// Same, from bytes already read; `name` is the file name the error texts use.
QrFileResult readQrCodesFromBytes(const QByteArray& bytes, const QString& name);

// A QR code for `text`, each module `modulePixels` square, with the standard quiet zone of four
// modules, black on white. A null image when the text does not fit in a QR code or modulePixels < 1.
QImage encodeQrCode(std::string_view text, int modulePixels);

// Why QR codes can be neither read nor written (the module behind them is missing or damaged);
// empty when they can.
QString qrModuleProblem();
