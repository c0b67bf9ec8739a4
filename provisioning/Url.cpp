#include "provisioning/Url.h"

#include <algorithm>

namespace XmlRpc {
namespace {

constexpr size_t maxScheme = 32;
constexpr size_t maxHost = 256;
constexpr size_t maxUserName = 128;
constexpr size_t maxPassword = 128;
constexpr size_t maxPath = 2048;
constexpr size_t maxQuery = 2048;

char16_t lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

std::optional<std::uint16_t> parsePort(std::u16string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - u'0');
    }
    if (value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::uint16_t defaultPort(std::u16string_view scheme) {
    if (equalsNoCase(scheme, u"http"))
        return 80;
    if (equalsNoCase(scheme, u"https"))
        return 443;
    if (equalsNoCase(scheme, u"ftp"))
        return 21;
    if (equalsNoCase(scheme, u"gopher"))
        return 70;
    if (equalsNoCase(scheme, u"socks"))
        return 1080;
    return 0;
}

std::u16string UrlParts::objectName() const {
    std::u16string name = path + query;
    if (name.empty() || name.front() != u'/')
        name.insert(name.begin(), u'/');
    return name;
}

std::optional<UrlParts> splitUrl(std::u16string_view url) {
    UrlParts parts;
    std::u16string_view rest = url;

    size_t schemeEnd = rest.find(u"://");
    if (schemeEnd != std::u16string_view::npos) {
        parts.scheme = std::u16string(rest.substr(0, schemeEnd));
        rest.remove_prefix(schemeEnd + 3);
    }
    if (parts.scheme.empty() || parts.scheme.size() > maxScheme)
        return std::nullopt;

    // The authority ends at the first '/', '?' or '#'; the query part starts at the first '?' or '#'.
    size_t authorityEnd = rest.find_first_of(u"/?#");
    std::u16string_view authority = rest.substr(0, authorityEnd);
    std::u16string_view location =
        authorityEnd == std::u16string_view::npos ? std::u16string_view() : rest.substr(authorityEnd);
    size_t queryStart = location.find_first_of(u"?#");
    std::u16string_view path = location.substr(0, queryStart);
    std::u16string_view query =
        queryStart == std::u16string_view::npos ? std::u16string_view() : location.substr(queryStart);

    size_t at = authority.rfind(u'@');
    if (at != std::u16string_view::npos) {
        std::u16string_view credentials = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        size_t colon = credentials.find(u':');
        parts.userName = std::u16string(credentials.substr(0, colon));
        if (colon != std::u16string_view::npos)
            parts.password = std::u16string(credentials.substr(colon + 1));
    }

    // An IPv6 literal keeps its brackets, which is the form the HTTP library expects back.
    std::u16string_view host = authority;
    std::u16string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == u'[') {
        size_t close = authority.find(u']');
        if (close == std::u16string_view::npos)
            return std::nullopt;
        host = authority.substr(0, close + 1);
        std::u16string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != u':')
                return std::nullopt;
            portText = after.substr(1);
            hasPort = true;
        }
    } else {
        size_t colon = authority.rfind(u':');
        if (colon != std::u16string_view::npos) {
            host = authority.substr(0, colon);
            portText = authority.substr(colon + 1);
            hasPort = true;
        }
    }

    if (host.empty() || host.size() > maxHost || parts.userName.size() > maxUserName ||
        parts.password.size() > maxPassword || path.size() > maxPath || query.size() > maxQuery)
        return std::nullopt;

    parts.host = std::u16string(host);
    parts.path = std::u16string(path);
    parts.query = std::u16string(query);
    parts.secure = equalsNoCase(parts.scheme, u"https");
    parts.port = defaultPort(parts.scheme);
    // "host:" with nothing after the colon keeps the scheme's default port.
    if (hasPort && !portText.empty()) {
        auto port = parsePort(portText);
        if (!port)
            return std::nullopt;
        parts.port = *port;
    }
    return parts;
}

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The scheme of an absolute URL ("http" of "http://..."), empty for a relative reference.
std::string_view schemeOf(std::string_view url) {
    const std::size_t colon = url.find(':');
    if (colon == 0 || colon == std::string_view::npos)
        return {};
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = url[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return {};
    }
    return url.substr(0, colon);
}

// The host of the authority that follows "//" at the start of `rest`, lower case, without user
// information, port or brackets' contents trimmed; empty when `rest` has no authority.
std::string hostOf(std::string_view rest) {
    if (!rest.starts_with("//"))
        return {};
    std::string_view authority = rest.substr(2);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (authority.starts_with('['))
        return lowered(authority.substr(0, authority.find(']') + 1));
    return lowered(authority.substr(0, authority.find(':')));
}

} // namespace

std::string redirectRefusal(std::string_view from, std::string_view location) {
    while (!location.empty() && (location.front() == ' ' || location.front() == '\t'))
        location.remove_prefix(1);
    while (!location.empty() && std::string_view(" \t\r\n").find(location.back()) != std::string_view::npos)
        location.remove_suffix(1);

    const std::string fromScheme = lowered(schemeOf(from));
    const std::string fromHost = hostOf(from.substr(fromScheme.size() + 1));
    std::string toScheme = lowered(schemeOf(location));
    std::string_view rest = toScheme.empty() ? location : location.substr(toScheme.size() + 1);
    if (toScheme.empty())
        toScheme = fromScheme;
    // A relative reference ("/rpc", "rpc", "?x") stays on the same host; "//host/..." does not.
    const std::string toHost = rest.starts_with("//") ? hostOf(rest) : fromHost;

    if (fromScheme == "https" && toScheme != "https")
        return "a redirect from https to " + toScheme + " is not followed";
    if (toHost != fromHost)
        return "a redirect to another host (" + toHost + ") is not followed";
    return {};
}

} // namespace XmlRpc
