#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>
#include <zlib.h>

// Mutations rarely keep chunk checksums right, and a wrong one stops a PNG decoder at once; so
// every whole chunk gets its checksum recomputed, and the fuzzer reaches the decoding proper.
inline void fixPngChecksums(std::vector<std::uint8_t>& png) {
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::size_t length = (std::size_t(png[at]) << 24) | (std::size_t(png[at + 1]) << 16) |
                                   (std::size_t(png[at + 2]) << 8) | png[at + 3];
        if (length > png.size() - at - 12) {
            return;
        }
        const uLong crc = crc32(0, png.data() + at + 4, uInt(length + 4));
        for (int i = 0; i < 4; ++i) {
            png[at + 8 + length + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
        }
        at += length + 12;
    }
}
