// The embedded pictures: every one present at its size and in the form its users expect.
#include "controls/AviClip.h"
#include "controls/ScaledPicture.h"
#include "controls/xImage.h"
#include "resources/Resources.h"

#include <gtest/gtest.h>
#include <set>

using resources::ResourceType;

namespace {

struct Picture {
    int id;
    int width;
    int height;
};

const Picture kPictures[] = {
    {202, 391, 191}, {232, 391, 191}, {213, 391, 191}, {209, 51, 51}, {211, 51, 51}, {210, 51, 51},
    {212, 51, 51},   {233, 24, 24},   {218, 24, 24},   {220, 24, 24}, {221, 24, 24}, {215, 171, 25},
    {214, 307, 66},  {217, 301, 4},   {230, 60, 60},   {229, 48, 48},
};

std::uint32_t bigEndian32(std::span<const std::uint8_t> b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) |
           b[at + 3];
}

std::uint16_t littleEndian16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}

} // namespace

TEST(Pictures, EveryPngLoadsAtItsSizeWithEightBitRgba) {
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.id);
        const std::span<const std::uint8_t> bytes = resources::find(ResourceType::Png, picture.id);
        ASSERT_GT(bytes.size(), 33u);
        // IHDR: width, height, bit depth 8, colour type 6 (RGBA).
        EXPECT_EQ(bigEndian32(bytes, 16), std::uint32_t(picture.width));
        EXPECT_EQ(bigEndian32(bytes, 20), std::uint32_t(picture.height));
        EXPECT_EQ(bytes[24], 8);
        EXPECT_EQ(bytes[25], 6);
        const std::shared_ptr<CxImage> image = CxImage::LoadPng(picture.id);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), picture.width);
        EXPECT_EQ(image->GetHeight(), picture.height);
        EXPECT_TRUE(image->AlphaIsValid());
    }
}

TEST(Pictures, EveryPictureOfThePagesComesAt2xWithTwiceThePixels) {
    // The splash (213) and the plain mark (229) are not drawn by the program.
    for (const Picture& picture : kPictures) {
        if (picture.id == 213 || picture.id == 229) {
            continue;
        }
        SCOPED_TRACE(picture.id);
        const std::shared_ptr<CxImage> image = CxImage::LoadPng(picture.id, 2);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->scale(), 2);
        EXPECT_EQ(image->GetWidth(), 2 * picture.width);
        EXPECT_EQ(image->GetHeight(), 2 * picture.height);
        EXPECT_EQ(image->logicalWidth(), picture.width);
        EXPECT_EQ(image->logicalHeight(), picture.height);
    }
    const std::shared_ptr<CxImage> strip = CxImage::Load(ResourceType::Bitmap, 216, 2);
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->scale(), 2);
    EXPECT_EQ(strip->GetWidth(), 360);
    EXPECT_EQ(strip->GetHeight(), 50);
    const std::optional<CAviClip> clip = CAviClip::Load(107, 2);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->scale(), 2);
    EXPECT_EQ(clip->width(), 440);
    EXPECT_EQ(clip->height(), 36);
    EXPECT_EQ(clip->frameCount(), 20);
    EXPECT_EQ(clip->microSecondsPerFrame(), 83333u);
}

TEST(Pictures, AScaleWithoutItsOwnPictureGetsThe1xOne) {
    // No 2x splash: the 1x picture, marked as 1x, so it is drawn at its logical size.
    const std::shared_ptr<CxImage> splash = CxImage::LoadPng(213, 2);
    ASSERT_TRUE(splash);
    EXPECT_EQ(splash->scale(), 1);
    EXPECT_EQ(splash->GetWidth(), 391);
    EXPECT_EQ(resources::findScaled(ResourceType::Png, 213, 2).scale, 1);
    EXPECT_TRUE(resources::findScaled(ResourceType::Png, 9999, 2).bytes.empty());
    // The 1x look-up never hands out a 2x picture.
    EXPECT_EQ(resources::find(ResourceType::Png, 202).data(),
              resources::findScaled(ResourceType::Png, 202, 1).bytes.data());
    EXPECT_NE(resources::find(ResourceType::Png, 202).data(),
              resources::findScaled(ResourceType::Png, 202, 2).bytes.data());
}

TEST(Pictures, AScaledPictureDecodesOnlyTheVariantsAskedFor) {
    int decoded = 0;
    const CScaledPicture<CxImage> picture([&decoded](int scale) {
        ++decoded;
        return CxImage::LoadPng(202, scale);
    });
    EXPECT_FALSE(picture.isMade(1));
    EXPECT_FALSE(picture.isMade(2));
    // 2x, 3x and 4x surfaces all take the 2x picture, decoded once.
    for (int surface : {2, 3, 4}) {
        ASSERT_TRUE(picture.forScale(surface));
        EXPECT_EQ(picture.forScale(surface)->scale(), 2);
    }
    EXPECT_EQ(decoded, 1);
    EXPECT_FALSE(picture.isMade(1));
    ASSERT_TRUE(picture.forScale(1));
    EXPECT_EQ(picture.forScale(1)->scale(), 1);
    EXPECT_EQ(decoded, 2);
}

TEST(Pictures, MissingResourcesGiveNothing) {
    EXPECT_TRUE(resources::find(ResourceType::Png, 9999).empty());
    EXPECT_FALSE(CxImage::LoadPng(9999));
    // The type is part of the name: the clip is no picture, the digit strip no PNG resource.
    EXPECT_TRUE(resources::find(ResourceType::Png, 107).empty());
    EXPECT_TRUE(resources::find(ResourceType::Png, 216).empty());
    EXPECT_TRUE(resources::find(ResourceType::Avi, 202).empty());
}

TEST(Pictures, RoundButtonsHaveTransparentCorners) {
    for (int id : {209, 210, 211, 212}) {
        const std::shared_ptr<CxImage> image = CxImage::LoadPng(id);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->AlphaGet(0, 0), 0) << id;
        EXPECT_EQ(image->AlphaGet(50, 0), 0) << id;
        EXPECT_EQ(image->AlphaGet(25, 24), 255) << id;
    }
}

TEST(DigitStrip, HasTwelveCellsWithAPlainBackgroundTile) {
    const std::shared_ptr<CxImage> strip = CxImage::Load(ResourceType::Bitmap, 216);
    ASSERT_TRUE(strip);
    ASSERT_EQ(strip->GetWidth(), 180);
    ASSERT_EQ(strip->GetHeight(), 25);
    const auto cell = [&strip](int index) {
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 25; ++y) {
            for (int x = 0; x < 15; ++x) {
                pixels.push_back(strip->GetPixelColor(index * 15 + x, y));
            }
        }
        return pixels;
    };
    // Cell 11 is tiled across the plate: every row one colour, so tiles join without seams.
    for (int y = 0; y < 25; ++y) {
        for (int x = 1; x < 15; ++x) {
            EXPECT_EQ(strip->GetPixelColor(165 + x, y), strip->GetPixelColor(165, y)) << x << "," << y;
        }
    }
    // Digit cells start and end on the background, so a digit sits seamlessly on the tiles.
    for (int digit = 0; digit < 10; ++digit) {
        for (int y = 0; y < 25; ++y) {
            EXPECT_EQ(strip->GetPixelColor(digit * 15, y), strip->GetPixelColor(165, y));
            EXPECT_EQ(strip->GetPixelColor(digit * 15 + 14, y), strip->GetPixelColor(165, y));
        }
    }
    std::set<std::vector<std::uint32_t>> distinct;
    for (int digit = 0; digit < 12; ++digit) {
        distinct.insert(cell(digit));
    }
    EXPECT_EQ(distinct.size(), 12u);
}

TEST(ProgressClip, HasTwentyFramesOfTheStatedSizeAndPeriod) {
    const std::optional<CAviClip> clip = CAviClip::Load(107);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->width(), 220);
    EXPECT_EQ(clip->height(), 18);
    EXPECT_EQ(clip->frameCount(), 20);
    EXPECT_EQ(clip->microSecondsPerFrame(), 83333u);
    // Each frame differs from the one before: the clip moves.
    for (int i = 1; i < clip->frameCount(); ++i) {
        EXPECT_NE(clip->frame(i), clip->frame(i - 1)) << i;
    }
}

TEST(Icons, HoldTheSizesTheirUsersAskFor) {
    const struct {
        int id;
        std::set<int> sizes;
    } icons[] = {{128, {16, 24, 32, 48}}, {226, {16, 32}}, {227, {16, 32}}};
    for (const auto& icon : icons) {
        SCOPED_TRACE(icon.id);
        const std::span<const std::uint8_t> bytes = resources::find(ResourceType::Icon, icon.id);
        ASSERT_GE(bytes.size(), 6u);
        EXPECT_EQ(littleEndian16(bytes, 0), 0);
        EXPECT_EQ(littleEndian16(bytes, 2), 1);
        const int count = littleEndian16(bytes, 4);
        ASSERT_GE(bytes.size(), 6u + 16u * std::size_t(count));
        std::set<int> sizes;
        for (int i = 0; i < count; ++i) {
            const std::size_t entry = 6 + 16 * std::size_t(i);
            const int width = bytes[entry] == 0 ? 256 : bytes[entry];
            EXPECT_EQ(bytes[entry + 1], bytes[entry]);
            sizes.insert(width);
        }
        for (int size : icon.sizes) {
            EXPECT_TRUE(sizes.count(size)) << size;
        }
    }
}
