#pragma once

#include <cstddef>
#include <cstdint>

// The QR reader and writer are a module of their own (libvaldorix-zxing.so), opened at the first
// QR code: the library behind them would otherwise be loaded and relocated at every start of the
// program, for a feature used now and then. The module's two entry points, by these names:
extern "C" {

// Calls `found` with the text of every valid QR code in the 8-bit grey picture, in the order
// the reader finds them; false when the reader failed on it.
using ValdorixQrRead = bool (*)(const std::uint8_t* grey, int width, int height, int bytesPerLine,
                                void (*found)(void* context, const char* text, std::size_t length),
                                void* context);

// Encodes `text` as a QR code with a quiet zone of `quietZone` modules and calls `modules` once
// with the side in modules and side * side bytes, row by row, non-zero for a dark module; false
// when the text does not fit in a QR code.
using ValdorixQrWrite = bool (*)(const char* text, std::size_t length, int quietZone,
                                 void (*modules)(void* context, int side, const std::uint8_t* dark),
                                 void* context);
}

inline constexpr const char* kQrReadEntry = "valdorix_qr_read";
inline constexpr const char* kQrWriteEntry = "valdorix_qr_write";
