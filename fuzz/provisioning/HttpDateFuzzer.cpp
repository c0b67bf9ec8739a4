// A reply's Date header is outside bytes: any text gives a date or none, never a crash, and a
// date it gives is one the forms can write (years 0 to 9999).
#include "provisioning/HttpDate.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto date = XmlRpc::parseHttpDate(std::string_view(reinterpret_cast<const char*>(data), size));
    constexpr std::int64_t kYear0 = -62167219200;     // 0000-01-01
    constexpr std::int64_t kYear10000 = 253402300800; // 10000-01-01
    if (date && (*date < kYear0 || *date > kYear10000))
        std::abort();
    return 0;
}
