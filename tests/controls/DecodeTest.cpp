// PNG decoding from bytes: every colour type the decoder may meet, and damaged data.
#include "controls/xImage.h"
#include "resources/Resources.h"

#include <csetjmp>
#include <gtest/gtest.h>
#include <png.h>

namespace {

struct PngSpec {
    int width;
    int height;
    int colourType;
    int bitDepth;
    bool interlaced = false;
    std::vector<png_color> palette = {};
    std::vector<png_byte> transparency = {}; // tRNS for palette images
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Encodes `rows` (already in the packed layout of the colour type and depth) with libpng.
std::vector<std::uint8_t> encode(const PngSpec& spec, std::vector<std::vector<png_byte>> rows) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(spec.width), png_uint_32(spec.height), spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty()) {
        png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    }
    if (!spec.transparency.empty()) {
        png_set_tRNS(png, info, spec.transparency.data(), int(spec.transparency.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& row : rows) {
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::shared_ptr<CxImage> decode(const std::vector<std::uint8_t>& bytes) {
    return CxImage::Decode(bytes);
}

} // namespace

TEST(Decode, RgbaKeepsColourAndAlpha) {
    const auto bytes = encode({2, 1, PNG_COLOR_TYPE_RGBA, 8}, {{10, 20, 30, 40, 50, 60, 70, 255}});
    const auto image = decode(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetPixelColor(0, 0), rgb(10, 20, 30));
    EXPECT_EQ(image->AlphaGet(0, 0), 40);
    EXPECT_EQ(image->GetPixelColor(1, 0), rgb(50, 60, 70));
    EXPECT_EQ(image->AlphaGet(1, 0), 255);
}

TEST(Decode, OtherColourTypesBecomeTwentyFourBitWithAlphaOnlyWhenPresent) {
    const struct {
        const char* name;
        PngSpec spec;
        std::vector<std::vector<png_byte>> rows;
        std::uint32_t colour; // of pixel (1, 0)
        bool alpha;
        std::uint8_t alphaValue; // of pixel (1, 0)
    } cases[] = {
        {"rgb", {2, 1, PNG_COLOR_TYPE_RGB, 8}, {{1, 2, 3, 4, 5, 6}}, rgb(4, 5, 6), false, 255},
        {"grey", {2, 1, PNG_COLOR_TYPE_GRAY, 8}, {{9, 200}}, rgb(200, 200, 200), false, 255},
        {"grey+alpha", {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8}, {{9, 1, 77, 88}}, rgb(77, 77, 77), true, 88},
        {"16-bit rgba",
         {2, 1, PNG_COLOR_TYPE_RGBA, 16},
         {{0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xfe, 0xdc}},
         rgb(0x12, 0x56, 0x9a),
         true,
         0xfe},
        {"palette with tRNS",
         {2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{1, 2, 3}, {40, 50, 60}}, {255, 33}},
         {{0, 1}},
         rgb(40, 50, 60),
         true,
         33},
        {"1-bit grey", {2, 1, PNG_COLOR_TYPE_GRAY, 1}, {{0x40}}, rgb(255, 255, 255), false, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = encode(c.spec, c.rows);
        ASSERT_FALSE(bytes.empty());
        const auto image = decode(bytes);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), 2);
        EXPECT_EQ(image->GetBpp(), 24);
        EXPECT_EQ(image->GetPixelColor(1, 0), c.colour);
        EXPECT_EQ(image->AlphaIsValid(), c.alpha);
        EXPECT_EQ(image->AlphaGet(1, 0), c.alphaValue);
    }
}

TEST(Decode, InterlacedImagesComeOutWhole) {
    std::vector<std::vector<png_byte>> rows;
    for (int y = 0; y < 9; ++y) {
        std::vector<png_byte> row;
        for (int x = 0; x < 9; ++x) {
            row.insert(row.end(), {png_byte(x), png_byte(y), 7, 255});
        }
        rows.push_back(row);
    }
    const auto image = decode(encode({9, 9, PNG_COLOR_TYPE_RGBA, 8, true}, rows));
    ASSERT_TRUE(image);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(image->GetPixelColor(x, y), rgb(x, y, 7));
        }
    }
}

TEST(Decode, DamagedDataGivesNothing) {
    const std::span<const std::uint8_t> real = resources::find(resources::ResourceType::Png, 209);
    ASSERT_FALSE(real.empty());
    const std::vector<std::uint8_t> whole(real.begin(), real.end());
    ASSERT_TRUE(decode(whole));

    EXPECT_FALSE(decode({}));
    EXPECT_FALSE(decode({0x89, 'P', 'N', 'G'}));
    EXPECT_FALSE(decode(std::vector<std::uint8_t>(100, 0x41)));
    // Every truncation that cuts into the image data fails cleanly.
    // (The last 20 bytes are the image data's checksums and the end chunk, which may go unread.)
    for (std::size_t length = 0; length < whole.size() - 20; length += 7) {
        EXPECT_FALSE(decode(std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(length))))
            << length;
    }
    // A flipped byte inside the image data breaks its checksum.
    std::vector<std::uint8_t> flipped = whole;
    const std::string_view text(reinterpret_cast<const char*>(flipped.data()), flipped.size());
    const std::size_t data = text.find("IDAT");
    ASSERT_NE(data, std::string_view::npos);
    flipped[data + 10] ^= 0x55;
    EXPECT_FALSE(decode(flipped));
}

TEST(Decode, RefusesHugeImagesBeforeAllocating) {
    // A header announcing 4097 x 1 and 3000 x 3000 pixels; the data never comes.
    for (const auto& [w, h] : {std::pair{4097, 1}, std::pair{3000, 3000}}) {
        std::vector<std::vector<png_byte>> rows(std::size_t(h), std::vector<png_byte>(std::size_t(w), 0));
        const auto bytes = encode({w, h, PNG_COLOR_TYPE_GRAY, 8}, rows);
        ASSERT_FALSE(bytes.empty());
        EXPECT_FALSE(decode(bytes)) << w << "x" << h;
    }
    std::vector<std::vector<png_byte>> row(1, std::vector<png_byte>(4096, 0));
    EXPECT_TRUE(decode(encode({4096, 1, PNG_COLOR_TYPE_GRAY, 8}, row)));
}

// The allocation it used to cost (the announced length, before libpng found the data missing) shows
// in the PNG fuzz target's memory limit, not here.
TEST(Decode, AChunkLongerThanTheFileIsRefused) {
    auto bytes = encode({2, 1, PNG_COLOR_TYPE_RGBA, 8}, {{10, 20, 30, 40, 50, 60, 70, 255}});
    ASSERT_TRUE(decode(bytes));
    // A text chunk after the header that announces almost 2 GiB (CRC left at zero).
    const std::uint8_t huge[] = {0x7F, 0xFF, 0xFF, 0x00, 't', 'E', 'X', 't', 'k', 0, 'v', 0, 0, 0, 0};
    bytes.insert(bytes.begin() + 8 + 25, std::begin(huge), std::end(huge));
    EXPECT_FALSE(decode(bytes));
}

// A prefetched picture is the one a plain load gives, handed out once per request (a page and
// its greyed button face may ask for the same picture); a missing one stays missing.
TEST(Prefetch, HandsOutWhatALoadGivesOncePerRequest) {
    constexpr int kPicture = 209;
    constexpr int kMissing = 9999;
    const auto plain = CxImage::LoadPng(kPicture, 2);
    ASSERT_TRUE(plain);
    const int wanted[] = {kPicture, kMissing, kPicture};
    CxImage::Prefetch(wanted, 2);
    const auto first = CxImage::LoadPng(kPicture, 2);
    const auto second = CxImage::LoadPng(kPicture, 2);
    const auto third = CxImage::LoadPng(kPicture, 2);
    EXPECT_FALSE(CxImage::LoadPng(kMissing, 2));
    for (const auto& image : {first, second, third}) {
        ASSERT_TRUE(image);
        EXPECT_EQ(image->scale(), 2);
        ASSERT_EQ(image->GetWidth(), plain->GetWidth());
        ASSERT_EQ(image->GetHeight(), plain->GetHeight());
        for (int y = 0; y < plain->GetHeight(); ++y)
            for (int x = 0; x < plain->GetWidth(); ++x)
                ASSERT_TRUE(image->GetPixelColor(x, y) == plain->GetPixelColor(x, y) &&
                            image->AlphaGet(x, y) == plain->AlphaGet(x, y));
    }
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
}
