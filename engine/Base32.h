#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// RFC 4648 Base32 as authenticator secrets are written: letters in any case, spaces (and tabs)
// anywhere, '=' padding optional but only at the end and only in the lengths the RFC allows.
// A final group of 1, 3 or 6 letters cannot be whole bytes and is refused; bits left over in the
// last letter are ignored. Nothing on failure, and `error` (when given) says why.
std::optional<std::vector<std::uint8_t>> decodeBase32(std::string_view text, std::string* error);

// Upper case, no padding.
std::string encodeBase32(std::span<const std::uint8_t> bytes);
