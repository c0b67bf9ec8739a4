#include "engine/OtpAuthUri.h"

#include "engine/Base32.h"
#include "engine/HashKind.h"
#include "engine/LibraryCrypto.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>

namespace {

constexpr std::string_view Scheme = "otpauth";
constexpr std::int32_t DefaultPeriod = 30;
// How long an hotp code stays on the code page after Go.
constexpr std::int32_t HotpShowSeconds = 30;
constexpr std::u16string_view AppIdPrefix = u"otpauth:";

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Text shortened for an error message, so a hostile URI cannot flood it.
std::string quoted(std::string_view text) {
    constexpr std::size_t Shown = 40;
    std::string out = "'";
    for (const char c : text.substr(0, Shown)) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    return out + (text.size() > Shown ? "...'" : "'");
}

// Percent-decoding of a URI part ('+' stays '+'). Nothing on a '%' without two hex digits.
std::optional<std::string> percentDecoded(std::string_view text, std::string_view part, std::string& error) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            out += text[at];
            continue;
        }
        const int high = at + 1 < text.size() ? hexValue(text[at + 1]) : -1;
        const int low = at + 2 < text.size() ? hexValue(text[at + 2]) : -1;
        if (high < 0 || low < 0) {
            error = "bad percent escape " + quoted(text.substr(at, 3)) + " in the " + std::string(part);
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return out;
}

// A decoded name as UTF-16, refusing bytes that are not UTF-8 and control characters, which
// would break lists and exported lines.
std::optional<std::u16string> nameText(std::string_view bytes, std::string_view part, std::string& error) {
    std::u16string text = platform::utf8ToUtf16(bytes);
    if (platform::utf16ToUtf8(text) != bytes) {
        error = "the " + std::string(part) + " is not UTF-8 text";
        return std::nullopt;
    }
    if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20 || (c >= 0x7f && c < 0xa0); })) {
        error = "the " + std::string(part) + " holds control characters";
        return std::nullopt;
    }
    return text;
}

std::u16string_view trimmedName(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\u00a0'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\u00a0'))
        text.remove_suffix(1);
    return text;
}

// A decimal number made of digits only, within [low, high].
template <typename T>
std::optional<T> decimal(std::string_view text, T low, T high) {
    T value{};
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (code != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

struct Parameter {
    std::string_view name;
    std::optional<std::string> value; // decoded
};

constexpr std::array<std::string_view, 6> KnownParameters = {"secret", "issuer", "algorithm",
                                                              "digits", "period", "counter"};

std::optional<HashKind> hashNamed(std::string_view name) {
    if (equalsIgnoringCase(name, "SHA1"))
        return HashKind::Sha1;
    if (equalsIgnoringCase(name, "SHA256"))
        return HashKind::Sha256;
    if (equalsIgnoringCase(name, "SHA512"))
        return HashKind::Sha512;
    return std::nullopt;
}

OtpAuthResult failure(std::string error) {
    return {nullptr, std::move(error)};
}

// Percent-encoding for a label part or a parameter value: everything but the unreserved
// characters and '@' (common in account names and allowed in both places).
std::string percentEncoded(std::u16string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : platform::utf16ToUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '@';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 15];
        }
    }
    return out;
}

// The step of a time token in seconds, as its codes use it; none when it has none.
std::optional<std::int64_t> periodOf(const COtpToken& token) {
    std::int64_t interval = token.interval == 0 ? 180 : token.interval; // the token's own rule for 0
    const std::int64_t step = token.traits().stepHalves == 2 ? interval : interval / 2;
    if (step <= 0)
        return std::nullopt;
    return step;
}

} // namespace

std::u16string otpAuthSerial(std::span<const std::uint8_t> secret) {
    static constexpr char16_t Hex[] = u"0123456789ABCDEF";
    const std::vector<std::uint8_t> digest = libraryDigest(HashKind::Sha256, secret.data(), secret.size());
    std::u16string serial;
    for (std::size_t n = 0; n < 8 && n < digest.size(); ++n) {
        serial += Hex[digest[n] >> 4];
        serial += Hex[digest[n] & 15];
    }
    return serial;
}

OtpAuthResult parseOtpAuthUri(std::string_view uri) {
    uri = trimmed(uri);
    std::string error;

    const std::size_t schemeEnd = uri.find("://");
    if (schemeEnd == std::string_view::npos)
        return failure("not a URI of the form otpauth://TYPE/LABEL?secret=...");
    if (!equalsIgnoringCase(uri.substr(0, schemeEnd), Scheme))
        return failure("unknown scheme " + quoted(uri.substr(0, schemeEnd)) + ": expected otpauth://");
    std::string_view rest = uri.substr(schemeEnd + 3);

    const std::size_t queryStart = rest.find('?');
    const std::string_view query = queryStart == std::string_view::npos ? std::string_view{} : rest.substr(queryStart + 1);
    rest = rest.substr(0, queryStart);
    const std::size_t typeEnd = rest.find('/');
    const std::string_view type = rest.substr(0, typeEnd);
    const std::string_view rawLabel = typeEnd == std::string_view::npos ? std::string_view{} : rest.substr(typeEnd + 1);

    bool timeBased = false;
    if (equalsIgnoringCase(type, "totp"))
        timeBased = true;
    else if (!equalsIgnoringCase(type, "hotp"))
        return failure("unknown token type " + quoted(type) + ": expected totp or hotp");

    // Parameters: each known one at most once; others (image, color, ...) are passed over.
    Parameter parameters[KnownParameters.size()];
    for (std::size_t n = 0; n < KnownParameters.size(); ++n)
        parameters[n].name = KnownParameters[n];
    for (std::size_t at = 0; at <= query.size();) {
        std::size_t end = query.find('&', at);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view item = query.substr(at, end - at);
        at = end + 1;
        if (item.empty())
            continue;
        const std::size_t equals = item.find('=');
        const std::string name = lowered(item.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos ? std::string_view{} : item.substr(equals + 1);
        const auto known = std::find(KnownParameters.begin(), KnownParameters.end(), name);
        if (known == KnownParameters.end())
            continue;
        Parameter& parameter = parameters[known - KnownParameters.begin()];
        if (parameter.value)
            return failure("the parameter " + name + " is given twice");
        parameter.value = percentDecoded(value, name + " parameter", error);
        if (!parameter.value)
            return failure(error);
    }
    const auto& [secretParameter, issuerParameter, algorithmParameter, digitsParameter, periodParameter,
                 counterParameter] = parameters;

    const std::string secretText = secretParameter.value.value_or(std::string{});
    if (trimmed(secretText).empty())
        return failure("the URI has no secret");
    const auto secret = decodeBase32(secretText, &error);
    if (!secret)
        return failure("bad secret: " + error);
    if (secret->empty())
        return failure("the secret holds no bytes");
    if (secret->size() > COtpToken::KeyCapacity)
        return failure("the secret of " + std::to_string(secret->size()) + " bytes is longer than " +
                       std::to_string(COtpToken::KeyCapacity));

    auto token = std::make_shared<COtpToken>();
    token->checksum = false;
    token->dualDisplay = false;

    if (algorithmParameter.value) {
        const auto hash = hashNamed(*algorithmParameter.value);
        if (!hash)
            return failure("unknown algorithm " + quoted(*algorithmParameter.value) +
                           ": expected SHA1, SHA256 or SHA512");
        token->hash = *hash;
    }

    token->digits = 6;
    if (digitsParameter.value) {
        const auto digits = decimal<std::int32_t>(*digitsParameter.value, 6, 8);
        if (!digits)
            return failure("bad digits " + quoted(*digitsParameter.value) + ": expected 6, 7 or 8");
        token->digits = *digits;
    }

    // A period on hotp and a counter on totp mean nothing and are passed over, but not checked.
    if (timeBased) {
        token->kind = TokenKind::Totp;
        token->interval = DefaultPeriod;
        if (periodParameter.value) {
            const auto period =
                decimal<std::int32_t>(*periodParameter.value, 1, std::numeric_limits<std::int32_t>::max());
            if (!period)
                return failure("bad period " + quoted(*periodParameter.value) +
                               ": expected whole seconds, 1 or more");
            token->interval = *period;
        }
    } else {
        // The format asks for a counter on hotp; a URI without one starts at 0, as others read it.
        token->kind = TokenKind::Event;
        token->interval = HotpShowSeconds;
        if (counterParameter.value) {
            // The moving factor is 8 bytes unsigned; the token keeps it in a signed field.
            const auto counter =
                decimal<std::uint64_t>(*counterParameter.value, 0, std::numeric_limits<std::uint64_t>::max());
            if (!counter)
                return failure("bad counter " + quoted(*counterParameter.value) +
                               ": expected a whole number from 0 to 18446744073709551615");
            token->counter = static_cast<std::int64_t>(*counter);
        }
    }

    // Names. The issuer parameter wins over the label's prefix; the label's first colon (also
    // written %3A) divides issuer from account, so an issuer-less account holding a colon is
    // written with an empty prefix (":a:b").
    const auto labelBytes = percentDecoded(rawLabel, "label", error);
    if (!labelBytes)
        return failure(error);
    const auto label = nameText(*labelBytes, "label", error);
    if (!label)
        return failure(error);
    std::u16string issuer;
    if (issuerParameter.value) {
        const auto text = nameText(*issuerParameter.value, "issuer", error);
        if (!text)
            return failure(error);
        issuer = trimmedName(*text);
    }
    std::u16string_view account = *label;
    const std::u16string issuerPrefix = issuer + u':';
    if (!issuer.empty() && account.starts_with(issuerPrefix)) {
        account.remove_prefix(issuerPrefix.size());
    } else if (!issuer.empty() && trimmedName(account) == issuer) {
        // "otpauth://totp/Site?issuer=Site": the label only repeats the issuer.
        account = {};
    } else if (const std::size_t colon = account.find(u':'); colon != std::u16string_view::npos) {
        if (issuer.empty())
            issuer = trimmedName(account.substr(0, colon));
        account.remove_prefix(colon + 1);
    }
    account = trimmedName(account);
    if (issuer.empty() && account.empty())
        return failure("the URI names neither an issuer nor an account");

    token->application = issuer;
    token->userName = account;
    token->label = issuer.empty() ? std::u16string(account)
                   : account.empty() ? issuer
                                     : issuer + u':' + std::u16string(account);
    token->setPrimaryKey(secret->data(), static_cast<int>(secret->size()));
    // Identity: the same URI read twice must give the same token, and a token of another
    // service must not replace it. The secret is what makes a token; the issuer keeps two
    // services apart should they ever share one.
    token->appId = std::u16string(AppIdPrefix) + issuer;
    token->serial = otpAuthSerial(*secret);
    return {token, {}};
}

std::string makeOtpAuthUri(const COtpToken& token) {
    const auto key = token.primaryKeyBytes();
    if (key.empty() || token.checksum || token.dualDisplay || token.digits < 6 || token.digits > 8)
        return {};
    if (token.hash != HashKind::Sha1 && token.hash != HashKind::Sha256 && token.hash != HashKind::Sha512)
        return {};

    std::string type;
    std::string movingFactor;
    switch (token.kind) {
    case TokenKind::Event:
        type = "hotp";
        movingFactor = "&counter=" + std::to_string(static_cast<std::uint64_t>(token.counter));
        break;
    case TokenKind::Time:
    case TokenKind::Totp: {
        const auto period = periodOf(token);
        if (!period)
            return {};
        type = "totp";
        movingFactor = "&period=" + std::to_string(*period);
        break;
    }
    default:
        return {};
    }

    const std::u16string_view issuer = trimmedName(token.application);
    std::u16string account(trimmedName(token.userName));
    if (issuer.empty() && account.empty())
        account = trimmedName(token.displayName());
    if (issuer.empty() && account.empty())
        return {};

    std::string uri = "otpauth://" + type + "/";
    if (!issuer.empty())
        uri += percentEncoded(issuer);
    if (!issuer.empty() || account.find(u':') != std::u16string::npos)
        uri += ':';
    uri += percentEncoded(account);
    uri += "?secret=" + encodeBase32(key);
    if (!issuer.empty())
        uri += "&issuer=" + percentEncoded(issuer);
    uri += std::string("&algorithm=") + hashName(token.hash);
    uri += "&digits=" + std::to_string(token.digits);
    uri += movingFactor;
    return uri;
}
