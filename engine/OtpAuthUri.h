#pragma once

#include "engine/OtpToken.h"

#include <memory>
#include <string>
#include <string_view>

// A token read from an otpauth:// URI, or why not. `error` is empty on success, and `token` is
// null on failure.
struct OtpAuthResult {
    std::shared_ptr<COtpToken> token;
    std::string error;
};

// Reads otpauth://TYPE/LABEL?PARAMETERS as other authenticators write it: TYPE totp or hotp,
// LABEL "issuer:account", "account" or empty beside an issuer parameter; parameters secret
// (Base32, required), issuer, algorithm (SHA1/SHA256/SHA512), digits (6-8), period (totp,
// 1 second or more, default 30) and counter (hotp, default 0). Unknown parameters are ignored.
// totp becomes a Totp token whose interval is the period, hotp an Event token. The identity
// (appId "otpauth:" + issuer, serial from a digest of the secret) makes the same URI read twice
// the same token. The error text names the part at fault.
OtpAuthResult parseOtpAuthUri(std::string_view uri);

// The URI of `token` in the shape parseOtpAuthUri reads back to the same parameters, names and
// identity; "" for a token that has no such form (kinds other than Event, Time and Totp, a check
// digit, two displayed codes, digits outside 6-8, no key, no usable period, or no name at all).
std::string makeOtpAuthUri(const COtpToken& token);

// The serial an otpauth token with this secret gets: 16 hex digits of its SHA-256.
std::u16string otpAuthSerial(std::span<const std::uint8_t> secret);
