#include "engine/TokenKind.h"

#include <iterator>

namespace {

using Factor = TokenKindTraits::Factor;

// Indexed by the stored value.
// clang-format off
constexpr TokenKindTraits kKinds[] = {
    // kind                      factor                   step  ocra   renews  seed code's suite
    {TokenKind::Event,           Factor::Counter,         2,    false, false,  u"OCRA-1:HOTP-SHA1-6:C-QN08"},
    {TokenKind::Time,            Factor::Time,            1,    false, false,  u""},
    {TokenKind::ChallengeOnly,   Factor::None,            2,    false, false,  u""},
    {TokenKind::EventTime,       Factor::CounterAndTime,  1,    false, false,  u""},
    {TokenKind::OcraEvent,       Factor::Counter,         2,    true,  false,  u"OCRA-1:HOTP-SHA1-6:C-QN08"},
    {TokenKind::OcraTime,        Factor::Time,            2,    true,  true,   u"OCRA-1:HOTP-SHA1-6:QN08-T1M"},
    {TokenKind::Totp,            Factor::Time,            2,    false, true,   u""},
};
// clang-format on

} // namespace

const TokenKindTraits& traitsOf(TokenKind kind) {
    const auto index = static_cast<std::int32_t>(kind);
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(kKinds)))
        return kKinds[static_cast<int>(TokenKind::ChallengeOnly)];
    return kKinds[index];
}
