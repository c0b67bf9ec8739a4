#pragma once

#include "engine/Digester.h"

#include <cstddef>
#include <cstdint>

// MD5 of RFC 1321. `finish` resets the object, so one object can hash message after message.
class MD5 : public Digester {
public:
    static constexpr int DigestLength = 16;

    MD5();

    int digestSize() const override { return DigestLength; }
    void digest(const void* data, std::size_t length, std::uint8_t* out) override;

    void update(const void* data, std::size_t length);
    // Writes the 16-byte digest and starts a new message.
    void finish(std::uint8_t* out);

private:
    void reset();
    void transform(const std::uint8_t* block);

    std::int32_t blockSize_ = 64;
    std::uint32_t bitCountLow_ = 0;
    std::uint32_t bitCountHigh_ = 0;
    std::uint8_t buffer_[64] = {};
    std::uint32_t state_[4] = {};
};
