#include "engine/Hmac.h"
#include "engine/LibraryCrypto.h"
#include "engine/Md5.h"
#include "engine/Rc4.h"
#include "engine/Sha1.h"
#include "engine/TextDigest.h"
#include "platform/CodePage.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string toHex(const std::uint8_t* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t n = 0; n < length; ++n) {
        text += digits[bytes[n] >> 4];
        text += digits[bytes[n] & 15];
    }
    return text;
}

std::vector<std::uint8_t> fromHex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t n = 0; n + 1 < text.size(); n += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(n, 2)), nullptr, 16)));
    }
    return bytes;
}

std::string md5Hex(MD5& md5, std::string_view text) {
    std::uint8_t out[16];
    md5.update(text.data(), text.size());
    md5.finish(out);
    return toHex(out, sizeof out);
}

std::string sha1Hex(std::string_view text) {
    std::uint8_t out[20];
    sha1(text.data(), text.size(), out);
    return toHex(out, sizeof out);
}

// A message of `length` bytes that is not periodic within a block.
std::string sampleMessage(std::size_t length) {
    std::string text(length, '\0');
    for (std::size_t n = 0; n < length; ++n) {
        text[n] = static_cast<char>((n * 131 + n / 7) & 0xff);
    }
    return text;
}

struct TextVector {
    std::string_view text;
    std::string_view digest;
};

// RFC 1321, appendix A.5.
const TextVector Md5Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5Test, Rfc1321Suite) {
    for (const auto& [text, digest] : Md5Suite) {
        MD5 md5;
        EXPECT_EQ(md5Hex(md5, text), digest) << text;
    }
}

TEST(Md5Test, ObjectIsReusableAfterFinish) {
    MD5 md5;
    for (int round = 0; round < 2; ++round) {
        for (const auto& [text, digest] : Md5Suite) {
            EXPECT_EQ(md5Hex(md5, text), digest) << "round " << round << ": " << text;
        }
    }
}

TEST(Md5Test, PiecesAndDigesterInterfaceAgree) {
    const std::string message = sampleMessage(1000);
    for (std::size_t split : {0u, 1u, 3u, 55u, 56u, 63u, 64u, 65u, 129u, 999u, 1000u}) {
        MD5 whole;
        std::uint8_t expected[16];
        whole.digest(message.data(), message.size(), expected);

        MD5 pieces;
        std::uint8_t actual[16];
        pieces.update(message.data(), split);
        // An odd offset makes the rest unaligned.
        pieces.update(message.data() + split, message.size() - split);
        pieces.finish(actual);
        EXPECT_EQ(toHex(actual, 16), toHex(expected, 16)) << "split at " << split;
    }
    MD5 md5;
    Digester& digester = md5;
    EXPECT_EQ(digester.digestSize(), 16);
}

// Every SHA-1 case runs on each compression function the processor can run.
class Sha1Test : public ::testing::TestWithParam<Sha1Engine> {
protected:
    void SetUp() override {
        if (!sha1UseEngine(GetParam()))
            GTEST_SKIP() << "no SHA instructions on this processor";
    }
    void TearDown() override {
        sha1UseEngine(sha1HasShaInstructions() ? Sha1Engine::ShaInstructions : Sha1Engine::Portable);
    }
};

INSTANTIATE_TEST_SUITE_P(Engines, Sha1Test, ::testing::Values(Sha1Engine::Portable, Sha1Engine::ShaInstructions),
                         [](const auto& info) {
                             return info.param == Sha1Engine::Portable ? "Portable" : "ShaInstructions";
                         });

TEST_P(Sha1Test, Fips180Examples) {
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST_P(Sha1Test, PaddingAtBlockBoundaries) {
    // 55 bytes still fit the length in one block, 56 need a second one, 64 fill one exactly.
    EXPECT_EQ(sha1Hex(std::string(55, 'a')), "c1c8bbdc22796e28c0e15163d20899b65621d65a");
    EXPECT_EQ(sha1Hex(std::string(56, 'a')), "c2db330f6083854c99d4b5bfb6e8f29f201be699");
    EXPECT_EQ(sha1Hex(std::string(64, 'a')), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
}

TEST_P(Sha1Test, MillionAInPieces) {
    Sha1Context context;
    sha1Reset(context);
    const std::string chunk(1000, 'a');
    for (int n = 0; n < 1000; ++n) {
        sha1Input(context, chunk.data(), chunk.size());
    }
    std::uint8_t out[20];
    sha1Result(context, out);
    EXPECT_EQ(toHex(out, 20), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");

    // The context was reset by sha1Result and hashes a new message.
    sha1Input(context, "abc", 3);
    sha1Result(context, out);
    EXPECT_EQ(toHex(out, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST_P(Sha1Test, AgreesWithLibraryForEveryLengthAndSplit) {
    const std::string message = sampleMessage(300);
    for (std::size_t length = 0; length <= message.size(); ++length) {
        const auto expected = libraryDigest(HashKind::Sha1, message.data(), length);
        ASSERT_EQ(expected.size(), 20u);
        const std::size_t split = length * 7 / 11;
        Sha1Context context;
        sha1Reset(context);
        sha1Input(context, message.data(), split);
        sha1Input(context, message.data() + split, length - split);
        std::uint8_t out[20];
        sha1Result(context, out);
        EXPECT_EQ(toHex(out, 20), toHex(expected.data(), 20)) << "length " << length;
    }
}

struct HmacVector {
    std::vector<std::uint8_t> key;
    std::string data;
    std::string_view mac;
};

TEST(HmacSha1Test, Rfc2202Cases) {
    const HmacVector cases[] = {
        {std::vector<std::uint8_t>(20, 0x0b), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {{'J', 'e', 'f', 'e'}, "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {std::vector<std::uint8_t>(20, 0xaa), std::string(50, '\xdd'),
         "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
         "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {std::vector<std::uint8_t>(20, 0x0c), "Test With Truncation",
         "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {std::vector<std::uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {std::vector<std::uint8_t>(80, 0xaa),
         "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (const auto& [key, data, mac] : cases) {
        std::uint8_t out[20];
        hmacSha1(key.data(), key.size(), data.data(), data.size(), out, sizeof out);
        EXPECT_EQ(toHex(out, 20), mac) << data;
    }
}

TEST(HmacSha1Test, OutputLengthLimitsWhatIsWritten) {
    const std::vector<std::uint8_t> key(20, 0x0c);
    const std::string data = "Test With Truncation";
    std::uint8_t out[24];
    std::fill(std::begin(out), std::end(out), 0xee);
    hmacSha1(key.data(), key.size(), data.data(), data.size(), out, 12);
    EXPECT_EQ(toHex(out, 12), "4c1a03424b55e07fe7f27be1");
    EXPECT_EQ(out[12], 0xee);

    hmacSha1(key.data(), key.size(), data.data(), data.size(), out, sizeof out); // asks for more than 20
    EXPECT_EQ(toHex(out, 20), "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04");
    EXPECT_EQ(out[20], 0xee);

    std::fill(std::begin(out), std::end(out), 0xee);
    hmacSha1(key.data(), key.size(), data.data(), data.size(), out, 0);
    EXPECT_EQ(out[0], 0xee);
}

TEST(HmacSha1Test, AgreesWithLibraryAroundTheBlockSize) {
    const std::string keyMaterial = sampleMessage(140);
    const std::string data = sampleMessage(90);
    for (std::size_t keyLength : {0u, 1u, 20u, 63u, 64u, 65u, 128u, 140u}) {
        for (std::size_t dataLength : {0u, 8u, 55u, 56u, 90u}) {
            const auto expected =
                libraryHmac(HashKind::Sha1, keyMaterial.data(), keyLength, data.data(), dataLength);
            ASSERT_EQ(expected.size(), 20u);
            std::uint8_t out[20];
            hmacSha1(keyMaterial.data(), keyLength, data.data(), dataLength, out, sizeof out);
            EXPECT_EQ(toHex(out, 20), toHex(expected.data(), 20)) << keyLength << "/" << dataLength;
        }
    }
}

TEST(LibraryCryptoTest, EmptyKeyIsAValidHmacKey) {
    const auto mac = libraryHmac(HashKind::Sha256, nullptr, 0, nullptr, 0);
    EXPECT_EQ(toHex(mac.data(), mac.size()),
              "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
    EXPECT_EQ(libraryHmac(HashKind::Sha512, nullptr, 0, "x", 1).size(), 64u);
    const auto digest = libraryDigest(HashKind::Sha256, "abc", 3);
    EXPECT_EQ(toHex(digest.data(), digest.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

struct Rc4Vector {
    std::vector<std::uint8_t> key;
    std::size_t offset;
    std::string_view keystream;
};

TEST(Rc4Test, Rfc6229Keystreams) {
    const Rc4Vector cases[] = {
        {{1, 2, 3, 4, 5}, 0, "b2396305f03dc027ccc3524a0a1118a8"},
        {{1, 2, 3, 4, 5}, 4096, "ff25b58995996707e51fbdf08b34d875"},
        {fromHex("0102030405060708090a0b0c0d0e0f10"), 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
    };
    for (const auto& [key, offset, keystream] : cases) {
        Rc4State state;
        rc4Init(state, key.data(), key.size());
        std::vector<std::uint8_t> zeros(offset + 16, 0);
        rc4Crypt(state, zeros.data(), zeros.size());
        EXPECT_EQ(toHex(zeros.data() + offset, 16), keystream) << key.size() << " bytes at " << offset;
    }
}

TEST(Rc4Test, EncipherAndDecipherAreTheSameCall) {
    std::string text = "Plaintext";
    Rc4State state;
    rc4Init(state, "Key", 3);
    rc4Crypt(state, text.data(), text.size());
    EXPECT_EQ(toHex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), "bbf316e8d940af0ad3");
    rc4Init(state, "Key", 3);
    rc4Crypt(state, text.data(), text.size());
    EXPECT_EQ(text, "Plaintext");
}

TEST(Rc4Test, OneCallEqualsPiecesBeyondSixteenBits) {
    // More than 32767 bytes in one call: the length is not a 16-bit count.
    const std::string original = sampleMessage(100000);
    const std::uint8_t key[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

    std::string whole = original;
    Rc4State state;
    rc4Init(state, key, sizeof key);
    rc4Crypt(state, whole.data(), whole.size());

    std::string pieces = original;
    rc4Init(state, key, sizeof key);
    std::size_t done = 0;
    for (std::size_t piece : {1u, 7u, 4096u, 32767u, 40000u}) {
        rc4Crypt(state, pieces.data() + done, piece);
        done += piece;
    }
    rc4Crypt(state, pieces.data() + done, pieces.size() - done);
    EXPECT_EQ(pieces, whole);
    EXPECT_NE(whole.substr(40000, 100), original.substr(40000, 100));
}

TEST(Rc4Test, EmptyKeyLeavesTheIdentityPermutation) {
    Rc4State state;
    rc4Init(state, nullptr, 0);
    for (int n = 0; n < 256; ++n) {
        ASSERT_EQ(state.permutation[n], n);
    }
    EXPECT_EQ(state.i, 0);
    EXPECT_EQ(state.j, 0);
}

class TextDigestTest : public ::testing::Test {
protected:
    void TearDown() override {
        setStringLookup(nullptr);
        platform::setCodePageForTesting(0);
    }
};

TEST_F(TextDigestTest, AsciiTextHashesItsBytes) {
    std::uint8_t md5[16];
    md5OfText(u"message digest", md5);
    EXPECT_EQ(toHex(md5, 16), "f96b697d7cb7938d525a2f31aaf161d0");
    std::uint8_t sha[20];
    sha1OfText(u"abc", sha);
    EXPECT_EQ(toHex(sha, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST_F(TextDigestTest, TextIsConvertedToTheAnsiCodePage) {
    platform::setCodePageForTesting(1252);
    std::uint8_t fromText[20];
    sha1OfText(u"\u20AC\u00FC", fromText);
    std::uint8_t fromBytes[20];
    sha1("\x80\xFC", 2, fromBytes);
    EXPECT_EQ(toHex(fromText, 20), toHex(fromBytes, 20));
}

TEST_F(TextDigestTest, ResourceTextComesThroughTheLookup) {
    std::uint8_t out[16];
    md5OfText(128, out); // no look-up yet: empty text
    EXPECT_EQ(toHex(out, 16), "d41d8cd98f00b204e9800998ecf8427e");

    setStringLookup([](int id) { return id == 128 ? std::u16string(u"abc") : std::u16string(); });
    md5OfText(128, out);
    EXPECT_EQ(toHex(out, 16), "900150983cd24fb0d6963f7d28e17f72");
    std::uint8_t sha[20];
    sha1OfText(128, sha);
    EXPECT_EQ(toHex(sha, 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
    md5OfText(129, out);
    EXPECT_EQ(toHex(out, 16), "d41d8cd98f00b204e9800998ecf8427e");
}

} // namespace
