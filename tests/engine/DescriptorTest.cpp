#include "engine/Descriptor.h"

#include "engine/Md5.h"
#include "engine/OtpToken.h"
#include "engine/Rc4.h"
#include "platform/CodePage.h"
#include "platform/Folders.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A descriptor record from readable fields: the inverse of the parser.
struct Record {
    std::uint8_t kind = 4;
    std::uint32_t counter = 0;
    std::uint16_t interval = 30;
    std::uint16_t goDelay = 5;
    std::uint8_t digits = 6;
    std::uint8_t flags = 0;
    std::uint8_t syncCount = 2;
    std::uint32_t expiryDate = 0;
    std::array<std::uint8_t, 20> primaryKey{};
    std::array<std::uint8_t, 20> secondaryKey{};
    std::string serial;
    std::string serviceUrl;
    std::string tokenName;
    std::string userName;
    std::string application;
    std::string appId;
    Bytes icon;
    std::string appUrl;
    std::string ocraSuite;
    Bytes unread; // between the OCRA suite and the closing brace
    bool closingBrace = true;

    // Everything up to the closing brace.
    Bytes fields() const {
        Bytes out{'{', 0x00, kind};
        number(out, counter, 4);
        number(out, interval, 2);
        number(out, goDelay, 2);
        out.push_back(digits);
        out.push_back(flags);
        out.push_back(syncCount);
        number(out, expiryDate, 4);
        out.insert(out.end(), primaryKey.begin(), primaryKey.end());
        out.insert(out.end(), secondaryKey.begin(), secondaryKey.end());
        for (const std::string* text : {&serial, &serviceUrl, &tokenName, &userName, &application, &appId})
            string(out, *text);
        number(out, static_cast<std::uint32_t>(icon.size()), 2);
        out.insert(out.end(), icon.begin(), icon.end());
        string(out, appUrl);
        string(out, ocraSuite);
        out.insert(out.end(), unread.begin(), unread.end());
        return out;
    }

    Bytes bytes() const {
        Bytes out = fields();
        if (closingBrace)
            out.push_back('}');
        return out;
    }

    static void number(Bytes& out, std::uint32_t value, int size) {
        for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    static void string(Bytes& out, const std::string& text) {
        out.push_back(static_cast<std::uint8_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    }
};

Record fullRecord() {
    Record r;
    r.kind = 5;
    r.counter = 0x01020304;
    r.interval = 60;
    r.goDelay = 7;
    r.digits = 8;
    r.flags = 0x01;
    r.syncCount = 3;
    r.expiryDate = 1893456000; // 2030-01-01
    for (std::uint8_t n = 0; n < 20; ++n) {
        r.primaryKey[n] = static_cast<std::uint8_t>(n + 1);
        r.secondaryKey[n] = static_cast<std::uint8_t>(0xa0 + n);
    }
    r.serial = "1001";
    r.serviceUrl = "https://auth.example.test/rpc";
    r.tokenName = "Web";
    r.userName = "alice";
    r.application = "Mail";
    r.appId = "mail-app";
    r.appUrl = "https://mail.example.test/";
    r.ocraSuite = "OCRA-1:HOTP-SHA1-6:QN08-T1M";
    return r;
}

Bytes rc4(Bytes data, const std::uint8_t* key, std::size_t keyLength) {
    Rc4State state;
    rc4Init(state, key, keyLength);
    rc4Crypt(state, data.data(), data.size());
    return data;
}

Bytes md5(std::string_view text) {
    Bytes digest(16);
    MD5().digest(text.data(), text.size(), digest.data());
    return digest;
}

// A token pack that carries its RC4 key.
Bytes packWithStoredKey(const Bytes& record, const Bytes& key) {
    Bytes pack{1, static_cast<std::uint8_t>(key.size())};
    pack.insert(pack.end(), key.begin(), key.end());
    const Bytes enciphered = rc4(record, key.data(), key.size());
    pack.insert(pack.end(), enciphered.begin(), enciphered.end());
    return pack;
}

// A token pack keyed by the MD5 of an authorisation code's ANSI bytes.
Bytes packForCode(const Bytes& record, std::string_view ansiCode) {
    const Bytes key = md5(ansiCode);
    Bytes pack{0, 0};
    const Bytes enciphered = rc4(record, key.data(), key.size());
    pack.insert(pack.end(), enciphered.begin(), enciphered.end());
    return pack;
}

// Each test gets its own product folder under a temporary XDG_DATA_HOME.
class DescriptorTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::temp_directory_path() /
                ("valdorix-descriptor-" + std::to_string(::getpid()) + "-" + test->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
        ::setenv("XDG_DATA_HOME", root_.c_str(), 1);
        platform::setCodePageForTesting(1252);
    }
    void TearDown() override {
        platform::setCodePageForTesting(0);
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(root_);
    }

    fs::path productFolder() const { return root_ / "Valdorix"; }

    void writePack(const Bytes& bytes) const {
        fs::create_directories(productFolder());
        std::ofstream file(productFolder() / "TokenDescriptor.tok", std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    bool packExists() const { return fs::exists(productFolder() / "TokenDescriptor.tok"); }

    std::vector<fs::path> iconFiles() const {
        std::vector<fs::path> icons;
        if (fs::exists(productFolder())) {
            for (const auto& entry : fs::directory_iterator(productFolder())) {
                if (entry.path().extension() == ".ico")
                    icons.push_back(entry.path());
            }
        }
        return icons;
    }

    fs::path root_;
};

TEST_F(DescriptorTest, RecordFillsEveryField) {
    const Record r = fullRecord();
    const auto token = parseDescriptorRecord(r.bytes());
    ASSERT_TRUE(token);
    EXPECT_EQ(static_cast<int>(token->kind), 5);
    EXPECT_EQ(token->counter, 0x01020304);
    EXPECT_EQ(token->interval, 60);
    EXPECT_EQ(token->goDelay, 7);
    EXPECT_EQ(token->digits, 8);
    EXPECT_TRUE(token->checksum);
    EXPECT_FALSE(token->dualDisplay);
    EXPECT_FALSE(token->spareFlag);
    EXPECT_EQ(token->syncCount, 3);
    EXPECT_EQ(token->expiryDate, 1893456000);
    ASSERT_EQ(token->primaryKeyLength, 20);
    ASSERT_EQ(token->secondaryKeyLength, 20);
    EXPECT_TRUE(std::equal(r.primaryKey.begin(), r.primaryKey.end(), token->primaryKey.begin()));
    EXPECT_TRUE(std::equal(r.secondaryKey.begin(), r.secondaryKey.end(), token->secondaryKey.begin()));
    EXPECT_EQ(token->serial, u"1001");
    EXPECT_EQ(token->serviceUrl, u"https://auth.example.test/rpc");
    EXPECT_EQ(token->tokenName, u"Web");
    EXPECT_EQ(token->userName, u"alice");
    EXPECT_EQ(token->application, u"Mail");
    EXPECT_EQ(token->appId, u"mail-app");
    EXPECT_EQ(token->appUrl, u"https://mail.example.test/");
    EXPECT_EQ(token->ocraSuite, u"OCRA-1:HOTP-SHA1-6:QN08-T1M");
    EXPECT_EQ(token->label, u"Mail:1001");
    EXPECT_EQ(token->iconFile, u"");
    EXPECT_EQ(token->provisioned, 0);
    EXPECT_TRUE(iconFiles().empty());
}

TEST_F(DescriptorTest, FixedFieldsAreBigEndianAtTheirOffsets) {
    Bytes bytes = Record().bytes();
    const std::uint8_t counter[] = {0x00, 0x00, 0x01, 0x00};
    std::copy(std::begin(counter), std::end(counter), bytes.begin() + 3);
    bytes[7] = 0x00;
    bytes[8] = 0x3c;
    const std::uint8_t expiry[] = {0xff, 0xff, 0xff, 0xff};
    std::copy(std::begin(expiry), std::end(expiry), bytes.begin() + 14);
    bytes[2] = 200; // any kind is taken as it is
    const auto token = parseDescriptorRecord(bytes);
    ASSERT_TRUE(token);
    EXPECT_EQ(token->counter, 256);
    EXPECT_EQ(token->interval, 60);
    EXPECT_EQ(token->expiryDate, 4294967295LL);
    EXPECT_EQ(static_cast<int>(token->kind), 200);
}

TEST_F(DescriptorTest, FlagBits) {
    const struct {
        std::uint8_t flags;
        bool checksum, dualDisplay, spareFlag;
    } cases[] = {
        {0x00, false, false, false}, {0x03, true, true, false},   {0x04, false, false, true},
        {0x07, true, true, true},    {0xf8, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        Record r;
        r.flags = c.flags;
        const auto token = parseDescriptorRecord(r.bytes());
        ASSERT_TRUE(token);
        EXPECT_EQ(token->checksum, c.checksum);
        EXPECT_EQ(token->dualDisplay, c.dualDisplay);
        EXPECT_EQ(token->spareFlag, c.spareFlag);
    }
}

TEST_F(DescriptorTest, EmptyStringsAndTheLabel) {
    const auto empty = parseDescriptorRecord(Record().bytes());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->serial, u"");
    EXPECT_EQ(empty->appId, u"");
    EXPECT_EQ(empty->ocraSuite, u"");
    EXPECT_EQ(empty->label, u":");

    Record r;
    r.application = "Mail";
    const auto mail = parseDescriptorRecord(r.bytes());
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->label, u"Mail:");
}

TEST_F(DescriptorTest, StringsAreAnsiText) {
    Record r;
    r.userName = "J\xfcrgen"; // Windows-1252
    const auto token = parseDescriptorRecord(r.bytes());
    ASSERT_TRUE(token);
    EXPECT_EQ(token->userName, u"J\u00fcrgen");
}

TEST_F(DescriptorTest, BracesMarkARecord) {
    Record noClose = fullRecord();
    noClose.closingBrace = false;
    EXPECT_FALSE(parseDescriptorRecord(noClose.bytes()));

    Bytes noOpen = fullRecord().bytes();
    noOpen[0] = '[';
    EXPECT_FALSE(parseDescriptorRecord(noOpen));

    EXPECT_FALSE(parseDescriptorRecord(Bytes{}));
    EXPECT_FALSE(parseDescriptorRecord(Bytes{'{'}));
    EXPECT_FALSE(parseDescriptorRecord(Bytes{'{', '}'}));

    // Bytes after the OCRA suite are not read.
    Record unread = fullRecord();
    unread.unread = {'x', '}', 0xff};
    const auto token = parseDescriptorRecord(unread.bytes());
    ASSERT_TRUE(token);
    EXPECT_EQ(token->ocraSuite, u"OCRA-1:HOTP-SHA1-6:QN08-T1M");
}

TEST_F(DescriptorTest, EveryTruncationGivesNoToken) {
    Record r = fullRecord();
    r.icon = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes fields = r.fields();
    for (std::size_t cut = 0; cut < fields.size(); ++cut) {
        Bytes truncated(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(cut));
        truncated.push_back('}');
        EXPECT_FALSE(parseDescriptorRecord(truncated)) << "cut at " << cut;
    }
    EXPECT_TRUE(iconFiles().empty());
}

TEST_F(DescriptorTest, LengthsRunningPastTheEndGiveNoToken) {
    // A string length that reaches into the closing brace.
    Bytes bytes = Record().bytes();
    bytes[bytes.size() - 2] = 1; // the OCRA suite's length byte
    EXPECT_FALSE(parseDescriptorRecord(bytes));

    // An icon length far beyond the record: no token and no file.
    Record r;
    r.icon = {1, 2, 3};
    Bytes icon = r.bytes();
    const std::size_t iconLength = 58 + 6; // after the six empty strings
    icon[iconLength] = 0xff;
    icon[iconLength + 1] = 0xff;
    EXPECT_FALSE(parseDescriptorRecord(icon));
    EXPECT_TRUE(iconFiles().empty());
}

TEST_F(DescriptorTest, IconIsWrittenIntoTheProductFolder) {
    Record r = fullRecord();
    r.icon = {0x00, 0x00, 0x01, 0x00, 0xfe, 0x7b, 0x7d};
    const auto token = parseDescriptorRecord(r.bytes());
    ASSERT_TRUE(token);
    EXPECT_EQ(token->ocraSuite, u"OCRA-1:HOTP-SHA1-6:QN08-T1M"); // parsing went on after the icon

    const std::vector<fs::path> icons = iconFiles();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(platform::utf8ToUtf16(icons[0].string()), token->iconFile);
    static const std::regex uuid4(
        "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\.ico");
    EXPECT_TRUE(std::regex_match(icons[0].filename().string(), uuid4)) << icons[0];
    std::ifstream file(icons[0], std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, r.icon);

    // A second record gets a file of its own.
    ASSERT_TRUE(parseDescriptorRecord(r.bytes()));
    EXPECT_EQ(iconFiles().size(), 2u);
}

TEST_F(DescriptorTest, UnwritableIconLeavesIconFileEmpty) {
    // The product folder is a link to a folder that is gone (root may write anywhere else).
    fs::create_symlink(root_ / "gone", productFolder());
    Record r = fullRecord();
    r.icon = {1, 2, 3};
    const auto token = parseDescriptorRecord(r.bytes());
    ASSERT_TRUE(token);
    EXPECT_EQ(token->iconFile, u"");
    EXPECT_EQ(token->ocraSuite, u"OCRA-1:HOTP-SHA1-6:QN08-T1M");
}

TEST_F(DescriptorTest, ReadDescriptorFile) {
    EXPECT_EQ(descriptorFilePath(), (productFolder() / "TokenDescriptor.tok").string());
    EXPECT_FALSE(readDescriptorFile());

    const Bytes pack = packForCode(fullRecord().bytes(), "CODE");
    writePack(pack);
    EXPECT_EQ(readDescriptorFile(), pack);
    EXPECT_TRUE(packExists());

    writePack(Bytes(2 * 1024 * 1024, 0));
    EXPECT_FALSE(readDescriptorFile());
}

TEST_F(DescriptorTest, StoredKeyPackDecodesAndStaysUntilDeleted) {
    const Bytes key = md5("any sixteen bytes");
    writePack(packWithStoredKey(fullRecord().bytes(), key));
    std::optional<Bytes> bytes = readDescriptorFile();
    ASSERT_TRUE(bytes);
    const auto token = decodeDescriptorFile(*bytes, u"");
    ASSERT_TRUE(token);
    EXPECT_EQ(token->label, u"Mail:1001");
    // Only the store, once the token is saved, may delete the carrier.
    EXPECT_TRUE(packExists());
    deleteDescriptorFile();
    EXPECT_FALSE(packExists());
}

TEST_F(DescriptorTest, CodePackNeedsTheRightCode) {
    const Bytes pack = packForCode(fullRecord().bytes(), "AB12-CD34");
    writePack(pack);

    // No code: nothing is deciphered.
    std::optional<Bytes> held = readDescriptorFile();
    ASSERT_TRUE(held);
    EXPECT_FALSE(decodeDescriptorFile(*held, u""));
    EXPECT_EQ(*held, pack);
    EXPECT_TRUE(packExists());

    // A wrong code deciphers the held bytes in place and leaves the file.
    EXPECT_FALSE(decodeDescriptorFile(*held, u"AB12-CD35"));
    EXPECT_NE(*held, pack);
    EXPECT_TRUE(packExists());

    // The right code on the same bytes fails too; on the file read afresh it installs.
    EXPECT_FALSE(decodeDescriptorFile(*held, u"AB12-CD34"));
    held = readDescriptorFile();
    ASSERT_TRUE(held);
    EXPECT_EQ(*held, pack);
    const auto token = decodeDescriptorFile(*held, u"AB12-CD34");
    ASSERT_TRUE(token);
    EXPECT_EQ(token->serial, u"1001");
    EXPECT_TRUE(packExists());
}

TEST_F(DescriptorTest, CodeIsHashedInTheAnsiCodePage) {
    writePack(packForCode(fullRecord().bytes(), "Gr\xfc\xdf"));
    std::optional<Bytes> held = readDescriptorFile();
    ASSERT_TRUE(held);
    EXPECT_TRUE(decodeDescriptorFile(*held, u"Gr\u00fc\u00df"));
}

TEST_F(DescriptorTest, DamagedPacksGiveNoTokenAndStay) {
    const Bytes record = fullRecord().bytes();
    Bytes zeroKey = packWithStoredKey(record, md5("key"));
    zeroKey[1] = 0; // a key flag with no key
    Bytes keyPastEnd{1, 200, 1, 2, 3};
    Record noBrace;
    noBrace.closingBrace = false;
    Bytes badRecord = packWithStoredKey(noBrace.bytes(), md5("key"));
    Bytes garbage = packWithStoredKey(record, md5("key"));
    garbage.back() ^= 0x55; // the closing brace no longer deciphers to "}"

    for (Bytes* pack : {&zeroKey, &keyPastEnd, &badRecord, &garbage}) {
        writePack(*pack);
        Bytes bytes = *pack;
        EXPECT_FALSE(decodeDescriptorFile(bytes, u"code"));
        EXPECT_TRUE(packExists());
    }
    for (Bytes tiny : {Bytes{}, Bytes{1}, Bytes{0}, Bytes{1, 1}}) {
        EXPECT_FALSE(decodeDescriptorFile(tiny, u"code"));
    }
    EXPECT_TRUE(packExists());
}

TEST_F(DescriptorTest, DecryptDescriptorLeavesItsInputAlone) {
    const Bytes record = fullRecord().bytes();
    const Bytes key = md5("SECRET-CODE");
    const Bytes secret = rc4(record, key.data(), key.size());
    const Bytes original = secret;

    const auto token = decryptDescriptor("SECRET-CODE", secret);
    ASSERT_TRUE(token);
    EXPECT_EQ(token->appId, u"mail-app");
    EXPECT_EQ(secret, original);
    EXPECT_FALSE(decryptDescriptor("SECRET-CODF", secret));
    EXPECT_FALSE(decryptDescriptor("", secret));
}

TEST_F(DescriptorTest, LongRecordsDecipherAcrossRc4Chunks) {
    // A large icon makes the record longer than one rc4Crypt call takes.
    Record r = fullRecord();
    r.icon.assign(60000, 0x5a);
    const Bytes record = r.bytes();
    ASSERT_GT(record.size(), 32767u);
    writePack(packWithStoredKey(record, md5("key")));
    std::optional<Bytes> held = readDescriptorFile();
    ASSERT_TRUE(held);
    const auto token = decodeDescriptorFile(*held, u"");
    ASSERT_TRUE(token);
    EXPECT_EQ(token->ocraSuite, u"OCRA-1:HOTP-SHA1-6:QN08-T1M");
    EXPECT_EQ(fs::file_size(fs::path(platform::utf16ToUtf8(token->iconFile))), 60000u);
}

} // namespace
