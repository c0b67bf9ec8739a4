// A mistyped PIN, a failing disk and a change of locale must never cost the user a token or
// the PIN's access to the file.
#include "StoreTestSupport.h"
#include "engine/Descriptor.h"
#include "platform/CodePage.h"
#include "store/FileBytes.h"

#include <fstream>
#include <string>

using namespace storetest;

namespace {

class DataSafetyTest : public StoreFixture {
protected:
    void TearDown() override {
        platform::setCodePageForTesting(0);
        StoreFixture::TearDown();
    }

    // A database with one token under `pin`, as the first start makes it.
    void create(std::u16string_view pin) {
        CValdorixTokenDB db;
        db.markUnlocked();
        db.addToken(distinctToken(1), false);
        ASSERT_TRUE(db.changePin(u"", pin));
    }

    // Opens `db` as the log-in page does: the header first, then the PIN.
    static bool logIn(CValdorixTokenDB& db, std::u16string_view pin) {
        db.load();
        return db.setPin(pin) && db.load();
    }

    static bool opensWith(std::u16string_view pin) {
        CValdorixTokenDB db;
        return logIn(db, pin) && db.tokens.size() == 1;
    }

    // Makes every save fail: the temporary file's name is taken by a folder.
    void blockSaves() { fs::create_directories(fs::path(databaseFile().string() + ".new")); }
    void unblockSaves() { fs::remove_all(fs::path(databaseFile().string() + ".new")); }
};

TEST_F(DataSafetyTest, AFailedLogInAttemptLeavesTheOpenStoreAsItWas) {
    create(u"2468");
    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"2468"));
    const auto key = db.keyInUse();

    // Twice, as after Back to the log-in page: each typo must be forgotten.
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_TRUE(db.setPin(u"1111"));
        EXPECT_TRUE(db.setPin(u"2222"));
        EXPECT_FALSE(db.load());
        EXPECT_EQ(db.keyInUse(), key);
        EXPECT_TRUE(db.checkPin(u"2468"));
        EXPECT_TRUE(db.isUnlocked());
    }
    db.tokens[0]->counter = 77;
    ASSERT_TRUE(db.save());
    EXPECT_TRUE(opensWith(u"2468"));

    EXPECT_TRUE(db.checkPin(u"2468"));
    EXPECT_FALSE(db.checkPin(u"2469"));
    EXPECT_EQ(db.keyInUse(), key);
}

TEST_F(DataSafetyTest, ALockForgetsKeyPinAndTokensAndSavesNothingUntilTheNextLogIn) {
    create(u"2468");
    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"2468"));
    const Bytes onDisk = readFile(databaseFile());

    db.lock();
    EXPECT_FALSE(db.isUnlocked());
    EXPECT_EQ(db.keyInUse(), (std::array<std::uint8_t, CFileTokenDB::KeySize>{}));
    EXPECT_TRUE(db.tokens.empty());
    EXPECT_FALSE(db.save());
    EXPECT_FALSE(db.checkPin(u"2468"));
    EXPECT_EQ(readFile(databaseFile()), onDisk);

    // A wrong PIN leaves it locked; the right one opens it as at the first log-in.
    EXPECT_FALSE(logIn(db, u"1111"));
    EXPECT_FALSE(db.isUnlocked());
    ASSERT_TRUE(logIn(db, u"2468"));
    EXPECT_EQ(db.tokens.size(), 1u);
}

TEST_F(DataSafetyTest, AFailedSaveNamesTheFileAndTheReasonAndKeepsTheOldFile) {
    create(u"2468");
    const Bytes before = readFile(databaseFile());
    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"2468"));
    blockSaves();
    db.tokens.clear();
    const SaveResult saved = db.save();
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.path, databaseFile().string());
    EXPECT_EQ(saved.reason(), "Is a directory");
    EXPECT_EQ(readFile(databaseFile()), before);

    // A locked store says so instead of writing.
    CValdorixTokenDB locked;
    EXPECT_EQ(locked.save().error, std::make_error_code(std::errc::operation_not_permitted));
}

TEST_F(DataSafetyTest, AChangeOfPinThatCannotBeSavedKeepsTheOldPin) {
    create(u"2468");
    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"2468"));
    blockSaves();
    const PinChange change = db.changePin(u"2468", u"1357");
    EXPECT_FALSE(change);
    EXPECT_EQ(change.status, PinChange::NotSaved);
    EXPECT_EQ(change.saved.reason(), "Is a directory");
    EXPECT_TRUE(db.checkPin(u"2468"));

    // Later saves still write under the PIN that opens the file.
    unblockSaves();
    ASSERT_TRUE(db.save());
    EXPECT_TRUE(opensWith(u"2468"));
    EXPECT_FALSE(opensWith(u"1357"));
    EXPECT_EQ(db.changePin(u"9999", u"1357").status, PinChange::WrongPin);
}

TEST_F(DataSafetyTest, ThePinKeepsOpeningTheFileWhateverTheLocale) {
    platform::setCodePageForTesting(1251);
    create(u"\u043f\u0430\u0440\u043e\u043b\u044c");
    for (unsigned codePage : {1252u, 932u, 1251u}) {
        platform::setCodePageForTesting(codePage);
        EXPECT_TRUE(opensWith(u"\u043f\u0430\u0440\u043e\u043b\u044c")) << codePage;
        // Under 1252 the old rule made every Cyrillic letter "?".
        EXPECT_FALSE(opensWith(u"??????")) << codePage;
    }
    const Bytes header = readFile(databaseFile());
    ASSERT_GE(header.size(), 6u);
    EXPECT_EQ((Bytes{header.begin(), header.begin() + 6}), (Bytes{1, 0, 'C', 'P', 0xE3, 0x04}));
}

TEST_F(DataSafetyTest, AFileFromBeforeTheRecordOpensAsBeforeAndKeepsThatCodePage) {
    platform::setCodePageForTesting(1251);
    create(u"\u043f\u0430\u0440\u043e\u043b\u044c");
    // Take the record out again: the file now looks like one written before it existed.
    Bytes file = readFile(databaseFile());
    std::fill(file.begin() + 2, file.begin() + 6, 0);
    writeFile(databaseFile(), file);

    EXPECT_TRUE(opensWith(u"\u043f\u0430\u0440\u043e\u043b\u044c"));
    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"\u043f\u0430\u0440\u043e\u043b\u044c"));
    ASSERT_TRUE(db.save());
    // Recorded at the first open that worked, so another locale opens it from now on.
    platform::setCodePageForTesting(1252);
    EXPECT_TRUE(opensWith(u"\u043f\u0430\u0440\u043e\u043b\u044c"));
}

TEST_F(DataSafetyTest, APinTheCodePageCannotHoldIsRefused) {
    platform::setCodePageForTesting(1252);
    CValdorixTokenDB db;
    db.markUnlocked();
    const PinChange change = db.changePin(u"", u"\u043f\u0430\u0440\u043e\u043b\u044c");
    EXPECT_EQ(change.status, PinChange::Unrepresentable);
    EXPECT_FALSE(fs::exists(databaseFile()));
    EXPECT_TRUE(db.pinRepresentable(u"Gr\u00fc\u00dfe 1234"));
}

TEST_F(DataSafetyTest, APackStaysOnDiskUntilItsTokenIsSaved) {
    create(u"2468");
    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"2468"));
    // A pack carrying its own key, holding a minimal record.
    const Bytes key = {1, 2, 3, 4};
    Bytes record = {'{', 0, 0, 0, 0, 1, 0, 0, 60, 0, 5, 6, 0x04, 2, 0, 0, 0, 0};
    record.resize(record.size() + 40, 7);
    // Serial, service URL, token and user name, application, its id, no icon, app URL, suite.
    for (const std::string text : {"PACK", "", "", "", "", "app", "", "", "", ""}) {
        record.push_back(std::uint8_t(text.size()));
        record.insert(record.end(), text.begin(), text.end());
    }
    record.push_back('}');
    Bytes pack = {1, std::uint8_t(key.size())};
    pack.insert(pack.end(), key.begin(), key.end());
    const Bytes body = rc4From(record, 0, key.data(), key.size());
    pack.insert(pack.end(), body.begin(), body.end());
    writeFile(folder() / "TokenDescriptor.tok", pack);

    blockSaves();
    const PackOutcome kept = db.checkTokenPack();
    ASSERT_EQ(kept.result, PackInstalled);
    EXPECT_FALSE(kept.saved);
    EXPECT_TRUE(fs::exists(folder() / "TokenDescriptor.tok"));

    unblockSaves();
    const PackOutcome again = db.checkTokenPack();
    EXPECT_TRUE(again.saved);
    EXPECT_FALSE(fs::exists(folder() / "TokenDescriptor.tok"));
    EXPECT_EQ(db.tokens.size(), 2u); // the same token is not added twice
}

TEST_F(DataSafetyTest, SavesGoThroughALinkToItsTargetAndTheLinkStays) {
    create(u"2468");
    const fs::path elsewhere = root_ / "synced" / "tokens.db";
    fs::create_directories(elsewhere.parent_path());
    fs::rename(databaseFile(), elsewhere);
    fs::create_symlink(elsewhere, databaseFile());

    CValdorixTokenDB db;
    ASSERT_TRUE(logIn(db, u"2468"));
    db.addToken(distinctToken(2), false);
    ASSERT_TRUE(db.save());
    EXPECT_TRUE(fs::is_symlink(databaseFile()));
    EXPECT_FALSE(fs::exists(elsewhere.string() + ".new"));
    CValdorixTokenDB reopened;
    ASSERT_TRUE(logIn(reopened, u"2468"));
    EXPECT_EQ(reopened.tokens.size(), 2u);

    fs::remove(elsewhere);
    const SaveResult saved = db.save();
    EXPECT_EQ(saved.error, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(fs::is_symlink(databaseFile())) << "a link to nothing is left alone";
    EXPECT_EQ(missingLinkTarget(databaseFile().string()), elsewhere.string());
}

} // namespace
