// Base32 text from arbitrary bytes: what decodes must encode to text that decodes to the same
// bytes, and the input taken as bytes must survive encoding and decoding.
#include "engine/Base32.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    std::string error;
    const auto decoded = decodeBase32(std::string_view(reinterpret_cast<const char*>(data), size), &error);
    if (decoded) {
        const auto again = decodeBase32(encodeBase32(*decoded), nullptr);
        if (!again || *again != *decoded)
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    const auto roundTrip = decodeBase32(encodeBase32(input), nullptr);
    if (!roundTrip || !std::equal(roundTrip->begin(), roundTrip->end(), input.begin(), input.end()))
        __builtin_trap();
    return 0;
}
