// Drawing with alpha, tiling, stretching, cropping, grey and gamma on a pixel surface.
#include "controls/xImage.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// Pixel (x, y) has colour (x, y, 7) so that any misplaced pixel shows.
CxImage patterned(int w, int h, std::uint8_t alpha = 255, bool withAlpha = false) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels.push_back(rgb(x, y, 7));
        }
    }
    std::vector<std::uint8_t> plane;
    if (withAlpha) {
        plane.assign(std::size_t(w * h), alpha);
    }
    return CxImage(w, h, std::move(pixels), std::move(plane));
}

CxImage solid(int w, int h, std::uint32_t colour, std::vector<std::uint8_t> alpha = {}) {
    return CxImage(w, h, std::vector<std::uint32_t>(std::size_t(w * h), colour), std::move(alpha));
}

constexpr std::uint32_t kBackground = rgb(1, 2, 3);

} // namespace

TEST(AlphaDraw, BlendsByTheProductFormula) {
    const struct {
        std::uint8_t alpha;
        std::uint32_t source;
        std::uint32_t destination;
        std::uint32_t expected;
    } cases[] = {
        {128, rgb(200, 0, 255), rgb(100, 255, 0), rgb(149, 126, 127)},
        {0, rgb(200, 0, 255), rgb(100, 255, 0), rgb(100, 255, 0)},
        {255, rgb(200, 0, 255), rgb(100, 255, 0), rgb(200, 0, 255)},
        // The shift by 8 instead of a division by 255 darkens white over white by one step.
        {254, rgb(255, 255, 255), rgb(255, 255, 255), rgb(254, 254, 254)},
        {1, rgb(255, 255, 255), rgb(0, 0, 0), rgb(0, 0, 0)},
    };
    for (const auto& c : cases) {
        Surface dc(1, 1, c.destination);
        solid(1, 1, c.source, {c.alpha}).Draw(dc, 0, 0);
        EXPECT_EQ(dc.pixel(0, 0), c.expected) << int(c.alpha);
    }
}

TEST(AlphaDraw, ImageWithoutAlphaPlaneIsOpaque) {
    Surface dc(1, 1, rgb(9, 9, 9));
    solid(1, 1, rgb(40, 50, 60)).Draw(dc, 0, 0);
    EXPECT_EQ(dc.pixel(0, 0), rgb(40, 50, 60));
}

TEST(AlphaDraw, StaysWithinTheClipAndTheSurface) {
    Surface dc(6, 6, kBackground);
    // Partly off the surface to the top left, and clipped to the first two columns.
    patterned(4, 4).Draw(dc, -1, -1, CRect{0, 0, 2, 6});
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool drawn = x < 2 && y < 3;
            EXPECT_EQ(dc.pixel(x, y), drawn ? rgb(x + 1, y + 1, 7) : kBackground) << x << "," << y;
        }
    }
}

TEST(AlphaDraw, FollowsTheWindowOriginAndSurfaceClip) {
    Surface dc(5, 5, kBackground);
    dc.setWindowOrigin({10, 20});
    dc.intersectClip({11, 21, 13, 22}); // device (1, 1) to (3, 2)
    patterned(3, 3).Draw(dc, 11, 21);
    EXPECT_EQ(dc.pixel(1, 1), rgb(0, 0, 7));
    EXPECT_EQ(dc.pixel(2, 1), rgb(1, 0, 7));
    EXPECT_EQ(dc.pixel(1, 2), kBackground);
    EXPECT_EQ(dc.pixel(3, 1), kBackground);
    EXPECT_EQ(dc.clipBox(), (CRect{11, 21, 13, 22}));
}

TEST(EmptyImage, DrawsNothing) {
    Surface dc(4, 4, kBackground);
    const CxImage empty;
    empty.Draw(dc, 0, 0);
    empty.Tile(dc, {0, 0, 4, 4});
    empty.Stretch(dc, {0, 0, 4, 4});
    CxImage out = patterned(2, 2);
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1, out));
    EXPECT_FALSE(out.IsValid());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(dc.pixel(x, y), kBackground);
        }
    }
    // An image built from mismatched data is empty too.
    EXPECT_FALSE(CxImage(2, 2, {1, 2, 3}).IsValid());
    EXPECT_FALSE(CxImage(2, 2, {1, 2, 3, 4}, {1}).IsValid());
}

TEST(Tile, CutsTheLastRowAndColumnToWhatRemains) {
    // 10 x 10 into 25 x 12: tiles 10, 10 and 5 wide, 10 and 2 high.
    Surface dc(40, 20, kBackground);
    const CRect rect{5, 3, 30, 15};
    patterned(10, 10).Tile(dc, rect);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t expected =
                rect.contains(x, y) ? rgb((x - rect.left) % 10, (y - rect.top) % 10, 7) : kBackground;
            ASSERT_EQ(dc.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(Tile, BlendsEveryTile) {
    Surface dc(4, 2, rgb(100, 100, 100));
    solid(2, 1, rgb(200, 200, 200), {128, 0}).Tile(dc, {0, 0, 4, 2});
    EXPECT_EQ(dc.pixel(0, 0), rgb(149, 149, 149));
    EXPECT_EQ(dc.pixel(1, 0), rgb(100, 100, 100));
    EXPECT_EQ(dc.pixel(2, 1), rgb(149, 149, 149));
}

TEST(Stretch, ScalesAndIgnoresAlpha) {
    Surface dc(6, 6, kBackground);
    // A fully transparent 2 x 2 image still replaces every pixel when stretched.
    CxImage image(2, 2, {rgb(10, 0, 0), rgb(20, 0, 0), rgb(30, 0, 0), rgb(40, 0, 0)}, {0, 0, 0, 0});
    image.Stretch(dc, {1, 1, 5, 5});
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            std::uint32_t expected = kBackground;
            if (x >= 1 && x < 5 && y >= 1 && y < 5) {
                expected = rgb(10 + 10 * ((x - 1) / 2) + 20 * ((y - 1) / 2), 0, 0);
            }
            EXPECT_EQ(dc.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(Stretch, ShrinksAndCopiesAtTheSameSize) {
    Surface same(3, 3, kBackground);
    patterned(3, 3).Stretch(same, {0, 0, 3, 3});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(same.pixel(x, y), rgb(x, y, 7));
        }
    }
    Surface half(2, 1, kBackground);
    patterned(4, 1).Stretch(half, {0, 0, 2, 1});
    EXPECT_EQ(half.pixel(0, 0), rgb(1, 0, 7));
    EXPECT_EQ(half.pixel(1, 0), rgb(3, 0, 7));
    // Nothing for an empty or inverted rectangle.
    Surface untouched(2, 2, kBackground);
    patterned(2, 2).Stretch(untouched, {2, 2, 0, 0});
    EXPECT_EQ(untouched.pixel(0, 0), kBackground);
}

TEST(Crop, ClampsToTheImageAndKeepsAlpha) {
    std::vector<std::uint8_t> alpha(100);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        alpha[i] = std::uint8_t(i);
    }
    const CxImage source(
        10, 10,
        [] {
            std::vector<std::uint32_t> p;
            for (int y = 0; y < 10; ++y) {
                for (int x = 0; x < 10; ++x) {
                    p.push_back(rgb(x, y, 7));
                }
            }
            return p;
        }(),
        alpha);

    const struct {
        CRect asked;
        CRect expected; // in source pixels; empty: Crop fails
    } cases[] = {
        {{2, 3, 5, 7}, {2, 3, 5, 7}},
        {{-5, -5, 3, 2}, {0, 0, 3, 2}},
        {{8, 8, 20, 20}, {8, 8, 10, 10}},
        {{12, 0, 20, 5}, {}},
        {{5, 5, 5, 9}, {}},
        {{6, 6, 2, 2}, {}},
        {{-100, -100, 100, 100}, {0, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        CxImage out;
        const bool ok = source.Crop(c.asked.left, c.asked.top, c.asked.right, c.asked.bottom, out);
        ASSERT_EQ(ok, !c.expected.isEmpty()) << c.asked.left << "," << c.asked.top;
        if (!ok) {
            EXPECT_FALSE(out.IsValid());
            continue;
        }
        ASSERT_EQ(out.GetWidth(), c.expected.width());
        ASSERT_EQ(out.GetHeight(), c.expected.height());
        for (int y = 0; y < out.GetHeight(); ++y) {
            for (int x = 0; x < out.GetWidth(); ++x) {
                const int sx = c.expected.left + x;
                const int sy = c.expected.top + y;
                EXPECT_EQ(out.GetPixelColor(x, y), rgb(sx, sy, 7));
                EXPECT_EQ(out.AlphaGet(x, y), sy * 10 + sx);
            }
        }
    }
}

TEST(Crop, IntoItself) {
    CxImage image = patterned(6, 6);
    ASSERT_TRUE(image.Crop(2, 2, 4, 5, image));
    EXPECT_EQ(image.GetWidth(), 2);
    EXPECT_EQ(image.GetHeight(), 3);
    EXPECT_EQ(image.GetPixelColor(1, 2), rgb(3, 4, 7));
}

TEST(GrayScale, WeighsRedGreenBlueAndKeepsAlpha) {
    const struct {
        std::uint32_t colour;
        int grey;
    } cases[] = {
        {rgb(255, 0, 0), 76},      {rgb(0, 255, 0), 149}, {rgb(0, 0, 255), 29},
        {rgb(255, 255, 255), 255}, {rgb(0, 0, 0), 0},     {rgb(10, 20, 30), 18},
    };
    for (const auto& c : cases) {
        CxImage image = solid(1, 1, c.colour, {77});
        ASSERT_TRUE(image.GrayScale());
        EXPECT_EQ(image.GetBpp(), 8);
        EXPECT_EQ(image.GetPixelColor(0, 0), rgb(c.grey, c.grey, c.grey)) << std::hex << c.colour;
        EXPECT_EQ(image.AlphaGet(0, 0), 77);
    }
    CxImage empty;
    EXPECT_FALSE(empty.GrayScale());
}

TEST(GrayScale, TwiceChangesNothing) {
    CxImage image = solid(1, 1, rgb(10, 200, 90));
    image.GrayScale();
    const std::uint32_t once = image.GetPixelColor(0, 0);
    image.GrayScale();
    EXPECT_EQ(image.GetPixelColor(0, 0), once);
}

TEST(Gamma, BuildsTheTableFromThePower) {
    const struct {
        double gamma;
        int in;
        int out;
    } cases[] = {
        {2.0, 0, 0},    {2.0, 1, 15},  {2.0, 64, 127}, {2.0, 128, 180}, {2.0, 255, 255},
        {0.5, 128, 64}, {0.5, 64, 16}, {1.0, 77, 77},  {0.0, 64, 64},   {-2.0, 64, 64},
    };
    for (const auto& c : cases) {
        CxImage colour = solid(1, 1, rgb(c.in, c.in, c.in));
        colour.Gamma(c.gamma);
        EXPECT_EQ(colour.GetPixelColor(0, 0), rgb(c.out, c.out, c.out)) << c.gamma << " " << c.in;
        // A palette image maps its palette entries.
        CxImage grey = solid(1, 1, rgb(c.in, c.in, c.in));
        grey.GrayScale();
        grey.Gamma(c.gamma);
        EXPECT_EQ(grey.GetPixelColor(0, 0), rgb(c.out, c.out, c.out)) << c.gamma << " " << c.in;
    }
}

TEST(Gamma, ExtremeValuesStayInRange) {
    for (double g : {1e-300, 1e-9, 1e300}) {
        CxImage image = solid(1, 1, rgb(0, 128, 255));
        image.Gamma(g);
        const std::uint32_t c = image.GetPixelColor(0, 0);
        EXPECT_EQ(c >> 24, 0xffu);
    }
}

TEST(CopyConstruction, KeepsPixelsAndAlphaAndIsIndependent) {
    CxImage original = solid(2, 1, rgb(200, 100, 50), {10, 20});
    CxImage copy(original);
    copy.GrayScale();
    EXPECT_EQ(original.GetBpp(), 24);
    EXPECT_EQ(original.GetPixelColor(1, 0), rgb(200, 100, 50));
    EXPECT_EQ(copy.AlphaGet(1, 0), 20);
    EXPECT_EQ(copy.GetWidth(), 2);
}

TEST(DisabledFace, GreyThenGammaKeepsTransparentCorners) {
    // A round face: opaque blue in the middle, transparent corners.
    std::vector<std::uint8_t> alpha(9, 255);
    alpha[0] = alpha[2] = alpha[6] = alpha[8] = 0;
    const CxImage face = solid(3, 3, rgb(47, 102, 173), alpha);
    CxImage disabled(face);
    disabled.GrayScale();
    disabled.Gamma(2.0);
    Surface dc(3, 3, rgb(244, 246, 249));
    disabled.Draw(dc, 0, 0);
    EXPECT_EQ(dc.pixel(0, 0), rgb(244, 246, 249));
    EXPECT_EQ(dc.pixel(2, 2), rgb(244, 246, 249));
    // grey (306*47 + 601*102 + 117*173) >> 10 = 93, and gamma 2.0 lifts it to 153.
    EXPECT_EQ(dc.pixel(1, 1), rgb(153, 153, 153));
}

// Surfaces and pictures with a scale: logical coordinates, device pixels.

TEST(ScaledSurface, MapsLogicalRectanglesToBlocksOfDevicePixels) {
    const struct {
        const char* what;
        std::function<void(Surface&)> draw;
        CRect devicePixels; // the pixels it changes
    } cases[] = {
        {"fill",
         [](Surface& dc) {
             dc.fillRect({1, 0, 2, 1}, rgb(9, 9, 9));
         },
         {2, 0, 4, 2}},
        {"fill past the edge",
         [](Surface& dc) {
             dc.fillRect({2, 1, 9, 9}, rgb(9, 9, 9));
         },
         {4, 2, 6, 4}},
        {"invert", [](Surface& dc) { dc.invertPixel(2, 1); }, {4, 2, 6, 4}},
        {"fill after the origin moves",
         [](Surface& dc) {
             dc.setWindowOrigin({10, 20});
             dc.fillRect({11, 20, 12, 21}, rgb(9, 9, 9));
         },
         {2, 0, 4, 2}},
        {"fill within a clip",
         [](Surface& dc) {
             dc.intersectClip({1, 1, 2, 2});
             dc.fillRect({0, 0, 3, 2}, rgb(9, 9, 9));
         },
         {2, 2, 4, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Surface dc(6, 4, kBackground, 2);
        c.draw(dc);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(dc.pixel(x, y) != kBackground, c.devicePixels.contains(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(ScaledSurface, ClipBoxIsLogicalAndCountsAPartPixelIn) {
    Surface dc(7, 5, kBackground, 2);
    EXPECT_EQ(dc.clipBox(), (CRect{0, 0, 4, 3}));
    dc.setWindowOrigin({3, 4});
    dc.intersectClip({4, 4, 6, 5});
    EXPECT_EQ(dc.clipBox(), (CRect{4, 4, 6, 5}));
    EXPECT_EQ(dc.deviceClip(), (CRect{2, 0, 6, 2}));
}

TEST(ScaledDraw, EachDevicePixelShowsThePicturePixelUnderIt) {
    const struct {
        int pictureScale;
        int surfaceScale;
    } cases[] = {{1, 1}, {2, 2}, {1, 2}, {2, 1}, {2, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.pictureScale << "x picture on a " << c.surfaceScale << "x surface");
        CxImage picture = patterned(8, 6);
        picture.setScale(c.pictureScale);
        const int s = c.surfaceScale;
        Surface dc(12 * s, 10 * s, kBackground, s);
        // At logical (1, 2): the picture covers 8 / p x 6 / p logical pixels from there.
        picture.Draw(dc, 1, 2);
        const CRect covered{s, 2 * s, s + 8 * s / c.pictureScale, 2 * s + 6 * s / c.pictureScale};
        for (int y = 0; y < dc.height(); ++y) {
            for (int x = 0; x < dc.width(); ++x) {
                const std::uint32_t expected = covered.contains(x, y)
                                                   ? rgb((x - covered.left) * c.pictureScale / s,
                                                         (y - covered.top) * c.pictureScale / s, 7)
                                                   : kBackground;
                ASSERT_EQ(dc.pixel(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(ScaledDraw, TilesAndStretchesInDevicePixels) {
    // A 2x picture 4 pixels wide is 2 logical pixels: tiles repeat every 4 device pixels.
    CxImage tile = patterned(4, 2);
    tile.setScale(2);
    Surface tiled(14, 2, kBackground, 2);
    tile.Tile(tiled, {1, 0, 6, 1});
    for (int x = 0; x < 14; ++x) {
        const std::uint32_t expected = x >= 2 && x < 12 ? rgb((x - 2) % 4, 0, 7) : kBackground;
        EXPECT_EQ(tiled.pixel(x, 0), expected) << x;
    }
    // Stretching fills the device pixels of the logical rectangle, source under each centre.
    Surface stretched(8, 2, kBackground, 2);
    patterned(2, 1).Stretch(stretched, {0, 0, 4, 1});
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(stretched.pixel(x, 1), rgb(x / 4, 0, 7)) << x;
    }
}
