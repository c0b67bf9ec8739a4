#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// The pixel surface that pages, buttons and images draw on: an RGB32 buffer (0xffRRGGBB, the
// layout of QImage::Format_RGB32) with a window origin and a clipping rectangle, playing the part
// of a device context so that every drawing formula works and tests without a display.
//
// Drawing takes logical coordinates; a surface of scale N has N x N device pixels for each
// logical pixel, so that a page lays out as at 1x and its pictures keep their own detail.

struct CPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
};

// A rectangle with exclusive right and bottom edges.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    CRect intersected(const CRect& o) const {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
    }
    CRect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    CRect inflated(int d) const { return {left - d, top - d, right + d, bottom + d}; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

constexpr std::uint32_t rgb(int r, int g, int b) {
    return 0xff000000u | (std::uint32_t(r & 0xff) << 16) | (std::uint32_t(g & 0xff) << 8) |
           std::uint32_t(b & 0xff);
}
constexpr int redOf(std::uint32_t c) {
    return int((c >> 16) & 0xff);
}
constexpr int greenOf(std::uint32_t c) {
    return int((c >> 8) & 0xff);
}
constexpr int blueOf(std::uint32_t c) {
    return int(c & 0xff);
}

class Surface {
public:
    // What save() returns and restore() puts back, as SaveDC and RestoreDC do.
    struct State {
        CPoint origin;
        CRect clip;
    };

    // A surface that owns its pixels, all set to `fill`; width and height count device pixels.
    Surface(int width, int height, std::uint32_t fill = rgb(0, 0, 0), int scale = 1);
    // A surface over someone else's pixels (a QImage's bits); `stride` counts pixels per line.
    Surface(std::uint32_t* bits, int width, int height, int stride, int scale = 1);
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Device pixels.
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Device pixels per logical pixel, 1 or more.
    int scale() const { return m_scale; }
    // Device x or y of a logical x or y.
    int deviceX(int x) const { return (x - m_origin.x) * m_scale; }
    int deviceY(int y) const { return (y - m_origin.y) * m_scale; }
    // The device pixels of a logical rectangle.
    CRect toDevice(const CRect& r) const {
        return {deviceX(r.left), deviceY(r.top), deviceX(r.right), deviceY(r.bottom)};
    }
    // The device clipping rectangle.
    const CRect& deviceClip() const { return m_clip; }

    // Device coordinates: (0, 0) is the first pixel whatever the origin.
    std::uint32_t pixel(int x, int y) const { return m_bits[std::size_t(y) * m_stride + x]; }
    void setPixel(int x, int y, std::uint32_t c) { m_bits[std::size_t(y) * m_stride + x] = c | 0xff000000u; }
    std::uint32_t* scanLine(int y) { return m_bits + std::size_t(y) * m_stride; }
    const std::uint32_t* scanLine(int y) const { return m_bits + std::size_t(y) * m_stride; }

    // The logical point that lands on device pixel (0, 0); drawing at logical (x, y) writes device
    // pixel (x - origin.x, y - origin.y).
    CPoint windowOrigin() const { return m_origin; }
    void setWindowOrigin(CPoint origin) { m_origin = origin; }
    void offsetWindowOrigin(int dx, int dy) { m_origin = {m_origin.x + dx, m_origin.y + dy}; }

    // The clipping rectangle in logical coordinates (GetClipBox): never larger than the surface;
    // a device edge within a logical pixel counts that pixel in.
    CRect clipBox() const;
    // Narrows the clipping to the logical rectangle `r`.
    void intersectClip(const CRect& r);
    // Clipping back to the whole surface.
    void resetClip() { m_clip = {0, 0, m_width, m_height}; }

    State save() const { return {m_origin, m_clip}; }
    void restore(const State& s) {
        m_origin = s.origin;
        m_clip = s.clip;
    }

    // Fills the logical rectangle `r`, within the clipping, with the colour `c`.
    void fillRect(const CRect& r, std::uint32_t c);
    // Inverts the colour of the logical pixel (x, y) where it lies within the clipping.
    void invertPixel(int x, int y);

private:
    std::vector<std::uint32_t> m_own;
    std::uint32_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    int m_scale = 1;
    CPoint m_origin;
    CRect m_clip; // device coordinates
};
