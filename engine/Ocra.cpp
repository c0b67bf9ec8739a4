#include "engine/Ocra.h"

#include "engine/LibraryCrypto.h"
#include "engine/Otp.h"
#include "engine/OtpToken.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

constexpr std::size_t CounterSize = 8;
constexpr std::size_t QuestionSize = 128;
constexpr std::size_t SessionSize = 64;
constexpr std::size_t TimestampSize = 8;

std::string asciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// Splits at every separator; adjacent separators give empty parts.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// An optional sign and at least one decimal digit, nothing else, within the signed 64-bit range.
std::optional<std::int64_t> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    constexpr std::uint64_t largest = std::numeric_limits<std::int64_t>::max();
    if (!negative)
        return magnitude <= largest ? std::optional<std::int64_t>(static_cast<std::int64_t>(magnitude))
                                    : std::nullopt;
    if (magnitude > largest + 1)
        return std::nullopt;
    return static_cast<std::int64_t>(0 - magnitude); // two's complement, so -2^63 comes out right
}

// Lower-case hexadecimal of the value's 64 bits, as "%I64x" writes it.
std::string lowerHex(std::int64_t value) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<std::uint64_t>(value), 16);
    return std::string(text, result.ptr);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Seconds in one time step: `step` is the text after the suite's T, a decimal count followed by
// its unit ("M" minutes, "H" hours, anything else seconds). std::nullopt unless the count is a
// positive decimal number and the step fits 64 bits.
std::optional<std::int64_t> stepSeconds(std::string_view step) {
    if (step.empty())
        return std::nullopt;
    const std::int64_t unit = step.back() == 'M' ? 60 : step.back() == 'H' ? 3600 : 1;
    const std::optional<std::int64_t> count = parseDecimal(step.substr(0, step.size() - 1));
    if (!count || *count <= 0 || *count > std::numeric_limits<std::int64_t>::max() / unit)
        return std::nullopt;
    return *count * unit;
}

} // namespace

std::optional<std::string> ocraQuestionHex(std::string_view suite, std::string_view question) {
    if (question.empty())
        return std::string();
    if (!contains(suite, "QN"))
        return bytesToHex(question);
    const std::optional<std::int64_t> number = parseDecimal(question);
    if (!number)
        return std::nullopt;
    std::string hex = lowerHex(*number);
    if (hex.size() % 2 != 0)
        hex.push_back('0');
    return hex;
}

std::optional<std::string> ocraPinHex(std::string_view suite, std::string_view pin) {
    if (pin.empty())
        return std::string();
    const HashKind hash = contains(suite, "PSHA256")   ? HashKind::Sha256
                          : contains(suite, "PSHA512") ? HashKind::Sha512
                                                       : HashKind::Sha1;
    const std::vector<std::uint8_t> digest = libraryDigest(hash, pin.data(), pin.size());
    if (digest.empty())
        return std::nullopt;
    return bytesToHex(digest.data(), digest.size());
}

std::optional<std::string> ocraTimestampHex(std::string_view suite, std::int64_t timestamp) {
    if (timestamp == 0)
        return std::string();
    std::size_t at = suite.find("-T");
    if (at == std::string_view::npos)
        at = suite.find(":T");
    if (at == std::string_view::npos)
        return std::string();
    // T is the last component of every suite in use, so the step runs to the end.
    const std::optional<std::int64_t> seconds = stepSeconds(suite.substr(at + 2));
    if (!seconds)
        return std::nullopt;
    return lowerHex(timestamp / *seconds);
}

bool ocraSuiteTakesPin(std::string_view suite) {
    const std::string upper = asciiUpper(suite);
    const std::vector<std::string_view> parts = split(upper, ':');
    if (parts.size() != 3)
        return false;
    const std::vector<std::string_view> inputs = split(parts[2], '-');
    return std::any_of(inputs.begin(), inputs.end(),
                       [](std::string_view input) { return !input.empty() && input.front() == 'P'; });
}

std::u16string ocraCompute(const std::uint8_t* key, std::size_t keyLength, std::string_view suite,
                           std::int64_t counter, std::string_view questionHex, std::string_view pinHex,
                           std::string_view sessionInfo, std::string_view timestampHex) {
    const std::string upper = asciiUpper(suite);
    const std::vector<std::string_view> parts = split(upper, ':');
    if (parts.size() != 3 || parts[0] != "OCRA-1")
        return {};
    const std::vector<std::string_view> crypto = split(parts[1], '-');
    if (crypto.size() != 3)
        return {};
    const std::optional<std::int64_t> digits = parseDecimal(crypto[2]);
    if (!digits || *digits == 0 || parts[2].empty())
        return {};
    // Outside int, generateOtp would reject the digits anyway.
    if (*digits < std::numeric_limits<int>::min() || *digits > std::numeric_limits<int>::max())
        return {};
    const HashKind hash = crypto[1] == "SHA512"   ? HashKind::Sha512
                          : crypto[1] == "SHA256" ? HashKind::Sha256
                                                  : HashKind::Sha1;

    bool hasCounter = false, hasQuestion = false, hasPin = false, hasSession = false, hasTime = false;
    for (std::string_view component : split(parts[2], '-')) {
        if (component.empty())
            continue;
        switch (component.front()) {
        case 'C':
            hasCounter = true;
            break;
        case 'Q':
            hasQuestion = true;
            break;
        case 'P':
            hasPin = true;
            break;
        case 'S':
            hasSession = true;
            break;
        case 'T':
            hasTime = true;
            break;
        default:
            break;
        }
    }
    // Looked up in the suite as given, like the PIN hash itself, so field and hash agree.
    const std::size_t pinSize = contains(suite, "PSHA256") ? 32 : contains(suite, "PSHA512") ? 64 : 20;

    const std::size_t length = suite.size() + 1 + (hasCounter ? CounterSize : 0) +
                               (hasQuestion ? QuestionSize : 0) + (hasPin ? pinSize : 0) +
                               (hasSession ? SessionSize : 0) + (hasTime ? TimestampSize : 0);
    std::vector<std::uint8_t> data(length, 0);
    std::uint8_t* field = data.data();
    std::copy(suite.begin(), suite.end(), field);
    field += suite.size() + 1;
    if (hasCounter) {
        putBigEndian64(static_cast<std::uint64_t>(counter), field);
        field += CounterSize;
    }
    if (hasQuestion) {
        if (!questionHex.empty()) {
            const std::vector<std::uint8_t> question = hexToBytes(questionHex);
            if (question.size() > QuestionSize)
                return {};
            std::copy(question.begin(), question.end(), field);
        }
        field += QuestionSize;
    }
    if (hasPin) {
        if (!pinHex.empty()) {
            const std::vector<std::uint8_t> pin = hexToFixedBytes(pinHex, pinSize);
            std::copy(pin.begin(), pin.end(), field);
        }
        field += pinSize;
    }
    if (hasSession) {
        if (sessionInfo.size() > SessionSize)
            return {};
        std::copy(sessionInfo.begin(), sessionInfo.end(), field);
        field += SessionSize;
    }
    if (hasTime && !timestampHex.empty()) {
        const std::vector<std::uint8_t> time = hexToFixedBytes(timestampHex, TimestampSize);
        std::copy(time.begin(), time.end(), field);
    }
    return generateOtp(key, keyLength, data.data(), data.size(), static_cast<int>(*digits), false, hash);
}

std::u16string ocra(const std::uint8_t* key, std::size_t keyLength, std::string_view suite,
                    std::int64_t counter, std::string_view question, std::string_view pin,
                    std::string_view sessionInfo, std::int64_t timestamp) {
    const std::optional<std::string> questionHex = ocraQuestionHex(suite, question);
    const std::optional<std::string> pinHex = ocraPinHex(suite, pin);
    const std::optional<std::string> timestampHex = ocraTimestampHex(suite, timestamp);
    if (!questionHex || !pinHex || !timestampHex)
        return {};
    return ocraCompute(key, keyLength, suite, counter, *questionHex, *pinHex, sessionInfo, *timestampHex);
}

std::vector<std::uint8_t> hexToBytes(std::string_view text) {
    std::string padded;
    if (text.size() % 2 != 0)
        padded.push_back('0');
    padded.append(text);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(padded.size() / 2);
    for (std::size_t at = 0; at + 1 < padded.size(); at += 2) {
        const int high = hexValue(padded[at]);
        const int low = hexValue(padded[at + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::vector<std::uint8_t> hexToFixedBytes(std::string_view text, std::size_t size) {
    std::vector<std::uint8_t> field(size, 0);
    if (text.size() > 2 * size)
        return field;
    const std::vector<std::uint8_t> bytes = hexToBytes(text);
    std::copy(bytes.begin(), bytes.end(), field.end() - static_cast<std::ptrdiff_t>(bytes.size()));
    return field;
}

std::string bytesToHex(const void* bytes, std::size_t length) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    std::string hex;
    hex.reserve(2 * length);
    for (std::size_t n = 0; n < length; ++n) {
        hex.push_back(digits[in[n] >> 4]);
        hex.push_back(digits[in[n] & 0x0f]);
    }
    return hex;
}

std::string bytesToHex(std::string_view bytes) {
    return bytesToHex(bytes.data(), bytes.size());
}

OtpPair COtpToken::computeOcra(std::string_view suite, std::int64_t counter, std::string_view question,
                               std::string_view pin, std::string_view sessionInfo,
                               std::int64_t timestamp) const {
    const std::span<const std::uint8_t> primary = primaryKeyBytes();
    const std::span<const std::uint8_t> secondary = secondaryKeyBytes();
    return {ocra(primary.data(), primary.size(), suite, counter, question, pin, sessionInfo, timestamp),
            ocra(secondary.data(), secondary.size(), suite, counter, question, pin, sessionInfo, timestamp)};
}

OtpPair COtpToken::respondOcra(std::u16string_view challenge, std::u16string_view pin) {
    const std::string suite = platform::toAnsi(ocraSuite);
    const std::string question = platform::toAnsi(challenge);
    const std::string pinText = platform::toAnsi(pin);
    if (traits().usesTime())
        return computeOcra(suite, 0, question, pinText, {}, platform::now());
    OtpPair pair = computeOcra(suite, counter, question, pinText, {}, 0);
    // The counter moves even when the suite was rejected; wraps instead of overflowing.
    counter = static_cast<std::int64_t>(static_cast<std::uint64_t>(counter) + 1);
    return pair;
}
