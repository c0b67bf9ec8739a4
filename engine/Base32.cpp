#include "engine/Base32.h"

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

// The 5-bit value of a Base32 letter, or -1.
int letterValue(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a';
    if (c >= '2' && c <= '7')
        return c - '2' + 26;
    return -1;
}

std::optional<std::vector<std::uint8_t>> fail(std::string* error, std::string reason) {
    if (error != nullptr)
        *error = std::move(reason);
    return std::nullopt;
}

// Printable form of a byte for an error text.
std::string shown(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x21 && byte < 0x7f)
        return std::string("'") + c + "'";
    static constexpr char Hex[] = "0123456789ABCDEF";
    return std::string("byte 0x") + Hex[byte >> 4] + Hex[byte & 15];
}

} // namespace

std::optional<std::vector<std::uint8_t>> decodeBase32(std::string_view text, std::string* error) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 5 / 8);
    std::uint32_t buffer = 0;
    int bits = 0;
    std::size_t letters = 0;
    std::size_t padding = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == ' ' || c == '\t')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = letterValue(c);
        if (value < 0)
            return fail(error, shown(c) + " at position " + std::to_string(at + 1) +
                                   " is not a Base32 letter (A-Z, 2-7)");
        if (padding > 0)
            return fail(error, "Base32 padding '=' is followed by more letters");
        ++letters;
        buffer = (buffer << 5) | static_cast<std::uint32_t>(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(buffer >> bits));
        }
    }
    const std::size_t tail = letters % 8;
    if (tail == 1 || tail == 3 || tail == 6)
        return fail(error, "Base32 text of " + std::to_string(letters) +
                               " letters does not make whole bytes (the last group has " +
                               std::to_string(tail) + ")");
    if (padding > 0 && (tail == 0 || tail + padding != 8))
        return fail(error, "Base32 padding of " + std::to_string(padding) + " '=' does not fit " +
                               std::to_string(letters) + " letters");
    return bytes;
}

std::string encodeBase32(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() * 8 + 4) / 5);
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const std::uint8_t byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            text.push_back(Alphabet[(buffer >> bits) & 31]);
        }
    }
    if (bits > 0)
        text.push_back(Alphabet[(buffer << (5 - bits)) & 31]);
    return text;
}
