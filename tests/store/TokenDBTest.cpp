#include "StoreTestSupport.h"
#include "store/TokenList.h"
#include "engine/Md5.h"
#include "engine/OtpAuthUri.h"
#include "store/StoreError.h"
#include "store/TokenArchive.h"
#include "platform/CodePage.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace storetest;

namespace {

// A database without a file, for the list operations.

std::shared_ptr<COtpToken> token(std::u16string appId, std::u16string serial, std::u16string label = u"") {
    auto t = std::make_shared<COtpToken>();
    t->appId = std::move(appId);
    t->serial = std::move(serial);
    t->label = std::move(label);
    return t;
}

TEST(TokenList, DefaultTokenOfAnEmptyListIsNullAndLeavesTheIndex) {
    CTokenList db;
    db.setDefaultIndex(7);
    EXPECT_EQ(db.defaultToken(), nullptr);
    EXPECT_EQ(db.defaultIndex, 7);
}

TEST(TokenList, DefaultIndexIsClampedAsUnsignedAndStoredBack) {
    struct Case {
        int index;
        int expected;
    };
    for (const Case c :
         {Case{5, 2}, Case{-1, 2}, Case{INT32_MIN, 2}, Case{3, 2}, Case{2, 2}, Case{1, 1}, Case{0, 0}}) {
        CTokenList db;
        db.tokens = {token(u"a", u"1"), token(u"a", u"2"), token(u"a", u"3")};
        db.setDefaultIndex(c.index);
        EXPECT_EQ(db.defaultToken(), db.tokens[c.expected]) << "from " << c.index;
        EXPECT_EQ(db.defaultIndex, c.expected) << "from " << c.index;
    }
}

TEST(TokenList, TokenAtOutsideTheListIsNull) {
    CTokenList db;
    EXPECT_EQ(db.tokenAt(0), nullptr);
    db.tokens = {token(u"a", u"1"), token(u"a", u"2")};
    EXPECT_EQ(db.tokenAt(1), db.tokens[1]);
    EXPECT_EQ(db.tokenAt(2), nullptr);
    EXPECT_EQ(db.tokenAt(-1), nullptr);
}

TEST(TokenList, ReplaceRemovesOnlyTheFirstSameTokenAndAppends) {
    CTokenList db;
    auto first = token(u"app", u"7", u"first");
    auto other = token(u"app", u"8");
    auto second = token(u"app", u"7", u"second");
    db.tokens = {first, other, second};
    db.setDefaultIndex(0);
    auto fresh = token(u"app", u"7", u"fresh");
    db.addToken(fresh, true);
    ASSERT_EQ(db.tokens.size(), 3u);
    EXPECT_EQ(db.tokens[0], other);
    EXPECT_EQ(db.tokens[1], second);
    EXPECT_EQ(db.tokens[2], fresh);
    EXPECT_EQ(db.defaultIndex, 0) << "the index keeps its position, whatever token stands there";
}

TEST(TokenList, AddWithoutReplaceDropsASameToken) {
    CTokenList db;
    auto kept = token(u"app", u"7", u"kept");
    db.tokens = {kept};
    db.addToken(token(u"app", u"7", u"dropped"), false);
    ASSERT_EQ(db.tokens.size(), 1u);
    EXPECT_EQ(db.tokens[0], kept);

    // Identity is exact: letter case and the appId both count.
    db.addToken(token(u"app", u"7a"), false);
    db.addToken(token(u"APP", u"7"), false);
    db.addToken(nullptr, true);
    EXPECT_EQ(db.tokens.size(), 3u);
}

TEST(TokenList, TheSameOtpauthUriAddedTwiceIsOneToken) {
    const std::string uri = "otpauth://totp/Bank:ann?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ&issuer=Bank";
    CTokenList db;
    db.addToken(parseOtpAuthUri(uri).token, false);
    db.addToken(parseOtpAuthUri(uri).token, false);
    db.addToken(parseOtpAuthUri(uri + "&period=60").token, true);
    ASSERT_EQ(db.tokens.size(), 1u);
    EXPECT_EQ(db.tokens[0]->interval, 60);
    db.addToken(parseOtpAuthUri("otpauth://totp/Bank:ann?secret=GEZDGNBVGY3TQOJQ&issuer=Bank").token, false);
    EXPECT_EQ(db.tokens.size(), 2u);
}

TEST(TokenList, SameTokenSearchSkipsNullEntries) {
    CTokenList db;
    db.tokens = {nullptr, token(u"a", u"1")};
    db.addToken(token(u"a", u"1"), true);
    ASSERT_EQ(db.tokens.size(), 2u);
    EXPECT_EQ(db.tokens[0], nullptr);
}

TEST(TokenList, DeletingTheDefaultLastTokenMovesTheDefaultToTheNewLast) {
    CTokenList db;
    db.tokens = {token(u"a", u"1"), token(u"a", u"2"), token(u"a", u"3")};
    db.setDefaultIndex(2);
    auto held = db.defaultToken();
    db.deleteToken(2);
    EXPECT_EQ(db.defaultIndex, 2) << "deleting does not adjust the index";
    EXPECT_EQ(db.defaultToken(), db.tokens[1]);
    EXPECT_EQ(db.defaultIndex, 1);
    EXPECT_EQ(held->serial, u"3") << "a held token outlives its removal";

    db.deleteToken(5);
    db.deleteToken(-1);
    EXPECT_EQ(db.tokens.size(), 2u);
}

TEST(TokenList, DeletingManyTakesEachPositionOnceAndKeepsTheOrder) {
    CTokenList db;
    for (const char16_t* serial : {u"0", u"1", u"2", u"3", u"4", u"5"})
        db.tokens.push_back(token(u"a", serial));
    db.setDefaultIndex(4);
    const int positions[] = {5, 1, 3, 1, -1, 6, 0};
    db.deleteTokens(positions);
    std::vector<std::u16string> left;
    for (const auto& t : db.tokens)
        left.push_back(t->serial);
    EXPECT_EQ(left, (std::vector<std::u16string>{u"2", u"4"}));
    EXPECT_EQ(db.defaultIndex, 4) << "deleting does not adjust the index";
}

class TokenFileTest : public StoreFixture {};

TEST_F(TokenFileTest, DatabasePathIsInTheProductFolderAndRecomputedEachTime) {
    CValdorixTokenDB db;
    EXPECT_EQ(db.databasePath(""), databaseFile().string());
    EXPECT_TRUE(fs::is_directory(folder()));
    EXPECT_FALSE(db.exists());

    EXPECT_EQ(db.databasePath("/somewhere/else.db"), "/somewhere/else.db");
    EXPECT_FALSE(fs::exists("/somewhere"));

    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1"));
    EXPECT_TRUE(db.exists());
    ::setenv("XDG_DATA_HOME", (root_ / "moved").c_str(), 1);
    EXPECT_FALSE(db.exists());
    EXPECT_TRUE(db.save());
    EXPECT_TRUE(fs::exists(root_ / "moved" / "Valdorix" / "Valdorix4.db"));
}

TEST_F(TokenFileTest, KeyIsTheMd5OfPinAndSaltWithItsFirstFourBytesRepeated) {
    CValdorixTokenDB db;
    db.setPin(u"1234");
    std::uint8_t expected[16];
    const std::string text = "1234machine-one";
    MD5().digest(text.data(), text.size(), expected);
    EXPECT_TRUE(std::equal(expected, expected + 16, db.keyInUse().begin()));
    EXPECT_TRUE(std::equal(db.keyInUse().begin(), db.keyInUse().begin() + 4, db.keyInUse().begin() + 16));

    // PIN characters outside the code page all become '?', so such PINs share a key.
    platform::setCodePageForTesting(1252);
    db.setPin(u"\u0416\u0436");
    const auto first = db.keyInUse();
    db.setPin(u"\u4E2D\u6587");
    EXPECT_EQ(db.keyInUse(), first);
    db.setPin(u"??");
    EXPECT_EQ(db.keyInUse(), first);
    platform::setCodePageForTesting(0);
}

TEST_F(TokenFileTest, SamePinWithTwoSaltsGivesTwoKeysAndTwoFiles) {
    auto saveWith = [&](const char* salt) {
        platform::setMachineIdForTesting(salt);
        CValdorixTokenDB db;
        db.tokens = {distinctToken(1)};
        db.markUnlocked();
        EXPECT_TRUE(db.changePin(u"", u"2468"));
        return std::make_pair(db.keyInUse(), readFile(databaseFile()));
    };
    const auto [keyOne, fileOne] = saveWith("machine-one");
    const auto [keyTwo, fileTwo] = saveWith("machine-two");
    EXPECT_NE(keyOne, keyTwo);
    EXPECT_EQ(fileOne.size(), fileTwo.size());
    EXPECT_NE(fileOne, fileTwo);

    // The second file opens only on the second machine.
    CValdorixTokenDB db;
    db.setPin(u"2468");
    EXPECT_TRUE(db.load());
    platform::setMachineIdForTesting("machine-one");
    db.setPin(u"2468");
    EXPECT_FALSE(db.load());
}

TEST_F(TokenFileTest, SavedTokensLoadBackWithEveryField) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1), distinctToken(2)};
    db.setDefaultIndex(1);
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));

    struct stat info {};
    ASSERT_EQ(::stat(databaseFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::exists(databaseFile().string() + ".new"));

    CValdorixTokenDB other;
    EXPECT_TRUE(other.exists());
    other.setPin(u"1234");
    ASSERT_TRUE(other.load());
    EXPECT_TRUE(other.isUnlocked());
    EXPECT_EQ(other.defaultIndex, 1);
    ASSERT_EQ(other.tokens.size(), 2u);
    expectSameFields(*other.tokens[0], *db.tokens[0]);
    expectSameFields(*other.tokens[1], *db.tokens[1]);
}

TEST_F(TokenFileTest, StandardTokensLoadBackFromTheFileWithTheirCodes) {
    CValdorixTokenDB db;
    for (const char* uri :
         {"otpauth://totp/A:a?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZA&algorithm=SHA256&period=60",
          "otpauth://hotp/B:b?secret=GEZDGNBVGY3TQOJQ&algorithm=SHA512&digits=8&counter=9"})
        db.addToken(parseOtpAuthUri(uri).token, false);
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));

    CValdorixTokenDB other;
    other.setPin(u"1234");
    ASSERT_TRUE(other.load());
    ASSERT_EQ(other.tokens.size(), 2u);
    for (std::size_t n = 0; n < 2; ++n) {
        expectSameFields(*other.tokens[n], *db.tokens[n]);
        EXPECT_EQ(other.tokens[n]->computeOtpAtTime(1700000000), db.tokens[n]->computeOtpAtTime(1700000000));
    }
}

// Records of a later class version: the right PIN says a newer version wrote the file, a wrong
// one stays a wrong PIN, and the file is not touched.
TEST_F(TokenFileTest, ANewerDatabaseIsNamedAndLeftAsItIs) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    // The cipher is a stream: flipping a bit of the file flips that bit of the archive, here the
    // token class version (1 becomes 3).
    Bytes bytes = readFile(databaseFile());
    bytes[CFileTokenDB::HeaderSize + 107] ^= 2;
    writeFile(databaseFile(), bytes);

    CValdorixTokenDB other;
    other.setPin(u"1234");
    EXPECT_FALSE(other.load());
    EXPECT_EQ(other.readError(), StoreError::NewerDatabase);
    EXPECT_NE(other.readError().message().find("newer version"), std::string::npos);
    EXPECT_FALSE(other.isUnlocked());
    other.setPin(u"4321");
    EXPECT_FALSE(other.load());
    EXPECT_FALSE(other.readError());
    EXPECT_FALSE(other.save());
    EXPECT_EQ(readFile(databaseFile()), bytes);
}

TEST_F(TokenFileTest, WrongPinFailsAndLeavesTheStoreLocked) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));

    CValdorixTokenDB other;
    other.tokens = {distinctToken(9)};
    other.setPin(u"1235");
    EXPECT_FALSE(other.load());
    EXPECT_FALSE(other.isUnlocked());
    ASSERT_EQ(other.tokens.size(), 1u);
    EXPECT_EQ(other.tokens[0]->serial, distinctToken(9)->serial);
    EXPECT_FALSE(other.save());
}

TEST_F(TokenFileTest, LockedSaveCreatesNoFile) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.setPin(u"1234");
    EXPECT_FALSE(db.save());
    EXPECT_FALSE(fs::exists(databaseFile()));
    EXPECT_FALSE(db.exists());
}

TEST_F(TokenFileTest, LoadBeforeAnyPinReadsOnlyTheHeader) {
    {
        CValdorixTokenDB db;
        db.header[10] = 0x5A;
        db.markUnlocked();
        ASSERT_TRUE(db.changePin(u"", u"1234"));
    }
    CValdorixTokenDB db;
    EXPECT_EQ(db.header[10], 0);
    EXPECT_FALSE(db.load());
    EXPECT_EQ(db.header[0], 1);
    EXPECT_EQ(db.header[10], 0x5A);
    EXPECT_FALSE(db.isUnlocked());
}

TEST_F(TokenFileTest, ShortOrMissingFilesFailTheLoad) {
    CValdorixTokenDB db;
    db.setPin(u"1234");
    EXPECT_FALSE(db.load());
    fs::create_directories(folder());
    writeFile(databaseFile(), Bytes(149, 7));
    EXPECT_FALSE(db.load());
    EXPECT_EQ(db.header[0], 1) << "a short header is not taken";
    writeFile(databaseFile(), Bytes(150, 7));
    EXPECT_FALSE(db.load());
    EXPECT_EQ(db.header[0], 7);
}

TEST_F(TokenFileTest, FileTruncatedAtAnyLengthFailsToLoad) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    const Bytes file = readFile(databaseFile());
    // Shrinking in place keeps the file system from flushing a rewritten file at every step.
    for (std::size_t length = file.size(); length-- > 0;) {
        fs::resize_file(databaseFile(), length);
        CValdorixTokenDB other;
        other.setPin(u"1234");
        ASSERT_FALSE(other.load()) << "truncated to " << length;
        EXPECT_FALSE(other.isUnlocked());
    }
    writeFile(databaseFile(), file);
    CValdorixTokenDB other;
    other.setPin(u"1234");
    EXPECT_TRUE(other.load());
}

TEST_F(TokenFileTest, OneEncipheredByteFlippedInATextChangesThatCharacterOnly) {
    CValdorixTokenDB db;
    auto t = distinctToken(1);
    t->label = u"Bank";
    db.tokens = {t};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));

    // The label's characters start after the record's preamble and its length field.
    Bytes file = readFile(databaseFile());
    const std::size_t firstChar = 150 + 115 + 4;
    file[firstChar + 2] ^= 'a' ^ 'o';
    writeFile(databaseFile(), file);

    CValdorixTokenDB other;
    other.setPin(u"1234");
    ASSERT_TRUE(other.load());
    EXPECT_EQ(other.tokens[0]->label, u"Bonk");
    EXPECT_EQ(other.tokens[0]->application, t->application);
}

TEST_F(TokenFileTest, ChangePinWithTheWrongPinChangesNothing) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    const auto key = db.keyInUse();
    const Bytes file = readFile(databaseFile());

    EXPECT_FALSE(db.changePin(u"9999", u"5678"));
    EXPECT_FALSE(db.changePin(u"", u"5678"));
    EXPECT_TRUE(db.checkPin(u"1234"));
    EXPECT_EQ(db.keyInUse(), key);
    EXPECT_EQ(readFile(databaseFile()), file);
}

TEST_F(TokenFileTest, ChangePinWithTheRightPinReKeysTheFile) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    const Bytes before = readFile(databaseFile());
    ASSERT_TRUE(db.changePin(u"1234", u"5678"));
    EXPECT_TRUE(db.checkPin(u"5678"));
    EXPECT_NE(readFile(databaseFile()), before);

    CValdorixTokenDB other;
    other.setPin(u"1234");
    EXPECT_FALSE(other.load());
    other.setPin(u"5678");
    ASSERT_TRUE(other.load());
    expectSameFields(*other.tokens[0], *db.tokens[0]);
}

TEST_F(TokenFileTest, FailedSaveLeavesTheOldFileAndNoTemporary) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    const Bytes before = readFile(databaseFile());
    for (int i = 0; i < 50; ++i)
        db.tokens.push_back(distinctToken(i));

    // A file size limit makes the write fail part way (this works for root as well).
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveResult saved = db.save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.reason(), "File too large");
    EXPECT_EQ(readFile(databaseFile()), before);
    EXPECT_FALSE(fs::exists(databaseFile().string() + ".new"));
}

// Enough tokens that a save writes its archive in several pieces.
std::vector<std::shared_ptr<COtpToken>> manyTokens() {
    std::vector<std::shared_ptr<COtpToken>> tokens;
    for (int i = 0; i < 400; ++i)
        tokens.push_back(distinctToken(i % 50));
    return tokens;
}

TEST_F(TokenFileTest, ALargeSaveIsTheHeaderAndTheWholeArchiveEnciphered) {
    CValdorixTokenDB db;
    db.tokens = manyTokens();
    db.defaultIndex = 7;
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    Bytes archive;
    ASSERT_TRUE(writeTokenArchive(archive, DatabaseMarker, 7, db.tokens));
    ASSERT_GT(archive.size(), 200000u);
    const Bytes file = readFile(databaseFile());
    ASSERT_EQ(file.size(), 150 + archive.size());
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 150), Bytes(db.header.begin(), db.header.end()));
    EXPECT_EQ(archiveOf(databaseFile(), db), archive);
}

TEST_F(TokenFileTest, ASaveThatFailsAfterSomePiecesLeavesTheOldFileAndNoTemporary) {
    CValdorixTokenDB db;
    db.tokens = {distinctToken(1)};
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    const Bytes before = readFile(databaseFile());
    db.tokens = manyTokens();

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = 150000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const SaveResult saved = db.save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.reason(), "File too large");
    EXPECT_EQ(readFile(databaseFile()), before);
    EXPECT_FALSE(fs::exists(databaseFile().string() + ".new"));
}

TEST_F(TokenFileTest, SaveThatCannotCreateItsTemporaryFails) {
    CValdorixTokenDB db;
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    const Bytes before = readFile(databaseFile());
    fs::create_directory(databaseFile().string() + ".new");
    db.tokens = {distinctToken(1)};
    EXPECT_FALSE(db.save());
    EXPECT_EQ(readFile(databaseFile()), before);
}

TEST_F(TokenFileTest, StaleTemporaryFileIsReplaced) {
    fs::create_directories(folder());
    writeFile(databaseFile().string() + ".new", Bytes(5000, 9));
    fs::permissions(databaseFile().string() + ".new", fs::perms::all);
    CValdorixTokenDB db;
    db.markUnlocked();
    ASSERT_TRUE(db.changePin(u"", u"1234"));
    EXPECT_EQ(readFile(databaseFile()).size(), 249u);
    EXPECT_FALSE(fs::exists(databaseFile().string() + ".new"));
    EXPECT_EQ(fs::status(databaseFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

} // namespace
