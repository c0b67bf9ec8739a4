#pragma once

#include "engine/OtpToken.h"
#include "engine/Rc4.h"
#include "platform/Folders.h"
#include "store/ValdorixTokenDB.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace storetest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A private data folder and a fixed machine identifier for each test.
class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() / ("valdorix-store-" + std::to_string(::getpid()) + "-" +
                                             info->test_suite_name() + "-" + info->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        platform::setMachineIdForTesting("machine-one");
    }
    void TearDown() override {
        ::unsetenv("XDG_DATA_HOME");
        platform::setMachineIdForTesting(std::nullopt);
        fs::remove_all(root_);
    }

    fs::path folder() const { return root_ / "data" / "Valdorix"; }
    fs::path databaseFile() const { return folder() / "Valdorix4.db"; }

    fs::path root_;
};

inline Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// RC4 over bytes[from..] with `key` (enciphering and deciphering are the same).
inline Bytes rc4From(Bytes bytes, std::size_t from, const std::uint8_t* key, std::size_t keyLength) {
    Rc4State state{};
    rc4Init(state, key, keyLength);
    if (bytes.size() > from)
        rc4Crypt(state, bytes.data() + from, bytes.size() - from);
    return bytes;
}

// The archive of a database file, deciphered with the database's key.
inline Bytes archiveOf(const fs::path& file, const CFileTokenDB& db) {
    Bytes bytes = rc4From(readFile(file), 150, db.keyInUse().data(), db.keyInUse().size());
    return bytes.size() >= 150 ? Bytes(bytes.begin() + 150, bytes.end()) : Bytes();
}

// A token whose every field differs from the defaults and from each other.
inline std::shared_ptr<COtpToken> distinctToken(int seed) {
    auto t = std::make_shared<COtpToken>();
    const std::u16string n = std::u16string(1, static_cast<char16_t>(u'A' + seed));
    t->label = u"Label \u00e9" + n;
    t->application = u"App" + n;
    t->appId = u"id" + n;
    t->serial = u"100" + n;
    t->tokenName = u"Token" + n;
    t->userName = u"user" + n;
    t->appUrl = u"https://app/" + n;
    t->serviceUrl = u"https://svc/" + n;
    t->iconFile = u"icon" + n + u".ico";
    for (std::size_t i = 0; i < COtpToken::KeyCapacity; ++i) {
        t->secondaryKey[i] = static_cast<std::uint8_t>(i * 3 + seed);
        t->primaryKey[i] = static_cast<std::uint8_t>(255 - i - seed);
    }
    t->secondaryKeyLength = 16;
    t->primaryKeyLength = 20;
    t->expiryDate = 0x0102030405060708LL + seed;
    t->digits = 8;
    t->provisioned = 1;
    t->kind = TokenKind::OcraTime;
    t->syncCount = 3;
    t->interval = 60;
    t->counter = -2 - seed;
    t->goDelay = 10;
    t->checksum = true;
    t->dualDisplay = false;
    t->spareFlag = true;
    t->ocraSuite = u"OCRA-1:HOTP-SHA1-6:QN08-T1M";
    return t;
}

inline void expectSameFields(const COtpToken& a, const COtpToken& b) {
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.application, b.application);
    EXPECT_EQ(a.appId, b.appId);
    EXPECT_EQ(a.serial, b.serial);
    EXPECT_EQ(a.tokenName, b.tokenName);
    EXPECT_EQ(a.userName, b.userName);
    EXPECT_EQ(a.appUrl, b.appUrl);
    EXPECT_EQ(a.serviceUrl, b.serviceUrl);
    EXPECT_EQ(a.iconFile, b.iconFile);
    EXPECT_EQ(a.secondaryKey, b.secondaryKey);
    EXPECT_EQ(a.primaryKey, b.primaryKey);
    EXPECT_EQ(a.secondaryKeyLength, b.secondaryKeyLength);
    EXPECT_EQ(a.primaryKeyLength, b.primaryKeyLength);
    EXPECT_EQ(a.expiryDate, b.expiryDate);
    EXPECT_EQ(a.digits, b.digits);
    EXPECT_EQ(a.provisioned, b.provisioned);
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.syncCount, b.syncCount);
    EXPECT_EQ(a.interval, b.interval);
    EXPECT_EQ(a.counter, b.counter);
    EXPECT_EQ(a.goDelay, b.goDelay);
    EXPECT_EQ(a.checksum, b.checksum);
    EXPECT_EQ(a.dualDisplay, b.dualDisplay);
    EXPECT_EQ(a.spareFlag, b.spareFlag);
    EXPECT_EQ(a.ocraSuite, b.ocraSuite);
    EXPECT_EQ(a.hash, b.hash);
}

} // namespace storetest
