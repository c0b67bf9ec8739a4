// A long run of the home page's Go on an event token: every press shows the next HOTP code and
// saves the database; afterwards the file loads with the exact counter, the other tokens as they
// were, and the process's memory has stayed flat. Takes a minute or more, so it runs only with
// VALDORIX_SOAK=1 (scripts/soak.sh) and is skipped otherwise.
#include "OtpTestSupport.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <string_view>
#include <vector>

using namespace otptest;

namespace {

constexpr int kPresses = 10000;
constexpr int kSampleEvery = 500;

// RFC 4226 through OpenSSL's HMAC, independent of the engine's own SHA-1.
std::u16string referenceHotp(std::string_view key, std::uint64_t counter, int digits) {
    std::uint8_t message[8];
    for (int i = 7; i >= 0; --i, counter >>= 8)
        message[i] = std::uint8_t(counter);
    std::uint8_t mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), int(key.size()), message, sizeof message, mac, &length);
    const int offset = mac[19] & 0x0F;
    std::uint32_t value = (std::uint32_t(mac[offset] & 0x7F) << 24) | (std::uint32_t(mac[offset + 1]) << 16) |
                          (std::uint32_t(mac[offset + 2]) << 8) | mac[offset + 3];
    std::uint32_t modulus = 1;
    for (int i = 0; i < digits; ++i)
        modulus *= 10;
    value %= modulus;
    std::u16string code(std::size_t(digits), u'0');
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        code[std::size_t(i)] = char16_t(u'0' + value % 10);
    return code;
}

// Resident set of this process in KiB, from /proc.
long residentKiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1)
            break;
    }
    std::fclose(status);
    return kib;
}

bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

class SoakTest : public OtpFixture {
protected:
    void SetUp() override {
        if (qgetenv("VALDORIX_SOAK") != "1")
            GTEST_SKIP() << "soak run: set VALDORIX_SOAK=1 (scripts/soak.sh)";
        OtpFixture::SetUp();
    }
};

TEST_F(SoakTest, TenThousandGoPressesSaveEachCounterAndLoadBackExactly) {
    // The event token among others, so every save writes a file of some size.
    for (int i = 0; i < 20; ++i) {
        const std::u16string n = QString::number(1000 + i).toStdU16String();
        auto other = makeToken(TokenKind::Time, u"Other " + n, u"T" + n);
        other->counter = i;
        store().tokens.push_back(other);
    }
    auto token = makeToken(TokenKind::Event, u"Soak", u"SOAK1");
    token->goDelay = 1;
    store().tokens.push_back(token);
    store().setDefaultIndex(int(store().tokens.size()) - 1);
    ASSERT_TRUE(store().save());
    const std::uintmax_t fileSize = fs::file_size(databaseFile());

    COtpPage* page = otpPage();
    ASSERT_NE(page, nullptr);
    QWidget* go = control(page, COtpPage::IDC_GO);
    ASSERT_TRUE(go->isEnabled());

    std::vector<std::pair<int, long>> samples;
    for (int press = 0; press < kPresses; ++press) {
        // Go is locked for the token's delay after each press; the lock's timer ends it.
        page->onTimer(COtpPage::TimerGoLock);
        ASSERT_TRUE(go->isEnabled()) << "press " << press;
        QTest::mouseClick(go, Qt::LeftButton);
        QCoreApplication::processEvents();
        ASSERT_EQ(page->plate()->topCode(), referenceHotp(kRfcKey, std::uint64_t(press), token->digits))
            << "press " << press;
        ASSERT_EQ(token->counter, press + 1);
        if ((press + 1) % kSampleEvery == 0) {
            samples.emplace_back(press + 1, residentKiB());
            // The file on disk holds this press's counter, not merely the one in memory.
            ASSERT_EQ(fs::file_size(databaseFile()), fileSize) << "press " << press;
            ASSERT_EQ(reloadStore()->tokens.back()->counter, press + 1) << "press " << press;
        }
    }

    std::cout << "[          ] presses  resident KiB\n";
    for (const auto& [presses, kib] : samples)
        std::cout << "[          ] " << presses << "  " << kib << '\n';

    // The next start's load: the exact counter, every other token as it was, no temporary file.
    m_window.reset();
    auto loaded = reloadStore();
    ASSERT_EQ(loaded->tokens.size(), 21u);
    EXPECT_EQ(loaded->defaultIndex, 20);
    EXPECT_EQ(loaded->tokens.back()->counter, kPresses);
    EXPECT_EQ(loaded->tokens.back()->serial, u"SOAK1");
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(loaded->tokens[std::size_t(i)]->counter, i);
        EXPECT_EQ(loaded->tokens[std::size_t(i)]->serial, store().tokens[std::size_t(i)]->serial);
    }
    EXPECT_EQ(fs::file_size(databaseFile()), fileSize);
    EXPECT_FALSE(fs::exists(databaseFile().string() + ".new"));
    const auto next = loaded->tokens.back()->computeOtp();
    EXPECT_EQ(next.first, referenceHotp(kRfcKey, kPresses, token->digits));

    // Memory flat: after the first samples, when caches and the allocator have settled, the
    // resident set grows by less than a megabyte over the rest of the run. Sanitizers keep
    // freed memory in quarantine, so there it is only reported.
    ASSERT_GE(samples.size(), 4u);
    const long settled = samples[1].second;
    const long last = samples.back().second;
    std::cout << "[          ] resident set from press " << samples[1].first << " to " << kPresses << ": "
              << settled << " KiB -> " << last << " KiB\n";
    if (!sanitized()) {
        EXPECT_LT(last - settled, 1024) << "resident set grew during the run";
    }
}

} // namespace
