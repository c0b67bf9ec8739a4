#include "cli/TokenMatch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::shared_ptr<COtpToken> token(std::u16string label, std::u16string userName, std::u16string serial) {
    auto t = std::make_shared<COtpToken>();
    t->label = std::move(label);
    t->userName = std::move(userName);
    t->serial = std::move(serial);
    return t;
}

TEST(CliTokenMatch, IndexThenExactThenUniqueSubstring) {
    const std::vector<std::shared_ptr<COtpToken>> tokens = {
        token(u"Bank", u"alice", u"S100"),       // 1
        token(u"Bank of Mars", u"bob", u"S200"), // 2
        token(u"Forge", u"alice", u"S300"),      // 3
        token(u"Mail \u00c9t\u00e9", u"", u"3"), // 4
    };
    struct Case {
        std::string text;
        int index; // -1: no single match
        bool ambiguous;
        std::vector<int> candidates; // when no single match
    };
    const Case cases[] = {
        {"2", 1, false, {}},
        {"3", 2, false, {}},                 // the index, though token 4's serial is "3"
        {"5", -1, false, {0, 1, 2, 3}},      // past the list: text, which nothing holds
        {"Bank", 0, false, {}},              // exact label beats the substring in "Bank of Mars"
        {"S200", 1, false, {}},              // exact serial
        {"bob", 1, false, {}},               // exact account name
        {"MARS", 1, false, {}},              // substring in any letter case
        {"\xc3\xa9T\xc3\x89", 3, false, {}}, // beyond ASCII too
        {"alice", -1, true, {0, 2}},         // exact in two tokens
        {"ank", -1, true, {0, 1}},           // substring of two
        {"nobody", -1, false, {0, 1, 2, 3}},
        {"", -1, false, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const cli::TokenMatch match = cli::matchToken(tokens, c.text);
        EXPECT_EQ(match.index, c.index);
        EXPECT_EQ(match.ambiguous, c.ambiguous);
        EXPECT_EQ(match.candidates, c.candidates);
    }
}

} // namespace
