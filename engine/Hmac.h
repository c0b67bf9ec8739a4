#pragma once

#include <cstddef>
#include <cstdint>

// HMAC-SHA1 (RFC 2104, block 64). A key longer than 64 bytes is hashed first; an empty key is
// allowed. Writes the first min(outLength, 20) bytes of the MAC to `out`.
void hmacSha1(const void* key, std::size_t keyLength, const void* data, std::size_t dataLength,
              std::uint8_t* out, std::size_t outLength);
