#include "engine/Sha1.h"

#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t InitialHash[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

inline std::uint32_t loadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// The 80 steps over one block, with the schedule kept as a 16-word ring so it stays in
// registers; the rounds are unrolled five at a time so the variables rotate by name, not by copy.
void compress(std::uint32_t* hash, std::uint32_t* w) {
    std::uint32_t a = hash[0];
    std::uint32_t b = hash[1];
    std::uint32_t c = hash[2];
    std::uint32_t d = hash[3];
    std::uint32_t e = hash[4];

#define SHA1_W(t)                                                                                            \
    (w[(t)&15] = std::rotl(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))
#define SHA1_STEP(a, b, c, d, e, f, k, x)                                                                    \
    do {                                                                                                     \
        e += std::rotl(a, 5) + (f) + (k) + (x);                                                              \
        b = std::rotl(b, 30);                                                                                \
    } while (0)
#define SHA1_CH(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA1_PARITY(b, c, d) ((b) ^ (c) ^ (d))
#define SHA1_MAJ(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))

#define SHA1_R0(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, SHA1_CH(b, c, d), 0x5A827999u, w[t])
#define SHA1_R1(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, SHA1_CH(b, c, d), 0x5A827999u, SHA1_W(t))
#define SHA1_R2(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, SHA1_PARITY(b, c, d), 0x6ED9EBA1u, SHA1_W(t))
#define SHA1_R3(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, SHA1_MAJ(b, c, d), 0x8F1BBCDCu, SHA1_W(t))
#define SHA1_R4(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, SHA1_PARITY(b, c, d), 0xCA62C1D6u, SHA1_W(t))
#define SHA1_FIVE(R, t)                                                                                      \
    R(a, b, c, d, e, (t));                                                                                   \
    R(e, a, b, c, d, (t) + 1);                                                                               \
    R(d, e, a, b, c, (t) + 2);                                                                               \
    R(c, d, e, a, b, (t) + 3);                                                                               \
    R(b, c, d, e, a, (t) + 4)

    SHA1_FIVE(SHA1_R0, 0);
    SHA1_FIVE(SHA1_R0, 5);
    SHA1_FIVE(SHA1_R0, 10);
    SHA1_R0(a, b, c, d, e, 15);
    SHA1_R1(e, a, b, c, d, 16);
    SHA1_R1(d, e, a, b, c, 17);
    SHA1_R1(c, d, e, a, b, 18);
    SHA1_R1(b, c, d, e, a, 19);
    SHA1_FIVE(SHA1_R2, 20);
    SHA1_FIVE(SHA1_R2, 25);
    SHA1_FIVE(SHA1_R2, 30);
    SHA1_FIVE(SHA1_R2, 35);
    SHA1_FIVE(SHA1_R3, 40);
    SHA1_FIVE(SHA1_R3, 45);
    SHA1_FIVE(SHA1_R3, 50);
    SHA1_FIVE(SHA1_R3, 55);
    SHA1_FIVE(SHA1_R4, 60);
    SHA1_FIVE(SHA1_R4, 65);
    SHA1_FIVE(SHA1_R4, 70);
    SHA1_FIVE(SHA1_R4, 75);

#undef SHA1_FIVE
#undef SHA1_R4
#undef SHA1_R3
#undef SHA1_R2
#undef SHA1_R1
#undef SHA1_R0
#undef SHA1_MAJ
#undef SHA1_PARITY
#undef SHA1_CH
#undef SHA1_STEP
#undef SHA1_W

    hash[0] += a;
    hash[1] += b;
    hash[2] += c;
    hash[3] += d;
    hash[4] += e;
}

void compressBytes(std::uint32_t* hash, const std::uint8_t* block) {
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) {
        w[t] = loadBigEndian32(block + 4 * t);
    }
    compress(hash, w);
}

// The collected partial block is complete: transform it. The schedule words are copied so the
// context's first 16 words still hold the block as received.
void compressCollected(Sha1Context& context) {
    std::uint32_t w[16];
    std::memcpy(w, context.messageBlock, sizeof w);
    compress(context.intermediateHash, w);
    context.blockIndex = 0;
}

// Appends one byte to the partial block (words are big-endian, built by shifting).
inline void appendByte(Sha1Context& context, std::uint8_t byte) {
    std::uint32_t& word = context.messageBlock[context.blockIndex >> 2];
    word = (context.blockIndex & 3) == 0 ? byte : (word << 8) | byte;
    if (++context.blockIndex == 64) {
        compressCollected(context);
    }
}

void addLength(Sha1Context& context, std::size_t bytes) {
    const std::uint64_t oldBits = (std::uint64_t{context.lengthHigh} << 32) | context.lengthLow;
    const std::uint64_t bits = oldBits + (static_cast<std::uint64_t>(bytes) << 3);
    context.lengthHigh = static_cast<std::uint32_t>(bits >> 32);
    context.lengthLow = static_cast<std::uint32_t>(bits);
}

} // namespace

void sha1Reset(Sha1Context& context) {
    std::memcpy(context.intermediateHash, InitialHash, sizeof InitialHash);
    std::memset(context.messageBlock, 0, sizeof context.messageBlock);
    context.blockIndex = 0;
    context.lengthHigh = 0;
    context.lengthLow = 0;
}

void sha1Input(Sha1Context& context, const void* data, std::size_t length) {
    if (length == 0) {
        return;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    addLength(context, length);

    while (context.blockIndex != 0 && length > 0) {
        appendByte(context, *bytes++);
        --length;
    }
    for (; length >= 64; bytes += 64, length -= 64) {
        compressBytes(context.intermediateHash, bytes);
    }
    while (length > 0) {
        appendByte(context, *bytes++);
        --length;
    }
}

void sha1Result(Sha1Context& context, std::uint8_t* out) {
    const std::uint32_t lengthHigh = context.lengthHigh;
    const std::uint32_t lengthLow = context.lengthLow;

    appendByte(context, 0x80);
    // Close the half-filled word, then pad with whole zero words.
    while ((context.blockIndex & 3) != 0) {
        appendByte(context, 0);
    }
    if (context.blockIndex > 56) {
        std::memset(context.messageBlock + context.blockIndex / 4, 0, 64 - context.blockIndex);
        context.blockIndex = 64;
        compressCollected(context);
    }
    std::memset(context.messageBlock + context.blockIndex / 4, 0, 56 - context.blockIndex);
    context.messageBlock[14] = lengthHigh;
    context.messageBlock[15] = lengthLow;
    context.blockIndex = 64;
    compressCollected(context);

    for (int n = 0; n < 5; ++n) {
        const std::uint32_t word = context.intermediateHash[n];
        out[4 * n] = static_cast<std::uint8_t>(word >> 24);
        out[4 * n + 1] = static_cast<std::uint8_t>(word >> 16);
        out[4 * n + 2] = static_cast<std::uint8_t>(word >> 8);
        out[4 * n + 3] = static_cast<std::uint8_t>(word);
    }
    sha1Reset(context);
}

void sha1(const void* data, std::size_t length, std::uint8_t* out) {
    Sha1Context context;
    sha1Reset(context);
    sha1Input(context, data, length);
    sha1Result(context, out);
}
