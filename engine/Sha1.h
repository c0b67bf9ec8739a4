#pragma once

#include <cstddef>
#include <cstdint>

// SHA-1 of FIPS 180-1. The layout (352 bytes) is the one the rest of the system expects.
struct Sha1Context {
    std::uint32_t intermediateHash[5];
    // The first 16 words collect a partial block as it arrives (big-endian words).
    std::uint32_t messageBlock[80];
    std::int32_t blockIndex;
    std::uint32_t lengthHigh;
    std::uint32_t lengthLow;
};
static_assert(sizeof(Sha1Context) == 352);

constexpr std::size_t Sha1DigestLength = 20;

void sha1Reset(Sha1Context& context);
void sha1Input(Sha1Context& context, const void* data, std::size_t length);
// Writes the 20-byte digest and resets the context.
void sha1Result(Sha1Context& context, std::uint8_t* out);

// Digest of one message in a single call.
void sha1(const void* data, std::size_t length, std::uint8_t* out);

// The compression function runs on the processor's SHA instructions where it has them (checked
// once, at the first use), and in portable code otherwise.
enum class Sha1Engine { Portable, ShaInstructions };
bool sha1HasShaInstructions();
// Chooses the engine for the whole process, for tests and benchmarks; false (and no change) when
// the processor lacks it.
bool sha1UseEngine(Sha1Engine engine);
