#pragma once

#include "engine/HashKind.h"
#include "engine/OtpPair.h"
#include "engine/TokenKind.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// One token: identity (appId + serial), texts, two HMAC keys, algorithm parameters and the event
// counter. Always on the heap behind a shared pointer. The field order is the archive order.
class COtpToken {
public:
    static constexpr std::size_t KeyCapacity = 128;
    using KeyBuffer = std::array<std::uint8_t, KeyCapacity>;

    COtpToken() = default;
    virtual ~COtpToken() = default;

    std::u16string label;
    std::u16string application;
    std::u16string appId;
    std::u16string serial;
    std::u16string tokenName;
    std::u16string userName;
    std::u16string appUrl;
    std::u16string serviceUrl;
    std::u16string iconFile;
    KeyBuffer secondaryKey{};
    KeyBuffer primaryKey{};
    std::int32_t secondaryKeyLength = 0;
    std::int32_t primaryKeyLength = 0;
    std::int64_t expiryDate = 0;
    std::int32_t digits = 6;
    std::int32_t provisioned = 0;
    TokenKind kind = TokenKind::OcraEvent;
    std::int32_t syncCount = 2;
    std::int32_t interval = 30;
    std::int64_t counter = 0;
    std::int32_t goDelay = 5;
    bool checksum = false;
    bool dualDisplay = false;
    bool spareFlag = true;
    std::u16string ocraSuite;
    // The HMAC of HOTP, TOTP and the non-OCRA challenge answer (OCRA follows its suite). A token
    // whose hash is not SHA-1 needs the newer archive record.
    HashKind hash = HashKind::Sha1;

    // Copies `length` bytes to the start of the key buffer; bytes beyond keep their contents.
    // The length is clamped to 0..128.
    void setPrimaryKey(const void* bytes, int length);
    void setSecondaryKey(const void* bytes, int length);

    // The used bytes of each key; a stored length outside 0..128 is clamped.
    std::span<const std::uint8_t> primaryKeyBytes() const;
    std::span<const std::uint8_t> secondaryKeyBytes() const;

    // The label, or "application:userName:tokenName:serial" with empty parts left out.
    std::u16string displayName() const;

    // Same appId and same serial, compared exactly.
    bool sameToken(const COtpToken& other) const;

    // The code pair for now, by kind; advances the counter of Event, OcraEvent and EventTime.
    // ChallengeOnly, unknown kinds, and Time/EventTime whose half interval is 0 give the empty pair
    // and change nothing. An interval of 0 becomes 180 first.
    OtpPair computeOtp();

    // computeOtp as if the clock read `unixSeconds`.
    OtpPair computeOtpAtTime(std::int64_t unixSeconds);

    // HOTP over the 8-byte big-endian moving factor, with the token's digits, checksum and hash.
    OtpPair computeOtpAt(std::int64_t movingFactor) const;

    // computeOtpAt(seconds / step); the empty pair when step is 0.
    OtpPair computeOtpForTime(std::int64_t seconds, std::int64_t step) const;

    // One code per key over the given message, with the token's checksum flag.
    OtpPair computeOtpOverData(const void* message, std::size_t messageLength, int digits,
                               HashKind hash) const;

    // `syncCount` consecutive first codes joined by ","; the event kinds advance the counter once
    // per code.
    std::u16string syncCodes();

    // Seconds left in the current time step of a kind that renews by itself (1..interval); 0 for
    // other kinds.
    int secondsRemaining();

    const TokenKindTraits& traits() const { return traitsOf(kind); }

    // Answer to a challenge (or signature over data). The OCRA kinds use the OCRA suite and the
    // PIN; every other kind truncates the HMAC (the token's hash) of the challenge's ANSI bytes and
    // ignores the PIN.
    OtpPair respond(std::u16string_view challenge, std::u16string_view pin);

    // OCRA responses under the primary and the secondary key. All texts are 8-bit (ANSI) text.
    OtpPair computeOcra(std::string_view suite, std::int64_t counter, std::string_view question,
                        std::string_view pin, std::string_view sessionInfo, std::int64_t timestamp) const;

private:
    // `respond` for OcraEvent and OcraTime.
    OtpPair respondOcra(std::u16string_view challenge, std::u16string_view pin);

    // The kind's time step: the interval or half of it.
    std::int64_t timeStep() const;

    // Applies the rule that an interval of 0 means 180.
    void normaliseInterval();
};
