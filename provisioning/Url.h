#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace XmlRpc {

// A service URL taken apart the way the platform HTTP client takes it apart: the scheme decides
// the default port and whether TLS is used; user name and password are parsed but never sent.
struct UrlParts {
    std::u16string scheme = u"http";
    std::u16string userName;
    std::u16string password;
    std::u16string host;
    std::uint16_t port = 80;
    std::u16string path;
    std::u16string query; // from the first '?' or '#', that character included
    bool secure = false;  // only https selects TLS

    // The object name of the request: path followed by the query part ("/" when both are empty).
    std::u16string objectName() const;
};

// Splits `url` into its parts. Fails (nullopt) on a port that is not a number up to 65535, a
// missing host, or a part beyond its limit: 32 characters for the scheme, 256 for the host, 128
// each for user name and password, 2048 each for path and query. Nothing is percent-decoded.
// Without "://" the whole text is taken as host[:port][path] under the scheme http.
std::optional<UrlParts> splitUrl(std::u16string_view url);

// The default port of a scheme (compared without regard to case): http 80, https 443, ftp 21,
// gopher 70, socks 1080, any other 0.
std::uint16_t defaultPort(std::u16string_view scheme);

// Whether a redirect from the request at `from` (an absolute URL) to `location` (the Location
// header's value, absolute or relative) may be followed: never from https to anything else, and
// never to another host, since the request body, password included, would go there. Empty when
// it may; otherwise why not.
std::string redirectRefusal(std::string_view from, std::string_view location);

} // namespace XmlRpc
