#include "provisioning/XmlRpcUtil.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace XmlRpc {

namespace {

// The isspace set of the "C" locale, without consulting the process locale.
constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t skipSpace(std::string_view text, std::size_t offset) {
    while (offset < text.size() && isSpace(text[offset]))
        ++offset;
    return offset;
}

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t kSkip = 0xFF;
constexpr std::uint8_t kPad = 0xFE;

constexpr std::array<std::uint8_t, 256> makeBase64Table() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table)
        entry = kSkip;
    for (std::uint8_t i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kBase64Alphabet[i])] = i;
    table['='] = kPad;
    return table;
}

constexpr std::array<std::uint8_t, 256> kBase64Table = makeBase64Table();

// For whole groups of four: each alphabet character's six bits already shifted to their place for
// each of the four positions, so a group is four look-ups and three ORs; anything outside the
// alphabet sets bit 24.
constexpr std::uint32_t kNotInGroup = 1u << 24;

constexpr std::array<std::array<std::uint32_t, 256>, 4> makeGroupTables() {
    std::array<std::array<std::uint32_t, 256>, 4> tables{};
    for (int position = 0; position < 4; ++position) {
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t sextet = kBase64Table[static_cast<std::size_t>(c)];
            tables[static_cast<std::size_t>(position)][static_cast<std::size_t>(c)] =
                sextet < 64 ? std::uint32_t{sextet} << (18 - 6 * position) : kNotInGroup;
        }
    }
    return tables;
}

constexpr std::array<std::array<std::uint32_t, 256>, 4> kBase64Groups = makeGroupTables();

// Reads the decimal number of a character reference as atoi does: leading whitespace, a sign,
// then digits up to the first other character. Saturates like the 32-bit C library instead of
// overflowing.
std::int64_t atoiSaturating(std::string_view digits) {
    std::size_t i = skipSpace(digits, 0);
    bool negative = false;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
        negative = digits[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{1} << 32;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
        if (value < kLimit)
            value = value * 10 + (digits[i] - '0');
    }
    return negative ? -value : value;
}

void appendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

struct NamedEntity {
    std::string_view name; // what follows "&"
    char character;
};

// Tried in this order.
constexpr NamedEntity kNamedEntities[] = {
    {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"apos;", '\''}, {"quot;", '"'},
};

constexpr std::string_view kEntityCharacters = "<>&'\"";

DefaultErrorHandler defaultErrorHandler;
DefaultLogHandler defaultLogHandler;
std::atomic<XmlRpcErrorHandler*> currentErrorHandler{nullptr};
std::atomic<XmlRpcLogHandler*> currentLogHandler{nullptr};
std::atomic<int> currentVerbosity{0};

// Message and line feed in one write, so lines from several threads do not interleave.
void writeLine(const char* message) {
    std::string line(message);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

std::string encodeEntities(std::string_view text) {
    if (text.find_first_of(kEntityCharacters) == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 8);
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string decodeEntities(std::string_view text) {
    std::size_t amp = text.find('&');
    if (amp == std::string_view::npos)
        return std::string(text);

    // Where the last ";" stands: a reference after it cannot end, and knowing that keeps a run
    // of unterminated "&#" from rescanning the rest of the text each time.
    const std::size_t lastSemicolon = text.rfind(';');
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (amp != std::string_view::npos) {
        out.append(text, pos, amp - pos);
        pos = amp + 1; // past "&"
        const std::string_view rest = text.substr(pos);
        if (!rest.empty() && rest.front() == '#') {
            if (lastSemicolon != std::string_view::npos && lastSemicolon > pos) {
                const std::size_t semicolon = text.find(';', pos + 1);
                const std::int64_t number = atoiSaturating(text.substr(pos + 1, semicolon - pos - 1));
                if (number < 0 || number > 0x10FFFF)
                    throw std::range_error("bad conversion");
                appendUtf8(out, static_cast<std::uint32_t>(number));
                pos = semicolon + 1;
            } else {
                out += '&';
            }
        } else {
            bool matched = false;
            for (const NamedEntity& entity : kNamedEntities) {
                if (rest.starts_with(entity.name)) {
                    out += entity.character;
                    pos += entity.name.size();
                    matched = true;
                    break;
                }
            }
            if (!matched)
                out += '&';
        }
        amp = text.find('&', pos);
    }
    out.append(text, pos);
    return out;
}

std::string base64Encode(const unsigned char* data, std::size_t length) {
    std::string out;
    out.resize((length + 2) / 3 * 4);
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const std::uint32_t group =
            (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        *o++ = kBase64Alphabet[(group >> 18) & 0x3F];
        *o++ = kBase64Alphabet[(group >> 12) & 0x3F];
        *o++ = kBase64Alphabet[(group >> 6) & 0x3F];
        *o++ = kBase64Alphabet[group & 0x3F];
    }
    if (length - i == 1) {
        const std::uint32_t group = std::uint32_t{data[i]} << 16;
        *o++ = kBase64Alphabet[(group >> 18) & 0x3F];
        *o++ = kBase64Alphabet[(group >> 12) & 0x3F];
        *o++ = '=';
        *o++ = '=';
    } else if (length - i == 2) {
        const std::uint32_t group = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8);
        *o++ = kBase64Alphabet[(group >> 18) & 0x3F];
        *o++ = kBase64Alphabet[(group >> 12) & 0x3F];
        *o++ = kBase64Alphabet[(group >> 6) & 0x3F];
        *o++ = '=';
    }
    return out;
}

std::string base64Encode(const BinaryData& bytes) {
    return base64Encode(bytes.data(), bytes.size());
}

BinaryData base64Decode(std::string_view text) {
    // Sized for the most the text can give, written through a pointer, cut to what it gave.
    BinaryData out(text.size() / 4 * 3 + 2);
    unsigned char* to = out.data();
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = at + text.size();
    std::uint32_t group = 0;
    int count = 0; // significant characters in the current group
    while (at < end) {
        // Whole groups of four alphabet characters, the bulk of any line.
        if (count == 0) {
            for (; end - at >= 4; at += 4) {
                const std::uint32_t bits = kBase64Groups[0][at[0]] | kBase64Groups[1][at[1]] |
                                           kBase64Groups[2][at[2]] | kBase64Groups[3][at[3]];
                if (bits >= kNotInGroup)
                    break;
                to[0] = static_cast<unsigned char>(bits >> 16);
                to[1] = static_cast<unsigned char>(bits >> 8);
                to[2] = static_cast<unsigned char>(bits);
                to += 3;
            }
            if (at == end)
                break;
        }
        const std::uint8_t sextet = kBase64Table[*at++];
        if (sextet == kSkip)
            continue;
        if (sextet == kPad) {
            // "=" third gives one byte, fourth gives two; first or second gives none.
            if (count == 2) {
                *to++ = static_cast<unsigned char>(group >> 4);
            } else if (count == 3) {
                *to++ = static_cast<unsigned char>(group >> 10);
                *to++ = static_cast<unsigned char>(group >> 2);
            }
            break;
        }
        group = (group << 6) | sextet;
        if (++count == 4) {
            *to++ = static_cast<unsigned char>(group >> 16);
            *to++ = static_cast<unsigned char>(group >> 8);
            *to++ = static_cast<unsigned char>(group);
            group = 0;
            count = 0;
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return out;
}

bool consumeTag(std::string_view tag, std::string_view text, std::size_t& offset) {
    if (offset > text.size())
        return false;
    const std::size_t start = skipSpace(text, offset);
    if (text.substr(start).starts_with(tag)) {
        offset = start + tag.size();
        return true;
    }
    return false;
}

bool seekPastTag(std::string_view tag, std::string_view text, std::size_t& offset) {
    if (offset > text.size())
        return false;
    const std::size_t found = text.find(tag, offset);
    if (found == std::string_view::npos)
        return false;
    offset = found + tag.size();
    return true;
}

std::string readAnyTag(std::string_view text, std::size_t& offset) {
    if (offset > text.size())
        return {};
    const std::size_t start = skipSpace(text, offset);
    if (start >= text.size() || text[start] != '<')
        return {};
    const std::size_t close = text.find('>', start);
    const std::size_t end = close == std::string_view::npos ? text.size() : close + 1;
    offset = end;
    return std::string(text.substr(start, end - start));
}

std::string extractElement(std::string_view tag, std::string_view text, std::size_t& offset) {
    if (offset > text.size() || tag.empty())
        return {};
    const std::size_t open = text.find(tag, offset);
    if (open == std::string_view::npos)
        return {};
    std::string closing = "</";
    closing.append(tag.substr(1));
    const std::size_t contentStart = open + tag.size();
    const std::size_t close = text.find(closing, contentStart);
    if (close == std::string_view::npos)
        return {};
    offset = close + closing.size();
    return std::string(text.substr(contentStart, close - contentStart));
}

XmlRpcErrorHandler& errorHandler() {
    XmlRpcErrorHandler* handler = currentErrorHandler.load();
    return handler ? *handler : defaultErrorHandler;
}

void setErrorHandler(XmlRpcErrorHandler* handler) {
    currentErrorHandler.store(handler);
}

XmlRpcLogHandler& logHandler() {
    XmlRpcLogHandler* handler = currentLogHandler.load();
    return handler ? *handler : defaultLogHandler;
}

void setLogHandler(XmlRpcLogHandler* handler) {
    currentLogHandler.store(handler);
}

int verbosity() {
    return currentVerbosity.load();
}

void setVerbosity(int level) {
    currentVerbosity.store(level);
}

void reportError(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    errorHandler().report(buffer);
}

void reportLog(int level, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    logHandler().write(level, buffer);
}

} // namespace XmlRpc

void DefaultErrorHandler::report(const char* message) {
    XmlRpc::writeLine(message);
}

void DefaultLogHandler::write(int level, const char* message) {
    if (level <= XmlRpc::verbosity())
        XmlRpc::writeLine(message);
}
