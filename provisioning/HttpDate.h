#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace XmlRpc {

// Seconds since 1970-01-01 00:00 UTC for an HTTP date (RFC 9110: the IMF-fixdate
// "Sun, 06 Nov 1994 08:49:37 GMT", and the obsolete RFC 850 and asctime forms a server may
// still send), blanks around it allowed. None for anything else, or for a date that does not
// exist.
std::optional<std::int64_t> parseHttpDate(std::string_view text);

} // namespace XmlRpc
