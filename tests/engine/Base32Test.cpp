#include "engine/Base32.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// RFC 4648 section 10, plus the shapes secrets are handed out in.
TEST(Base32Test, ReadsAndWritesTheRfcVectorsInEveryAcceptedShape) {
    struct Row {
        const char* plain;
        const char* encoded; // what encodeBase32 writes
        std::vector<const char*> alsoRead;
    };
    const Row rows[] = {
        {"", "", {"", "   "}},
        {"f", "MY", {"MY======", "my", "m y"}},
        {"fo", "MZXQ", {"MZXQ====", "mzxq"}},
        {"foo", "MZXW6", {"MZXW6===", "mZxW6"}},
        {"foob", "MZXW6YQ", {"MZXW6YQ=", "mzxw 6yq="}},
        {"fooba", "MZXW6YTB", {"\tMZXW 6YTB "}},
        {"foobar", "MZXW6YTBOI", {"MZXW6YTBOI======", "mzxw6ytboi"}},
        {"12345678901234567890", "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ", {"gezd gnbv gy3t qojq gezd gnbv gy3t qojq"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(encodeBase32(bytesOf(row.plain)), row.encoded) << row.plain;
        std::vector<const char*> inputs = row.alsoRead;
        inputs.push_back(row.encoded);
        for (const char* input : inputs) {
            std::string error = "untouched";
            const auto decoded = decodeBase32(input, &error);
            ASSERT_TRUE(decoded) << '"' << input << "\": " << error;
            EXPECT_EQ(*decoded, bytesOf(row.plain)) << input;
            EXPECT_EQ(error, "untouched") << input;
        }
    }
}

TEST(Base32Test, RefusesMalformedTextSayingWhy) {
    const std::pair<const char*, const char*> rows[] = {
        {"MZ1W", "'1' at position 3 is not a Base32 letter"},
        {"MZXW-6", "'-' at position 5"},
        {"MZ\x01W", "byte 0x01 at position 3"},
        {"MY==MY", "padding '=' is followed by more letters"},
        {"M", "1 letters does not make whole bytes"},
        {"MZX", "last group has 3"},
        {"MZXW6Y", "last group has 6"},
        {"MZXW6YTBM", "last group has 1"},
        {"MY=", "padding of 1 '=' does not fit 2 letters"},
        {"MZXW6YTB========", "padding of 8"},
        {"=", "padding of 1"},
    };
    for (const auto& [input, reason] : rows) {
        std::string error;
        EXPECT_FALSE(decodeBase32(input, &error)) << input;
        EXPECT_NE(error.find(reason), std::string::npos) << input << " gave: " << error;
        EXPECT_FALSE(decodeBase32(input, nullptr)) << input;
    }
}

TEST(Base32Test, EveryByteValueSurvivesTheRoundTrip) {
    std::vector<std::uint8_t> bytes;
    for (int n = 0; n < 300; ++n) {
        bytes.push_back(static_cast<std::uint8_t>(n * 7 + 3));
        const auto decoded = decodeBase32(encodeBase32(bytes), nullptr);
        ASSERT_TRUE(decoded) << n;
        ASSERT_EQ(*decoded, bytes) << n;
    }
}

} // namespace
