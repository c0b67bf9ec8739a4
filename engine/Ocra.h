#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// OCRA (RFC 6287) on 8-bit text. COtpToken::computeOcra and the OCRA kinds of
// COtpToken::respond are built on these.
//
// A suite is "OCRA-1:HOTP-<hash>-<digits>:<data input>"; the parser reads an upper-cased copy,
// while the QN, PSHA256, PSHA512 and T look-ups search the suite as given (case-sensitively), and
// the suite as given is what enters the data input.

// The response text under one key; empty when the suite or the input is rejected.
std::u16string ocra(const std::uint8_t* key, std::size_t keyLength, std::string_view suite,
                    std::int64_t counter, std::string_view question, std::string_view pin,
                    std::string_view sessionInfo, std::int64_t timestamp);

// The question as hexadecimal text; empty for an empty question. A QN suite reads it as a signed
// 64-bit decimal number (lower-case hex, a "0" appended to an odd length); other suites take its
// bytes. std::nullopt when a QN question is not such a number.
std::optional<std::string> ocraQuestionHex(std::string_view suite, std::string_view question);

// The PIN hash (SHA-256 for PSHA256, SHA-512 for PSHA512, else SHA-1) in upper-case hexadecimal;
// empty for an empty PIN. std::nullopt when the cryptographic library fails.
std::optional<std::string> ocraPinHex(std::string_view suite, std::string_view pin);

// The time step count of the suite's T component (T30S, T1M, T1H ...) in lower-case hexadecimal;
// empty for a timestamp of 0 or a suite without T. std::nullopt when the step is not a positive
// decimal count of seconds, minutes or hours.
std::optional<std::string> ocraTimestampHex(std::string_view suite, std::int64_t timestamp);

// Whether the suite's data input holds a PIN (a P component), so a response needs the user's PIN.
bool ocraSuiteTakesPin(std::string_view suite);

// Parses the suite, lays out the data input and computes the response; empty when the suite is
// rejected, the digits are out of range, or the question or session information does not fit
// its field (128 and 64 bytes).
std::u16string ocraCompute(const std::uint8_t* key, std::size_t keyLength, std::string_view suite,
                           std::int64_t counter, std::string_view questionHex, std::string_view pinHex,
                           std::string_view sessionInfo, std::string_view timestampHex);

// Bytes of a hexadecimal text (odd length: a "0" in front); either letter case; stops at the first
// character that is not a hexadecimal digit, keeping the bytes decoded so far.
std::vector<std::uint8_t> hexToBytes(std::string_view text);

// A zero-filled field of `size` bytes holding the text's bytes right-aligned; all zero when the
// text is longer than 2 * `size` characters.
std::vector<std::uint8_t> hexToFixedBytes(std::string_view text, std::size_t size);

// Upper-case hexadecimal, two characters per byte.
std::string bytesToHex(const void* bytes, std::size_t length);
std::string bytesToHex(std::string_view bytes);
