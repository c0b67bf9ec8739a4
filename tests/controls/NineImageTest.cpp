// Nine-patch drawing: unscaled corners, tiled or stretched edges and centre.
#include "controls/9Image.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kBackground = rgb(1, 2, 3);

// A picture of 6 x 6 logical pixels at `scale` whose every pixel is distinct: (x, y) has colour
// (x, y, 9); margins of 2 logical pixels.
C9Image distinct(std::vector<std::uint8_t> alpha = {}, int scale = 1) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < 6 * scale; ++y) {
        for (int x = 0; x < 6 * scale; ++x) {
            pixels.push_back(rgb(x, y, 9));
        }
    }
    C9Image image(CxImage(6 * scale, 6 * scale, std::move(pixels), std::move(alpha)));
    image.setScale(scale);
    image.SetMargins(2, 2, 2, 2);
    return image;
}

// Which source pixel a target position shows, one axis: corners map 1:1, the middle tiles with
// period `middle` or stretches `middle` source pixels over `span` target pixels.
int sourceAt(int t, int size, int margin, int sourceSize, bool stretch) {
    const int middle = sourceSize - 2 * margin;
    if (t < margin) {
        return t;
    }
    if (t >= size - margin) {
        return sourceSize - (size - t);
    }
    const int offset = t - margin;
    const int span = size - 2 * margin;
    return margin + (stretch ? (2 * offset + 1) * middle / (2 * span) : offset % middle);
}

} // namespace

TEST(NineImage, StartsWithMarginsOfThreeAndTiling) {
    const C9Image image;
    EXPECT_EQ(image.leftMargin(), 3);
    EXPECT_EQ(image.rightMargin(), 3);
    EXPECT_EQ(image.topMargin(), 3);
    EXPECT_EQ(image.bottomMargin(), 3);
    EXPECT_FALSE(image.stretchTopBottom());
    EXPECT_FALSE(image.stretchSides());
}

TEST(NineImage, MapsEveryTargetPixelForEachFlagCombinationAndScale) {
    // A 2x picture on a 2x surface maps device pixels as a 1x one maps pixels: margins and
    // target twice as many pixels.
    for (const int s : {1, 2}) {
        for (const bool topBottom : {false, true}) {
            for (const bool sides : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << s << "x, stretch top/bottom " << topBottom << ", sides " << sides);
                C9Image image = distinct({}, s);
                image.SetStretch(topBottom, sides);
                Surface dc(24 * s, 16 * s, kBackground, s);
                const CRect logical{2, 1, 21, 14}; // 19 x 13
                image.Draw(dc, logical);
                const CRect target{2 * s, s, 21 * s, 14 * s};
                const int margin = 2 * s;
                for (int y = 0; y < 16 * s; ++y) {
                    for (int x = 0; x < 24 * s; ++x) {
                        if (!target.contains(x, y)) {
                            ASSERT_EQ(dc.pixel(x, y), kBackground) << x << "," << y;
                            continue;
                        }
                        const int tx = x - target.left;
                        const int ty = y - target.top;
                        const bool edgeRow = ty < margin || ty >= target.height() - margin;
                        // Top and bottom edges scale across by their flag; the sides and the
                        // centre by theirs, in both directions. Corners never scale.
                        const int sx =
                            sourceAt(tx, target.width(), margin, 6 * s, edgeRow ? topBottom : sides);
                        const int sy = sourceAt(ty, target.height(), margin, 6 * s, sides);
                        ASSERT_EQ(dc.pixel(x, y), rgb(sx, sy, 9)) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(NineImage, EditFrameInto100By20KeepsItsCornersUnscaled) {
    std::shared_ptr<C9Image> frame = C9Image::FromPng(215);
    ASSERT_TRUE(frame->IsValid());
    frame->SetMargins(2, 2, 2, 2);
    Surface drawn(100, 20, rgb(244, 246, 249));
    frame->Draw(drawn, {0, 0, 100, 20});

    // The whole picture drawn at each corner's place gives that corner's 2 x 2 pixels.
    const std::shared_ptr<CxImage> picture = CxImage::LoadPng(215);
    const struct {
        int x;
        int y;
        CRect corner;
    } corners[] = {
        {0, 0, {0, 0, 2, 2}},
        {100 - 171, 0, {98, 0, 100, 2}},
        {0, 20 - 25, {0, 18, 2, 20}},
        {100 - 171, 20 - 25, {98, 18, 100, 20}},
    };
    for (const auto& c : corners) {
        Surface expected(100, 20, rgb(244, 246, 249));
        picture->Draw(expected, c.x, c.y);
        for (int y = c.corner.top; y < c.corner.bottom; ++y) {
            for (int x = c.corner.left; x < c.corner.right; ++x) {
                EXPECT_EQ(drawn.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
            }
        }
    }
    // And the edges continue the corners' border: the top row is the border colour all along.
    for (int x = 2; x < 98; ++x) {
        EXPECT_EQ(drawn.pixel(x, 0), drawn.pixel(2, 0));
    }
}

TEST(NineImage, StretchedPiecesIgnoreAlphaTiledPiecesBlend) {
    std::vector<std::uint8_t> alpha(36, 0); // wholly transparent
    for (const bool sides : {false, true}) {
        C9Image image = distinct(alpha);
        image.SetStretch(false, sides);
        Surface dc(10, 10, kBackground);
        image.Draw(dc, {0, 0, 10, 10});
        // The centre shows the picture only when stretched; corners always blend.
        EXPECT_EQ(dc.pixel(5, 5) == kBackground, !sides);
        EXPECT_EQ(dc.pixel(0, 0), kBackground);
        EXPECT_EQ(dc.pixel(5, 0), kBackground);
    }
}

TEST(NineImage, SmallRectanglesAndEmptyImagesAreSafe) {
    C9Image image = distinct();
    image.SetMargins(3, 3, 3, 3);
    for (const CRect r : {CRect{0, 0, 2, 2}, CRect{0, 0, 0, 0}, CRect{5, 5, 1, 1}, CRect{-3, -3, 40, 2}}) {
        Surface dc(8, 8, kBackground);
        image.Draw(dc, r);
    }
    // Margins wider than the picture: pieces are clamped, nothing is read outside it.
    image.SetMargins(5, 5, 5, 5);
    Surface dc(20, 20, kBackground);
    image.Draw(dc, {0, 0, 20, 20});

    const C9Image empty;
    Surface untouched(4, 4, kBackground);
    empty.Draw(untouched, {0, 0, 4, 4});
    EXPECT_EQ(untouched.pixel(1, 1), kBackground);
    EXPECT_FALSE(C9Image::FromPng(9999)->IsValid());
}

TEST(NineImage, CountdownTrackCoversTheWholeBar) {
    std::shared_ptr<C9Image> track = C9Image::FromPng(217);
    ASSERT_TRUE(track->IsValid());
    Surface dc(200, 4, rgb(0, 0, 0));
    track->Draw(dc, {0, 0, 200, 4});
    // Away from the rounded ends, every pixel shows the track.
    for (int y = 0; y < 4; ++y) {
        for (int x = 3; x < 197; ++x) {
            ASSERT_NE(dc.pixel(x, y), rgb(0, 0, 0)) << x << "," << y;
        }
    }
}
