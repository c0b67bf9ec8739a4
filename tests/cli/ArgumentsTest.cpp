#include "cli/Arguments.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

cli::ParsedArguments parse(const std::vector<std::string_view>& words) {
    return cli::parseArguments(words);
}

TEST(CliArguments, OptionsStandAnywhereInEitherForm) {
    struct Case {
        std::vector<std::string_view> words;
        cli::Command command;
        std::string database, token, uri, qrImage, qrOutput, challenge;
        std::optional<std::int64_t> at;
    };
    const Case cases[] = {
        {{"list"}, cli::Command::List, "", "", "", "", "", "", {}},
        {{"--database", "a.db", "list"}, cli::Command::List, "a.db", "", "", "", "", "", {}},
        {{"list", "--database=b.db"}, cli::Command::List, "b.db", "", "", "", "", "", {}},
        {{"code", "--at", "59", "bank"}, cli::Command::Code, "", "bank", "", "", "", "", 59},
        {{"code", "bank", "--at=-30"}, cli::Command::Code, "", "bank", "", "", "", "", -30},
        {{"add", "otpauth://totp/x?secret=A"},
         cli::Command::Add,
         "",
         "",
         "otpauth://totp/x?secret=A",
         "",
         "",
         "",
         {}},
        {{"add", "--qr", "shot.png"}, cli::Command::Add, "", "", "", "shot.png", "", "", {}},
        {{"export", "2", "--qr", "out.png"}, cli::Command::Export, "", "2", "", "", "out.png", "", {}},
        // "--" lets a challenge start with "-".
        {{"respond", "ocra", "--", "-12"}, cli::Command::Respond, "", "ocra", "", "", "", "-12", {}},
        {{"code", "--at", "5", "bank", "--help"}, cli::Command::Help, "", "", "", "", "", "", {}},
        {{"--version"}, cli::Command::Version, "", "", "", "", "", "", {}},
    };
    for (const Case& c : cases) {
        const cli::ParsedArguments parsed = parse(c.words);
        SCOPED_TRACE(c.words.front());
        ASSERT_EQ(parsed.error, "");
        const cli::Arguments& a = parsed.arguments;
        EXPECT_EQ(a.command, c.command);
        EXPECT_EQ(a.database, c.database);
        EXPECT_EQ(a.token, c.token);
        EXPECT_EQ(a.uri, c.uri);
        EXPECT_EQ(a.qrImage, c.qrImage);
        EXPECT_EQ(a.qrOutput, c.qrOutput);
        EXPECT_EQ(a.challenge, c.challenge);
        EXPECT_EQ(a.at, c.at);
    }
}

TEST(CliArguments, WrongUsageSaysWhatIsWrong) {
    struct Case {
        std::vector<std::string_view> words;
        std::string error;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"list", "-x"}, "unknown option '-x'"},
        {{"code"}, "code: missing TOKEN"},
        {{"respond"}, "respond: missing TOKEN and CHALLENGE"},
        {{"respond", "ocra"}, "respond: missing CHALLENGE"},
        {{"add"}, "add: missing URI"},
        {{"add", "--qr", "a.png", "otpauth://x"}, "add: too many arguments"},
        {{"list", "extra"}, "list: too many arguments"},
        {{"code", "--at", "soon", "bank"}, "--at takes whole seconds since 1970, not 'soon'"},
        {{"code", "--at", "99999999999999999999", "bank"},
         "--at takes whole seconds since 1970, not '99999999999999999999'"},
        {{"list", "--at", "5"}, "--at belongs to code"},
        {{"code", "bank", "--qr", "x.png"}, "--qr belongs to add and export"},
        {{"list", "--database"}, "--database needs a value"},
        {{"--database=", "list"}, "--database needs a file name"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse(c.words).error, c.error);
}

} // namespace
