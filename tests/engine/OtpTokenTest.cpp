#include "engine/OtpToken.h"

#include "engine/Otp.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

const std::string Rfc4226Key = "12345678901234567890";

// Every test runs at a fixed time it may move.
class OtpTokenTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setClockForTesting([this] { return now; });
    }
    void TearDown() override {
        platform::setClockForTesting({});
        platform::setCodePageForTesting(0);
    }

    std::shared_ptr<COtpToken> makeToken(TokenKind kind, int digits = 6) {
        auto token = std::make_shared<COtpToken>();
        token->kind = kind;
        token->digits = digits;
        token->setPrimaryKey(Rfc4226Key.data(), static_cast<int>(Rfc4226Key.size()));
        const std::string secondary = "another secondary key";
        token->setSecondaryKey(secondary.data(), static_cast<int>(secondary.size()));
        return token;
    }

    std::int64_t now = 1111111111;
};

std::u16string hotpOf(const COtpToken& token, std::int64_t movingFactor) {
    return token.computeOtpAt(movingFactor).first;
}

TEST_F(OtpTokenTest, DefaultsInDeclarationOrder) {
    const COtpToken token;
    EXPECT_TRUE(token.label.empty() && token.appId.empty() && token.serial.empty() &&
                token.ocraSuite.empty());
    EXPECT_EQ(token.primaryKeyLength, 0);
    EXPECT_EQ(token.secondaryKeyLength, 0);
    EXPECT_EQ(token.primaryKey, COtpToken::KeyBuffer{});
    EXPECT_EQ(token.expiryDate, 0);
    EXPECT_EQ(token.digits, 6);
    EXPECT_EQ(token.provisioned, 0);
    EXPECT_EQ(token.kind, TokenKind::OcraEvent);
    EXPECT_EQ(token.syncCount, 2);
    EXPECT_EQ(token.interval, 30);
    EXPECT_EQ(token.counter, 0);
    EXPECT_EQ(token.goDelay, 5);
    EXPECT_FALSE(token.checksum);
    EXPECT_FALSE(token.dualDisplay);
    EXPECT_TRUE(token.spareFlag);
}

TEST_F(OtpTokenTest, DefaultTokenGivesTheHotpOfAnEmptyKey) {
    COtpToken token;
    std::uint8_t message[8];
    putBigEndian64(0, message);
    const std::u16string expected = generateOtp(nullptr, 0, message, 8, 6, false, HashKind::Sha1);
    const OtpPair pair = token.computeOtp();
    EXPECT_EQ(pair.first, expected);
    EXPECT_EQ(pair.second, expected);
    EXPECT_EQ(pair.first.size(), 6u);
    EXPECT_EQ(token.counter, 1);
}

TEST_F(OtpTokenTest, DisplayName) {
    struct Row {
        const char16_t* label;
        const char16_t* application;
        const char16_t* userName;
        const char16_t* tokenName;
        const char16_t* serial;
        const char16_t* expected;
    };
    const Row rows[] = {
        {u"", u"Bank", u"", u"Web", u"123", u"Bank:Web:123"},
        {u"", u"", u"", u"Web", u"", u"Web:"},
        {u"", u"", u"", u"", u"123", u"123"},
        {u"", u"Bank", u"", u"", u"", u"Bank:"},
        {u"", u"Bank", u"ann", u"Web", u"123", u"Bank:ann:Web:123"},
        {u"Mine", u"Bank", u"ann", u"Web", u"123", u"Mine"},
        {u"", u"", u"", u"", u"", u""},
    };
    for (const auto& row : rows) {
        COtpToken token;
        token.label = row.label;
        token.application = row.application;
        token.userName = row.userName;
        token.tokenName = row.tokenName;
        token.serial = row.serial;
        EXPECT_EQ(token.displayName(), row.expected);
    }
}

TEST_F(OtpTokenTest, IdentityIsAppIdAndSerialExactly) {
    COtpToken a;
    a.appId = u"app";
    a.serial = u"SN1";
    a.label = u"one";
    COtpToken b;
    b.appId = u"app";
    b.serial = u"SN1";
    b.label = u"two";
    b.setPrimaryKey("k", 1);
    EXPECT_TRUE(a.sameToken(b));
    b.serial = u"sn1";
    EXPECT_FALSE(a.sameToken(b));
    b.serial = u"SN1";
    b.appId = u"App";
    EXPECT_FALSE(a.sameToken(b));
}

TEST_F(OtpTokenTest, SetKeyKeepsBytesBeyondTheLengthAndClamps) {
    COtpToken token;
    std::uint8_t bytes[200];
    for (int n = 0; n < 200; ++n) {
        bytes[n] = static_cast<std::uint8_t>(n + 1);
    }
    token.setPrimaryKey(bytes, 20);
    token.setPrimaryKey("\xAA\xBB", 2);
    EXPECT_EQ(token.primaryKeyLength, 2);
    EXPECT_EQ(token.primaryKey[0], 0xAA);
    EXPECT_EQ(token.primaryKey[2], 3); // left from the first key
    EXPECT_EQ(token.primaryKey[20], 0);

    token.setSecondaryKey(bytes, 200);
    EXPECT_EQ(token.secondaryKeyLength, 128);
    EXPECT_EQ(token.secondaryKey[127], 128);
    token.setSecondaryKey(bytes, -5);
    EXPECT_EQ(token.secondaryKeyLength, 0);
    EXPECT_EQ(token.secondaryKey[0], 1);
}

TEST_F(OtpTokenTest, DamagedKeyLengthsAreClampedWhenUsed) {
    auto token = makeToken(TokenKind::Event);
    std::uint8_t full[128];
    std::memset(full, 0x5a, sizeof full);
    token->setPrimaryKey(full, 128);
    token->setSecondaryKey(full, 0);
    const OtpPair reference = token->computeOtpAt(42);

    token->primaryKeyLength = 100000; // as read from a damaged file
    token->secondaryKeyLength = -7;
    EXPECT_EQ(token->primaryKeyBytes().size(), 128u);
    EXPECT_EQ(token->secondaryKeyBytes().size(), 0u);
    EXPECT_EQ(token->computeOtpAt(42), reference);
}

TEST_F(OtpTokenTest, Rfc4226ThroughTenGoPresses) {
    auto token = makeToken(TokenKind::Event);
    const char16_t* expected[10] = {u"755224", u"287082", u"359152", u"969429", u"338314",
                                    u"254676", u"287922", u"162583", u"399871", u"520489"};
    for (int n = 0; n < 10; ++n) {
        EXPECT_EQ(token->computeOtp().first, expected[n]) << n;
    }
    EXPECT_EQ(token->counter, 10);
}

TEST_F(OtpTokenTest, Rfc6238Sha1ThroughComputeOtpForTime) {
    auto token = makeToken(TokenKind::OcraTime, 8);
    const std::pair<std::int64_t, const char16_t*> rows[] = {
        {59, u"94287082"},         {1111111109, u"07081804"}, {1111111111, u"14050471"},
        {1234567890, u"89005924"}, {2000000000, u"69279037"}, {20000000000, u"65353130"},
    };
    for (const auto& [time, code] : rows) {
        EXPECT_EQ(token->computeOtpForTime(time, 30).first, code) << time;
    }
    EXPECT_TRUE(token->computeOtpForTime(59, 0).empty());
}

// RFC 6238 Appendix B: one key per hash (20, 32 and 64 bytes), 8 digits, a plain 30 s period.
TEST_F(OtpTokenTest, Rfc6238EveryHashThroughTheTotpKind) {
    const std::string key = "1234567890123456789012345678901234567890123456789012345678901234";
    struct Row {
        std::int64_t time;
        const char16_t* codes[3]; // SHA-1, SHA-256, SHA-512
    };
    const Row rows[] = {
        {59, {u"94287082", u"46119246", u"90693936"}},
        {1111111109, {u"07081804", u"68084774", u"25091201"}},
        {1111111111, {u"14050471", u"67062674", u"99943326"}},
        {1234567890, {u"89005924", u"91819424", u"93441116"}},
        {2000000000, {u"69279037", u"90698825", u"38618901"}},
        {20000000000, {u"65353130", u"77737706", u"47863826"}},
    };
    const std::pair<HashKind, int> hashes[] = {{HashKind::Sha1, 20}, {HashKind::Sha256, 32}, {HashKind::Sha512, 64}};
    for (const Row& row : rows) {
        for (int n = 0; n < 3; ++n) {
            COtpToken token;
            token.kind = TokenKind::Totp;
            token.digits = 8;
            token.interval = 30;
            token.hash = hashes[n].first;
            token.setPrimaryKey(key.data(), hashes[n].second);
            now = row.time;
            EXPECT_EQ(token.computeOtp().first, row.codes[n]) << row.time << " hash " << n;
            now = 0;
            EXPECT_EQ(token.computeOtpAtTime(row.time).first, row.codes[n]) << row.time << " hash " << n;
        }
    }
}

// Every code that is not OCRA follows the token's hash: HOTP, event-and-time, sync codes and the
// plain challenge answer.
TEST_F(OtpTokenTest, TheTokensHashDrivesEveryNonOcraCode) {
    for (const HashKind hash : {HashKind::Sha256, HashKind::Sha512}) {
        auto token = makeToken(TokenKind::Event);
        token->hash = hash;
        std::uint8_t message[16];
        putBigEndian64(0, message);
        EXPECT_EQ(token->computeOtp(), token->computeOtpOverData(message, 8, 6, hash));
        putBigEndian64(1, message);
        EXPECT_EQ(token->syncCodes(), token->computeOtpOverData(message, 8, 6, hash).first + u"," +
                                          hotpOf(*token, 2));
        EXPECT_EQ(token->respond(u"4711", u""), token->computeOtpOverData("4711", 4, 6, hash));

        auto both = makeToken(TokenKind::EventTime);
        both->hash = hash;
        both->interval = 60;
        putBigEndian64(0, message);
        putBigEndian64(static_cast<std::uint64_t>(now / 30), message + 8);
        EXPECT_EQ(both->computeOtp(), both->computeOtpOverData(message, 16, 6, hash));
        EXPECT_NE(both->computeOtpOverData(message, 16, 6, hash),
                  both->computeOtpOverData(message, 16, 6, HashKind::Sha1));
    }
}

TEST_F(OtpTokenTest, SecondCodeComesFromTheSecondaryKey) {
    auto token = makeToken(TokenKind::Event);
    const OtpPair pair = token->computeOtpAt(0);
    std::uint8_t message[8];
    putBigEndian64(0, message);
    const auto secondary = token->secondaryKeyBytes();
    EXPECT_EQ(pair.second,
              generateOtp(secondary.data(), secondary.size(), message, 8, 6, false, HashKind::Sha1));
    EXPECT_NE(pair.first, pair.second);

    token->setSecondaryKey(nullptr, 0); // an empty key still yields a code
    EXPECT_EQ(token->computeOtpAt(0).second, generateOtp(nullptr, 0, message, 8, 6, false, HashKind::Sha1));
}

TEST_F(OtpTokenTest, CounterAdvanceRulesByKind) {
    struct Row {
        TokenKind kind;
        std::int64_t counterAfterThreeGoes;
        bool hasCode;
    };
    const Row rows[] = {
        {TokenKind::Event, 3, true},           {TokenKind::OcraEvent, 3, true},
        {TokenKind::EventTime, 3, true},       {TokenKind::Time, 0, true},
        {TokenKind::OcraTime, 0, true},        {TokenKind::ChallengeOnly, 0, false},
        {TokenKind::Totp, 0, true},
        {static_cast<TokenKind>(9), 0, false}, {static_cast<TokenKind>(-1), 0, false},
    };
    for (const auto& row : rows) {
        auto token = makeToken(row.kind);
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(token->computeOtp().empty(), !row.hasCode) << static_cast<int>(row.kind);
        }
        EXPECT_EQ(token->counter, row.counterAfterThreeGoes) << static_cast<int>(row.kind);
    }
}

TEST_F(OtpTokenTest, SyncCodesAdvanceEventCounters) {
    auto token = makeToken(TokenKind::Event);
    for (int n = 0; n < 3; ++n) {
        token->computeOtp();
    }
    EXPECT_EQ(token->syncCodes(), u"969429,338314");
    EXPECT_EQ(token->counter, 5);

    token->syncCount = 0;
    EXPECT_EQ(token->syncCodes(), u"");
    EXPECT_EQ(token->counter, 5);
}

TEST_F(OtpTokenTest, TimeTokenStepsAreHalfTheInterval) {
    auto token = makeToken(TokenKind::Time);
    token->interval = 60;
    const std::int64_t step = now / 30;
    EXPECT_EQ(token->computeOtp().first, hotpOf(*token, step));
    // Sync codes lie two half-interval steps apart.
    EXPECT_EQ(token->syncCodes(), hotpOf(*token, step) + u"," + hotpOf(*token, step + 2));
    EXPECT_EQ(token->counter, 0);
}

TEST_F(OtpTokenTest, OcraTimeSyncCodesAreConsecutiveSteps) {
    auto token = makeToken(TokenKind::OcraTime);
    token->syncCount = 3;
    const std::int64_t step = now / 30;
    EXPECT_EQ(token->computeOtp().first, hotpOf(*token, step));
    EXPECT_EQ(token->syncCodes(),
              hotpOf(*token, step) + u"," + hotpOf(*token, step + 1) + u"," + hotpOf(*token, step + 2));
}

TEST_F(OtpTokenTest, EventTimeHashesCounterAndTimeStep) {
    auto token = makeToken(TokenKind::EventTime);
    token->counter = 7;
    token->interval = 60;
    std::uint8_t message[16];
    putBigEndian64(7, message);
    putBigEndian64(static_cast<std::uint64_t>(now / 30), message + 8);
    const OtpPair expected = token->computeOtpOverData(message, 16, 6, HashKind::Sha1);
    EXPECT_EQ(token->computeOtp(), expected);
    EXPECT_EQ(token->counter, 8);
}

TEST_F(OtpTokenTest, IntervalZeroBecomes180) {
    auto token = makeToken(TokenKind::OcraTime);
    token->interval = 0;
    EXPECT_EQ(token->computeOtp().first, hotpOf(*token, now / 180));
    EXPECT_EQ(token->interval, 180);

    for (auto kind : {TokenKind::Event, TokenKind::ChallengeOnly}) {
        auto other = makeToken(kind);
        other->interval = 0;
        other->syncCodes();
        EXPECT_EQ(other->interval, 180);
    }
    auto remaining = makeToken(TokenKind::OcraTime);
    remaining->interval = 0;
    now = 180 * 1000 + 5;
    EXPECT_EQ(remaining->secondsRemaining(), 175);
    EXPECT_EQ(remaining->interval, 180);
}

TEST_F(OtpTokenTest, IntervalOfOneHasNoTimeStep) {
    for (auto kind : {TokenKind::Time, TokenKind::EventTime}) {
        auto token = makeToken(kind);
        token->interval = 1;
        token->counter = 4;
        EXPECT_TRUE(token->computeOtp().empty()) << static_cast<int>(kind);
        EXPECT_EQ(token->syncCodes(), u"") << static_cast<int>(kind);
        EXPECT_EQ(token->counter, 4);
        EXPECT_EQ(token->interval, 1);
    }
}

TEST_F(OtpTokenTest, SecondsRemaining) {
    auto token = makeToken(TokenKind::OcraTime);
    now = 30 * 1000;
    EXPECT_EQ(token->secondsRemaining(), 30); // an exact multiple: the whole step is left
    now += 1;
    EXPECT_EQ(token->secondsRemaining(), 29);
    now += 28;
    EXPECT_EQ(token->secondsRemaining(), 1);

    // The plain period counts down whole, as do its codes and sync codes.
    auto totp = makeToken(TokenKind::Totp);
    totp->interval = 45;
    now = 45 * 1000 + 10;
    EXPECT_EQ(totp->secondsRemaining(), 35);
    EXPECT_EQ(totp->syncCodes(), hotpOf(*totp, 1000) + u"," + hotpOf(*totp, 1001));

    for (auto kind : {TokenKind::Event, TokenKind::Time, TokenKind::EventTime, TokenKind::OcraEvent,
                      TokenKind::ChallengeOnly}) {
        EXPECT_EQ(makeToken(kind)->secondsRemaining(), 0);
    }
}

TEST_F(OtpTokenTest, ChallengeOnlyAnswersChallengesOnly) {
    auto token = makeToken(TokenKind::ChallengeOnly);
    EXPECT_TRUE(token->computeOtp().empty());
    EXPECT_EQ(token->syncCodes(), u"");
    const OtpPair pair = token->respond(u"12345678", u"");
    EXPECT_EQ(pair.first,
              generateOtp(Rfc4226Key.data(), Rfc4226Key.size(), "12345678", 8, 6, false, HashKind::Sha1));
    EXPECT_FALSE(pair.second.empty());
    EXPECT_EQ(token->counter, 0);
}

TEST_F(OtpTokenTest, RespondIgnoresPinAndLeavesTheCounter) {
    for (auto kind : {TokenKind::Event, TokenKind::Time, TokenKind::EventTime}) {
        auto token = makeToken(kind);
        token->checksum = true;
        const OtpPair withPin = token->respond(u"4711", u"1234");
        EXPECT_EQ(token->respond(u"4711", u"9999"), withPin);
        EXPECT_EQ(token->respond(u"4711", u""), withPin);
        EXPECT_EQ(withPin.first.size(), 7u);
        EXPECT_EQ(token->counter, 0);
        EXPECT_NE(token->respond(u"4712", u"1234"), withPin);
    }
}

TEST_F(OtpTokenTest, RespondHashesTheChallengeInTheAnsiCodePage) {
    platform::setCodePageForTesting(1252);
    auto token = makeToken(TokenKind::Event);
    const OtpPair pair = token->respond(u"\u20AC5 \u00FC \u0416", u"");
    const OtpPair expected = token->computeOtpOverData("\x80"
                                                       "5 \xFC ?",
                                                       6, 6, HashKind::Sha1);
    EXPECT_EQ(pair, expected);
}

TEST_F(OtpTokenTest, CountersWrapInsteadOfOverflowing) {
    auto token = makeToken(TokenKind::Event);
    token->counter = INT64_MAX;
    EXPECT_EQ(token->computeOtp().first, hotpOf(*token, INT64_MAX));
    EXPECT_EQ(token->counter, INT64_MIN);
}

} // namespace
