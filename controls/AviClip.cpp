#include "controls/AviClip.h"

#include "resources/Resources.h"

#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr std::uint32_t kMaxSide = 4096;
constexpr std::size_t kMaxFrames = 10000;

// A bounded little-endian reader: every read checks what remains, the first failure sticks.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    std::size_t remaining() const { return m_bytes.size() - m_pos; }
    bool atEnd() const { return !m_ok || m_pos >= m_bytes.size(); }

    std::uint32_t u32() {
        const std::span<const std::uint8_t> b = take(4);
        return b.empty() ? 0
                         : std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
                               (std::uint32_t(b[3]) << 24);
    }
    std::uint16_t u16() {
        const std::span<const std::uint8_t> b = take(2);
        return b.empty() ? 0 : std::uint16_t(b[0] | (b[1] << 8));
    }
    std::string_view fourcc() {
        const std::span<const std::uint8_t> b = take(4);
        return b.empty() ? std::string_view() : std::string_view(reinterpret_cast<const char*>(b.data()), 4);
    }
    std::span<const std::uint8_t> take(std::size_t n) {
        if (!m_ok || n > remaining()) {
            m_ok = false;
            return {};
        }
        const std::span<const std::uint8_t> b = m_bytes.subspan(m_pos, n);
        m_pos += n;
        return b;
    }
    void skip(std::size_t n) { take(n); }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

struct Chunk {
    std::string_view id;
    std::span<const std::uint8_t> body;
};

// The next chunk of a chunk list, with its padding byte skipped; nullopt at the end or on damage.
std::optional<Chunk> nextChunk(Cursor& list) {
    if (list.remaining() < 8) {
        return std::nullopt;
    }
    Chunk chunk;
    chunk.id = list.fourcc();
    const std::uint32_t size = list.u32();
    chunk.body = list.take(size);
    if (!list.ok()) {
        return std::nullopt;
    }
    if ((size & 1) != 0 && list.remaining() > 0) {
        list.skip(1);
    }
    return chunk;
}

struct Format {
    std::uint32_t microSecondsPerFrame = 0;
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: rows stored from the top
    std::uint16_t bitCount = 0;
    std::uint32_t compression = ~0u;
    std::vector<std::uint32_t> palette;
    bool haveVideo = false;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
};

void readStreamList(std::span<const std::uint8_t> body, Format& format) {
    Cursor list(body);
    bool video = false;
    while (auto chunk = nextChunk(list)) {
        if (chunk->id == "strh") {
            Cursor c(chunk->body);
            video = c.fourcc() == "vids";
            c.skip(4 + 4 + 2 + 2 + 4);
            const std::uint32_t scale = c.u32();
            const std::uint32_t rate = c.u32();
            if (video && c.ok()) {
                format.scale = scale;
                format.rate = rate;
            }
        } else if (chunk->id == "strf" && video && !format.haveVideo) {
            Cursor c(chunk->body);
            const std::uint32_t headerSize = c.u32();
            format.width = std::int32_t(c.u32());
            format.height = std::int32_t(c.u32());
            c.u16(); // planes
            format.bitCount = c.u16();
            format.compression = c.u32();
            c.skip(4 + 4 + 4); // image size, resolution
            const std::uint32_t coloursUsed = c.u32();
            c.u32(); // important colours
            if (!c.ok() || headerSize < 40 || headerSize > chunk->body.size()) {
                return;
            }
            c = Cursor(chunk->body.subspan(headerSize));
            if (format.bitCount == 8) {
                const std::uint32_t entries = coloursUsed == 0 || coloursUsed > 256 ? 256 : coloursUsed;
                format.palette.assign(256, 0);
                for (std::uint32_t i = 0; i < entries && c.ok(); ++i) {
                    const std::uint32_t quad = c.u32(); // blue, green, red, reserved
                    format.palette[i] = quad & 0x00ffffffu;
                }
                if (!c.ok()) {
                    return;
                }
            }
            format.haveVideo = true;
        }
    }
}

void readHeaderList(std::span<const std::uint8_t> body, Format& format) {
    Cursor list(body);
    while (auto chunk = nextChunk(list)) {
        if (chunk->id == "avih") {
            Cursor c(chunk->body);
            format.microSecondsPerFrame = c.u32();
        } else if (chunk->id == "LIST") {
            Cursor c(chunk->body);
            if (c.fourcc() == "strl" && !format.haveVideo) {
                readStreamList(chunk->body.subspan(4), format);
            }
        }
    }
}

// Frame chunks of stream 0: "00db" (uncompressed) or "00dc", possibly grouped in "rec " lists.
void collectFrames(std::span<const std::uint8_t> body, std::vector<std::span<const std::uint8_t>>& frames,
                   int depth) {
    Cursor list(body);
    while (auto chunk = nextChunk(list)) {
        if (chunk->id == "00db" || chunk->id == "00dc") {
            if (frames.size() >= kMaxFrames) {
                return;
            }
            frames.push_back(chunk->body);
        } else if (chunk->id == "LIST" && depth == 0 && chunk->body.size() >= 4 &&
                   std::memcmp(chunk->body.data(), "rec ", 4) == 0) {
            collectFrames(chunk->body.subspan(4), frames, depth + 1);
        }
    }
}

} // namespace

std::optional<CAviClip> CAviClip::Load(int id, int scale) {
    const resources::ScaledResource found = resources::findScaled(resources::ResourceType::Avi, id, scale);
    std::optional<CAviClip> clip = Parse(found.bytes);
    if (clip) {
        clip->m_scale = found.scale;
    }
    return clip;
}

std::optional<CAviClip> CAviClip::Parse(std::span<const std::uint8_t> bytes) {
    Cursor file(bytes);
    if (file.fourcc() != "RIFF") {
        return std::nullopt;
    }
    const std::uint32_t riffSize = file.u32();
    if (file.fourcc() != "AVI " || riffSize < 4) {
        return std::nullopt;
    }
    // A RIFF size beyond the data is damage; take what is there rather than read past it.
    Cursor form(file.take(std::min<std::size_t>(riffSize - 4, file.remaining())));

    Format format;
    std::vector<std::span<const std::uint8_t>> frameBytes;
    while (auto chunk = nextChunk(form)) {
        if (chunk->id != "LIST" || chunk->body.size() < 4) {
            continue;
        }
        const std::span<const std::uint8_t> inner = chunk->body.subspan(4);
        if (std::memcmp(chunk->body.data(), "hdrl", 4) == 0) {
            readHeaderList(inner, format);
        } else if (std::memcmp(chunk->body.data(), "movi", 4) == 0) {
            collectFrames(inner, frameBytes, 0);
        }
    }

    if (!format.haveVideo || format.compression != 0 ||
        (format.bitCount != 8 && format.bitCount != 24 && format.bitCount != 32)) {
        return std::nullopt;
    }
    const bool topDown = format.height < 0;
    const std::int64_t width = format.width;
    const std::int64_t height = topDown ? -std::int64_t(format.height) : format.height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || frameBytes.empty()) {
        return std::nullopt;
    }
    std::uint32_t period = format.microSecondsPerFrame;
    if (period == 0 && format.rate != 0) {
        period = std::uint32_t(std::uint64_t(format.scale) * 1000000u / format.rate);
    }

    const std::size_t stride = (std::size_t(width) * format.bitCount / 8 + 3) & ~std::size_t(3);
    const std::size_t frameSize = stride * std::size_t(height);
    CAviClip clip;
    clip.m_width = int(width);
    clip.m_height = int(height);
    clip.m_microSecondsPerFrame = period;
    for (const std::span<const std::uint8_t> data : frameBytes) {
        // Each frame holds at least one byte per pixel, so the pixels decoded stay within four
        // times the input's size.
        if (data.size() < frameSize) {
            return std::nullopt;
        }
        std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
        for (std::int64_t y = 0; y < height; ++y) {
            const std::uint8_t* row = data.data() + std::size_t(topDown ? y : height - 1 - y) * stride;
            std::uint32_t* out = pixels.data() + std::size_t(y) * std::size_t(width);
            for (std::int64_t x = 0; x < width; ++x) {
                std::uint32_t colour = 0;
                switch (format.bitCount) {
                case 8:
                    colour = format.palette[row[x]];
                    break;
                case 24:
                    colour = (std::uint32_t(row[x * 3 + 2]) << 16) | (std::uint32_t(row[x * 3 + 1]) << 8) |
                             row[x * 3];
                    break;
                default:
                    colour = (std::uint32_t(row[x * 4 + 2]) << 16) | (std::uint32_t(row[x * 4 + 1]) << 8) |
                             row[x * 4];
                    break;
                }
                out[x] = 0xff000000u | colour;
            }
        }
        clip.m_frames.push_back(std::move(pixels));
    }
    return clip;
}
