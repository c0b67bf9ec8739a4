#pragma once

#include "controls/Surface.h"
#include "resources/Resources.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// An image with an optional 8-bit alpha plane: 24-bit colour, or 8-bit with a palette after
// GrayScale(). Rows run from the top (y = 0) down. An empty image draws nothing.
//
// A picture drawn for a denser screen has a scale of 2: two pixels a side for each logical pixel.
// Drawing places it by logical coordinates, so on a surface of the same scale every pixel lands
// as it is; on any other surface each device pixel takes the picture's pixel under it.
class CxImage {
public:
    CxImage() = default;
    // A 24-bit image from `pixels` (0x??RRGGBB, row by row from the top) and, when not empty, an
    // alpha plane of the same size. Mismatched sizes give an empty image.
    CxImage(int width, int height, std::vector<std::uint32_t> pixels, std::vector<std::uint8_t> alpha = {});
    CxImage(const CxImage&) = default;
    CxImage& operator=(const CxImage&) = default;
    CxImage(CxImage&&) = default;
    CxImage& operator=(CxImage&&) = default;
    virtual ~CxImage() = default;

    // Resource `id` of type PNG, decoded; null when it is missing or cannot be decoded.
    static std::shared_ptr<CxImage> LoadPng(int id, int scale = 1);
    // Any PNG-encoded resource (the digit strip is a Bitmap resource stored as PNG), in the
    // variant drawn for `scale`, or the 1x one when there is none (its scale() says which).
    static std::shared_ptr<CxImage> Load(resources::ResourceType type, int id, int scale = 1);
    // Decodes PNG bytes from anywhere; null for anything that is not a whole, sane PNG.
    static std::shared_ptr<CxImage> Decode(std::span<const std::uint8_t> bytes);
    // Starts decoding PNG resources `ids` for `scale` on a worker thread, so that a window being
    // built meanwhile finds them ready: the next Load of each takes its result (waiting for it
    // if it is not done yet) instead of decoding it again; later loads decode afresh as always.
    static void Prefetch(std::span<const int> ids, int scale);

    bool IsValid() const { return m_width > 0 && m_height > 0; }
    // Pixels.
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    // Pixels a side per logical pixel; the size in logical pixels (what a window is sized to).
    int scale() const { return m_scale; }
    void setScale(int scale) { m_scale = std::max(scale, 1); }
    int logicalWidth() const { return m_width / m_scale; }
    int logicalHeight() const { return m_height / m_scale; }
    // 24, or 8 after GrayScale(); 0 when empty.
    int GetBpp() const { return IsValid() ? (m_index.empty() ? 24 : 8) : 0; }
    bool AlphaIsValid() const { return !m_alpha.empty(); }
    // Colour (0xffRRGGBB) and alpha of pixel (x, y), y counted from the top; no range check.
    std::uint32_t GetPixelColor(int x, int y) const { return colourAt(std::size_t(y) * m_width + x); }
    std::uint8_t AlphaGet(int x, int y) const {
        return m_alpha.empty() ? 255 : m_alpha[std::size_t(y) * m_width + x];
    }

    // Draws at natural size with the top-left corner at (x, y), blending by alpha, within `clip`
    // (logical coordinates) and the surface's clipping.
    void Draw(Surface& dc, int x, int y, std::optional<CRect> clip = std::nullopt) const;
    // Covers `rect` with copies of the image, the last row and column cut to what remains.
    void Tile(Surface& dc, const CRect& rect) const;
    // Scales the whole image to `rect` (nearest pixel) and copies it, ignoring alpha.
    void Stretch(Surface& dc, const CRect& rect) const;
    // Copies the sub-rectangle (in pixels, right and bottom exclusive, clamped to the image), alpha
    // and scale included, into `out`; false, and `out` emptied, when nothing of it lies inside.
    bool Crop(int left, int top, int right, int bottom, CxImage& out) const;
    // Turns the colour into 8-bit grey with a 256-level grey palette; alpha stays.
    bool GrayScale();
    // Maps every colour component (or palette entry) through the gamma table of `g`; nothing
    // happens for g not greater than 0.
    void Gamma(double g);

private:
    std::uint32_t colourAt(std::size_t i) const {
        return 0xff000000u | (m_index.empty() ? m_rgb[i] : m_palette[m_index[i]]);
    }

    // Blends the image with its top-left pixel at device (x, y), within the device rectangle `area`.
    void drawDevice(Surface& dc, int x, int y, const CRect& area) const;

    int m_width = 0;
    int m_height = 0;
    int m_scale = 1;
    std::vector<std::uint32_t> m_rgb;     // 24-bit colour, 0x00RRGGBB
    std::vector<std::uint8_t> m_index;    // 8-bit colour: indices into m_palette
    std::vector<std::uint32_t> m_palette; // 256 entries when m_index is used
    std::vector<std::uint8_t> m_alpha;    // empty: opaque
};
