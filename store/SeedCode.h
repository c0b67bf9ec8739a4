#pragma once

#include "engine/OtpToken.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// Seed codes: 18 characters that carry a token's settings and its secret behind two Luhn check
// digits. Layout: version digit (0 or 1), the serial's check digit, the five-digit parameter
// word, ten secret characters, and the check digit over the first 17.

// Reads a decimal number the way the C library's strtol does: leading blanks skipped, an
// optional sign, then digits up to the first other character; no digit gives 0; a value beyond
// [minimum, maximum] saturates at that limit.
std::int64_t readSeedNumber(std::string_view text, std::int64_t minimum, std::int64_t maximum);
std::int64_t readSeedNumber(std::u16string_view text, std::int64_t minimum, std::int64_t maximum);

// The Luhn check digit over the `digits` lowest decimal digits of `value` (missing high digits
// count as 0).
int luhnCheckDigit(std::uint64_t value, std::size_t digits);

// A new token from a seed code, or null when the code is rejected: an empty input, a seed that
// is not 18 bytes in the ANSI code page, a version other than 0 or 1, or a check digit that does
// not fit. The token is not stored anywhere.
std::shared_ptr<COtpToken> tokenFromSeed(std::u16string_view name, std::u16string_view serial,
                                         std::u16string_view seed);
