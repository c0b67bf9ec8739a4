#include "engine/OtpToken.h"

#include "engine/Otp.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

constexpr std::int32_t DefaultInterval = 180;

std::size_t clampKeyLength(std::int32_t length) {
    return static_cast<std::size_t>(std::clamp<std::int32_t>(length, 0, COtpToken::KeyCapacity));
}

void copyKey(COtpToken::KeyBuffer& buffer, std::int32_t& lengthField, const void* bytes, int length) {
    const std::size_t used = clampKeyLength(length);
    if (used > 0) {
        std::memcpy(buffer.data(), bytes, used);
    }
    lengthField = static_cast<std::int32_t>(used);
}

// seconds / step in integers; none for a step of 0 (and for the one quotient that overflows).
std::optional<std::int64_t> stepCount(std::int64_t seconds, std::int64_t step) {
    if (step == 0 || (step == -1 && seconds == std::numeric_limits<std::int64_t>::min())) {
        return std::nullopt;
    }
    return seconds / step;
}

// Counters and time sums wrap instead of overflowing.
std::int64_t wrappingAdd(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

} // namespace

void COtpToken::setPrimaryKey(const void* bytes, int length) {
    copyKey(primaryKey, primaryKeyLength, bytes, length);
}

void COtpToken::setSecondaryKey(const void* bytes, int length) {
    copyKey(secondaryKey, secondaryKeyLength, bytes, length);
}

std::span<const std::uint8_t> COtpToken::primaryKeyBytes() const {
    return {primaryKey.data(), clampKeyLength(primaryKeyLength)};
}

std::span<const std::uint8_t> COtpToken::secondaryKeyBytes() const {
    return {secondaryKey.data(), clampKeyLength(secondaryKeyLength)};
}

std::u16string COtpToken::displayName() const {
    if (!label.empty()) {
        return label;
    }
    std::u16string name;
    for (const std::u16string* part : {&application, &userName, &tokenName}) {
        if (!part->empty()) {
            name += *part;
            name += u':';
        }
    }
    name += serial;
    return name;
}

bool COtpToken::sameToken(const COtpToken& other) const {
    return appId == other.appId && serial == other.serial;
}

std::int64_t COtpToken::timeStep() const {
    return traits().stepHalves == 2 ? interval : interval / 2;
}

void COtpToken::normaliseInterval() {
    if (interval == 0) {
        interval = DefaultInterval;
    }
}

OtpPair COtpToken::computeOtpOverData(const void* message, std::size_t messageLength, int codeDigits,
                                      HashKind hash) const {
    const auto primary = primaryKeyBytes();
    const auto secondary = secondaryKeyBytes();
    return {
        generateOtp(primary.data(), primary.size(), message, messageLength, codeDigits, checksum, hash),
        generateOtp(secondary.data(), secondary.size(), message, messageLength, codeDigits, checksum, hash)};
}

OtpPair COtpToken::computeOtpAt(std::int64_t movingFactor) const {
    std::uint8_t message[8];
    putBigEndian64(static_cast<std::uint64_t>(movingFactor), message);
    return computeOtpOverData(message, sizeof message, digits, hash);
}

OtpPair COtpToken::computeOtpForTime(std::int64_t seconds, std::int64_t step) const {
    const auto steps = stepCount(seconds, step);
    return steps ? computeOtpAt(*steps) : OtpPair{};
}

OtpPair COtpToken::computeOtp() {
    return computeOtpAtTime(platform::now());
}

OtpPair COtpToken::computeOtpAtTime(std::int64_t unixSeconds) {
    normaliseInterval();
    const TokenKindTraits& kindTraits = traits();
    const std::int64_t step = timeStep();
    switch (kindTraits.factor) {
    case TokenKindTraits::Factor::Counter: {
        const std::int64_t movingFactor = counter;
        counter = wrappingAdd(counter, 1);
        return computeOtpAt(movingFactor);
    }
    case TokenKindTraits::Factor::Time:
        return computeOtpForTime(unixSeconds, step);
    case TokenKindTraits::Factor::CounterAndTime: {
        // A step of 0 has no time step: no code, and the counter stays.
        const auto steps = stepCount(unixSeconds, step);
        if (!steps) {
            return {};
        }
        std::uint8_t message[16];
        putBigEndian64(static_cast<std::uint64_t>(counter), message);
        putBigEndian64(static_cast<std::uint64_t>(*steps), message + 8);
        counter = wrappingAdd(counter, 1);
        return computeOtpOverData(message, sizeof message, digits, hash);
    }
    case TokenKindTraits::Factor::None:
        break;
    }
    return {};
}

std::u16string COtpToken::syncCodes() {
    normaliseInterval();
    const std::int64_t now = platform::now();
    std::u16string codes;
    for (std::int32_t i = 0; i < syncCount; ++i) {
        const std::int64_t when = wrappingAdd(now, std::int64_t{i} * interval);
        std::u16string code;
        // Time codes are read at later steps; the others are the next codes in turn.
        if (traits().factor == TokenKindTraits::Factor::Time) {
            code = computeOtpForTime(when, timeStep()).first;
        } else {
            code = computeOtp().first;
        }
        if (code.empty()) {
            continue;
        }
        if (!codes.empty()) {
            codes += u',';
        }
        codes += code;
    }
    return codes;
}

int COtpToken::secondsRemaining() {
    if (!traits().renewsByItself) {
        return 0;
    }
    normaliseInterval();
    const std::int64_t now = platform::now();
    const std::int64_t elapsed = interval == -1 ? 0 : now % interval;
    return static_cast<int>(std::int64_t{interval} - elapsed);
}

OtpPair COtpToken::respond(std::u16string_view challenge, std::u16string_view pin) {
    if (traits().ocra) {
        return respondOcra(challenge, pin);
    }
    const std::string message = platform::toAnsi(challenge);
    return computeOtpOverData(message.data(), message.size(), digits, hash);
}
