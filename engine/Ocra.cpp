#include "engine/Ocra.h"

#include "engine/OtpToken.h"

// Placeholder until the OCRA implementation lands; replaced by the OCRA implementation.
OtpPair COtpToken::computeOcra(std::string_view, std::int64_t, std::string_view, std::string_view,
                               std::string_view, std::int64_t) const {
    return {};
}

// Placeholder; replaced by the OCRA implementation.
OtpPair COtpToken::respondOcra(std::u16string_view, std::u16string_view) {
    return {};
}
