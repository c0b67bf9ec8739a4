// otpauth:// URIs from arbitrary bytes. A URI that reads must write back a URI that reads to a
// token with the same fields, and writing that one again must give the same text.
#include "engine/OtpAuthUri.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace {

bool sameFields(const COtpToken& a, const COtpToken& b) {
    return a.kind == b.kind && a.hash == b.hash && a.digits == b.digits && a.interval == b.interval &&
           a.counter == b.counter && a.application == b.application && a.userName == b.userName &&
           a.label == b.label && a.appId == b.appId && a.serial == b.serial &&
           std::ranges::equal(a.primaryKeyBytes(), b.primaryKeyBytes());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view uri(reinterpret_cast<const char*>(data), size);
    const OtpAuthResult first = parseOtpAuthUri(uri);
    if (first.token == nullptr) {
        if (first.error.empty())
            __builtin_trap();
        return 0;
    }
    if (!first.error.empty())
        __builtin_trap();
    const std::string made = makeOtpAuthUri(*first.token);
    const OtpAuthResult second = parseOtpAuthUri(made);
    if (second.token == nullptr || !sameFields(*first.token, *second.token))
        __builtin_trap();
    if (makeOtpAuthUri(*second.token) != made)
        __builtin_trap();
    return 0;
}
