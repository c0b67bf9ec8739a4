#include "controls/xImage.h"

#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <png.h>

namespace {

// Our pictures are a few hundred pixels wide; these limits only keep damaged or hostile data
// from asking for a huge buffer.
constexpr std::uint32_t kMaxSide = 4096;
constexpr std::uint64_t kMaxPixels = 4u * 1024 * 1024;

struct ByteSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

void readFromSource(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<ByteSource*>(png_get_io_ptr(png));
    if (length > source->size - source->pos) {
        png_error(png, "unexpected end of data");
    }
    std::memcpy(out, source->data + source->pos, length);
    source->pos += length;
}

[[noreturn]] void onPngError(png_structp png, png_const_charp) {
    std::longjmp(png_jmpbuf(png), 1);
}

void onPngWarning(png_structp, png_const_charp) {}

struct DecodedPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool alpha = false;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, written by libpng in place
    std::vector<png_bytep> rows;
};

// libpng allocates a chunk's announced length before it reads the chunk, so a length beyond the
// bytes we hold would cost up to 2 GiB for nothing: walk the chunk headers first.
bool chunksFit(std::span<const std::uint8_t> bytes) {
    std::size_t at = 8;
    while (bytes.size() - at >= 12) {
        const std::uint32_t length = (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
                                     (std::uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
        if (length > bytes.size() - at - 12) {
            return false;
        }
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) {
            return true;
        }
        at += 12 + std::size_t(length);
    }
    // A truncated tail is libpng's to reject.
    return true;
}

// libpng leaves this function by longjmp on any error, so it holds no object with a destructor;
// everything it allocates lives in `out`, owned by the caller.
bool decodeInto(png_structp png, png_infop info, DecodedPng* out) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    const int colourType = png_get_color_type(png, info);
    out->alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    // Each pixel lands as the 32-bit word the image keeps (alpha in the top byte), so the rows
    // are read straight into the image's own buffer.
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        if (!out->alpha) {
            png_set_filler(png, 0xff, PNG_FILLER_AFTER);
        }
    } else {
        png_set_swap_alpha(png);
        if (!out->alpha) {
            png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
        }
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    if (out->width == 0 || out->height == 0 || std::uint64_t(out->width) * out->height > kMaxPixels ||
        png_get_rowbytes(png, info) != std::size_t(out->width) * 4) {
        return false;
    }
    out->pixels.resize(std::size_t(out->width) * out->height);
    out->rows.resize(out->height);
    for (std::uint32_t y = 0; y < out->height; ++y) {
        out->rows[y] = reinterpret_cast<png_bytep>(out->pixels.data() + std::size_t(y) * out->width);
    }
    png_read_image(png, out->rows.data());
    return true;
}

} // namespace

CxImage::CxImage(int width, int height, std::vector<std::uint32_t> pixels, std::vector<std::uint8_t> alpha) {
    const std::size_t count = width > 0 && height > 0 ? std::size_t(width) * std::size_t(height) : 0;
    if (count == 0 || pixels.size() != count || (!alpha.empty() && alpha.size() != count)) {
        return;
    }
    m_width = width;
    m_height = height;
    m_rgb = std::move(pixels);
    for (std::uint32_t& p : m_rgb) {
        p &= 0x00ffffffu;
    }
    m_alpha = std::move(alpha);
}

std::shared_ptr<CxImage> CxImage::LoadPng(int id, int scale) {
    return Load(resources::ResourceType::Png, id, scale);
}

namespace {

std::shared_ptr<CxImage> loadNow(resources::ResourceType type, int id, int scale) {
    const resources::ScaledResource found = resources::findScaled(type, id, scale);
    if (found.bytes.empty()) {
        return nullptr;
    }
    std::shared_ptr<CxImage> image = CxImage::Decode(found.bytes);
    if (image) {
        image->setScale(found.scale);
    }
    return image;
}

// Pictures being decoded ahead of their first use, each taken out by the Load that wants it.
class Prefetched {
public:
    ~Prefetched() {
        for (std::thread& worker : m_workers) {
            worker.join();
        }
    }

    void start(std::span<const int> ids, int scale) {
        std::vector<std::promise<std::shared_ptr<CxImage>>> promises(ids.size());
        std::vector<int> wanted(ids.begin(), ids.end());
        {
            const std::lock_guard lock(m_mutex);
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                m_pending.push_back({wanted[i], scale, promises[i].get_future()});
            }
        }
        m_workers.emplace_back([wanted = std::move(wanted), promises = std::move(promises), scale]() mutable {
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                promises[i].set_value(loadNow(resources::ResourceType::Png, wanted[i], scale));
            }
        });
    }

    // The prefetched result for a PNG resource, once; nullopt when none was asked for.
    std::optional<std::shared_ptr<CxImage>> take(int id, int scale) {
        std::future<std::shared_ptr<CxImage>> result;
        {
            const std::lock_guard lock(m_mutex);
            const auto found = std::find_if(m_pending.begin(), m_pending.end(),
                                            [&](const Pending& p) { return p.id == id && p.scale == scale; });
            if (found == m_pending.end()) {
                return std::nullopt;
            }
            result = std::move(found->result);
            m_pending.erase(found);
        }
        return result.get();
    }

private:
    struct Pending {
        int id;
        int scale;
        std::future<std::shared_ptr<CxImage>> result;
    };
    std::mutex m_mutex;
    std::vector<Pending> m_pending;
    std::vector<std::thread> m_workers; // started and joined on the UI thread only
};

Prefetched& prefetched() {
    static Prefetched instance;
    return instance;
}

} // namespace

void CxImage::Prefetch(std::span<const int> ids, int scale) {
    prefetched().start(ids, scale);
}

std::shared_ptr<CxImage> CxImage::Load(resources::ResourceType type, int id, int scale) {
    if (type == resources::ResourceType::Png) {
        if (std::optional<std::shared_ptr<CxImage>> ready = prefetched().take(id, scale)) {
            return std::move(*ready);
        }
    }
    return loadNow(type, id, scale);
}

std::shared_ptr<CxImage> CxImage::Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0 || !chunksFit(bytes)) {
        return nullptr;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (!png) {
        return nullptr;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    ByteSource source{bytes.data(), bytes.size(), 0};
    png_set_read_fn(png, &source, readFromSource);
    DecodedPng decoded;
    const bool ok = decodeInto(png, info, &decoded);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        return nullptr;
    }

    std::vector<std::uint8_t> alpha;
    if (decoded.alpha) {
        alpha.resize(decoded.pixels.size());
        std::transform(decoded.pixels.begin(), decoded.pixels.end(), alpha.begin(),
                       [](std::uint32_t p) { return std::uint8_t(p >> 24); });
    }
    return std::make_shared<CxImage>(int(decoded.width), int(decoded.height), std::move(decoded.pixels),
                                     std::move(alpha));
}

namespace {

// Device pixels that `pixels` picture pixels of scale `pictureScale` cover on a surface of `scale`.
int deviceExtent(int pixels, int pictureScale, int scale) {
    return int((std::int64_t(pixels) * scale + pictureScale - 1) / pictureScale);
}

} // namespace

void CxImage::Draw(Surface& dc, int x, int y, std::optional<CRect> clip) const {
    if (!IsValid()) {
        return;
    }
    const int s = dc.scale();
    const int left = dc.deviceX(x);
    const int top = dc.deviceY(y);
    CRect area{left, top, left + deviceExtent(m_width, m_scale, s), top + deviceExtent(m_height, m_scale, s)};
    if (clip) {
        area = area.intersected(dc.toDevice(*clip));
    }
    area = area.intersected(dc.deviceClip());
    if (area.isEmpty()) {
        return;
    }
    drawDevice(dc, left, top, area);
}

void CxImage::drawDevice(Surface& dc, int x, int y, const CRect& area) const {
    const int s = dc.scale();
    // Each device pixel takes the picture's pixel under it: the identity when the scales agree.
    const auto source = [this, s](int d) {
        return s == m_scale ? std::size_t(d) : std::size_t(std::int64_t(d) * m_scale / s);
    };
    for (int dy = area.top; dy < area.bottom; ++dy) {
        std::uint32_t* line = dc.scanLine(dy);
        const std::size_t row = source(dy - y) * std::size_t(m_width);
        for (int dx = area.left; dx < area.right; ++dx) {
            const std::size_t i = row + source(dx - x);
            const unsigned a = m_alpha.empty() ? 255u : m_alpha[i];
            if (a == 0) {
                continue;
            }
            const std::uint32_t c = colourAt(i);
            std::uint32_t& d = line[dx];
            if (a == 255) {
                d = c;
                continue;
            }
            // The >> 8 (not / 255) is the product's formula: 128 of 200 over 100 gives 149.
            const auto mix = [a](int sc, int dc) {
                return int((unsigned(sc) * a + unsigned(dc) * (255 - a)) >> 8);
            };
            d = rgb(mix(redOf(c), redOf(d)), mix(greenOf(c), greenOf(d)), mix(blueOf(c), blueOf(d)));
        }
    }
}

void CxImage::Tile(Surface& dc, const CRect& rect) const {
    if (!IsValid()) {
        return;
    }
    // Tiles step by the device size of the picture, so a 2x picture tiles without a seam even
    // where its logical size is not whole.
    const int s = dc.scale();
    const CRect target = dc.toDevice(rect);
    const CRect visible = target.intersected(dc.deviceClip());
    if (visible.isEmpty()) {
        return;
    }
    const int w = deviceExtent(m_width, m_scale, s);
    const int h = deviceExtent(m_height, m_scale, s);
    for (int y = target.top; y < target.bottom; y += h) {
        for (int x = target.left; x < target.right; x += w) {
            const CRect tile =
                CRect{x, y, std::min(x + w, target.right), std::min(y + h, target.bottom)}.intersected(
                    visible);
            if (!tile.isEmpty()) {
                drawDevice(dc, x, y, tile);
            }
        }
    }
}

void CxImage::Stretch(Surface& dc, const CRect& rect) const {
    if (!IsValid() || rect.isEmpty()) {
        return;
    }
    const CRect target = dc.toDevice(rect);
    const CRect area = target.intersected(dc.deviceClip());
    if (area.isEmpty()) {
        return;
    }
    const std::int64_t dw = target.width();
    const std::int64_t dh = target.height();
    for (int dy = area.top; dy < area.bottom; ++dy) {
        // Each target pixel takes the source pixel under its centre.
        const auto sy = std::size_t((2 * std::int64_t(dy - target.top) + 1) * m_height / (2 * dh));
        std::uint32_t* line = dc.scanLine(dy);
        for (int dx = area.left; dx < area.right; ++dx) {
            const auto sx = std::size_t((2 * std::int64_t(dx - target.left) + 1) * m_width / (2 * dw));
            line[dx] = colourAt(sy * m_width + sx);
        }
    }
}

bool CxImage::Crop(int left, int top, int right, int bottom, CxImage& out) const {
    const CRect r = CRect{left, top, right, bottom}.intersected({0, 0, m_width, m_height});
    if (!IsValid() || r.isEmpty()) {
        out = CxImage();
        return false;
    }
    CxImage part;
    part.m_width = r.width();
    part.m_height = r.height();
    part.m_scale = m_scale;
    part.m_palette = m_palette;
    const auto copyRows = [&](const auto& from, auto& to) {
        to.reserve(std::size_t(part.m_width) * part.m_height);
        for (int y = r.top; y < r.bottom; ++y) {
            const auto begin = from.begin() + std::ptrdiff_t(std::size_t(y) * m_width + r.left);
            to.insert(to.end(), begin, begin + part.m_width);
        }
    };
    if (m_index.empty()) {
        copyRows(m_rgb, part.m_rgb);
    } else {
        copyRows(m_index, part.m_index);
    }
    if (!m_alpha.empty()) {
        copyRows(m_alpha, part.m_alpha);
    }
    out = std::move(part);
    return true;
}

bool CxImage::GrayScale() {
    if (!IsValid()) {
        return false;
    }
    const auto grey = [](std::uint32_t c) {
        return std::uint8_t((306 * redOf(c) + 601 * greenOf(c) + 117 * blueOf(c)) >> 10);
    };
    if (m_index.empty()) {
        m_index.resize(m_rgb.size());
        for (std::size_t i = 0; i < m_rgb.size(); ++i) {
            m_index[i] = grey(m_rgb[i]);
        }
        m_rgb.clear();
        m_rgb.shrink_to_fit();
    } else {
        std::uint8_t map[256];
        for (int i = 0; i < 256; ++i) {
            map[i] = grey(m_palette[std::size_t(i)]);
        }
        for (std::uint8_t& index : m_index) {
            index = map[index];
        }
    }
    m_palette.resize(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
        m_palette[i] = (i << 16) | (i << 8) | i;
    }
    return true;
}

void CxImage::Gamma(double g) {
    if (!(g > 0) || !IsValid()) {
        return;
    }
    std::uint8_t table[256];
    const double scale = std::pow(255.0, 1.0 / g) / 255.0;
    for (int i = 0; i < 256; ++i) {
        const double v = std::pow(double(i), 1.0 / g) / scale;
        // Extreme gammas overflow to infinity or NaN: keep the table within 0..255 regardless.
        table[i] = std::uint8_t(v >= 255.0 ? 255 : (v > 0.0 ? int(v) : 0));
    }
    const auto map = [&table](std::uint32_t c) {
        return (std::uint32_t(table[redOf(c)]) << 16) | (std::uint32_t(table[greenOf(c)]) << 8) |
               table[blueOf(c)];
    };
    std::vector<std::uint32_t>& colours = m_index.empty() ? m_rgb : m_palette;
    for (std::uint32_t& c : colours) {
        c = map(c);
    }
}
