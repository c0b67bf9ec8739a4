#include "engine/Sha1.h"

#include <atomic>
#include <bit>
#include <utility>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define VALDORIX_SHA1_X86 1
#endif

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

// A compression function over `blocks` whole blocks: 64 bytes each, or (words) 16 words each
// already read as big-endian.
using CompressFunction = void (*)(std::uint32_t* hash, const void* data, std::size_t blocks, bool words);

void compressPortable(std::uint32_t* hash, const void* data, std::size_t blocks, bool words) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (; blocks > 0; --blocks, bytes += 64) {
        std::uint32_t w[16];
        if (words) {
            std::memcpy(w, bytes, sizeof w);
        } else {
            for (int t = 0; t < 16; ++t) {
                w[t] = loadBigEndian32(bytes + 4 * t);
            }
        }
        compress(hash, w);
    }
}

#ifdef VALDORIX_SHA1_X86

#define SHA1_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// Four of the 80 steps with the SHA instructions. `m` holds the schedule words of four groups
// in a ring; group g uses m[g % 4] and prepares the words of the groups after it.
template <int G>
SHA1_TARGET __attribute__((always_inline)) inline void shaGroup(__m128i& abcd, __m128i& e0, __m128i& e1,
                                                               __m128i* m) {
    __m128i& e = G % 2 == 0 ? e0 : e1;
    __m128i& next = G % 2 == 0 ? e1 : e0;
    const __m128i w = m[G % 4];
    e = G == 0 ? _mm_add_epi32(e, w) : _mm_sha1nexte_epu32(e, w);
    next = abcd;
    if constexpr (G >= 3 && G <= 18)
        m[(G + 1) % 4] = _mm_sha1msg2_epu32(m[(G + 1) % 4], w);
    abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);
    if constexpr (G >= 1 && G <= 16)
        m[(G + 3) % 4] = _mm_sha1msg1_epu32(m[(G + 3) % 4], w);
    if constexpr (G >= 2 && G <= 17)
        m[(G + 2) % 4] = _mm_xor_si128(m[(G + 2) % 4], w);
}

template <int... G>
SHA1_TARGET __attribute__((always_inline)) inline void shaGroups(__m128i& abcd, __m128i& e0, __m128i& e1,
                                                                __m128i* m, std::integer_sequence<int, G...>) {
    (shaGroup<G>(abcd, e0, e1, m), ...);
}

SHA1_TARGET void compressShaInstructions(std::uint32_t* hash, const void* data, std::size_t blocks, bool words) {
    // Bytes: reverse all 16, so each word turns big-endian and the first word lands in the top
    // lane. Words: only the lane order reverses.
    const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    const __m128i wordOrder = _mm_set_epi64x(0x0302010007060504LL, 0x0b0a09080f0e0d0cLL);
    const __m128i order = words ? wordOrder : byteOrder;
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hash)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(hash[4]), 0, 0, 0);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (; blocks > 0; --blocks, bytes += 64) {
        const __m128i abcdBefore = abcd;
        const __m128i eBefore = e0;
        __m128i e1;
        __m128i m[4];
        for (int i = 0; i < 4; ++i)
            m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i)), order);
        shaGroups(abcd, e0, e1, m, std::make_integer_sequence<int, 20>());
        // Group 19 left the state before its four steps in e0: E of the next block grows from it.
        e0 = _mm_sha1nexte_epu32(e0, eBefore);
        abcd = _mm_add_epi32(abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(hash), _mm_shuffle_epi32(abcd, 0x1B));
    hash[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

#undef SHA1_TARGET

bool processorHasShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool ssse3 = (c & bit_SSSE3) != 0;
    const bool sse41 = (c & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

#else

bool processorHasShaInstructions() {
    return false;
}

#endif

std::atomic<CompressFunction>& chosenCompress() {
#ifdef VALDORIX_SHA1_X86
    static std::atomic<CompressFunction> chosen{processorHasShaInstructions() ? compressShaInstructions
                                                                              : compressPortable};
#else
    static std::atomic<CompressFunction> chosen{compressPortable};
#endif
    return chosen;
}

inline void compressBlocks(std::uint32_t* hash, const void* data, std::size_t blocks, bool words) {
    chosenCompress().load(std::memory_order_relaxed)(hash, data, blocks, words);
}

// The collected partial block is complete: transform it. The context's first 16 words keep the
// block as received.
void compressCollected(Sha1Context& context) {
    compressBlocks(context.intermediateHash, context.messageBlock, 1, true);
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
    if (length >= 64) {
        compressBlocks(context.intermediateHash, bytes, length / 64, false);
        bytes += length / 64 * 64;
        length %= 64;
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

bool sha1HasShaInstructions() {
    return processorHasShaInstructions();
}

bool sha1UseEngine(Sha1Engine engine) {
#ifdef VALDORIX_SHA1_X86
    if (engine == Sha1Engine::ShaInstructions) {
        if (!processorHasShaInstructions())
            return false;
        chosenCompress().store(compressShaInstructions);
        return true;
    }
#else
    if (engine == Sha1Engine::ShaInstructions)
        return false;
#endif
    chosenCompress().store(compressPortable);
    return true;
}
