#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Digests of a text's bytes in the system's ANSI code page, without terminator.
void md5OfText(std::u16string_view text, std::uint8_t* out16);
void sha1OfText(std::u16string_view text, std::uint8_t* out20);

// The same over the string resource `id`, found through the hook below; without a hook, or
// for an unknown id, the text is empty.
void md5OfText(int id, std::uint8_t* out16);
void sha1OfText(int id, std::uint8_t* out20);

// The resources layer registers its string-table look-up here (nullptr removes it).
using StringLookup = std::u16string (*)(int id);
void setStringLookup(StringLookup lookup);
