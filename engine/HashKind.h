#pragma once

// Digest behind an HMAC code. The MAC lengths are 20, 32 and 64 bytes.
enum class HashKind : int { Sha1 = 0, Sha256 = 1, Sha512 = 2 };
