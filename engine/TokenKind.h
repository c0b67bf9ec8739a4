#pragma once

#include <cstdint>

// Algorithm family of a token; stored as a signed 32-bit number. A value outside 0..6 behaves
// as ChallengeOnly.
enum class TokenKind : std::int32_t {
    Event = 0,
    Time = 1,
    ChallengeOnly = 2,
    EventTime = 3,
    OcraEvent = 4,
    OcraTime = 5,
    // TOTP as other authenticators make it: the step is the whole interval (the period).
    Totp = 6,
};

// What a kind means, in one place: the code it makes now, how it answers a challenge, and how
// the code page treats it. A new kind is one row of the table in TokenKind.cpp.
struct TokenKindTraits {
    // The moving factor of the code for now.
    enum class Factor { None, Counter, Time, CounterAndTime };

    TokenKind kind;
    Factor factor;
    // The time step in halves of the token's interval (1: half the interval, 2: the whole).
    int stepHalves;
    // Challenges and signatures follow the token's OCRA suite and PIN.
    bool ocra;
    // The code page shows a code that renews itself at every step, with no Go.
    bool renewsByItself;
    // The OCRA suite a seed code of this kind installs (empty: none).
    const char16_t* seedSuite;

    bool usesTime() const { return factor == Factor::Time || factor == Factor::CounterAndTime; }
};

// The row of `kind`; the ChallengeOnly row for a value outside the known kinds.
const TokenKindTraits& traitsOf(TokenKind kind);
