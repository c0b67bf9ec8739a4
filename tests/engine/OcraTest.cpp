#include "engine/Ocra.h"

#include "engine/Otp.h"
#include "engine/OtpToken.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes fromHex(std::string_view hex) {
    return hexToBytes(hex);
}

// The keys of RFC 6287 Appendix C: "1234567890" repeated to 20, 32 and 64 bytes.
const Bytes Seed20 = ascii("12345678901234567890");
const Bytes Seed32 = ascii("12345678901234567890123456789012");
const Bytes Seed64 = ascii("1234567890123456789012345678901234567890123456789012345678901234");

// The RFC gives T as minutes since 1970 (132d0b6) for its T1M rows; ocra takes seconds.
constexpr std::int64_t RfcTime = 0x132d0b6LL * 60;

struct RfcRow {
    const char* suite;
    const Bytes* key;
    std::int64_t counter;
    const char* question;
    const char* pin;
    std::int64_t timestamp;
    const char* response;
};

// RFC 6287 Appendix C, every row: C.1 one-way challenge-response (all five suites), C.2 mutual
// challenge-response (server and client computations of both key sizes) and C.3 plain signature
// (both suites). No row is left out: the data input here is the RFC's own layout (suite, a zero
// byte, C, Q, P, S, T), and no row uses session information. The PIN of the PSHA1 rows is
// "1234", whose SHA-1 is the RFC's PIN hash.
const RfcRow RfcRows[] = {
    // C.1 OCRA-1:HOTP-SHA1-6:QN08, 20-byte key, ten questions.
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "00000000", "", 0, "237653"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "11111111", "", 0, "243178"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "22222222", "", 0, "653583"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "33333333", "", 0, "740991"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "44444444", "", 0, "608993"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "55555555", "", 0, "388898"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "66666666", "", 0, "816933"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "77777777", "", 0, "224598"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "88888888", "", 0, "750600"},
    {"OCRA-1:HOTP-SHA1-6:QN08", &Seed20, 0, "99999999", "", 0, "294470"},
    // C.1 OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1, counters 0 to 9.
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 0, "12345678", "1234", 0, "65347737"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 1, "12345678", "1234", 0, "86775851"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 2, "12345678", "1234", 0, "78192410"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 3, "12345678", "1234", 0, "71565254"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 4, "12345678", "1234", 0, "10104329"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 5, "12345678", "1234", 0, "65983500"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 6, "12345678", "1234", 0, "70069104"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 7, "12345678", "1234", 0, "91771096"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 8, "12345678", "1234", 0, "75011558"},
    {"OCRA-1:HOTP-SHA256-8:C-QN08-PSHA1", &Seed32, 9, "12345678", "1234", 0, "08522129"},
    // C.1 OCRA-1:HOTP-SHA256-8:QN08-PSHA1.
    {"OCRA-1:HOTP-SHA256-8:QN08-PSHA1", &Seed32, 0, "00000000", "1234", 0, "83238735"},
    {"OCRA-1:HOTP-SHA256-8:QN08-PSHA1", &Seed32, 0, "11111111", "1234", 0, "01501458"},
    {"OCRA-1:HOTP-SHA256-8:QN08-PSHA1", &Seed32, 0, "22222222", "1234", 0, "17957585"},
    {"OCRA-1:HOTP-SHA256-8:QN08-PSHA1", &Seed32, 0, "33333333", "1234", 0, "86776967"},
    {"OCRA-1:HOTP-SHA256-8:QN08-PSHA1", &Seed32, 0, "44444444", "1234", 0, "86807031"},
    // C.1 OCRA-1:HOTP-SHA512-8:C-QN08.
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 0, "00000000", "", 0, "07016083"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 1, "11111111", "", 0, "63947962"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 2, "22222222", "", 0, "70123924"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 3, "33333333", "", 0, "25341727"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 4, "44444444", "", 0, "33203315"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 5, "55555555", "", 0, "34205738"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 6, "66666666", "", 0, "44343969"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 7, "77777777", "", 0, "51946085"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 8, "88888888", "", 0, "20403879"},
    {"OCRA-1:HOTP-SHA512-8:C-QN08", &Seed64, 9, "99999999", "", 0, "31409299"},
    // C.1 OCRA-1:HOTP-SHA512-8:QN08-T1M.
    {"OCRA-1:HOTP-SHA512-8:QN08-T1M", &Seed64, 0, "00000000", "", RfcTime, "95209754"},
    {"OCRA-1:HOTP-SHA512-8:QN08-T1M", &Seed64, 0, "11111111", "", RfcTime, "55907591"},
    {"OCRA-1:HOTP-SHA512-8:QN08-T1M", &Seed64, 0, "22222222", "", RfcTime, "22048402"},
    {"OCRA-1:HOTP-SHA512-8:QN08-T1M", &Seed64, 0, "33333333", "", RfcTime, "24218844"},
    {"OCRA-1:HOTP-SHA512-8:QN08-T1M", &Seed64, 0, "44444444", "", RfcTime, "36209546"},
    // C.2 OCRA-1:HOTP-SHA256-8:QA08, server computation.
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "CLI22220SRV11110", "", 0, "28247970"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "CLI22221SRV11111", "", 0, "01984843"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "CLI22222SRV11112", "", 0, "65387857"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "CLI22223SRV11113", "", 0, "03351211"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "CLI22224SRV11114", "", 0, "83412541"},
    // C.2 OCRA-1:HOTP-SHA256-8:QA08, client computation.
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SRV11110CLI22220", "", 0, "15510767"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SRV11111CLI22221", "", 0, "90175646"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SRV11112CLI22222", "", 0, "33777207"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SRV11113CLI22223", "", 0, "95285278"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SRV11114CLI22224", "", 0, "28934924"},
    // C.2 OCRA-1:HOTP-SHA512-8:QA08, server computation.
    {"OCRA-1:HOTP-SHA512-8:QA08", &Seed64, 0, "CLI22220SRV11110", "", 0, "79496648"},
    {"OCRA-1:HOTP-SHA512-8:QA08", &Seed64, 0, "CLI22221SRV11111", "", 0, "76831980"},
    {"OCRA-1:HOTP-SHA512-8:QA08", &Seed64, 0, "CLI22222SRV11112", "", 0, "12250499"},
    {"OCRA-1:HOTP-SHA512-8:QA08", &Seed64, 0, "CLI22223SRV11113", "", 0, "90856481"},
    {"OCRA-1:HOTP-SHA512-8:QA08", &Seed64, 0, "CLI22224SRV11114", "", 0, "12761449"},
    // C.2 OCRA-1:HOTP-SHA512-8:QA08-PSHA1, client computation.
    {"OCRA-1:HOTP-SHA512-8:QA08-PSHA1", &Seed64, 0, "SRV11110CLI22220", "1234", 0, "18806276"},
    {"OCRA-1:HOTP-SHA512-8:QA08-PSHA1", &Seed64, 0, "SRV11111CLI22221", "1234", 0, "70020315"},
    {"OCRA-1:HOTP-SHA512-8:QA08-PSHA1", &Seed64, 0, "SRV11112CLI22222", "1234", 0, "01600026"},
    {"OCRA-1:HOTP-SHA512-8:QA08-PSHA1", &Seed64, 0, "SRV11113CLI22223", "1234", 0, "18951020"},
    {"OCRA-1:HOTP-SHA512-8:QA08-PSHA1", &Seed64, 0, "SRV11114CLI22224", "1234", 0, "32528969"},
    // C.3 OCRA-1:HOTP-SHA256-8:QA08 signatures.
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SIG10000", "", 0, "53095496"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SIG11000", "", 0, "04110475"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SIG12000", "", 0, "31331128"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SIG13000", "", 0, "76028668"},
    {"OCRA-1:HOTP-SHA256-8:QA08", &Seed32, 0, "SIG14000", "", 0, "46554205"},
    // C.3 OCRA-1:HOTP-SHA512-8:QA10-T1M signatures.
    {"OCRA-1:HOTP-SHA512-8:QA10-T1M", &Seed64, 0, "SIG1000000", "", RfcTime, "77537423"},
    {"OCRA-1:HOTP-SHA512-8:QA10-T1M", &Seed64, 0, "SIG1100000", "", RfcTime, "31970405"},
    {"OCRA-1:HOTP-SHA512-8:QA10-T1M", &Seed64, 0, "SIG1200000", "", RfcTime, "10235557"},
    {"OCRA-1:HOTP-SHA512-8:QA10-T1M", &Seed64, 0, "SIG1300000", "", RfcTime, "95213541"},
    {"OCRA-1:HOTP-SHA512-8:QA10-T1M", &Seed64, 0, "SIG1400000", "", RfcTime, "65360607"},
};

std::u16string wide(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string ocraOver(const Bytes& key, std::string_view suite, std::int64_t counter,
                        std::string_view question, std::string_view pin = {}, std::string_view session = {},
                        std::int64_t timestamp = 0) {
    return ocra(key.data(), key.size(), suite, counter, question, pin, session, timestamp);
}

// The data input built by hand: the suite, a zero byte, then the fields appended by the caller.
struct DataInput {
    Bytes bytes;

    explicit DataInput(std::string_view suite) : bytes(suite.begin(), suite.end()) { bytes.push_back(0); }
    DataInput& field(std::size_t size, const Bytes& content = {}, bool rightAligned = false) {
        Bytes field(size, 0);
        std::copy(content.begin(), content.end(),
                  rightAligned ? field.end() - content.size() : field.begin());
        bytes.insert(bytes.end(), field.begin(), field.end());
        return *this;
    }
    std::u16string code(const Bytes& key, int digits, HashKind hash = HashKind::Sha1) const {
        return generateOtp(key.data(), key.size(), bytes.data(), bytes.size(), digits, false, hash);
    }
};

Bytes bigEndian64(std::uint64_t value) {
    Bytes out(8);
    putBigEndian64(value, out.data());
    return out;
}

TEST(OcraRfc6287, AppendixCVectors) {
    for (const RfcRow& row : RfcRows) {
        SCOPED_TRACE(std::string(row.suite) + " " + row.question);
        EXPECT_EQ(ocraOver(*row.key, row.suite, row.counter, row.question, row.pin, {}, row.timestamp),
                  wide(row.response));
    }
}

TEST(OcraHex, HexToBytesPadsOddTextsAndStopsAtTheFirstNonDigit) {
    EXPECT_EQ(hexToBytes("1388"), (Bytes{0x13, 0x88}));
    EXPECT_EQ(hexToBytes("123"), (Bytes{0x01, 0x23}));
    EXPECT_EQ(hexToBytes("aBcD"), (Bytes{0xab, 0xcd}));
    EXPECT_EQ(hexToBytes("12G456"), (Bytes{0x12}));
    EXPECT_EQ(hexToBytes("1x"), Bytes{});
    EXPECT_EQ(hexToBytes(""), Bytes{});
}

TEST(OcraHex, HexToFixedBytesRightAlignsAndRefusesTooLongTexts) {
    EXPECT_EQ(hexToFixedBytes("1388", 4), (Bytes{0, 0, 0x13, 0x88}));
    EXPECT_EQ(hexToFixedBytes("123", 2), (Bytes{0x01, 0x23}));
    EXPECT_EQ(hexToFixedBytes("112233", 2), (Bytes{0, 0}));
    EXPECT_EQ(hexToFixedBytes("", 3), (Bytes{0, 0, 0}));
}

TEST(OcraHex, BytesToHexIsUpperCase) {
    const Bytes bytes{0x00, 0xab, 0x7f, 0xff};
    EXPECT_EQ(bytesToHex(bytes.data(), bytes.size()), "00AB7FFF");
    EXPECT_EQ(bytesToHex("SIG1"), "53494731");
}

TEST(OcraFields, NumericQuestions) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:QN08";
    const struct {
        const char* question;
        std::optional<std::string> hex;
    } cases[] = {
        {"", ""},
        {"5000", "1388"},
        {"255", "ff"},
        {"291", "1230"}, // 123 has an odd length: a 0 goes at the end
        {"+5", "50"},
        {"-1", "ffffffffffffffff"},
        {"9223372036854775807", "7fffffffffffffff"},
        {"-9223372036854775808", "8000000000000000"},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"12a", std::nullopt},
        {" 12", std::nullopt},
        {"1.5", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question);
        EXPECT_EQ(ocraQuestionHex(suite, c.question), c.hex);
    }
}

TEST(OcraFields, OtherQuestionsAreTakenAsText) {
    EXPECT_EQ(ocraQuestionHex("OCRA-1:HOTP-SHA1-6:QA08", "SIG1"), "53494731");
    EXPECT_EQ(ocraQuestionHex("OCRA-1:HOTP-SHA1-6:QH08", "5000"), "35303030");
    // The QN look-up is case-sensitive on the suite as given.
    EXPECT_EQ(ocraQuestionHex("ocra-1:hotp-sha1-6:qn08", "5000"), "35303030");
}

TEST(OcraFields, PinHashFollowsTheSuite) {
    EXPECT_EQ(ocraPinHex("OCRA-1:HOTP-SHA1-6:QN08-PSHA1", ""), "");
    EXPECT_EQ(ocraPinHex("OCRA-1:HOTP-SHA1-6:QN08-PSHA1", "1234"),
              "7110EDA4D09E062AA5E4A390B0A572AC0D2C0220");
    EXPECT_EQ(ocraPinHex("OCRA-1:HOTP-SHA1-6:QN08", "1234"), "7110EDA4D09E062AA5E4A390B0A572AC0D2C0220");
    EXPECT_EQ(ocraPinHex("OCRA-1:HOTP-SHA1-6:QN08-PSHA256", "1234"),
              "03AC674216F3E15C761EE1A5E255F067953623C8B388B4459E13F978D7C846F4");
    EXPECT_EQ(ocraPinHex("OCRA-1:HOTP-SHA1-6:QN08-PSHA512", "1234"),
              "D404559F602EAB6FD602AC7680DACBFAADD13630335E951F097AF3900E9DE176"
              "B6DB28512F2E000B9D04FBA5133E8B1C6E8DF59DB3A8AB9D60BE4B97CC9E81DB");
    // Lower case does not name SHA-256.
    EXPECT_EQ(ocraPinHex("ocra-1:hotp-sha1-6:qn08-psha256", "1234"),
              "7110EDA4D09E062AA5E4A390B0A572AC0D2C0220");
}

TEST(OcraFields, TimeSteps) {
    const struct {
        const char* suite;
        std::int64_t timestamp;
        std::optional<std::string> hex;
    } cases[] = {
        {"OCRA-1:HOTP-SHA1-6:QN08-T1M", RfcTime, "132d0b6"},
        {"OCRA-1:HOTP-SHA1-6:QN08-T1M", RfcTime + 59, "132d0b6"},
        {"OCRA-1:HOTP-SHA1-6:QN08-T30S", 59, "1"},
        {"OCRA-1:HOTP-SHA1-6:QN08-T30S", 60, "2"},
        {"OCRA-1:HOTP-SHA1-6:QN08-T1H", 7199, "1"},
        {"OCRA-1:HOTP-SHA1-6:QN08-T2H", 7200, "1"},
        {"OCRA-1:HOTP-SHA1-6:QN08-T10X", 35, "3"}, // an unknown unit counts seconds
        {"OCRA-1:HOTP-SHA1-6:T1M", 120, "2"},      // ":T" when T is the whole data input
        {"OCRA-1:HOTP-SHA1-6:QN08-T1M", 0, ""},
        {"OCRA-1:HOTP-SHA1-6:QN08", 1000, ""},
        {"ocra-1:hotp-sha1-6:qn08-t1m", 1000, ""}, // case-sensitive look-up
        {"OCRA-1:HOTP-SHA1-6:QN08-T0H", 1000, std::nullopt},
        {"OCRA-1:HOTP-SHA1-6:QN08-TXM", 1000, std::nullopt},
        {"OCRA-1:HOTP-SHA1-6:QN08-TM", 1000, std::nullopt},
        {"OCRA-1:HOTP-SHA1-6:QN08-T", 1000, std::nullopt},
        {"OCRA-1:HOTP-SHA1-6:QN08-T-1M", 1000, std::nullopt},
        {"OCRA-1:HOTP-SHA1-6:QN08-T99999999999999999H", 1000, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.suite);
        EXPECT_EQ(ocraTimestampHex(c.suite, c.timestamp), c.hex);
    }
}

TEST(OcraLayout, TimeSuiteIs164Bytes) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:QN08-T1M"; // 27 characters
    const std::int64_t now = RfcTime + 17;
    const DataInput input = DataInput(suite).field(128, {0x13, 0x88}).field(8, bigEndian64(RfcTime / 60));
    ASSERT_EQ(input.bytes.size(), 164u);
    EXPECT_EQ(ocraOver(Seed20, suite, 0, "5000", {}, {}, now), input.code(Seed20, 6));
}

TEST(OcraLayout, EventSuiteIs162Bytes) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:C-QN08"; // 25 characters
    const DataInput input =
        DataInput(suite).field(8, bigEndian64(0x0102030405060708)).field(128, {0x12, 0x30});
    ASSERT_EQ(input.bytes.size(), 162u);
    EXPECT_EQ(ocraOver(Seed20, suite, 0x0102030405060708, "291"), input.code(Seed20, 6));
}

TEST(OcraLayout, FieldsFollowInTheirFixedOrder) {
    const char* suite = "OCRA-1:HOTP-SHA1-8:S064-PSHA256-QA08-C-T30S";
    const Bytes pinHash = fromHex("03AC674216F3E15C761EE1A5E255F067953623C8B388B4459E13F978D7C846F4");
    const DataInput input = DataInput(suite)
                                .field(8, bigEndian64(7))
                                .field(128, ascii("SIG"))
                                .field(32, pinHash)
                                .field(64, ascii("session"))
                                .field(8, bigEndian64(100 / 30));
    EXPECT_EQ(ocraOver(Seed20, suite, 7, "SIG", "1234", "session", 100), input.code(Seed20, 8));
}

TEST(OcraLayout, EmptyPinGivesAZeroPinField) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:QN08-PSHA1";
    const DataInput zeros = DataInput(suite).field(128, {0x13, 0x88}).field(20);
    EXPECT_EQ(ocraOver(Seed20, suite, 0, "5000", ""), zeros.code(Seed20, 6));
    // Not the hash of an empty text.
    const DataInput emptyHash = DataInput(suite)
                                    .field(128, {0x13, 0x88})
                                    .field(20, fromHex("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"));
    EXPECT_NE(ocraOver(Seed20, suite, 0, "5000", ""), emptyHash.code(Seed20, 6));
}

TEST(OcraSuite, LowerCaseSuiteIsParsedButLookupsAreCaseSensitive) {
    // Parsed: 6 digits, a Q field and a T field. The question is text (no "QN"), the time step is
    // not found (no "-T"), and the lower-case suite itself enters the data input.
    const char* suite = "ocra-1:hotp-sha1-6:qn08-t1m";
    const DataInput input = DataInput(suite).field(128, ascii("5000")).field(8);
    const std::u16string response = ocraOver(Seed20, suite, 0, "5000", {}, {}, RfcTime);
    EXPECT_EQ(response.size(), 6u);
    EXPECT_EQ(response, input.code(Seed20, 6));
}

TEST(OcraSuite, HashNameSelectsTheHmac) {
    const DataInput sha256 = DataInput("OCRA-1:HOTP-SHA256-8:QN08").field(128, {0x13, 0x88});
    EXPECT_EQ(ocraOver(Seed32, "OCRA-1:HOTP-SHA256-8:QN08", 0, "5000"),
              sha256.code(Seed32, 8, HashKind::Sha256));
    const DataInput sha512 = DataInput("OCRA-1:HOTP-sha512-7:QN08").field(128, {0x13, 0x88});
    EXPECT_EQ(ocraOver(Seed64, "OCRA-1:HOTP-sha512-7:QN08", 0, "5000"),
              sha512.code(Seed64, 7, HashKind::Sha512));
    const DataInput other = DataInput("OCRA-1:HOTP-MD5-6:QN08").field(128, {0x13, 0x88});
    EXPECT_EQ(ocraOver(Seed20, "OCRA-1:HOTP-MD5-6:QN08", 0, "5000"), other.code(Seed20, 6, HashKind::Sha1));
}

TEST(OcraSuite, PinComponentIsFoundInTheDataInputOnly) {
    struct Case {
        const char* suite;
        bool takesPin;
    };
    for (const Case& c : {Case{"OCRA-1:HOTP-SHA1-6:QN08-PSHA1", true}, Case{"ocra-1:hotp-sha1-6:c-qn08-psha256", true},
                          Case{"OCRA-1:HOTP-SHA1-6:QN08-T1M", false}, Case{"OCRA-1:HOTP-SHA1-6:C-QN08", false},
                          Case{"OCRA-1:HOTP-SHA1-6", false}, Case{"PSHA1", false}})
        EXPECT_EQ(ocraSuiteTakesPin(c.suite), c.takesPin) << c.suite;
}

TEST(OcraSuite, RejectedSuitesGiveEmptyResponses) {
    const char* suites[] = {
        "",
        "OCRA-1",
        "OCRA-2:HOTP-SHA1-6:QN08",
        "OCRA-1:HOTP-SHA1-0:QN08",
        "OCRA-1:HOTP-SHA1-X:QN08",
        "OCRA-1:HOTP-SHA1-:QN08",
        "OCRA-1:HOTP-SHA1:QN08",
        "OCRA-1:HOTP-SHA1-6-1:QN08",
        "OCRA-1:HOTP-SHA1-6:",
        "OCRA-1::HOTP-SHA1-6:QN08",
        "OCRA-1:HOTP-SHA1-6:QN08:",
        "OCRA-1:HOTP-SHA1-99999999999:QN08",
        // Digits generateOtp refuses.
        "OCRA-1:HOTP-SHA1--1:QN08",
        "OCRA-1:HOTP-SHA1-19:QN08",
    };
    for (const char* suite : suites) {
        SCOPED_TRACE(suite);
        EXPECT_EQ(ocraOver(Seed20, suite, 0, "5000"), u"");
    }
}

TEST(OcraInput, UnreadableQuestionsAndTimeStepsGiveEmptyResponses) {
    EXPECT_EQ(ocraOver(Seed20, "OCRA-1:HOTP-SHA1-6:QN08", 0, "12a"), u"");
    EXPECT_EQ(ocraOver(Seed20, "OCRA-1:HOTP-SHA1-6:QN08", 0, "99999999999999999999"), u"");
    EXPECT_EQ(ocraOver(Seed20, "OCRA-1:HOTP-SHA1-6:QN08-T0H", 0, "5000", {}, {}, RfcTime), u"");
    EXPECT_EQ(ocraOver(Seed20, "OCRA-1:HOTP-SHA1-6:QN08-TxM", 0, "5000", {}, {}, RfcTime), u"");
    // Without a time stamp the step is never read.
    EXPECT_EQ(ocraOver(Seed20, "OCRA-1:HOTP-SHA1-6:QN08-T0H", 0, "5000").size(), 6u);
}

TEST(OcraInput, QuestionAndSessionMustFitTheirFields) {
    const char* textSuite = "OCRA-1:HOTP-SHA1-6:QA08";
    EXPECT_EQ(ocraOver(Seed20, textSuite, 0, std::string(128, 'q')).size(), 6u);
    EXPECT_EQ(ocraOver(Seed20, textSuite, 0, std::string(129, 'q')), u"");
    EXPECT_EQ(ocraCompute(Seed20.data(), Seed20.size(), textSuite, 0, std::string(258, 'A'), {}, {}, {}),
              u"");

    const char* sessionSuite = "OCRA-1:HOTP-SHA1-6:QN08-S064";
    EXPECT_EQ(ocraOver(Seed20, sessionSuite, 0, "5000", {}, std::string(64, 's')).size(), 6u);
    EXPECT_EQ(ocraOver(Seed20, sessionSuite, 0, "5000", {}, std::string(65, 's')), u"");
}

class OcraTokenTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setCodePageForTesting(1252);
        token_.setPrimaryKey(Seed20.data(), static_cast<int>(Seed20.size()));
        token_.setSecondaryKey(Seed32.data(), static_cast<int>(Seed32.size()));
    }
    void TearDown() override {
        platform::setClockForTesting({});
        platform::setCodePageForTesting(0);
    }

    OtpPair expected(std::string_view suite, std::int64_t counter, std::string_view question,
                     std::string_view pin, std::int64_t timestamp) const {
        return {ocraOver(Seed20, suite, counter, question, pin, {}, timestamp),
                ocraOver(Seed32, suite, counter, question, pin, {}, timestamp)};
    }

    COtpToken token_;
};

TEST_F(OcraTokenTest, EventTokenUsesAndAdvancesItsCounter) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:C-QN08";
    token_.kind = TokenKind::OcraEvent;
    token_.ocraSuite = wide(suite);
    token_.counter = 41;
    const char* challenges[] = {"5000", "5000", "12345678"};
    for (int n = 0; n < 3; ++n) {
        const OtpPair pair = token_.respond(wide(challenges[n]), u"");
        EXPECT_FALSE(pair.first.empty());
        EXPECT_EQ(pair, expected(suite, 41 + n, challenges[n], "", 0)) << "response " << n;
    }
    EXPECT_EQ(token_.counter, 44);
}

TEST_F(OcraTokenTest, EventTokenAdvancesEvenWhenTheSuiteIsRejected) {
    token_.kind = TokenKind::OcraEvent;
    for (const char16_t* suite : {u"OCRA-1:HOTP-SHA1-0:QN08", u""}) {
        token_.ocraSuite = suite;
        token_.counter = 7;
        EXPECT_TRUE(token_.respond(u"5000", u"").empty());
        EXPECT_EQ(token_.counter, 8);
    }
    token_.ocraSuite = u"OCRA-1:HOTP-SHA1-6:C-QN08";
    EXPECT_TRUE(token_.respond(u"not a number", u"").empty());
    EXPECT_EQ(token_.counter, 9);
}

TEST_F(OcraTokenTest, TimeTokenFollowsTheClockByTheMinute) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:QN08-T1M";
    token_.kind = TokenKind::OcraTime;
    token_.ocraSuite = wide(suite);
    token_.counter = 5;
    std::int64_t now = RfcTime;
    platform::setClockForTesting([&now] { return now; });

    const OtpPair atStart = token_.respond(u"5000", u"");
    EXPECT_EQ(atStart, expected(suite, 0, "5000", "", RfcTime));
    now = RfcTime + 59;
    EXPECT_EQ(token_.respond(u"5000", u""), atStart);
    now = RfcTime + 60;
    const OtpPair nextMinute = token_.respond(u"5000", u"");
    EXPECT_EQ(nextMinute, expected(suite, 0, "5000", "", RfcTime + 60));
    EXPECT_NE(nextMinute.first, atStart.first);
    EXPECT_EQ(token_.counter, 5);
}

TEST_F(OcraTokenTest, TimeTokenReproducesTheRfcThroughRespond) {
    token_.kind = TokenKind::OcraTime;
    token_.ocraSuite = u"OCRA-1:HOTP-SHA512-8:QN08-T1M";
    token_.setPrimaryKey(Seed64.data(), static_cast<int>(Seed64.size()));
    platform::setClockForTesting([] { return RfcTime + 30; });
    EXPECT_EQ(token_.respond(u"22222222", u"").first, u"22048402");
}

TEST_F(OcraTokenTest, PinChangesThePinSuiteResponse) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:QN08-PSHA1";
    token_.kind = TokenKind::OcraEvent;
    token_.ocraSuite = wide(suite);
    const OtpPair first = token_.respond(u"5000", u"1234");
    const OtpPair second = token_.respond(u"5000", u"4321");
    const OtpPair none = token_.respond(u"5000", u"");
    EXPECT_EQ(first, expected(suite, 0, "5000", "1234", 0));
    EXPECT_NE(first.first, second.first);
    EXPECT_NE(first.first, none.first);
    EXPECT_EQ(none, expected(suite, 0, "5000", "", 0));
}

TEST_F(OcraTokenTest, TextsReachTheDataInputInTheAnsiCodePage) {
    const char* suite = "OCRA-1:HOTP-SHA1-6:QA08-PSHA1";
    token_.kind = TokenKind::OcraEvent;
    token_.ocraSuite = wide(suite);
    // "Grüße" and "Pässe" in Windows-1252.
    const OtpPair pair = token_.respond(u"Gr\u00fc\u00dfe", u"P\u00e4sse");
    EXPECT_EQ(pair, expected(suite, 0,
                             "Gr\xfc\xdf"
                             "e",
                             "P\xe4sse", 0));
}

} // namespace
