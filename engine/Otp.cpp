#include "engine/Otp.h"

#include "engine/Hmac.h"
#include "engine/LibraryCrypto.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int MaxDigits = 18; // 10^18 is the largest power of ten below 2^63

constexpr std::uint64_t powerOfTen(int exponent) {
    std::uint64_t value = 1;
    for (int n = 0; n < exponent; ++n) {
        value *= 10;
    }
    return value;
}

// The MAC of `message`, or 0 bytes when the library fails.
std::size_t computeMac(HashKind hash, const void* key, std::size_t keyLength, const void* message,
                       std::size_t messageLength, std::uint8_t* mac) {
    if (hash == HashKind::Sha256 || hash == HashKind::Sha512) {
        const std::vector<std::uint8_t> result = libraryHmac(hash, key, keyLength, message, messageLength);
        std::copy(result.begin(), result.end(), mac);
        return result.size();
    }
    hmacSha1(key, keyLength, message, messageLength, mac, 20);
    return 20;
}

} // namespace

std::u16string generateOtp(const void* key, std::size_t keyLength, const void* message,
                           std::size_t messageLength, int digits, bool addChecksum, HashKind hash) {
    if (digits < 0 || digits > MaxDigits) {
        return {};
    }
    std::uint8_t mac[64];
    const std::size_t macLength = computeMac(hash, key, keyLength, message, messageLength, mac);
    if (macLength < 20) {
        return {};
    }

    const unsigned offset = mac[macLength - 1] & 0x0f;
    const std::uint64_t truncated = (std::uint64_t{mac[offset] & 0x7fu} << 24) |
                                    (std::uint64_t{mac[offset + 1]} << 16) |
                                    (std::uint64_t{mac[offset + 2]} << 8) | std::uint64_t{mac[offset + 3]};

    std::uint64_t value = truncated % powerOfTen(digits);
    std::size_t width = static_cast<std::size_t>(digits);
    if (addChecksum) {
        value = value * 10 + static_cast<std::uint64_t>(otpChecksum(value, digits));
        ++width;
    }

    // Zero-padded to the width; like a "%0*ld" format, a width of 0 still prints one digit.
    std::u16string text;
    do {
        text.push_back(static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    if (text.size() < width) {
        text.append(width - text.size(), u'0');
    }
    std::reverse(text.begin(), text.end());
    return text;
}

int otpChecksum(std::uint64_t value, int digits) {
    static constexpr int Doubled[10] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
    // A 64-bit value has at most 20 decimal digits; the ones above are zeros and add nothing.
    const int count = std::clamp(digits, 0, 20);
    int total = 0;
    bool doubleDigit = true;
    for (int n = 0; n < count; ++n) {
        const int digit = static_cast<int>(value % 10);
        value /= 10;
        total += doubleDigit ? Doubled[digit] : digit;
        doubleDigit = !doubleDigit;
    }
    const int remainder = total % 10;
    return remainder > 0 ? 10 - remainder : 0;
}

void putBigEndian64(std::uint64_t value, std::uint8_t* out) {
    for (int n = 7; n >= 0; --n) {
        out[n] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}
