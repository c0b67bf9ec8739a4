#include "StoreTestSupport.h"
#include "engine/Descriptor.h"
#include "engine/TextDigest.h"

#include <gtest/gtest.h>

using namespace storetest;

namespace {

// A descriptor record: braces, fixed fields, strings, no icon.
Bytes record(const std::string& serial, const std::string& application) {
    Bytes r = {'{', 0, 0 /* kind */, 0, 0, 1, 0 /* counter 256 */, 0, 60, 0, 5, 6, 0x04, 2, 0, 0, 0, 0};
    for (int i = 0; i < 40; ++i)
        r.push_back(static_cast<std::uint8_t>(i));
    auto text = [&](const std::string& s) {
        r.push_back(static_cast<std::uint8_t>(s.size()));
        r.insert(r.end(), s.begin(), s.end());
    };
    text(serial);
    text("https://svc");
    text("Token");
    text("user");
    text(application);
    text("pack-app");
    r.push_back(0);
    r.push_back(0); // no icon
    text("https://app");
    text("OCRA-1:HOTP-SHA1-6:C-QN08");
    r.push_back('}');
    return r;
}

// A pack that carries its own RC4 key.
Bytes packWithKey(const Bytes& rec) {
    const Bytes key = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8, 7, 6, 5, 4};
    Bytes pack = {1, static_cast<std::uint8_t>(key.size())};
    pack.insert(pack.end(), key.begin(), key.end());
    const Bytes enciphered = rc4From(rec, 0, key.data(), key.size());
    pack.insert(pack.end(), enciphered.begin(), enciphered.end());
    return pack;
}

// A pack that needs the authorisation code `code`.
Bytes packForCode(const Bytes& rec, std::u16string_view code) {
    std::uint8_t key[16];
    md5OfText(code, key);
    Bytes pack = {0, 0};
    const Bytes enciphered = rc4From(rec, 0, key, sizeof key);
    pack.insert(pack.end(), enciphered.begin(), enciphered.end());
    return pack;
}

class PackTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        db.markUnlocked();
        ASSERT_TRUE(db.changePin(u"", u"1234"));
    }
    void putPack(const Bytes& pack) { writeFile(descriptorFilePath(), pack); }
    bool packExists() const { return fs::exists(descriptorFilePath()); }

    std::size_t savedTokenCount() {
        CValdorixTokenDB other;
        other.setPin(u"1234");
        EXPECT_TRUE(other.load());
        return other.tokens.size();
    }

    CValdorixTokenDB db;
};

TEST_F(PackTest, NoPackFile) {
    EXPECT_EQ(db.checkTokenPack(), NoPack);
    EXPECT_EQ(db.activateTokenPack(u"code"), NoPack);
}

TEST_F(PackTest, PackWithItsOwnKeyIsInstalledSavedAndDeleted) {
    putPack(packWithKey(record("1001", "Mail")));
    EXPECT_EQ(db.checkTokenPack(), PackInstalled);
    ASSERT_EQ(db.tokens.size(), 1u);
    EXPECT_EQ(db.tokens[0]->label, u"Mail:1001");
    EXPECT_EQ(db.tokens[0]->counter, 256);
    EXPECT_FALSE(packExists());
    EXPECT_EQ(db.pendingPack, nullptr);
    EXPECT_EQ(savedTokenCount(), 1u);
}

TEST_F(PackTest, PackNeedingACodeWaitsUntilTheRightCode) {
    const Bytes pack = packForCode(record("2002", "Bank"), u"AUTH-42");
    putPack(pack);
    EXPECT_EQ(db.checkTokenPack(), PackPending);
    EXPECT_TRUE(db.tokens.empty());
    EXPECT_TRUE(packExists());
    ASSERT_NE(db.pendingPack, nullptr);
    EXPECT_EQ(*db.pendingPack, pack);

    EXPECT_EQ(db.activateTokenPack(u"AUTH-41"), PackPending);
    EXPECT_TRUE(packExists());
    EXPECT_EQ(*db.pendingPack, pack) << "a wrong code leaves the waiting bytes intact";
    EXPECT_EQ(db.activateTokenPack(u""), PackPending);

    // The page reads the file again before the next attempt; the right code works either way.
    EXPECT_EQ(db.activateTokenPack(u"AUTH-42"), PackInstalled);
    ASSERT_EQ(db.tokens.size(), 1u);
    EXPECT_EQ(db.tokens[0]->serial, u"2002");
    EXPECT_FALSE(packExists());
    EXPECT_EQ(savedTokenCount(), 1u);
    EXPECT_EQ(db.activateTokenPack(u"AUTH-42"), NoPack);
}

TEST_F(PackTest, PackOfATokenAlreadyPresentIsDeletedButNotAdded) {
    putPack(packWithKey(record("1001", "Mail")));
    ASSERT_EQ(db.checkTokenPack(), PackInstalled);
    db.tokens[0]->label = u"renamed";
    putPack(packWithKey(record("1001", "Other")));
    EXPECT_EQ(db.checkTokenPack(), PackInstalled);
    ASSERT_EQ(db.tokens.size(), 1u);
    EXPECT_EQ(db.tokens[0]->label, u"renamed");
    EXPECT_FALSE(packExists());
}

TEST_F(PackTest, DamagedPackStaysWaiting) {
    Bytes pack = packWithKey(record("1001", "Mail"));
    pack.back() ^= 0xFF;
    putPack(pack);
    EXPECT_EQ(db.checkTokenPack(), PackPending);
    EXPECT_TRUE(packExists());
    EXPECT_EQ(*db.pendingPack, pack);
    EXPECT_TRUE(db.tokens.empty());
}

} // namespace
