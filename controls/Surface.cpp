#include "controls/Surface.h"

namespace {

int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int ceilDiv(int a, int b) {
    return -floorDiv(-a, b);
}

} // namespace

Surface::Surface(int width, int height, std::uint32_t fill, int scale)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)), m_stride(m_width),
      m_scale(std::max(scale, 1)), m_clip{0, 0, m_width, m_height} {
    m_own.assign(std::size_t(m_width) * std::size_t(m_height), fill | 0xff000000u);
    m_bits = m_own.data();
}

Surface::Surface(std::uint32_t* bits, int width, int height, int stride, int scale)
    : m_bits(bits), m_width(bits ? std::max(width, 0) : 0), m_height(bits ? std::max(height, 0) : 0),
      m_stride(stride), m_scale(std::max(scale, 1)), m_clip{0, 0, m_width, m_height} {}

CRect Surface::clipBox() const {
    return CRect{floorDiv(m_clip.left, m_scale), floorDiv(m_clip.top, m_scale),
                 ceilDiv(m_clip.right, m_scale), ceilDiv(m_clip.bottom, m_scale)}
        .offset(m_origin.x, m_origin.y);
}

void Surface::intersectClip(const CRect& r) {
    m_clip = m_clip.intersected(toDevice(r));
    if (m_clip.isEmpty()) {
        m_clip = {0, 0, 0, 0};
    }
}

void Surface::fillRect(const CRect& r, std::uint32_t c) {
    const CRect area = toDevice(r).intersected(m_clip);
    if (area.isEmpty()) {
        return;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        std::fill(scanLine(y) + area.left, scanLine(y) + area.right, c | 0xff000000u);
    }
}

void Surface::invertPixel(int x, int y) {
    const CRect area = toDevice({x, y, x + 1, y + 1}).intersected(m_clip);
    for (int dy = area.top; dy < area.bottom; ++dy) {
        for (int dx = area.left; dx < area.right; ++dx) {
            std::uint32_t& p = scanLine(dy)[dx];
            p = (~p & 0x00ffffffu) | 0xff000000u;
        }
    }
}
