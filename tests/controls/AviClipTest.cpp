// The AVI reader: frames of each pixel format, period, and damaged files.
#include "controls/AviClip.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(std::uint8_t(v >> (8 * i)));
    }
}

void put16(Bytes& b, std::uint16_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void putText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}

Bytes chunk(const std::string& id, const Bytes& body) {
    Bytes b;
    putText(b, id);
    put32(b, std::uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        b.push_back(0);
    }
    return b;
}

Bytes list(const std::string& type, const std::vector<Bytes>& children) {
    Bytes body;
    putText(body, type);
    for (const Bytes& c : children) {
        body.insert(body.end(), c.begin(), c.end());
    }
    return chunk("LIST", body);
}

struct ClipSpec {
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t period = 50000;
    std::vector<std::uint32_t> palette = {};
    std::vector<Bytes> frames = {};
};

// A whole AVI file from readable parts: header list with avih and one video stream, then movi.
Bytes avi(const ClipSpec& s) {
    Bytes avih;
    put32(avih, s.period);
    for (int i = 0; i < 13; ++i) {
        put32(avih, 0);
    }
    Bytes strh;
    putText(strh, "vids");
    putText(strh, "DIB ");
    put32(strh, 0);
    put16(strh, 0);
    put16(strh, 0);
    put32(strh, 0);
    put32(strh, 1);  // scale
    put32(strh, 20); // rate
    for (int i = 0; i < 7; ++i) {
        put32(strh, 0);
    }
    Bytes strf;
    put32(strf, 40);
    put32(strf, std::uint32_t(s.width));
    put32(strf, std::uint32_t(s.height));
    put16(strf, 1);
    put16(strf, s.bitCount);
    put32(strf, s.compression);
    for (int i = 0; i < 3; ++i) {
        put32(strf, 0);
    }
    put32(strf, std::uint32_t(s.palette.size()));
    put32(strf, 0);
    for (std::uint32_t entry : s.palette) {
        put32(strf, entry);
    }
    std::vector<Bytes> frames;
    for (const Bytes& f : s.frames) {
        frames.push_back(chunk("00db", f));
    }
    Bytes form;
    putText(form, "AVI ");
    const Bytes header =
        list("hdrl", {chunk("avih", avih), list("strl", {chunk("strh", strh), chunk("strf", strf)})});
    const Bytes movi = list("movi", frames);
    form.insert(form.end(), header.begin(), header.end());
    form.insert(form.end(), movi.begin(), movi.end());
    return chunk("RIFF", form);
}

} // namespace

TEST(AviClip, ReadsTwentyFourBitBottomUpFrames) {
    // 2 x 2, rows padded to 8 bytes, bottom row first, blue-green-red.
    const Bytes frame = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    const auto clip = CAviClip::Parse(avi({.frames = {frame, frame}}));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->width(), 2);
    EXPECT_EQ(clip->height(), 2);
    EXPECT_EQ(clip->frameCount(), 2);
    EXPECT_EQ(clip->microSecondsPerFrame(), 50000u);
    EXPECT_EQ(clip->frame(0), (std::vector<std::uint32_t>{0xff090807, 0xff0c0b0a, 0xff030201, 0xff060504}));
}

TEST(AviClip, ReadsPaletteAndThirtyTwoBitTopDownFrames) {
    const auto palette = CAviClip::Parse(avi({.width = 3,
                                              .height = 1,
                                              .bitCount = 8,
                                              .palette = {0x00112233, 0x00445566},
                                              .frames = {{1, 0, 1, 0}}}));
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->frame(0), (std::vector<std::uint32_t>{0xff445566, 0xff112233, 0xff445566}));

    const auto topDown = CAviClip::Parse(
        avi({.width = 1, .height = -2, .bitCount = 32, .frames = {{1, 2, 3, 0, 4, 5, 6, 0}}}));
    ASSERT_TRUE(topDown);
    EXPECT_EQ(topDown->height(), 2);
    EXPECT_EQ(topDown->frame(0), (std::vector<std::uint32_t>{0xff030201, 0xff060504}));
}

TEST(AviClip, TakesThePeriodFromTheStreamWhenTheHeaderHasNone) {
    const auto clip = CAviClip::Parse(avi({.width = 1, .height = 1, .period = 0, .frames = {{0, 0, 0, 0}}}));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->microSecondsPerFrame(), 50000u); // scale 1 / rate 20
}

TEST(AviClip, RefusesWhatItCannotShow) {
    const Bytes frame(16, 0);
    const struct {
        const char* name;
        ClipSpec spec;
    } cases[] = {
        {"compressed", {.compression = 1, .frames = {frame}}},
        {"16 bits", {.bitCount = 16, .frames = {frame}}},
        {"no frames", {}},
        {"short frame", {.frames = {Bytes(15, 0)}}},
        {"zero width", {.width = 0, .frames = {frame}}},
        {"huge", {.width = 100000, .height = 1, .frames = {frame}}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(CAviClip::Parse(avi(c.spec))) << c.name;
    }
    EXPECT_FALSE(CAviClip::Parse({}));
    EXPECT_FALSE(CAviClip::Parse(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}));
    EXPECT_FALSE(CAviClip::Load(9999));
}

TEST(AviClip, TruncationNeverReadsPastTheEnd) {
    const Bytes frame = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    const Bytes whole = avi({.frames = {frame, frame, frame}});
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const auto clip = CAviClip::Parse(std::span(whole.data(), length));
        if (clip) {
            // Whatever survives is whole frames only.
            EXPECT_LE(clip->frameCount(), 3);
            for (int i = 0; i < clip->frameCount(); ++i) {
                EXPECT_EQ(clip->frame(i).size(), 4u);
            }
        }
    }
    EXPECT_EQ(CAviClip::Parse(whole)->frameCount(), 3);
}
