#include "ArchiveBuilder.h"
#include "StoreTestSupport.h"
#include "platform/CodePage.h"
#include "store/TokenArchive.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

using namespace storetest;

namespace {

constexpr std::u16string_view Marker = u"VALDORIXDATABASEFLAG4";

Bytes write(std::int32_t defaultIndex, const std::vector<std::shared_ptr<COtpToken>>& tokens) {
    Bytes out;
    EXPECT_TRUE(writeTokenArchive(out, Marker, defaultIndex, tokens));
    return out;
}

std::optional<TokenArchiveContents> read(const Bytes& bytes) {
    return readTokenArchive(bytes, Marker);
}

std::uint32_t u32At(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

struct Field {
    std::size_t offset;
    Bytes expected;
    const char* what;
};

Bytes le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

Bytes utf16le(std::u16string_view text) {
    Bytes b;
    for (char16_t c : text) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return b;
}

void expectFields(const Bytes& archive, const std::vector<Field>& fields) {
    for (const Field& f : fields) {
        ASSERT_LE(f.offset + f.expected.size(), archive.size()) << f.what;
        EXPECT_EQ(Bytes(archive.begin() + f.offset, archive.begin() + f.offset + f.expected.size()),
                  f.expected)
            << f.what << " at offset " << f.offset;
    }
}

const std::vector<Field>& preambleFields() {
    static const std::vector<Field> fields = {
        {0, le32(22), "signature length"},
        {4, Bytes(std::begin("serialization::archive"), std::end("serialization::archive") - 1), "signature"},
        {26, {14, 0}, "library version"},
        {28, {4, 4, 4, 8}, "sizes of int, long, float, double"},
        {32, le32(1), "byte order check"},
        {36, le32(21), "marker length"},
        {40, utf16le(Marker), "marker"},
    };
    return fields;
}

// Database files, written by save() and deciphered with the key.
class ArchiveFileTest : public StoreFixture {
protected:
    CValdorixTokenDB db;

    Bytes savedArchive() {
        db.markUnlocked();
        EXPECT_TRUE(db.changePin(u"", u"1234"));
        return archiveOf(databaseFile(), db);
    }
};

TEST_F(ArchiveFileTest, EmptyDatabaseIs249BytesFieldByField) {
    const Bytes archive = savedArchive();
    const Bytes file = readFile(databaseFile());
    ASSERT_EQ(file.size(), 249u);
    // Version 1, then the code page the PIN is written in ("CP", 16-bit little-endian).
    Bytes header(150, 0);
    header[0] = 1;
    const unsigned codePage = platform::activeCodePage();
    header[2] = 'C';
    header[3] = 'P';
    header[4] = std::uint8_t(codePage & 0xFF);
    header[5] = std::uint8_t(codePage >> 8);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 150), header);

    ASSERT_EQ(archive.size(), 99u);
    expectFields(archive, preambleFields());
    expectFields(archive, {
                              {82, le32(0), "default index"},
                              {86, {0}, "list tracking flag"},
                              {87, le32(0), "list class version"},
                              {91, le32(0), "element count"},
                              {95, le32(1), "item version"},
                          });
}

TEST_F(ArchiveFileTest, OneDefaultTokenIs620BytesFieldByField) {
    db.tokens.push_back(std::make_shared<COtpToken>());
    const Bytes archive = savedArchive();
    ASSERT_EQ(readFile(databaseFile()).size(), 620u);
    ASSERT_EQ(archive.size(), 470u);
    expectFields(archive, preambleFields());

    std::vector<Field> fields = {
        {91, le32(1), "element count"},
        {95, le32(1), "item version"},
        {99, {0}, "shared reference tracking flag"},
        {100, le32(1), "shared reference class version"},
        {104, {2, 0}, "class id"},
        {106, {1}, "token tracking flag"},
        {107, le32(1), "token class version"},
        {111, le32(0), "object id"},
    };
    std::size_t at = 115;
    for (int text = 0; text < 9; ++text, at += 4)
        fields.push_back({at, le32(0), "empty text"});
    for (const char* key : {"secondary key", "primary key"}) {
        Bytes buffer = le32(128);
        buffer.resize(132, 0);
        fields.push_back({at, buffer, key});
        at += 132;
    }
    const std::vector<std::pair<Bytes, const char*>> numbers = {
        {le32(0), "secondaryKeyLength"},
        {le32(0), "primaryKeyLength"},
        {Bytes(8, 0), "expiryDate"},
        {le32(6), "digits"},
        {le32(0), "provisioned"},
        {le32(4), "kind"},
        {le32(2), "syncCount"},
        {le32(30), "interval"},
        {Bytes(8, 0), "counter"},
        {le32(5), "goDelay"},
        {{0, 0, 1}, "flags"},
        {le32(0), "ocraSuite"},
    };
    for (const auto& [bytes, what] : numbers) {
        fields.push_back({at, bytes, what});
        at += bytes.size();
    }
    EXPECT_EQ(at, 470u);
    expectFields(archive, fields);
}

TEST_F(ArchiveFileTest, HeaderBytesAreKeptAcrossLoadAndSave) {
    savedArchive();
    Bytes file = readFile(databaseFile());
    file[7] = 0xAB;
    file[149] = 0xCD;
    writeFile(databaseFile(), file);

    CValdorixTokenDB other;
    other.setPin(u"1234");
    ASSERT_TRUE(other.load());
    EXPECT_EQ(other.header[7], 0xAB);
    ASSERT_TRUE(other.save());
    const Bytes again = readFile(databaseFile());
    EXPECT_EQ(again[7], 0xAB);
    EXPECT_EQ(again[149], 0xCD);
    EXPECT_EQ(again, file);
}

TEST(ArchiveWriter, EveryFieldInTableOrder) {
    const auto token = distinctToken(3);
    ArchiveBuilder expected;
    expected.head(0, 1).referencePreamble().classId(2).tokenPreamble().u32(0).record(*token);
    EXPECT_EQ(write(0, {token}), expected.bytes);
}

TEST(ArchiveWriter, SecondElementCarriesNeitherPreamble) {
    const auto a = distinctToken(1);
    const auto b = distinctToken(2);
    ArchiveBuilder expected;
    expected.head(1, 2).referencePreamble().classId(2).tokenPreamble().u32(0).record(*a);
    expected.classId(2).u32(1).record(*b);
    EXPECT_EQ(write(1, {a, b}), expected.bytes);
}

TEST(ArchiveWriter, NullFirstElementThenTokenCarriesTheTokenPreamble) {
    const auto token = distinctToken(4);
    ArchiveBuilder expected;
    expected.head(0, 2).referencePreamble().classId(0xFFFF).classId(2).tokenPreamble().u32(0).record(*token);
    EXPECT_EQ(write(0, {nullptr, token}), expected.bytes);

    auto contents = read(expected.bytes);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->tokens.size(), 2u);
    EXPECT_EQ(contents->tokens[0], nullptr);
    ASSERT_NE(contents->tokens[1], nullptr);
    expectSameFields(*contents->tokens[1], *token);
}

TEST(ArchiveWriter, SharedRecordIsWrittenOnceAndReferredToAfterwards) {
    const auto a = distinctToken(1);
    const auto b = distinctToken(2);
    ArchiveBuilder expected;
    expected.head(0, 3).referencePreamble().classId(2).tokenPreamble().u32(0).record(*a);
    expected.classId(2).u32(1).record(*b);
    expected.classId(2).u32(0);
    EXPECT_EQ(write(0, {a, b, a}), expected.bytes);
}

// Written in pieces through buffers of every kind of size: one byte, sizes that cut fields and
// records anywhere, one byte short of the archive, and more than it.
TEST(ArchiveWriter, PiecesJoinToTheWholeArchive) {
    std::vector<std::shared_ptr<COtpToken>> tokens;
    for (int seed = 0; seed < 6; ++seed)
        tokens.push_back(distinctToken(seed));
    tokens.push_back(nullptr);
    tokens.push_back(tokens[2]);
    const Bytes whole = write(3, tokens);
    const TokenArchiveWriter archive(Marker, 3, tokens);
    ASSERT_EQ(archive.size(), whole.size());
    for (const std::size_t bufferSize : {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{1000},
                                         whole.size() - 1, whole.size(), whole.size() + 100}) {
        Bytes buffer(bufferSize);
        Bytes joined;
        std::vector<std::size_t> sizes;
        ASSERT_TRUE(archive.writeInPieces(buffer, [&](std::span<std::uint8_t> piece) {
            sizes.push_back(piece.size());
            joined.insert(joined.end(), piece.begin(), piece.end());
            return true;
        })) << "buffer of " << bufferSize;
        EXPECT_EQ(joined, whole) << "buffer of " << bufferSize;
        // Every piece fills the buffer but the last.
        for (std::size_t n = 0; n + 1 < sizes.size(); ++n)
            EXPECT_EQ(sizes[n], bufferSize) << "buffer of " << bufferSize;
    }
}

TEST(ArchiveWriter, APieceRefusedStopsTheWriting) {
    const std::vector<std::shared_ptr<COtpToken>> tokens = {distinctToken(1), distinctToken(2)};
    const TokenArchiveWriter archive(Marker, 0, tokens);
    Bytes buffer(100);
    int pieces = 0;
    EXPECT_FALSE(archive.writeInPieces(buffer, [&](std::span<std::uint8_t>) { return ++pieces < 3; }));
    EXPECT_EQ(pieces, 3);
    EXPECT_FALSE(archive.writeInPieces({}, [](std::span<std::uint8_t>) { return true; }));
}

TEST(ArchiveReader, ClassVersionZeroRecordReadsWithoutSuiteAndWritesBackAsVersionOne) {
    auto token = distinctToken(5);
    ArchiveBuilder v0;
    v0.head(0, 1).referencePreamble().classId(2).tokenPreamble(0).u32(0).record(*token, 0);
    auto contents = read(v0.bytes);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->tokens.size(), 1u);
    EXPECT_TRUE(contents->tokens[0]->ocraSuite.empty());
    token->ocraSuite.clear();
    expectSameFields(*contents->tokens[0], *token);

    ArchiveBuilder v1;
    v1.head(0, 1).referencePreamble().classId(2).tokenPreamble(1).u32(0).record(*token, 1);
    EXPECT_EQ(write(contents->defaultIndex, contents->tokens), v1.bytes);
}

TEST(ArchiveReader, RoundTripKeepsEveryFieldAndKeyBytesBeyondTheLengths) {
    std::vector<std::shared_ptr<COtpToken>> tokens = {distinctToken(0), nullptr, distinctToken(7)};
    tokens[2]->label = std::u16string(u"\xD83D\xDE00 \x4E2D \xFFFF \x0001");
    auto contents = read(write(-3, tokens));
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->defaultIndex, -3);
    ASSERT_EQ(contents->tokens.size(), 3u);
    expectSameFields(*contents->tokens[0], *tokens[0]);
    EXPECT_EQ(contents->tokens[1], nullptr);
    expectSameFields(*contents->tokens[2], *tokens[2]);
}

// A token of the TOTP kind or with another hash than SHA-1 needs the version 2 record; the class
// version is written once, so then every record of the archive is version 2.
TEST(ArchiveWriter, OneTokenThatNeedsTheHashMakesEveryRecordVersionTwo) {
    struct Row {
        const char* what;
        TokenKind kind;
        HashKind hash;
    };
    const Row rows[] = {
        {"TOTP kind with SHA-1", TokenKind::Totp, HashKind::Sha1},
        {"event kind with SHA-256", TokenKind::Event, HashKind::Sha256},
        {"OCRA time kind with SHA-512", TokenKind::OcraTime, HashKind::Sha512},
    };
    for (const Row& row : rows) {
        const auto plain = distinctToken(1);
        const auto needing = distinctToken(2);
        needing->kind = row.kind;
        needing->hash = row.hash;
        ArchiveBuilder expected;
        expected.head(0, 3).referencePreamble().classId(2).tokenPreamble(2).u32(0).record(*plain, 2);
        expected.classId(0xFFFF).classId(2).u32(1).record(*needing, 2);
        const Bytes written = write(0, {plain, nullptr, needing});
        EXPECT_EQ(written, expected.bytes) << row.what;

        auto contents = read(written);
        ASSERT_TRUE(contents) << row.what;
        ASSERT_EQ(contents->tokens.size(), 3u);
        expectSameFields(*contents->tokens[0], *plain);
        expectSameFields(*contents->tokens[2], *needing);
        // Without it the archive goes back to version 1.
        EXPECT_EQ(write(0, {contents->tokens[0]}), write(0, {plain})) << row.what;
    }
}

// What a reader of version 1 records alone does with a version 2 archive: the same reader with
// the class version set back to 1 refuses it, even with one token and bytes it would ignore.
TEST(ArchiveReader, AVersionOneReaderRefusesVersionTwoRecords) {
    auto token = distinctToken(3);
    token->kind = TokenKind::Totp;
    Bytes archive = write(0, {token});
    const std::size_t classVersionAt = 104 + 2 + 1;
    ASSERT_EQ(u32At(archive, classVersionAt), 2u);
    ASSERT_TRUE(read(archive));
    archive[classVersionAt] = 1;
    EXPECT_FALSE(read(archive));
}

TEST(ArchiveReader, EachFaultOfAVersionTwoRecordFailsTheRead) {
    const auto token = distinctToken(4);
    struct Row {
        const char* what;
        std::uint32_t classVersion;
        std::uint32_t tag;
        std::int32_t hash;
        bool newer; // a later version's records, not damage
    };
    const Row rows[] = {
        {"class version 3", 3, 0xFFFFFFFF, 0, true}, {"tag", 2, 0xFFFFFFFE, 0, false},
        {"hash 3", 2, 0xFFFFFFFF, 3, false},          {"hash -1", 2, 0xFFFFFFFF, -1, false},
    };
    for (const Row& row : rows) {
        ArchiveBuilder archive;
        archive.head(0, 1).referencePreamble().classId(2).tokenPreamble(row.classVersion).u32(0);
        archive.u32(row.tag).s32(row.hash).record(*token, 1);
        bool newer = !row.newer;
        EXPECT_FALSE(readTokenArchive(archive.bytes, Marker, &newer)) << row.what;
        EXPECT_EQ(newer, row.newer) << row.what;
    }
}

// Hand-built archives of the earlier library versions, with their field widths.
struct VersionCase {
    unsigned version;
    bool twoByteVersion7;
};

class ArchiveVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ArchiveVersionTest, ReadsTheVersionsFieldWidths) {
    const auto [version, twoBytes] = GetParam();
    const auto a = distinctToken(1);
    auto b = distinctToken(2);
    b->ocraSuite = u"OCRA-1:HOTP-SHA1-6:C-QN08";
    ArchiveBuilder archive(version, twoBytes);
    archive.head(1, 3).referencePreamble().classId(2).tokenPreamble().u32(0).record(*a);
    archive.classId(0xFFFF).classId(2).u32(1).record(*b);

    auto contents = read(archive.bytes);
    ASSERT_TRUE(contents) << "library version " << version;
    EXPECT_EQ(contents->defaultIndex, 1);
    ASSERT_EQ(contents->tokens.size(), 3u);
    expectSameFields(*contents->tokens[0], *a);
    EXPECT_EQ(contents->tokens[1], nullptr);
    expectSameFields(*contents->tokens[2], *b);
}

INSTANTIATE_TEST_SUITE_P(LibraryVersions, ArchiveVersionTest,
                         ::testing::Values(VersionCase{2, false}, VersionCase{3, false},
                                           VersionCase{4, false}, VersionCase{5, false},
                                           VersionCase{6, false}, VersionCase{7, false}, VersionCase{7, true},
                                           VersionCase{8, false}, VersionCase{11, false},
                                           VersionCase{14, false}));

TEST(ArchiveReader, FourByteClassIdCountsItsLowSixteenBits) {
    const auto a = distinctToken(1);
    ArchiveBuilder archive(6);
    archive.head(0, 2).referencePreamble().le(0x00010002, 4).tokenPreamble().u32(0).record(*a);
    archive.le(0xABCDFFFF, 4);
    auto contents = read(archive.bytes);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->tokens.size(), 2u);
    EXPECT_NE(contents->tokens[0], nullptr);
    EXPECT_EQ(contents->tokens[1], nullptr);
}

TEST(ArchiveReader, ObjectIdOfAnEarlierRecordSharesThatRecord) {
    const auto a = distinctToken(1);
    const auto b = distinctToken(2);
    ArchiveBuilder archive;
    archive.head(0, 4).referencePreamble().classId(2).tokenPreamble().u32(0).record(*a);
    archive.classId(2).u32(1).record(*b).classId(2).u32(0).classId(2).u32(1);
    auto contents = read(archive.bytes);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->tokens.size(), 4u);
    EXPECT_EQ(contents->tokens[2].get(), contents->tokens[0].get());
    EXPECT_EQ(contents->tokens[3].get(), contents->tokens[1].get());
    EXPECT_NE(contents->tokens[0].get(), contents->tokens[1].get());
    // Written back, the shared records stay shared.
    EXPECT_EQ(write(0, contents->tokens), archive.bytes);
}

TEST(ArchiveReader, UntrackedTokensCarryNoObjectIds) {
    const auto a = distinctToken(1);
    const auto b = distinctToken(2);
    ArchiveBuilder archive;
    archive.head(0, 2).referencePreamble().classId(2).tokenPreamble(1, 0).record(*a).classId(2).record(*b);
    auto contents = read(archive.bytes);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->tokens.size(), 2u);
    expectSameFields(*contents->tokens[1], *b);
}

TEST(ArchiveReader, TrackedListAndReferenceTypesCarryAnObjectId) {
    const auto a = distinctToken(1);
    ArchiveBuilder archive;
    archive.preamble().text(Marker).s32(0).u8(1).classVersion(0).u32(0).u32(1).u32(1);
    archive.u8(1).classVersion(1).u32(1).classId(2).tokenPreamble().u32(0).record(*a);
    auto contents = read(archive.bytes);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->tokens.size(), 1u);
    expectSameFields(*contents->tokens[0], *a);
}

TEST(ArchiveReader, ShortKeyCountFillsOnlyThatMuchOfTheBuffer) {
    COtpToken expected;
    ArchiveBuilder archive;
    archive.head(0, 1).referencePreamble().classId(2).tokenPreamble().u32(0);
    for (int i = 0; i < 9; ++i)
        archive.text(u"");
    archive.u32(3).u8(7).u8(8).u8(9).u32(128);
    archive.bytes.insert(archive.bytes.end(), 128, 0x55);
    archive.s32(3).s32(128).s64(0).s32(6).s32(0).s32(4).s32(2).s32(30).s64(0).s32(5).u8(0).u8(2).u8(1).text(
        u"");
    auto contents = read(archive.bytes);
    ASSERT_TRUE(contents);
    const COtpToken& t = *contents->tokens[0];
    EXPECT_EQ(t.secondaryKey[0], 7);
    EXPECT_EQ(t.secondaryKey[2], 9);
    EXPECT_EQ(t.secondaryKey[3], 0);
    EXPECT_EQ(t.primaryKey[127], 0x55);
    EXPECT_TRUE(t.dualDisplay); // any non-zero flag byte reads as set
}

// Every fault of the list, each applied to a valid archive.
struct Fault {
    const char* what;
    void (*damage)(Bytes&);
};

Bytes validArchive() {
    return write(0, {distinctToken(1), distinctToken(2)});
}

const Fault Faults[] = {
    {"signature length 21", [](Bytes& b) { b[0] = 21; }},
    {"signature length huge", [](Bytes& b) { b[3] = 0x80; }},
    {"signature text", [](Bytes& b) { b[4] = 'S'; }},
    {"library version 15", [](Bytes& b) { b[26] = 15; }},
    {"library version 255", [](Bytes& b) { b[26] = 255; }},
    {"size of int", [](Bytes& b) { b[28] = 8; }},
    {"size of long", [](Bytes& b) { b[29] = 8; }},
    {"size of float", [](Bytes& b) { b[30] = 8; }},
    {"size of double", [](Bytes& b) { b[31] = 4; }},
    {"byte order", [](Bytes& b) { std::swap(b[32], b[35]); }},
    {"marker text", [](Bytes& b) { b[40 + 2 * 20] = '5'; }},
    {"marker length", [](Bytes& b) { b[36] = 20; }},
    {"text length past the end", [](Bytes& b) { b[36] = 0xFF, b[37] = 0xFF, b[38] = 0xFF, b[39] = 0x7F; }},
    {"class id 3", [](Bytes& b) { b[104] = 3; }},
    {"class id 0", [](Bytes& b) { b[104] = 0; }},
    {"element count past the end", [](Bytes& b) { b[91] = 0xFF, b[92] = 0xFF, b[93] = 0xFF, b[94] = 0xFF; }},
    {"secondary key count 129",
     [](Bytes& b) {
         std::size_t at = 115;
         for (int text = 0; text < 9; ++text)
             at += 4 + 2 * u32At(b, at);
         b[at] = 129;
     }},
    {"primary key count 129",
     [](Bytes& b) {
         std::size_t at = 115;
         for (int text = 0; text < 9; ++text)
             at += 4 + 2 * u32At(b, at);
         b[at + 132] = 129;
     }},
};

TEST(ArchiveReader, EachFaultFailsTheRead) {
    ASSERT_TRUE(read(validArchive()));
    for (const Fault& fault : Faults) {
        Bytes b = validArchive();
        fault.damage(b);
        EXPECT_FALSE(read(b)) << fault.what;
    }
}

TEST(ArchiveReader, TruncationAtEveryOffsetFails) {
    const Bytes full = validArchive();
    for (std::size_t length = 0; length < full.size(); ++length)
        EXPECT_FALSE(read(Bytes(full.begin(), full.begin() + length))) << "truncated to " << length;
    Bytes longer = full;
    longer.push_back(0x42);
    EXPECT_TRUE(read(longer)) << "bytes after the archive are not read";
}

// The archive read through a source that hands out at most `piece` bytes a call, and stops
// after `available` bytes.
std::optional<TokenArchiveContents> readInPieces(const Bytes& bytes, std::size_t piece,
                                                 std::size_t available = SIZE_MAX) {
    std::size_t at = 0;
    const std::size_t end = std::min(available, bytes.size());
    return readTokenArchive(
        bytes.size(),
        [&](std::span<std::uint8_t> into) {
            const std::size_t n = std::min({piece, into.size(), end - at});
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, into.begin());
            at += n;
            return n;
        },
        Marker);
}

TEST(ArchiveReader, ReadInPiecesRefusesWhatTheWholeReadRefuses) {
    for (const Fault& fault : Faults) {
        Bytes b = validArchive();
        fault.damage(b);
        EXPECT_FALSE(readInPieces(b, 7)) << fault.what;
    }
    const Bytes full = validArchive();
    for (std::size_t length = 0; length < full.size(); ++length) {
        EXPECT_FALSE(readInPieces(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)), 7))
            << "truncated to " << length;
        EXPECT_FALSE(readInPieces(full, 7, length)) << "source ends after " << length;
    }
}

// Records across many windows, and a text longer than a window, in pieces of every kind of size.
TEST(ArchiveReader, ReadInPiecesGivesWhatTheWholeReadGives) {
    std::vector<std::shared_ptr<COtpToken>> tokens;
    for (int i = 0; i < 600; ++i)
        tokens.push_back(distinctToken(i % 40));
    tokens[300]->label = std::u16string(ArchiveWindowSize, u'\u00e9');
    tokens.push_back(nullptr);
    tokens.push_back(tokens[5]);
    const Bytes whole = write(9, tokens);
    ASSERT_GT(whole.size(), 3 * ArchiveWindowSize);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{4093}, SIZE_MAX}) {
        const auto contents = readInPieces(whole, piece);
        ASSERT_TRUE(contents) << "pieces of " << piece;
        EXPECT_EQ(contents->tokens[tokens.size() - 1], contents->tokens[5]) << "pieces of " << piece;
        EXPECT_EQ(write(contents->defaultIndex, contents->tokens), whole) << "pieces of " << piece;
    }
}

TEST(ArchiveReader, AnotherMarkerIsRefused) {
    const Bytes bytes = validArchive();
    EXPECT_FALSE(readTokenArchive(bytes, u"VALDORIXDATABASEFLAG3"));
    EXPECT_TRUE(readTokenArchive(bytes, Marker));
}

} // namespace
