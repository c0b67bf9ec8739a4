#include "engine/Hmac.h"

#include "engine/Sha1.h"

#include <algorithm>
#include <cstring>

void hmacSha1(const void* key, std::size_t keyLength, const void* data, std::size_t dataLength,
              std::uint8_t* out, std::size_t outLength) {
    constexpr std::size_t BlockLength = 64;

    std::uint8_t keyBlock[BlockLength] = {};
    if (keyLength > BlockLength) {
        sha1(key, keyLength, keyBlock);
    } else if (keyLength > 0) {
        std::memcpy(keyBlock, key, keyLength);
    }

    std::uint8_t pad[BlockLength];
    for (std::size_t n = 0; n < BlockLength; ++n) {
        pad[n] = keyBlock[n] ^ 0x36;
    }
    Sha1Context context;
    sha1Reset(context);
    sha1Input(context, pad, BlockLength);
    sha1Input(context, data, dataLength);
    std::uint8_t inner[Sha1DigestLength];
    sha1Result(context, inner); // also resets the context for the outer hash

    for (std::size_t n = 0; n < BlockLength; ++n) {
        pad[n] = keyBlock[n] ^ 0x5c;
    }
    sha1Input(context, pad, BlockLength);
    sha1Input(context, inner, sizeof inner);
    std::uint8_t mac[Sha1DigestLength];
    sha1Result(context, mac);

    std::memcpy(out, mac, std::min(outLength, sizeof mac));
}
