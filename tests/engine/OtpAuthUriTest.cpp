#include "engine/OtpAuthUri.h"

#include "engine/Base32.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// The RFC 6238 keys in Base32: 20, 32 and 64 bytes of "1234567890..." for SHA-1, -256, -512.
constexpr const char* Key20 = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";
constexpr const char* Key32 = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZA";
constexpr const char* Key64 = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNA";

std::string uriWith(const std::string& type, const std::string& rest) {
    return "otpauth://" + type + "/" + rest;
}

std::shared_ptr<COtpToken> parsed(const std::string& uri) {
    OtpAuthResult result = parseOtpAuthUri(uri);
    EXPECT_TRUE(result.error.empty()) << uri << ": " << result.error;
    EXPECT_TRUE(result.token) << uri;
    return result.token;
}

// Every field the URI can set, so two tokens can be compared by what an otpauth URI carries.
void expectSameUriFields(const COtpToken& a, const COtpToken& b, const std::string& context) {
    EXPECT_EQ(a.kind, b.kind) << context;
    EXPECT_EQ(a.hash, b.hash) << context;
    EXPECT_EQ(a.digits, b.digits) << context;
    EXPECT_EQ(a.interval, b.interval) << context;
    EXPECT_EQ(a.counter, b.counter) << context;
    EXPECT_EQ(a.application, b.application) << context;
    EXPECT_EQ(a.userName, b.userName) << context;
    EXPECT_EQ(a.label, b.label) << context;
    EXPECT_TRUE(std::ranges::equal(a.primaryKeyBytes(), b.primaryKeyBytes())) << context;
    EXPECT_TRUE(a.sameToken(b)) << context;
}

TEST(OtpAuthUriTest, MapsEveryParameterToTheToken) {
    struct Row {
        std::string uri;
        TokenKind kind;
        HashKind hash;
        int digits;
        int interval;
        std::int64_t counter;
        std::u16string issuer;
        std::u16string account;
        std::u16string label;
    };
    const std::string secret = std::string("?secret=") + Key20;
    const Row rows[] = {
        {uriWith("totp", "ACME%20Co:john.doe@email.com" + secret + "&issuer=ACME%20Co&algorithm=SHA1&digits=6&period=30"),
         TokenKind::Totp, HashKind::Sha1, 6, 30, 0, u"ACME Co", u"john.doe@email.com", u"ACME Co:john.doe@email.com"},
        // Defaults, issuer from the label only, a space after the colon.
        {uriWith("totp", "Bank:%20ann" + secret), TokenKind::Totp, HashKind::Sha1, 6, 30, 0, u"Bank", u"ann",
         u"Bank:ann"},
        {uriWith("TOTP", "ann" + secret + "&ALGORITHM=sha256&digits=8&period=60"), TokenKind::Totp,
         HashKind::Sha256, 8, 60, 0, u"", u"ann", u"ann"},
        {uriWith("totp", secret + "&issuer=Only%20Issuer&algorithm=SHA512&digits=7"), TokenKind::Totp,
         HashKind::Sha512, 7, 30, 0, u"Only Issuer", u"", u"Only Issuer"},
        // The parameter wins over a different prefix; a colon written %3A divides too.
        {uriWith("totp", "Old%3Abob" + secret + "&issuer=New"), TokenKind::Totp, HashKind::Sha1, 6, 30, 0, u"New",
         u"bob", u"New:bob"},
        {uriWith("totp", "A%3AB:carol" + secret + "&issuer=A%3AB"), TokenKind::Totp, HashKind::Sha1, 6, 30, 0,
         u"A:B", u"carol", u"A:B:carol"},
        {uriWith("totp", "Site" + secret + "&issuer=Site"), TokenKind::Totp, HashKind::Sha1, 6, 30, 0, u"Site",
         u"", u"Site"},
        {uriWith("totp", ":x:y" + secret), TokenKind::Totp, HashKind::Sha1, 6, 30, 0, u"", u"x:y", u"x:y"},
        {uriWith("totp", "%C3%89cole:d%C3%A9d%C3%A9" + secret + "&image=http%3A%2F%2Fx&foo"), TokenKind::Totp,
         HashKind::Sha1, 6, 30, 0, u"\u00c9cole", u"d\u00e9d\u00e9", u"\u00c9cole:d\u00e9d\u00e9"},
        // A counter is optional on hotp; a period there is passed over.
        {uriWith("hotp", "Git:dave" + secret + "&counter=42&period=15"), TokenKind::Event, HashKind::Sha1, 6, 30,
         42, u"Git", u"dave", u"Git:dave"},
        {uriWith("hotp", "Git:dave" + secret), TokenKind::Event, HashKind::Sha1, 6, 30, 0, u"Git", u"dave",
         u"Git:dave"},
        {uriWith("hotp", "e" + secret + "&counter=18446744073709551615"), TokenKind::Event, HashKind::Sha1, 6, 30,
         -1, u"", u"e", u"e"},
        {"  OTPAUTH://totp/f" + secret + "\r\n", TokenKind::Totp, HashKind::Sha1, 6, 30, 0, u"", u"f", u"f"},
    };
    for (const Row& row : rows) {
        const auto token = parsed(row.uri);
        if (!token)
            continue;
        EXPECT_EQ(token->kind, row.kind) << row.uri;
        EXPECT_EQ(token->hash, row.hash) << row.uri;
        EXPECT_EQ(token->digits, row.digits) << row.uri;
        EXPECT_EQ(token->interval, row.interval) << row.uri;
        EXPECT_EQ(token->counter, row.counter) << row.uri;
        EXPECT_EQ(token->application, row.issuer) << row.uri;
        EXPECT_EQ(token->userName, row.account) << row.uri;
        EXPECT_EQ(token->label, row.label) << row.uri;
        EXPECT_EQ(token->primaryKeyLength, 20) << row.uri;
        EXPECT_EQ(token->secondaryKeyLength, 0) << row.uri;
        EXPECT_FALSE(token->checksum || token->dualDisplay) << row.uri;
        EXPECT_EQ(token->appId, u"otpauth:" + row.issuer) << row.uri;
    }
}

TEST(OtpAuthUriTest, NamesTheMalformedPart) {
    const std::string secret = std::string("secret=") + Key20;
    const std::pair<std::string, const char*> rows[] = {
        {"", "not a URI of the form otpauth://"},
        {"otpauth:/totp/a?" + secret, "not a URI"},
        {"http://totp/a?" + secret, "unknown scheme 'http'"},
        {"otpauth://motp/a?" + secret, "unknown token type 'motp'"},
        {"otpauth:///a?" + secret, "unknown token type ''"},
        {"otpauth://totp/a", "no secret"},
        {"otpauth://totp/a?secret=&issuer=x", "no secret"},
        {"otpauth://totp/a?secret=%20%20", "no secret"},
        {"otpauth://totp/a?secret=====", "bad secret: Base32 padding"},
        {"otpauth://totp/a?secret=GEZ1", "bad secret: '1' at position 4"},
        {"otpauth://totp/a?secret=GEZDGN", "bad secret: Base32 text of 6 letters"},
        {"otpauth://totp/a?" + secret + "&secret=" + Key20, "secret is given twice"},
        {"otpauth://totp/a?secret=" + std::string(Key64) + Key64 + Key64, "secret of 193 bytes is longer than 128"},
        {"otpauth://totp/a?" + secret + "&algorithm=MD5", "unknown algorithm 'MD5'"},
        {"otpauth://totp/a?" + secret + "&algorithm=", "unknown algorithm ''"},
        {"otpauth://totp/a?" + secret + "&digits=5", "bad digits '5'"},
        {"otpauth://totp/a?" + secret + "&digits=9", "bad digits '9'"},
        {"otpauth://totp/a?" + secret + "&digits=+6", "bad digits '+6'"},
        {"otpauth://totp/a?" + secret + "&digits=6x", "bad digits '6x'"},
        {"otpauth://totp/a?" + secret + "&period=0", "bad period '0'"},
        {"otpauth://totp/a?" + secret + "&period=-30", "bad period '-30'"},
        {"otpauth://totp/a?" + secret + "&period=2147483648", "bad period '2147483648'"},
        {"otpauth://totp/a?" + secret + "&period=", "bad period ''"},
        {"otpauth://hotp/a?" + secret + "&counter=-1", "bad counter '-1'"},
        {"otpauth://hotp/a?" + secret + "&counter=18446744073709551616", "bad counter"},
        {"otpauth://hotp/a?" + secret + "&counter=1e3", "bad counter '1e3'"},
        {"otpauth://totp/a%2?" + secret, "bad percent escape '%2' in the label"},
        {"otpauth://totp/a%?" + secret, "bad percent escape '%' in the label"},
        {"otpauth://totp/a?" + secret + "&issuer=x%zz", "bad percent escape '%zz' in the issuer parameter"},
        {"otpauth://totp/a?secret=GE%G1", "bad percent escape '%G1' in the secret parameter"},
        {"otpauth://totp/%FF%FE?" + secret, "the label is not UTF-8 text"},
        {"otpauth://totp/a%0Ab?" + secret, "the label holds control characters"},
        {"otpauth://totp/a?" + secret + "&issuer=%C2%85", "the issuer holds control characters"},
        {"otpauth://totp/?" + secret, "names neither an issuer nor an account"},
        {"otpauth://totp/%20:%20?" + secret + "&issuer=%20", "names neither"},
    };
    for (const auto& [uri, reason] : rows) {
        const OtpAuthResult result = parseOtpAuthUri(uri);
        EXPECT_FALSE(result.token) << uri;
        EXPECT_NE(result.error.find(reason), std::string::npos) << uri << " gave: " << result.error;
    }
}

// Reference codes from oathtool (TOTP, and HOTP SHA-1) and from an independent HMAC (HOTP
// SHA-256/512) at fixed times and counters.
TEST(OtpAuthUriTest, CodesOfParsedUrisMatchTheReference) {
    struct Row {
        std::string uri;
        std::int64_t time;
        const char16_t* code;
    };
    const Row rows[] = {
        {uriWith("totp", "a?secret=") + Key20 + "&digits=8", 1111111109, u"07081804"},
        {uriWith("totp", "a?secret=") + Key32 + "&digits=8&algorithm=SHA256", 1111111111, u"67062674"},
        {uriWith("totp", "a?secret=") + Key64 + "&digits=8&algorithm=SHA512", 20000000000, u"47863826"},
        {uriWith("totp", "a?secret=") + Key32 + "&digits=7&algorithm=SHA256&period=60", 1700000000, u"7076628"},
        {uriWith("totp", "a?secret=") + Key64 + "&digits=7&algorithm=SHA512&period=60", 1700000000, u"0800581"},
        {uriWith("hotp", "a?secret=") + Key20 + "&counter=5", 0, u"254676"},
        {uriWith("hotp", "a?secret=") + Key20 + "&counter=18446744073709551615", 0, u"094451"},
        {uriWith("hotp", "a?secret=") + Key32 + "&algorithm=SHA256&counter=1", 0, u"119246"},
        {uriWith("hotp", "a?secret=") + Key64 + "&algorithm=SHA512&digits=8&counter=42", 0, u"31776732"},
    };
    for (const Row& row : rows) {
        const auto token = parsed(row.uri);
        if (token) {
            EXPECT_EQ(token->computeOtpAtTime(row.time).first, row.code) << row.uri;
        }
    }
}

TEST(OtpAuthUriTest, MakeWritesEveryParameterAndReadsBackTheSameToken) {
    const std::string uris[] = {
        uriWith("totp", "ACME%20Co:john.doe@email.com?secret=") + Key20 + "&issuer=ACME%20Co",
        uriWith("totp", "x?secret=") + Key64 + "&algorithm=sha512&digits=7&period=45",
        uriWith("totp", "A%3AB:c%3Ad?secret=") + Key32 + "&issuer=A%3AB&algorithm=SHA256",
        uriWith("totp", ":c:d?secret=") + Key20,
        uriWith("totp", "?secret=") + Key20 + "&issuer=%E2%82%AC%20%26%3D%3F%2B%23",
        uriWith("hotp", "Git:dave?secret=") + Key20 + "&counter=18446744073709551615&digits=8",
    };
    for (const std::string& uri : uris) {
        const auto first = parsed(uri);
        if (!first)
            continue;
        const std::string made = makeOtpAuthUri(*first);
        const auto again = parsed(made);
        if (again)
            expectSameUriFields(*first, *again, uri + " -> " + made);
    }
    EXPECT_EQ(makeOtpAuthUri(*parsed(uris[0])),
              std::string("otpauth://totp/ACME%20Co:john.doe@email.com?secret=") + Key20 +
                  "&issuer=ACME%20Co&algorithm=SHA1&digits=6&period=30");
    EXPECT_EQ(makeOtpAuthUri(*parsed(uris[5])),
              std::string("otpauth://hotp/Git:dave?secret=") + Key20 +
                  "&issuer=Git&algorithm=SHA1&digits=8&counter=18446744073709551615");
}

TEST(OtpAuthUriTest, TheSameSecretAndIssuerAreTheSameTokenHoweverWritten) {
    const auto reference = parsed(uriWith("totp", "Bank:ann?secret=") + Key20 + "&issuer=Bank");
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->serial, u"6ED645EF0E1ABEA1");
    struct Row {
        std::string uri;
        bool same;
    };
    const Row rows[] = {
        {uriWith("totp", "Bank:ann?secret=") + Key20 + "&issuer=Bank", true},
        {uriWith("totp", "Bank:someone?secret=gezd%20gnbv%20gy3t%20qojq%20gezd%20gnbv%20gy3t%20qojq"), true},
        {uriWith("hotp", "Bank:ann?secret=") + Key20 + "&issuer=Bank&counter=3&digits=8", true},
        {uriWith("totp", "Bank:ann?secret=") + Key32 + "&issuer=Bank", false},
        {uriWith("totp", "Other:ann?secret=") + Key20 + "&issuer=Other", false},
        {uriWith("totp", "ann?secret=") + Key20, false},
    };
    for (const Row& row : rows) {
        const auto token = parsed(row.uri);
        if (token) {
            EXPECT_EQ(token->sameToken(*reference), row.same) << row.uri;
        }
    }
}

TEST(OtpAuthUriTest, TokensWithoutAnOtpauthFormGiveNoUri) {
    const auto base = [] {
        COtpToken token;
        token.kind = TokenKind::Totp;
        token.label = u"t";
        token.setPrimaryKey("12345678901234567890", 20);
        return token;
    };
    ASSERT_FALSE(makeOtpAuthUri(base()).empty());
    const std::pair<const char*, void (*)(COtpToken&)> rows[] = {
        {"OCRA event", [](COtpToken& t) { t.kind = TokenKind::OcraEvent; }},
        {"OCRA time", [](COtpToken& t) { t.kind = TokenKind::OcraTime; }},
        {"challenge only", [](COtpToken& t) { t.kind = TokenKind::ChallengeOnly; }},
        {"event and time", [](COtpToken& t) { t.kind = TokenKind::EventTime; }},
        {"unknown kind", [](COtpToken& t) { t.kind = static_cast<TokenKind>(99); }},
        {"check digit", [](COtpToken& t) { t.checksum = true; }},
        {"two codes", [](COtpToken& t) { t.dualDisplay = true; }},
        {"5 digits", [](COtpToken& t) { t.digits = 5; }},
        {"9 digits", [](COtpToken& t) { t.digits = 9; }},
        {"no key", [](COtpToken& t) { t.primaryKeyLength = 0; }},
        {"negative period", [](COtpToken& t) { t.interval = -30; }},
        {"half of 1 s", [](COtpToken& t) { t.kind = TokenKind::Time, t.interval = 1; }},
        {"unknown hash", [](COtpToken& t) { t.hash = static_cast<HashKind>(7); }},
        {"no name", [](COtpToken& t) { t.label.clear(); }},
    };
    for (const auto& [what, change] : rows) {
        COtpToken token = base();
        change(token);
        EXPECT_EQ(makeOtpAuthUri(token), "") << what;
    }
}

// Today's time kind steps at half its interval: the URI carries that step, so the imported
// token gives the same codes.
TEST(OtpAuthUriTest, TodaysTimeKindExportsItsStepAsThePeriod) {
    for (const int interval : {60, 0, 121}) {
        COtpToken token;
        token.kind = TokenKind::Time;
        token.interval = interval;
        token.application = u"Seed";
        token.setPrimaryKey("12345678901234567890", 20);
        const std::string uri = makeOtpAuthUri(token);
        const auto imported = parsed(uri);
        if (!imported)
            continue;
        EXPECT_EQ(imported->kind, TokenKind::Totp) << uri;
        for (const std::int64_t time : {59, 1111111111, 2000000000}) {
            EXPECT_EQ(imported->computeOtpAtTime(time), token.computeOtpAtTime(time)) << uri << " at " << time;
        }
    }
}

} // namespace
