// The real valdorix-cli against a temporary database: its codes against oathtool's, its database
// against the window's store, and its refusals.
#include "engine/OtpAuthUri.h"
#include "platform/CodePage.h"
#include "platform/SingleInstance.h"
#include "tests/cli/CliFixture.h"
#include "tests/store/StoreTestSupport.h"

#include <functional>
#include <poll.h>
#include <pty.h>

namespace {

using namespace clitest;

constexpr const char* Secret20 = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";
constexpr const char* Secret32 = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZA";
constexpr const char* Secret64 =
    "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"
    "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNA";

// A token of another service as its URI, and oathtool's arguments for the same codes (less the
// time or the counter).
struct StandardToken {
    const char* name;
    std::string uri;
    std::vector<std::string> oathtool;
    std::int64_t firstCounter; // hotp: the URI's counter; -1 for totp
};

void PrintTo(const StandardToken& token, std::ostream* out) {
    *out << token.name;
}

const std::vector<StandardToken>& standardTokens() {
    static const std::vector<StandardToken> tokens = {
        {"TotpSha1",
         std::string("otpauth://totp/Example:alice@example.com?secret=") + Secret20 + "&issuer=Example",
         {"--totp=sha1", "-b", "-d", "6", "-s", "30s", Secret20},
         -1},
        // Lower case and padding, as some services write the secret.
        {"TotpSha256Eight60",
         "otpauth://totp/Bank:bob?secret=gezdgnbvgy3tqojqgezdgnbvgy3tqojqgezdgnbvgy3tqojqgeza====&"
         "algorithm=SHA256&digits=8&period=60&issuer=Bank",
         {"--totp=sha256", "-b", "-d", "8", "-s", "60s", Secret32},
         -1},
        {"TotpSha512Seven",
         std::string("otpauth://totp/Forge:carol?algorithm=SHA512&digits=7&secret=") + Secret64,
         {"--totp=sha512", "-b", "-d", "7", "-s", "30s", Secret64},
         -1},
        {"Hotp",
         std::string("otpauth://hotp/Mail:dave?secret=") + Secret20 + "&counter=5&digits=8",
         {"--hotp", "-b", "-d", "8", Secret20},
         5},
    };
    return tokens;
}

class CliStandardToken : public CliFixture, public ::testing::WithParamInterface<StandardToken> {
protected:
    // The codes valdorix-cli prints for the token named `token` against oathtool's: at fixed
    // times, or, for hotp, for the next counters, each from a new run (so the counter was saved).
    void expectCodesOfOathtool(const std::string& token,
                               const std::vector<std::string>& database = {}) const {
        const StandardToken& standard = GetParam();
        std::vector<std::string> code = database;
        code.push_back("code");
        if (standard.firstCounter >= 0) {
            code.push_back(token);
            for (std::int64_t counter = standard.firstCounter; counter < standard.firstCounter + 3;
                 ++counter) {
                std::vector<std::string> expected = standard.oathtool;
                expected.insert(expected.end() - 1, {"-c", std::to_string(counter)});
                const CliRun run = cli(code);
                ASSERT_EQ(run.status, 0) << run.err;
                EXPECT_EQ(run.out, firstLine("oathtool", expected) + "\n") << "counter " << counter;
            }
            return;
        }
        // RFC 6238's times, up to the year 2603.
        for (const char* at : {"59", "1111111109", "1234567890", "2000000000", "20000000000"}) {
            std::vector<std::string> expected = standard.oathtool;
            expected.insert(expected.end() - 1, {"-N", std::string("@") + at});
            std::vector<std::string> timed = code;
            timed.insert(timed.end(), {"--at", at, token});
            const CliRun run = cli(timed);
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.out, firstLine("oathtool", expected) + "\n") << "at " << at;
        }
    }
};

TEST_P(CliStandardToken, AddedByUriGivesTheCodesOfOathtool) {
    init();
    const CliRun added = cli({"add", GetParam().uri});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out.rfind("added 1: ", 0), 0u) << added.out;
    expectCodesOfOathtool("1");
}

TEST_P(CliStandardToken, AddedFromAQrPictureGivesTheCodesOfOathtool) {
    init();
    const std::string picture = (scratch() / "code.png").string();
    ASSERT_EQ(firstLine("qrencode", {"-o", picture, GetParam().uri}), "");
    const CliRun added = cli({"add", "--qr", picture});
    ASSERT_EQ(added.status, 0) << added.err;
    expectCodesOfOathtool("1");
}

// Exported as a URI and as a QR picture, then imported from each into a new database.
TEST_P(CliStandardToken, ExportThenImportKeepsEveryParameter) {
    init();
    ASSERT_EQ(cli({"add", GetParam().uri}).status, 0);
    const std::string picture = (scratch() / "exported.png").string();
    const CliRun exported = cli({"export", "--qr", picture, "1"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_EQ(exported.out.rfind("otpauth://", 0), 0u);
    const std::string uri = exported.out.substr(0, exported.out.size() - 1);
    const auto first = openStore();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->tokens.size(), 1u);

    for (const std::vector<std::string>& import :
         {std::vector<std::string>{"add", uri}, {"add", "--qr", picture}}) {
        SCOPED_TRACE(import[1]);
        const std::string other = (scratch() / "other.db").string();
        std::filesystem::remove(other);
        init(other);
        std::vector<std::string> arguments{"--database", other};
        arguments.insert(arguments.end(), import.begin(), import.end());
        ASSERT_EQ(cli(arguments).status, 0);
        const auto second = openStore(other);
        ASSERT_TRUE(second);
        ASSERT_EQ(second->tokens.size(), 1u);
        storetest::expectSameFields(*first->tokens[0], *second->tokens[0]);
        EXPECT_EQ(first->tokens[0]->hash, second->tokens[0]->hash);
        EXPECT_EQ(cli({"--database", other, "export", "1"}).out, exported.out);
        // And it still makes the same codes.
        expectCodesOfOathtool("1", {"--database", other});
    }
}

INSTANTIATE_TEST_SUITE_P(Uris, CliStandardToken, ::testing::ValuesIn(standardTokens()),
                         [](const auto& info) { return std::string(info.param.name); });

using CliDatabase = CliFixture;

TEST_F(CliDatabase, TheWindowsStoreOpensWhatTheCliWrote) {
    init();
    const std::string uri = standardTokens()[1].uri;
    ASSERT_EQ(cli({"add", uri}).status, 0);
    const auto store = openStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->tokens.size(), 1u);
    storetest::expectSameFields(*store->tokens[0], *parseOtpAuthUri(uri).token);
}

// Tokens the window's store saved, of the kinds no URI makes, and what the engine answers for
// each: the CLI must print the same and save the counters it moves.
TEST_F(CliDatabase, TheCliAnswersForTokensTheWindowSaved) {
    const auto make = [](const char16_t* label, TokenKind kind, const char16_t* suite, std::int64_t counter) {
        auto token = std::make_shared<COtpToken>();
        token->label = label;
        token->appId = u"window";
        token->serial = label;
        token->kind = kind;
        token->ocraSuite = suite;
        token->counter = counter;
        const std::string key = "12345678901234567890";
        token->setPrimaryKey(key.data(), static_cast<int>(key.size()));
        return token;
    };
    CValdorixTokenDB window;
    window.markUnlocked();
    ASSERT_TRUE(window.changePin(u"", u"2468"));
    window.addToken(make(u"event", TokenKind::Event, u"", 7), false);
    window.addToken(make(u"ocra", TokenKind::OcraEvent, u"OCRA-1:HOTP-SHA1-6:C-QN08", 3), false);
    window.addToken(make(u"pin-ocra", TokenKind::OcraEvent, u"OCRA-1:HOTP-SHA1-8:C-QN08-PSHA1", 9), false);
    window.addToken(make(u"challenge", TokenKind::ChallengeOnly, u"", 0), false);
    ASSERT_TRUE(window.save());

    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        std::function<OtpPair(COtpToken&)> expected; // on a copy of the token as saved
        std::size_t index;
        std::int64_t counterAfter;
    };
    const Case cases[] = {
        {{"code", "event"}, "2468\n", [](COtpToken& t) { return t.computeOtp(); }, 0, 8},
        {{"respond", "ocra", "12345"}, "2468\n", [](COtpToken& t) { return t.respond(u"12345", u""); }, 1, 4},
        {{"respond", "pin-ocra", "777"},
         "2468\n1357\n",
         [](COtpToken& t) { return t.respond(u"777", u"1357"); },
         2,
         10},
        {{"respond", "challenge", "4242"},
         "2468\n",
         [](COtpToken& t) { return t.respond(u"4242", u""); },
         3,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        COtpToken copy = *window.tokens[c.index];
        const std::u16string expected = c.expected(copy).first;
        ASSERT_FALSE(expected.empty());
        const CliRun run = cli(c.arguments, c.input);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, platform::utf16ToUtf8(expected) + "\n");
        const auto saved = openStore();
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->tokens[c.index]->counter, c.counterAfter);
    }
}

TEST_F(CliDatabase, WhileTheWindowHoldsTheDatabaseOnlyReadingCommandsRun) {
    init();
    ASSERT_EQ(cli({"add", standardTokens()[0].uri}).status, 0);
    ASSERT_EQ(cli({"add", standardTokens()[3].uri}).status, 0);
    platform::SingleInstance window(databaseFile().string());
    ASSERT_TRUE(window.isPrimary());
    const storetest::Bytes before = storetest::readFile(databaseFile());

    struct Case {
        std::vector<std::string> arguments;
        int status;
    };
    const Case cases[] = {
        {{"add", standardTokens()[1].uri}, 1}, {{"code", "dave"}, 1},   {{"init"}, 1}, {{"list"}, 0},
        {{"code", "--at", "59", "alice"}, 0},  {{"export", "dave"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments.back());
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.status == 1 && c.arguments[0] != "init") {
            EXPECT_EQ(run.err,
                      "valdorix-cli: " + databaseFile().string() +
                          " is open in the Valdorix window; close the window to change the tokens\n");
        }
    }
    EXPECT_EQ(storetest::readFile(databaseFile()), before);
}

TEST_F(CliDatabase, FailuresExitOneWithTheirReason) {
    struct Case {
        const char* name;
        bool initialised;
        std::vector<std::string> arguments;
        std::string input;
        std::string err; // after "valdorix-cli: "
    };
    const std::string path = databaseFile().string();
    const Case cases[] = {
        {"wrong PIN", true, {"list"}, "9999\n", "Incorrect PIN"},
        {"no PIN", true, {"list"}, "", "no PIN on standard input"},
        {"no database",
         false,
         {"list"},
         "2468\n",
         "no database at " + path + "; 'valdorix-cli init' makes one"},
        {"second init", true, {"init"}, "1234\n1234\n", "a database exists already at " + path},
        {"short PIN", false, {"init"}, "123\n123\n", "The PIN needs at least 4 characters."},
        {"PINs differ", false, {"init"}, "1234\n4321\n", "The two PINs differ."},
        {"bad URI",
         true,
         {"add", "otpauth://totp/x"},
         "2468\n",
         "cannot add the URI: " + parseOtpAuthUri("otpauth://totp/x").error},
        {"unknown token",
         true,
         {"code", "nobody"},
         "2468\n",
         "no token matches 'nobody': the database holds none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(databaseFile().parent_path());
        if (c.initialised)
            init();
        const storetest::Bytes before = storetest::readFile(databaseFile());
        const CliRun run = cli(c.arguments, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "valdorix-cli: " + c.err + "\n");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(storetest::readFile(databaseFile()), before);
    }
}

TEST_F(CliDatabase, AnAmbiguousTokenListsTheCandidates) {
    init();
    ASSERT_EQ(cli({"add", standardTokens()[0].uri}).status, 0);
    ASSERT_EQ(cli({"add", standardTokens()[2].uri}).status, 0);
    const CliRun run = cli({"code", "--at", "59", "ARO"});
    EXPECT_EQ(run.status, 0) << "'ARO' is in carol only: " << run.err;
    const CliRun ambiguous = cli({"export", "E"});
    EXPECT_EQ(ambiguous.status, 1);
    const CliRun list = cli({"list"});
    EXPECT_EQ(ambiguous.err, "valdorix-cli: 'E' matches 2 tokens:\n" + list.out);
}

// One picture, three codes: a token the database has, text that is no otpauth URI, a new token.
TEST_F(CliDatabase, APictureOfSeveralCodesAddsTheNewTokensAndTellsWhatItPassedOver) {
    init();
    ASSERT_EQ(cli({"add", standardTokens()[0].uri}).status, 0);
    std::vector<std::string> pictures;
    for (const std::string& text : {standardTokens()[0].uri, std::string("not a token"), standardTokens()[3].uri}) {
        pictures.push_back((scratch() / ("code" + std::to_string(pictures.size()) + ".png")).string());
        ASSERT_EQ(firstLine("qrencode", {"-o", pictures.back(), text}), "");
    }
    const std::string together = (scratch() / "together.png").string();
    ASSERT_EQ(firstLine("convert", {pictures[0], pictures[1], pictures[2], "+append", together}), "");

    const CliRun run = cli({"add", "--qr", together});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("already present as 1: Example:alice@example.com\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("added 2: Mail:dave\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(" of " + together + " was passed over: "), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    const auto store = openStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->tokens.size(), 2u);
}

TEST_F(CliDatabase, ACounterThatCannotBeSavedShowsNoCode) {
    init();
    ASSERT_EQ(cli({"add", standardTokens()[3].uri}).status, 0);
    // A file may not grow to the database's size (EFBIG): the database cannot be saved, while
    // the shorter message still reaches standard error, a file too.
    const auto size = std::filesystem::file_size(databaseFile());
    const CliRun refused = cli({"code", "1"}, "2468\n", size - 1);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("could not save " + databaseFile().string() + ": File too large"),
              std::string::npos)
        << refused.err;
    // The counter on disk did not move: the next code is still the URI's counter's.
    std::vector<std::string> oathtool = standardTokens()[3].oathtool;
    oathtool.insert(oathtool.end() - 1, {"-c", "5"});
    EXPECT_EQ(cli({"code", "1"}).out, firstLine("oathtool", oathtool) + "\n");
}

TEST_F(CliDatabase, WrongUsageExitsTwoWithTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {"frobnicate"}, {"code"}, {"list", "extra"}, {"list", "--at", "5"}, {"code", "--at", "soon", "x"},
    };
    for (const auto& arguments : cases) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("\nusage: valdorix-cli [--database FILE] init\n"), std::string::npos)
            << run.err;
    }
    const CliRun help = cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: valdorix-cli", 0), 0u);
}

// On a terminal the PIN is typed without echo.
TEST_F(CliDatabase, APinTypedOnATerminalIsNotEchoed) {
    init();
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(std::getenv("VALDORIX_CLI"), "valdorix-cli", "list", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string screen;
    bool typed = false;
    for (;;) {
        pollfd entry{master, POLLIN, 0};
        // Only a bound against a hung child; nothing here depends on how long a step takes.
        if (::poll(&entry, 1, 60000) != 1)
            break;
        char buffer[256];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        screen.append(buffer, static_cast<std::size_t>(got));
        if (!typed && screen.find("PIN: ") != std::string::npos) {
            ASSERT_EQ(::write(master, "2468\n", 5), 5);
            typed = true;
        }
    }
    ::close(master);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    EXPECT_TRUE(typed) << screen;
    EXPECT_EQ(screen.find("2468"), std::string::npos) << screen;
}

} // namespace
