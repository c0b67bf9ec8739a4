#include "StoreTestSupport.h"
#include "store/CsvSplit.h"
#include "store/TokenArchive.h"
#include "store/TokenList.h"

#include <boost/regex.hpp>
#include <gtest/gtest.h>
#include <random>

using namespace storetest;

namespace {

// Valid seed codes for serials 1001, 1002 and 1003 (check digits computed for each serial).
const char* const Seed1001 = "070000012345678906";
const char* const Seed1002 = "050000012345678908";
const char* const Seed1003 = "030000012345678900";

std::string line(const char* serial, const char* seed, const char* name) {
    return std::string(serial) + "," + seed + "," + name;
}

std::vector<std::u16string> serials(const CTokenList& db) {
    std::vector<std::u16string> out;
    for (const auto& t : db.tokens)
        out.push_back(t->serial);
    return out;
}

TEST(CsvImport, SeedsOfTheFixtureAreValid) {
    CTokenList db;
    EXPECT_NE(db.createTokenFromSeed(u"n", u"1001", u"070000012345678906"), nullptr);
    EXPECT_NE(db.createTokenFromSeed(u"n", u"1002", u"050000012345678908"), nullptr);
    EXPECT_NE(db.createTokenFromSeed(u"n", u"1003", u"030000012345678900"), nullptr);
}

TEST(CsvImport, EveryLineBreakFormIsRecognised) {
    for (const char* brk : {"\r\n", "\n", "\r", "\n\r"}) {
        CTokenList db;
        const std::string text = line("1001", Seed1001, "One") + brk + line("1002", Seed1002, "Two") + brk +
                                 line("1003", Seed1003, "Three");
        auto last = db.importCsvData(text);
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(serials(db), (std::vector<std::u16string>{u"1001", u"1002", u"1003"})) << "break " << brk;
        EXPECT_EQ(last->label, u"Three");
        EXPECT_EQ(db.defaultToken(), last);
    }
}

TEST(CsvImport, ByteOrderMarkIsSkipped) {
    CTokenList plain, marked;
    const std::string text = line("1001", Seed1001, "Caf\xC3\xA9") + "\n";
    ASSERT_NE(plain.importCsvData(text), nullptr);
    ASSERT_NE(marked.importCsvData("\xEF\xBB\xBF" + text), nullptr);
    EXPECT_EQ(plain.tokens[0]->label, u"Caf\u00e9");
    EXPECT_EQ(marked.tokens[0]->label, u"Caf\u00e9");
    EXPECT_EQ(marked.tokens[0]->serial, u"1001");
}

TEST(CsvImport, FieldsAreTakenAsTheyStand) {
    CTokenList db;
    // A quoted name keeps its comma and its quotes.
    ASSERT_NE(db.importCsvData(line("1001", Seed1001, "\"Bank, Web\"")), nullptr);
    EXPECT_EQ(db.tokens[0]->label, u"\"Bank, Web\"");
    // A quoted seed is 20 characters long.
    EXPECT_EQ(db.importCsvData(line("1002", "\"050000012345678908\"", "Q")), nullptr);
    // Blanks are not trimmed.
    EXPECT_EQ(db.importCsvData(line("1002", "050000012345678908 ", "Q")), nullptr);
    EXPECT_NE(db.importCsvData(line("1002", Seed1002, " spaced ")), nullptr);
    EXPECT_EQ(db.tokens.back()->label, u" spaced ");
    EXPECT_EQ(db.tokens.size(), 2u);
}

TEST(CsvImport, OnlyThreeFieldLinesAreInstalled) {
    CTokenList db;
    const std::string text = "\n\n" + line("1001", Seed1001, "Trailing") + ",\n" + "1002\n" + "1002," +
                             Seed1002 + "\n" + line("1002", Seed1002, "Four") + ",x\n" +
                             "serial,seed,name\n" + line("1003", Seed1003, "Good") + "\n\n";
    ImportReport report;
    auto last = db.importCsvData(text, &report);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(serials(db), (std::vector<std::u16string>{u"1003"}));

    // The report names every line passed over but the empty ones, counted from 1.
    using R = ImportReport;
    std::vector<std::pair<std::size_t, R::Reason>> skipped;
    for (const R::Skipped& s : report.skipped)
        skipped.emplace_back(s.line, s.reason);
    EXPECT_EQ(skipped, (std::vector<std::pair<std::size_t, R::Reason>>{{3, R::NotThreeFields},
                                                                       {4, R::NotThreeFields},
                                                                       {5, R::NotThreeFields},
                                                                       {6, R::NotThreeFields},
                                                                       {7, R::InvalidSeed}}));
    EXPECT_EQ(report.added, 1u);
}

TEST(CsvImport, ValidLineBeforeAnInvalidLastLineIsStillReported) {
    CTokenList db;
    auto last = db.importCsvData(line("1001", Seed1001, "One") + "\r\n" + line("1001", Seed1002, "Bad"));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->label, u"One");
    EXPECT_EQ(db.tokens.size(), 1u);
}

TEST(CsvImport, LastLineWithoutABreakIsImported) {
    CTokenList db;
    auto last = db.importCsvData(line("1001", Seed1001, "One") + "\n" + line("1002", Seed1002, "Two"));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->label, u"Two");
}

TEST(CsvImport, TextEndsAtTheFirstZeroByteAndBadUtf8IsReplaced) {
    CTokenList db;
    std::string text = line("1001", Seed1001, "A\xFF") + "\n" + line("1002", Seed1002, "B");
    text += std::string("\0\n", 2) + line("1003", Seed1003, "C");
    ASSERT_NE(db.importCsvData(text), nullptr);
    EXPECT_EQ(serials(db), (std::vector<std::u16string>{u"1001", u"1002"}));
    EXPECT_EQ(db.tokens[0]->label, u"A\uFFFD");
}

TEST(CsvImport, ImportingTwiceGivesEveryTokenTwice) {
    CTokenList db;
    const std::string text = line("1001", Seed1001, "One") + "\n" + line("1002", Seed1002, "Two") + "\n";
    db.importCsvData(text);
    db.importCsvData(text);
    EXPECT_EQ(serials(db), (std::vector<std::u16string>{u"1001", u"1002", u"1001", u"1002"}));
    EXPECT_EQ(db.defaultIndex, 3);
}

class CsvFileTest : public StoreFixture {};

TEST_F(CsvFileTest, FilesThatGiveNoTokenLeaveTheListAlone) {
    CTokenList db;
    db.tokens.push_back(std::make_shared<COtpToken>());
    db.setDefaultIndex(0);
    EXPECT_EQ(db.importCsv((root_ / "missing.csv").string()), nullptr);
    writeFile(root_ / "empty.csv", {});
    EXPECT_EQ(db.importCsv((root_ / "empty.csv").string()), nullptr);
    writeFile(root_ / "header.csv", Bytes{'a', ',', 'b', ',', 'c', '\n'});
    EXPECT_EQ(db.importCsv((root_ / "header.csv").string()), nullptr);
    EXPECT_EQ(db.importCsv(root_.string()), nullptr) << "a folder is not a file";
    EXPECT_EQ(db.tokens.size(), 1u);
    EXPECT_EQ(db.defaultIndex, 0);

    const std::string text = line("1001", Seed1001, "One") + "\n";
    writeFile(root_ / "one.csv", Bytes(text.begin(), text.end()));
    auto t = db.importCsv((root_ / "one.csv").string());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(db.defaultIndex, 1);
}

TEST(CsvSplit, LinesAndFieldsArePiecesBetweenSeparators) {
    using Lines = std::vector<std::u16string_view>;
    EXPECT_EQ(splitCsvLines(u""), Lines{});
    EXPECT_EQ(splitCsvLines(u"\n"), Lines{u""});
    EXPECT_EQ(splitCsvLines(u"a\r\rb\n\nc\r\n"), (Lines{u"a", u"", u"b", u"", u"c"}));
    EXPECT_EQ(splitCsvLines(u"a\n\r\nb"), (Lines{u"a", u"", u"b"}));

    std::vector<std::u16string_view> fields;
    splitCsvFields(u"", fields);
    EXPECT_TRUE(fields.empty());
    splitCsvFields(u"abc", fields);
    EXPECT_EQ(fields, Lines{u"abc"});
    splitCsvFields(u"a,,b,", fields);
    EXPECT_EQ(fields, (Lines{u"a", u"", u"b", u""}));
    splitCsvFields(u"\"x,y\",z", fields);
    EXPECT_EQ(fields, (Lines{u"\"x,y\"", u"z"}));
    // An odd quote after a comma keeps it from separating.
    splitCsvFields(u"a,b\"c", fields);
    EXPECT_EQ(fields, Lines{u"a,b\"c"});
}

// The scans against the two patterns, run by Boost.Regex on many short random lines. Only the
// separators' positions are compared: a token iterator would drop a trailing empty field.
std::u16string randomText(std::mt19937& random, std::u16string_view alphabet, std::size_t maxLength) {
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::u16string text(length(random), u' ');
    for (char16_t& c : text)
        c = alphabet[pick(random)];
    return text;
}

std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

TEST(CsvSplit, LineBreakScanMatchesThePattern) {
    const boost::wregex pattern(L"\\r\\n|\\n\\r|\\n|\\r");
    std::mt19937 random(20240611);
    for (int round = 0; round < 20000; ++round) {
        const std::u16string text = randomText(random, u"a\r\n\r\n,\"", 14);
        const std::wstring w = wide(text);
        std::vector<CsvBreak> expected;
        for (boost::wsregex_iterator it(w.begin(), w.end(), pattern), end; it != end; ++it)
            expected.push_back(
                {static_cast<std::size_t>(it->position()), static_cast<std::size_t>(it->length())});
        const std::vector<CsvBreak> actual = csvLineBreaks(text);
        ASSERT_EQ(actual.size(), expected.size()) << "round " << round;
        for (std::size_t i = 0; i < actual.size(); ++i) {
            ASSERT_EQ(actual[i].position, expected[i].position) << "round " << round;
            ASSERT_EQ(actual[i].length, expected[i].length) << "round " << round;
        }
    }
}

TEST(CsvSplit, FieldSeparatorScanMatchesThePattern) {
    const boost::wregex pattern(L",(?=(?:[^\"]*\"[^\"]*\")*(?![^\"]*\"))");
    std::mt19937 random(19700101);
    for (int round = 0; round < 20000; ++round) {
        const std::u16string text = randomText(random, u"a,,\"\" \u00e9\u2028", 16);
        const std::wstring w = wide(text);
        std::vector<std::size_t> expected;
        for (boost::wsregex_iterator it(w.begin(), w.end(), pattern), end; it != end; ++it)
            expected.push_back(static_cast<std::size_t>(it->position()));
        ASSERT_EQ(csvFieldSeparators(text), expected) << "round " << round;
    }
}

// Every line and field the one-pass reader gives, as views (position and length) of `text`.
std::vector<std::u16string_view> readPieces(std::u16string_view text) {
    std::vector<std::u16string_view> pieces;
    CsvReader reader(text);
    std::vector<std::u16string_view> fields;
    for (std::u16string_view line; reader.next(line, fields);) {
        pieces.push_back(line);
        pieces.insert(pieces.end(), fields.begin(), fields.end());
    }
    return pieces;
}

// The same pieces from the two splits: each line, then its fields.
std::vector<std::u16string_view> splitPieces(std::u16string_view text) {
    std::vector<std::u16string_view> pieces;
    for (std::u16string_view line : splitCsvLines(text)) {
        pieces.push_back(line);
        std::vector<std::u16string_view> fields;
        splitCsvFields(line, fields);
        pieces.insert(pieces.end(), fields.begin(), fields.end());
    }
    return pieces;
}

// Views of the same text: equal positions, not only equal contents.
void expectSameViews(const std::vector<std::u16string_view>& actual,
                     const std::vector<std::u16string_view>& expected, int round) {
    ASSERT_EQ(actual.size(), expected.size()) << "round " << round;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(actual[i].data(), expected[i].data()) << "round " << round;
        ASSERT_EQ(actual[i].size(), expected[i].size()) << "round " << round;
    }
}

TEST(CsvSplit, OnePassReaderGivesTheLinesAndFieldsOfTheTwoSplits) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 20000; ++round) {
        const std::u16string text = randomText(random, u"ab,,\"\"\r\n \u00e9", 24);
        ASSERT_NO_FATAL_FAILURE(expectSameViews(readPieces(text), splitPieces(text), round));
    }
}

// The reader looks at many code units at once: lines over many of its blocks, blocks with no
// separator at all, and code units that share a byte with a quote, comma, CR or LF.
TEST(CsvSplit, OnePassReaderAgreesOnLongLinesAndLookAlikeCodeUnits) {
    const struct {
        std::u16string_view alphabet;
        std::size_t maxLength;
    } cases[] = {
        {u"abcdefgh,\"\r\n", 200},
        {u"a,\"\r\n\u2C00\u012C\u0D0A\u220D\u0A22\u2C2C\uFF0D", 100},
        {u"abcdefghijklmnopqrstuvwxyz0123456789,\"\n", 600},
    };
    std::mt19937 random(20261210);
    for (const auto& c : cases) {
        for (int round = 0; round < 2000; ++round) {
            const std::u16string text = randomText(random, c.alphabet, c.maxLength);
            ASSERT_NO_FATAL_FAILURE(expectSameViews(readPieces(text), splitPieces(text), round));
        }
    }
}

} // namespace

namespace {

struct Fed {
    std::vector<std::u16string> serials;
    std::vector<std::pair<std::size_t, ImportReport::Reason>> skipped;
    bool operator==(const Fed&) const = default;
};

// The stream fed `text` in pieces of `pieceSize` bytes (0: all at once).
Fed feedInPieces(std::string_view text, std::size_t pieceSize) {
    Fed fed;
    ImportReport report;
    CsvTokenStream stream(&report);
    std::vector<std::shared_ptr<COtpToken>> tokens;
    const std::size_t step = pieceSize == 0 ? std::max<std::size_t>(text.size(), 1) : pieceSize;
    for (std::size_t at = 0; at < text.size(); at += step)
        stream.feed(text.substr(at, step), tokens);
    stream.finish(tokens);
    for (const auto& t : tokens)
        fed.serials.push_back(t->serial);
    for (const auto& s : report.skipped)
        fed.skipped.emplace_back(s.line, s.reason);
    return fed;
}

} // namespace

TEST(CsvStream, PiecesOfAnySizeGiveWhatTheWholeTextGives) {
    const std::string one = line("1001", Seed1001, "One");
    const std::string two = line("1002", Seed1002, "Two");
    const std::string three = line("1003", Seed1003, "Three");
    const std::string texts[] = {
        "\xEF\xBB\xBF" + one + "\r\n" + two + "\n\r" + three,
        one + "\r\r" + two + "\n\n" + three + "\r\n",
        "\n" + one + "\r\nserial,seed,name\r\n" + two + ",\r\n" + three,
        one + "\n" + two + std::string(1, '\0') + "\n" + three, // the text ends at the zero
        "\xEF\xBB",                                             // part of a mark only: one field, skipped
        "\xEF\xBB\xBF",
        one,
    };
    for (const std::string& text : texts) {
        CTokenList whole;
        ImportReport report;
        whole.importCsvData(text, &report);
        Fed expected;
        for (const auto& t : whole.tokens)
            expected.serials.push_back(t->serial);
        for (const auto& s : report.skipped)
            expected.skipped.emplace_back(s.line, s.reason);
        for (std::size_t piece : {0u, 1u, 2u, 3u, 5u, 41u})
            EXPECT_EQ(feedInPieces(text, piece), expected)
                << "piece " << piece << " of " << testing::PrintToString(text);
    }
    // The whole-text reading itself, for the first text: three tokens, nothing skipped.
    EXPECT_EQ(feedInPieces(texts[0], 0).serials, (std::vector<std::u16string>{u"1001", u"1002", u"1003"}));
    EXPECT_EQ(feedInPieces(texts[2], 1).skipped,
              (std::vector<std::pair<std::size_t, ImportReport::Reason>>{{3, ImportReport::InvalidSeed},
                                                                         {4, ImportReport::NotThreeFields}}));
}

TEST(CsvStream, SkippedLinesBeyondTheKeptOnesAreOnlyCounted) {
    std::string text;
    const std::size_t bad = ImportReport::SkippedKept + 25;
    for (std::size_t i = 0; i < bad; ++i)
        text += "not,a token\n";
    text += line("1001", Seed1001, "One");
    ImportReport report;
    CTokenList db;
    ASSERT_NE(db.importCsvData(text, &report), nullptr);
    EXPECT_EQ(report.added, 1u);
    EXPECT_EQ(report.skipped.size(), ImportReport::SkippedKept);
    EXPECT_EQ(report.moreSkipped, 25u);
    EXPECT_EQ(report.skippedCount(), bad);
    EXPECT_EQ(report.skipped.back().line, ImportReport::SkippedKept);
}

TEST_F(CsvFileTest, TokensThatWouldOverfillTheDatabaseAreRefusedWhole) {
    std::string text;
    for (int i = 0; i < 3; ++i)
        text += line("1001", Seed1001, "One") + "\n";
    writeFile(root_ / "three.csv", Bytes(text.begin(), text.end()));
    CTokenList probe;
    probe.importCsvData(text);
    const std::uint64_t oneToken = tokenArchiveBound(*probe.tokens[0]);
    const struct {
        std::uint64_t room;
        bool full;
    } cases[] = {{3 * oneToken, false}, {3 * oneToken - 1, true}, {0, true}};
    for (const auto& c : cases) {
        ReadProgress progress;
        const CsvImport read = readCsvTokens((root_ / "three.csv").string(), {}, &progress, c.room);
        EXPECT_EQ(read.databaseFull, c.full) << c.room;
        EXPECT_EQ(read.tokens.size(), c.full ? 0u : 3u) << c.room;
        EXPECT_FALSE(read.readError) << c.room;
        EXPECT_EQ(progress.total.load(), text.size());
    }
    // The room of a list: what its tokens take, less, out of the file's limit.
    EXPECT_EQ(databaseRoom({}) - databaseRoom(probe.tokens), 3 * oneToken);
}
