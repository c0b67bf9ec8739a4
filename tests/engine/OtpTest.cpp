#include "engine/Otp.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace {

const std::string Rfc4226Key = "12345678901234567890";

std::u16string hotp(std::uint64_t counter, int digits, bool checksum = false) {
    std::uint8_t message[8];
    putBigEndian64(counter, message);
    return generateOtp(Rfc4226Key.data(), Rfc4226Key.size(), message, sizeof message, digits, checksum,
                       HashKind::Sha1);
}

TEST(PutBigEndian64Test, MostSignificantByteFirst) {
    std::uint8_t out[8];
    putBigEndian64(0x0102030405060708ull, out);
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(out[n], n + 1);
    }
}

TEST(OtpChecksumTest, WorkedExampleAndEdges) {
    EXPECT_EQ(otpChecksum(1234, 4), 4); // 12344
    EXPECT_EQ(otpChecksum(0, 6), 0);
    // Only the `digits` lowest digits count: 91234 over 4 digits is 1234.
    EXPECT_EQ(otpChecksum(91234, 4), 4);
    // Luhn: 7992739871 has check digit 3.
    EXPECT_EQ(otpChecksum(7992739871ull, 10), 3);
    // Digits above the value's length are zeros; none at all for a negative count.
    EXPECT_EQ(otpChecksum(1234, 30), otpChecksum(1234, 4));
    EXPECT_EQ(otpChecksum(1234, -3), 0);
}

TEST(GenerateOtpTest, Rfc4226AppendixD) {
    // The truncated values of the appendix, and the six-digit codes.
    const std::uint64_t truncated[10] = {1284755224, 1094287082, 137359152, 1726969429, 1640338314,
                                         868254676,  1918287922, 82162583,  673399871,  645520489};
    const char16_t* codes[10] = {u"755224", u"287082", u"359152", u"969429", u"338314",
                                 u"254676", u"287922", u"162583", u"399871", u"520489"};
    for (std::uint64_t counter = 0; counter < 10; ++counter) {
        EXPECT_EQ(hotp(counter, 6), codes[counter]) << counter;
        // Ten digits cover the whole truncated value, zero-padded.
        std::u16string full;
        for (char c : std::to_string(truncated[counter])) {
            full += static_cast<char16_t>(c);
        }
        full.insert(0, 10 - full.size(), u'0');
        EXPECT_EQ(hotp(counter, 10), full) << counter;
    }
}

struct TotpRow {
    std::int64_t time;
    const char16_t* sha256;
    const char16_t* sha512;
};

TEST(GenerateOtpTest, Rfc6238Sha256AndSha512Rows) {
    const std::string key32 = "12345678901234567890123456789012";
    const std::string key64 = "1234567890123456789012345678901234567890123456789012345678901234";
    const TotpRow rows[] = {
        {59, u"46119246", u"90693936"},         {1111111109, u"68084774", u"25091201"},
        {1111111111, u"67062674", u"99943326"}, {1234567890, u"91819424", u"93441116"},
        {2000000000, u"90698825", u"38618901"}, {20000000000, u"77737706", u"47863826"},
    };
    for (const auto& row : rows) {
        std::uint8_t message[8];
        putBigEndian64(static_cast<std::uint64_t>(row.time / 30), message);
        EXPECT_EQ(generateOtp(key32.data(), key32.size(), message, 8, 8, false, HashKind::Sha256), row.sha256)
            << row.time;
        EXPECT_EQ(generateOtp(key64.data(), key64.size(), message, 8, 8, false, HashKind::Sha512), row.sha512)
            << row.time;
    }
}

TEST(GenerateOtpTest, ChecksumAddsOneDigit) {
    EXPECT_EQ(hotp(0, 6, true), u"755224" + std::u16string(1, char16_t(u'0' + otpChecksum(755224, 6))));
    EXPECT_EQ(hotp(0, 6, true).size(), 7u);
    // A value of 0 keeps its width: six zeros and the check digit 0.
    EXPECT_EQ(hotp(0, 0, true), u"0");
}

TEST(GenerateOtpTest, DigitsBeyondEightExtendTheTable) {
    struct Row {
        std::uint64_t counter;
        int digits;
        const char16_t* code;
    };
    const Row rows[] = {
        {0, 1, u"4"},
        {0, 8, u"84755224"},
        {0, 9, u"284755224"},
        {7, 10, u"0082162583"},
        {2, 11, u"00137359152"},
        {2, 12, u"000137359152"},
        {0, 18, u"000000001284755224"},
        {0, 0, u"0"}, // a zero width still prints one digit, as the format does
    };
    for (const auto& [counter, digits, code] : rows) {
        EXPECT_EQ(hotp(counter, digits), code) << digits << " digits";
    }
    // 10 digits with the check digit: the value is the whole truncated number.
    EXPECT_EQ(hotp(7, 10, true),
              u"0082162583" + std::u16string(1, char16_t(u'0' + otpChecksum(82162583, 10))));
}

TEST(GenerateOtpTest, DigitsOutsideTheRangeGiveEmptyText) {
    for (int digits : {-1, 19, 20, 1000, -2147483647 - 1, 2147483647}) {
        EXPECT_TRUE(hotp(0, digits).empty()) << digits;
        EXPECT_TRUE(hotp(0, digits, true).empty()) << digits;
    }
}

TEST(GenerateOtpTest, UnknownHashFallsBackToSha1) {
    std::uint8_t message[8];
    putBigEndian64(1, message);
    EXPECT_EQ(
        generateOtp(Rfc4226Key.data(), Rfc4226Key.size(), message, 8, 6, false, static_cast<HashKind>(7)),
        u"287082");
}

} // namespace
