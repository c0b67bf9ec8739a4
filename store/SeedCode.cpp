#include "store/SeedCode.h"

#include "engine/Md5.h"
#include "engine/Sha1.h"
#include "platform/CodePage.h"

#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr std::size_t SeedLength = 18;
constexpr std::size_t SecretOffset = 7;
constexpr std::size_t SecretLength = 10;

template <typename Char>
bool isBlank(Char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

template <typename Char>
std::int64_t readNumber(std::basic_string_view<Char> text, std::int64_t minimum, std::int64_t maximum) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Accumulate the magnitude, stopping growth once it is past either limit.
    const std::uint64_t limit = negative ? std::uint64_t(0) - static_cast<std::uint64_t>(minimum)
                                         : static_cast<std::uint64_t>(maximum);
    std::uint64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            }
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative)
        return static_cast<std::int64_t>(magnitude);
    return magnitude == std::uint64_t(0) - static_cast<std::uint64_t>(minimum)
               ? minimum
               : -static_cast<std::int64_t>(magnitude);
}

int digitAt(std::string_view bytes, std::size_t at) {
    const char c = bytes[at];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

} // namespace

std::int64_t readSeedNumber(std::string_view text, std::int64_t minimum, std::int64_t maximum) {
    return readNumber(text, minimum, maximum);
}

std::int64_t readSeedNumber(std::u16string_view text, std::int64_t minimum, std::int64_t maximum) {
    return readNumber(text, minimum, maximum);
}

int luhnCheckDigit(std::uint64_t value, std::size_t digits) {
    static constexpr int Doubled[10] = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};
    int sum = 0;
    // Past the value's own digits every position adds 0, so the loop can stop there.
    for (std::size_t n = 0; n < digits && value != 0; ++n) {
        const int digit = static_cast<int>(value % 10);
        sum += n % 2 == 0 ? Doubled[digit] : digit;
        value /= 10;
    }
    return (10 - sum % 10) % 10;
}

std::shared_ptr<COtpToken> tokenFromSeed(std::u16string_view name, std::u16string_view serial,
                                         std::u16string_view seed) {
    if (name.empty() || serial.empty() || seed.empty())
        return nullptr;
    const std::string code = platform::toAnsi(seed);
    if (code.size() != SeedLength)
        return nullptr;

    const int version = digitAt(code, 0);
    if (version != 0 && version != 1)
        return nullptr;

    // The serial is read into a 32-bit number, as the seed's issuer did, then widened with its sign.
    const std::int64_t serialValue = readSeedNumber(serial, std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    if (luhnCheckDigit(static_cast<std::uint64_t>(serialValue), serial.size()) != digitAt(code, 1))
        return nullptr;

    const std::int64_t codeValue =
        readSeedNumber(std::string_view(code).substr(0, 17), std::numeric_limits<std::int64_t>::min(),
                       std::numeric_limits<std::int64_t>::max());
    if (luhnCheckDigit(static_cast<std::uint64_t>(codeValue), 17) != digitAt(code, 17))
        return nullptr;

    const auto word = static_cast<std::int32_t>(readSeedNumber(std::string_view(code).substr(2, 5),
                                                               std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
    auto token = std::make_shared<COtpToken>();
    int kind = word & 3;
    if (version == 1 && kind <= 1)
        kind += 4;
    token->kind = static_cast<TokenKind>(kind);
    token->checksum = (word >> 2) & 1;
    token->dualDisplay = (word >> 3) & 1;
    token->spareFlag = (word >> 4) & 1;
    token->digits = ((word >> 5) & 7) + 5;
    static constexpr std::int32_t GoDelays[4] = {5, 10, 15, 30};
    token->goDelay = GoDelays[(word >> 8) & 3];
    token->interval = (((word >> 10) & 3) + 1) * 60;
    token->syncCount = ((word >> 12) & 3) + 2;

    token->label = name;
    token->tokenName = name;
    token->serial = serial;
    token->counter = 1;
    token->provisioned = 1;
    token->ocraSuite = token->traits().seedSuite;

    const auto* secret = reinterpret_cast<const std::uint8_t*>(code.data() + SecretOffset);
    std::uint8_t digest[Sha1DigestLength] = {};
    MD5().digest(secret, SecretLength, digest);
    std::memset(digest + MD5::DigestLength, 0, sizeof digest - MD5::DigestLength);
    token->setSecondaryKey(digest, sizeof digest);
    sha1(secret, SecretLength, digest);
    token->setPrimaryKey(digest, sizeof digest);
    return token;
}
