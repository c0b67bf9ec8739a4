#pragma once

#include <cstddef>
#include <cstdint>

// A message digest: absorb bytes, write the digest.
class Digester {
public:
    virtual ~Digester() = default;

    // Length of the digest in bytes.
    virtual int digestSize() const = 0;

    // Absorbs `length` bytes and writes the digest of everything absorbed to `out`.
    virtual void digest(const void* data, std::size_t length, std::uint8_t* out) = 0;
};
