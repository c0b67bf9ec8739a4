#include "store/SeedCode.h"
#include "store/TokenList.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace {

// The Luhn digit written out plainly: double every other digit from the lowest.
int luhn(std::uint64_t value, int digits) {
    int sum = 0;
    for (int n = 0; n < digits; ++n, value /= 10) {
        int d = static_cast<int>(value % 10);
        if (n % 2 == 0)
            d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    return (10 - sum % 10) % 10;
}

// Sets the last position of an 18-character code to the check digit over the first 17, read
// by the seed rules (the run of leading digits).
std::u16string withCodeDigit(std::u16string code) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 17 && code[i] >= u'0' && code[i] <= u'9'; ++i)
        value = value * 10 + static_cast<unsigned>(code[i] - u'0');
    code.resize(17);
    code += static_cast<char16_t>(u'0' + luhn(value, 17));
    return code;
}

// A seed code for `serial` (all digits), with both check digits computed. `word` is the five
// digits of the parameter word, `secret` the ten secret characters.
std::u16string makeSeed(int version, const std::string& serial, const std::string& word,
                        const std::string& secret = "1234567890") {
    std::string body =
        std::to_string(version) + std::to_string(luhn(std::stoull(serial), int(serial.size())));
    body += word + secret + "?";
    return withCodeDigit(std::u16string(body.begin(), body.end()));
}

std::string word(int j) {
    std::string text = std::to_string(j);
    return std::string(5 - text.size(), '0') + text;
}

TEST(SeedCode, HandWrittenCodes) {
    CTokenList db;
    auto t = db.createTokenFromSeed(u"Web", u"12345678", u"020000012345678901");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, TokenKind::Event);
    EXPECT_EQ(t->ocraSuite, u"OCRA-1:HOTP-SHA1-6:C-QN08");
    EXPECT_EQ(t->label, u"Web");
    EXPECT_EQ(t->tokenName, u"Web");
    EXPECT_EQ(t->serial, u"12345678");
    EXPECT_TRUE(t->appId.empty());
    EXPECT_EQ(t->counter, 1);
    EXPECT_EQ(t->provisioned, 1);
    EXPECT_EQ(t->digits, 5);
    EXPECT_EQ(t->goDelay, 5);
    EXPECT_EQ(t->interval, 60);
    EXPECT_EQ(t->syncCount, 2);
    EXPECT_FALSE(t->checksum);
    EXPECT_FALSE(t->dualDisplay);
    EXPECT_FALSE(t->spareFlag);
    // SHA-1 and MD5 of "1234567890".
    const std::uint8_t sha1[20] = {0x01, 0xb3, 0x07, 0xac, 0xba, 0x4f, 0x54, 0xf5, 0x5a, 0xaf,
                                   0xc3, 0x3b, 0xb0, 0x6b, 0xbb, 0xf6, 0xca, 0x80, 0x3e, 0x9a};
    const std::uint8_t md5[20] = {0xe8, 0x07, 0xf1, 0xfc, 0xf8, 0x2d, 0x13, 0x2f, 0x9b, 0xb0,
                                  0x18, 0xca, 0x67, 0x38, 0xa1, 0x9f, 0,    0,    0,    0};
    EXPECT_EQ(t->primaryKeyLength, 20);
    EXPECT_EQ(t->secondaryKeyLength, 20);
    EXPECT_TRUE(std::equal(sha1, sha1 + 20, t->primaryKey.begin()));
    EXPECT_TRUE(std::equal(md5, md5 + 20, t->secondaryKey.begin()));

    auto challenge = db.createTokenFromSeed(u"Mail", u"87654321", u"160123409876543213");
    ASSERT_NE(challenge, nullptr);
    // 1234 has kind bits 2, which version 1 keeps.
    EXPECT_EQ(challenge->kind, TokenKind::ChallengeOnly);
    EXPECT_TRUE(challenge->ocraSuite.empty());
    EXPECT_EQ(challenge->digits, 5 + 6);
    EXPECT_EQ(challenge->goDelay, 5);

    auto all = db.createTokenFromSeed(u"All", u"5", u"091638355555555553");
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->kind, TokenKind::EventTime);
    EXPECT_EQ(all->digits, 12);
    EXPECT_EQ(db.tokens.size(), 3u);
}

TEST(SeedCode, LengthVersionAndEmptyInputsAreRejected) {
    CTokenList db;
    const std::u16string good = makeSeed(0, "4711", "00000");
    ASSERT_NE(db.createTokenFromSeed(u"n", u"4711", good), nullptr);
    db.tokens.clear();
    db.setDefaultIndex(9);

    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", good.substr(0, 17)), nullptr);
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", good + u"0"), nullptr);
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", u" " + good), nullptr);
    EXPECT_EQ(db.createTokenFromSeed(u"", u"4711", good), nullptr);
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"", good), nullptr);
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", u""), nullptr);
    for (int version : {2, 9}) {
        EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", makeSeed(version, "4711", "00000")), nullptr)
            << "version " << version;
    }
    // A character outside the code page becomes one byte, so the length still counts.
    std::u16string wide = good;
    wide[10] = u'\u0416';
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", wide), nullptr);

    EXPECT_TRUE(db.tokens.empty());
    EXPECT_EQ(db.defaultIndex, 9);
}

TEST(SeedCode, CheckDigitsTieTheCodeToItsSerial) {
    CTokenList db;
    const std::u16string code = makeSeed(0, "4711", "00000");
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4712", code), nullptr);
    // 4711 over four digits and 04711 over five give the same check digit.
    EXPECT_NE(db.createTokenFromSeed(u"n", u"04711", code), nullptr);
    // Another serial with the same check digit is accepted.
    EXPECT_EQ(luhn(4711, 4), luhn(4725, 4));
    EXPECT_NE(db.createTokenFromSeed(u"n", u"4725", code), nullptr);

    std::u16string badCode = code;
    badCode[17] = static_cast<char16_t>(u'0' + (code[17] - u'0' + 1) % 10);
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", badCode), nullptr);
    std::u16string badSerialDigit = code;
    badSerialDigit[1] = static_cast<char16_t>(u'0' + (code[1] - u'0' + 1) % 10);
    EXPECT_EQ(db.createTokenFromSeed(u"n", u"4711", badSerialDigit), nullptr);
    EXPECT_EQ(db.tokens.size(), 2u);
}

TEST(SeedCode, SerialIsReadAsA32BitNumberOverItsUtf16Length) {
    // Beyond the 32-bit range the value saturates: the check digit is that of 2147483647
    // over the serial's 11 characters.
    EXPECT_EQ(readSeedNumber(u"99999999999", INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(readSeedNumber(u"-99999999999", INT32_MIN, INT32_MAX), INT32_MIN);
    EXPECT_EQ(readSeedNumber(u"  +42x7", INT32_MIN, INT32_MAX), 42);
    EXPECT_EQ(readSeedNumber(u"x42", INT32_MIN, INT32_MAX), 0);
    EXPECT_EQ(readSeedNumber(u"-", INT32_MIN, INT32_MAX), 0);

    CTokenList db;
    std::u16string code = makeSeed(0, "1", "00000");
    code[1] = static_cast<char16_t>(u'0' + luhn(2147483647, 11));
    EXPECT_NE(db.createTokenFromSeed(u"n", u"99999999999", withCodeDigit(code)), nullptr);

    // A negative serial is widened with its sign, then its low digits count.
    code[1] = static_cast<char16_t>(u'0' + luhn(static_cast<std::uint64_t>(std::int64_t{-5}), 2));
    EXPECT_NE(db.createTokenFromSeed(u"n", u"-5", withCodeDigit(code)), nullptr);

    // n counts UTF-16 code units, text after the number included.
    const std::u16string withText = makeSeed(0, "04711", "00000");
    EXPECT_NE(db.createTokenFromSeed(u"n", u"4711\u00e9", withText), nullptr);
}

TEST(SeedCode, NonDigitCharactersReadAsZeroOrEndTheNumber) {
    CTokenList db;
    // Letters in the secret end the code value after the parameter word.
    const std::u16string letters = makeSeed(0, "4711", "00000", "ABCDEFGHIJ");
    auto t = db.createTokenFromSeed(u"n", u"4711", letters);
    ASSERT_NE(t, nullptr);
    // A letter as version digit reads as 0.
    std::u16string code = makeSeed(0, "4711", "00000");
    code[0] = u'x';
    code = withCodeDigit(code);
    EXPECT_EQ(code[17], u'0') << "no leading digit: the value is 0";
    EXPECT_NE(db.createTokenFromSeed(u"n", u"4711", code), nullptr);
}

TEST(SeedCode, KindsAndSuitesByVersion) {
    struct Case {
        int version;
        int kindBits;
        TokenKind kind;
        std::u16string suite;
    };
    const Case cases[] = {
        {0, 0, TokenKind::Event, u"OCRA-1:HOTP-SHA1-6:C-QN08"},
        {0, 1, TokenKind::Time, u""},
        {0, 2, TokenKind::ChallengeOnly, u""},
        {0, 3, TokenKind::EventTime, u""},
        {1, 0, TokenKind::OcraEvent, u"OCRA-1:HOTP-SHA1-6:C-QN08"},
        {1, 1, TokenKind::OcraTime, u"OCRA-1:HOTP-SHA1-6:QN08-T1M"},
        {1, 2, TokenKind::ChallengeOnly, u""},
        {1, 3, TokenKind::EventTime, u""},
    };
    for (const Case& c : cases) {
        CTokenList db;
        auto t = db.createTokenFromSeed(u"n", u"31", makeSeed(c.version, "31", word(c.kindBits)));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->kind, c.kind) << "version " << c.version << " bits " << c.kindBits;
        EXPECT_EQ(t->ocraSuite, c.suite) << "version " << c.version << " bits " << c.kindBits;
    }
}

TEST(SeedCode, EveryParameterBit) {
    struct Case {
        int word;
        bool checksum, dualDisplay, spareFlag;
        int digits, goDelay, interval, syncCount;
    };
    const Case cases[] = {
        {0, false, false, false, 5, 5, 60, 2},
        {1 << 2, true, false, false, 5, 5, 60, 2},
        {1 << 3, false, true, false, 5, 5, 60, 2},
        {1 << 4, false, false, true, 5, 5, 60, 2},
        {1 << 5, false, false, false, 6, 5, 60, 2},
        {2 << 5, false, false, false, 7, 5, 60, 2},
        {7 << 5, false, false, false, 12, 5, 60, 2},
        {1 << 8, false, false, false, 5, 10, 60, 2},
        {2 << 8, false, false, false, 5, 15, 60, 2},
        {3 << 8, false, false, false, 5, 30, 60, 2},
        {1 << 10, false, false, false, 5, 5, 120, 2},
        {2 << 10, false, false, false, 5, 5, 180, 2},
        {3 << 10, false, false, false, 5, 5, 240, 2},
        {1 << 12, false, false, false, 5, 5, 60, 3},
        {3 << 12, false, false, false, 5, 5, 60, 5},
        {1 << 14, false, false, false, 5, 5, 60, 2}, // above bit 13: ignored
        {99999, true, true, true, 9, 15, 120, 2},
    };
    for (const Case& c : cases) {
        CTokenList db;
        auto t = db.createTokenFromSeed(u"n", u"8", makeSeed(0, "8", word(c.word)));
        ASSERT_NE(t, nullptr) << c.word;
        EXPECT_EQ(t->checksum, c.checksum) << c.word;
        EXPECT_EQ(t->dualDisplay, c.dualDisplay) << c.word;
        EXPECT_EQ(t->spareFlag, c.spareFlag) << c.word;
        EXPECT_EQ(t->digits, c.digits) << c.word;
        EXPECT_EQ(t->goDelay, c.goDelay) << c.word;
        EXPECT_EQ(t->interval, c.interval) << c.word;
        EXPECT_EQ(t->syncCount, c.syncCount) << c.word;
    }
}

TEST(SeedCode, SameCodeTwiceGivesTwoTokensAndTheNewOneIsDefault) {
    CTokenList db;
    db.tokens.push_back(std::make_shared<COtpToken>());
    db.tokens.push_back(std::make_shared<COtpToken>());
    db.setDefaultIndex(0);
    const std::u16string code = makeSeed(1, "123", "00001");
    auto a = db.createTokenFromSeed(u"n", u"123", code);
    EXPECT_EQ(db.defaultIndex, 2);
    auto b = db.createTokenFromSeed(u"n", u"123", code);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a->sameToken(*b));
    EXPECT_EQ(db.tokens.size(), 4u);
    EXPECT_EQ(db.defaultIndex, 3);
    EXPECT_EQ(db.defaultToken(), b);
}

TEST(SeedCode, LuhnOverMoreDigitsThanTheValueHas) {
    EXPECT_EQ(luhnCheckDigit(0, 17), 0);
    EXPECT_EQ(luhnCheckDigit(7992739871ULL, 10), 3); // the ISO/IEC 7812 example
    EXPECT_EQ(luhnCheckDigit(7992739871ULL, 30), 3);
    EXPECT_EQ(luhnCheckDigit(7992739871ULL, 3), luhn(871, 3));
    EXPECT_EQ(luhnCheckDigit(UINT64_MAX, 20), luhn(UINT64_MAX, 20));
}

} // namespace
