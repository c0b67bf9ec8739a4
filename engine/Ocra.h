#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// OCRA (RFC 6287) on 8-bit text. COtpToken::computeOcra and the OCRA kinds of
// COtpToken::respond are built on these.

// The response text under one key; empty when the suite is rejected.
std::u16string ocra(const std::uint8_t* key, std::size_t keyLength, std::string_view suite,
                    std::int64_t counter, std::string_view question, std::string_view pin,
                    std::string_view sessionInfo, std::int64_t timestamp);

// The question as hexadecimal text: a QN suite reads it as a decimal number, others take its bytes.
std::string ocraQuestionHex(std::string_view suite, std::string_view question);
// The PIN hash (SHA-1, SHA-256 or SHA-512 by the suite) as upper-case hexadecimal.
std::string ocraPinHex(std::string_view suite, std::string_view pin);
// The time step count for the suite's T component, lower-case hexadecimal.
std::string ocraTimestampHex(std::string_view suite, std::int64_t timestamp);
// Parses the suite, lays out the data input and computes the response.
std::u16string ocraCompute(const std::uint8_t* key, std::size_t keyLength, std::string_view suite,
                           std::int64_t counter, std::string_view questionHex, std::string_view pinHex,
                           std::string_view sessionInfo, std::string_view timestampHex);

// Bytes of a hexadecimal text (odd length: a "0" in front); stops at the first non-hex character.
std::vector<std::uint8_t> hexToBytes(std::string_view text);
// A zero-filled field of `size` bytes holding the text's bytes right-aligned; all zero when the
// text needs more than `size` bytes.
std::vector<std::uint8_t> hexToFixedBytes(std::string_view text, std::size_t size);
// Upper-case hexadecimal, two characters per byte.
std::string bytesToHex(const void* bytes, std::size_t length);
std::string bytesToHex(std::string_view bytes);
