#pragma once

#include "controls/Surface.h"
#include "resources/Resources.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// An image with an optional 8-bit alpha plane: 24-bit colour, or 8-bit with a palette after
// GrayScale(). Rows run from the top (y = 0) down. An empty image draws nothing.
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
    static std::shared_ptr<CxImage> LoadPng(int id);
    // Any PNG-encoded resource (the digit strip is a Bitmap resource stored as PNG).
    static std::shared_ptr<CxImage> Load(resources::ResourceType type, int id);
    // Decodes PNG bytes from anywhere; null for anything that is not a whole, sane PNG.
    static std::shared_ptr<CxImage> Decode(std::span<const std::uint8_t> bytes);

    bool IsValid() const { return m_width > 0 && m_height > 0; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
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
    // Copies the sub-rectangle (right and bottom exclusive, clamped to the image), alpha included,
    // into `out`; false, and `out` emptied, when nothing of it lies inside the image.
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

    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint32_t> m_rgb;     // 24-bit colour, 0x00RRGGBB
    std::vector<std::uint8_t> m_index;    // 8-bit colour: indices into m_palette
    std::vector<std::uint32_t> m_palette; // 256 entries when m_index is used
    std::vector<std::uint8_t> m_alpha;    // empty: opaque
};
