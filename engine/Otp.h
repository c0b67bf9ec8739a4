#pragma once

#include "engine/HashKind.h"

#include <cstddef>
#include <cstdint>
#include <string>

// HMAC of `message` under `key`, dynamic truncation (RFC 4226) and the decimal code: exactly
// `digits` characters with leading zeros, one more when `addChecksum` appends a check digit.
// `digits` may be 0 to 18 (the value is the truncated MAC modulo 10^digits); any other value, or
// a failure of the cryptographic library, gives empty text.
std::u16string generateOtp(const void* key, std::size_t keyLength, const void* message,
                           std::size_t messageLength, int digits, bool addChecksum, HashKind hash);

// Check digit 0 to 9 over the `digits` lowest decimal digits of `value` (RFC 4226's doubling
// table, every other digit from the least significant one). Digits below 0 count as none.
int otpChecksum(std::uint64_t value, int digits);

// Writes `value` as 8 bytes, most significant first.
void putBigEndian64(std::uint64_t value, std::uint8_t* out);
