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

} // namespace XmlRpc
