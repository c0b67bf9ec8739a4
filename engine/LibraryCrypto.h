#pragma once

#include "engine/HashKind.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// HMAC and digests from the cryptographic library (OpenSSL 3), for SHA-256/512 and for
// comparison with our own SHA-1. Each returns the MAC or digest (20, 32 or 64 bytes), or an
// empty vector when the library fails.
std::vector<std::uint8_t> libraryHmac(HashKind hash, const void* key, std::size_t keyLength, const void* data,
                                      std::size_t dataLength);
std::vector<std::uint8_t> libraryDigest(HashKind hash, const void* data, std::size_t length);
