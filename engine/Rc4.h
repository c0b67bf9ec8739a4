#pragma once

#include <cstddef>
#include <cstdint>

// RC4 state (258 bytes): the permutation and the two indexes. It carries over between
// rc4Crypt calls, so a stream can be processed in pieces.
struct Rc4State {
    std::uint8_t permutation[256];
    std::uint8_t i;
    std::uint8_t j;
};
static_assert(sizeof(Rc4State) == 258);

// The key schedule. A key of length 0 leaves the identity permutation.
void rc4Init(Rc4State& state, const void* key, std::size_t keyLength);

// Enciphers or deciphers `length` bytes in place.
void rc4Crypt(Rc4State& state, void* data, std::size_t length);
