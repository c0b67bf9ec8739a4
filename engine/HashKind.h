#pragma once

// Digest behind an HMAC code. The MAC lengths are 20, 32 and 64 bytes.
enum class HashKind : int { Sha1 = 0, Sha256 = 1, Sha512 = 2 };

// The digest's name as crypto libraries and otpauth URIs spell it: "SHA1", "SHA256", "SHA512".
constexpr const char* hashName(HashKind hash) {
    switch (hash) {
    case HashKind::Sha256:
        return "SHA256";
    case HashKind::Sha512:
        return "SHA512";
    case HashKind::Sha1:
        break;
    }
    return "SHA1";
}
