#pragma once

#include "engine/OtpToken.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Which token a TOKEN argument names, or the tokens it could be.
struct TokenMatch {
    int index = -1;              // 0-based; -1 when none or several match
    bool ambiguous = false;      // several match
    std::vector<int> candidates; // several matches: those; none: every token
};

// TOKEN is the 1-based index `list` prints, else text compared with each token's label, account
// name (userName) and serial: the tokens equal to it in one of them, else the tokens containing
// it in any letter case. Exactly one such token is the match.
TokenMatch matchToken(const std::vector<std::shared_ptr<COtpToken>>& tokens, std::string_view text);

} // namespace cli
