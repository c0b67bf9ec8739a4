#include "engine/Rc4.h"

#include <utility>

void rc4Init(Rc4State& state, const void* key, std::size_t keyLength) {
    for (int n = 0; n < 256; ++n) {
        state.permutation[n] = static_cast<std::uint8_t>(n);
    }
    state.i = 0;
    state.j = 0;
    // An empty key would divide by zero in the schedule; leave the identity permutation.
    if (keyLength == 0) {
        return;
    }
    const auto* k = static_cast<const std::uint8_t*>(key);
    std::uint8_t j = 0;
    for (std::size_t n = 0; n < 256; ++n) {
        j = static_cast<std::uint8_t>(j + state.permutation[n] + k[n % keyLength]);
        std::swap(state.permutation[n], state.permutation[j]);
    }
}

void rc4Crypt(Rc4State& state, void* data, std::size_t length) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    std::uint8_t* s = state.permutation;
    std::uint8_t i = state.i;
    std::uint8_t j = state.j;
    for (std::size_t n = 0; n < length; ++n) {
        i = static_cast<std::uint8_t>(i + 1);
        const std::uint8_t si = s[i];
        j = static_cast<std::uint8_t>(j + si);
        const std::uint8_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        bytes[n] ^= s[static_cast<std::uint8_t>(si + sj)];
    }
    state.i = i;
    state.j = j;
}
