// The command line as words split at NUL bytes: its parse, and the TOKEN it names looked up in a
// small token list.
#include "cli/Arguments.h"
#include "cli/TokenMatch.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

std::vector<std::shared_ptr<COtpToken>> sampleTokens() {
    std::vector<std::shared_ptr<COtpToken>> tokens;
    for (const char16_t* name : {u"Bank", u"Bank of Mars", u"Mail \u00c9t\u00e9", u"3"}) {
        auto token = std::make_shared<COtpToken>();
        token->label = name;
        token->userName = u"alice";
        token->serial = name;
        tokens.push_back(token);
    }
    return tokens;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::shared_ptr<COtpToken>> tokens = sampleTokens();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const cli::ParsedArguments parsed = cli::parseArguments(words);
    const cli::Arguments& arguments = parsed.arguments;
    if (!parsed.error.empty())
        return 0;
    // What a command needs is there, and nothing it does not take.
    if (!arguments.uri.empty() && !arguments.qrImage.empty())
        std::abort();
    if (arguments.at && arguments.command != cli::Command::Code)
        std::abort();
    if (!arguments.qrOutput.empty() && arguments.command != cli::Command::Export)
        std::abort();

    const cli::TokenMatch match = cli::matchToken(tokens, arguments.token);
    const bool found = match.index >= 0 && match.index < static_cast<int>(tokens.size());
    if (found == (match.index == -1) || (found && !match.candidates.empty()) ||
        (!found && match.candidates.size() < (match.ambiguous ? 2u : tokens.size())))
        std::abort();
    return 0;
}
