#include "controls/Surface.h"

Surface::Surface(int width, int height, std::uint32_t fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_stride(m_width), m_clip{0, 0, m_width, m_height} {
    m_own.assign(std::size_t(m_width) * std::size_t(m_height), fill | 0xff000000u);
    m_bits = m_own.data();
}

Surface::Surface(std::uint32_t* bits, int width, int height, int stride)
    : m_bits(bits), m_width(bits ? std::max(width, 0) : 0), m_height(bits ? std::max(height, 0) : 0),
      m_stride(stride), m_clip{0, 0, m_width, m_height} {}

void Surface::intersectClip(const CRect& r) {
    m_clip = m_clip.intersected(r.offset(-m_origin.x, -m_origin.y));
    if (m_clip.isEmpty()) {
        m_clip = {0, 0, 0, 0};
    }
}

void Surface::fillRect(const CRect& r, std::uint32_t c) {
    const CRect area = r.offset(-m_origin.x, -m_origin.y).intersected(m_clip);
    if (area.isEmpty()) {
        return;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        std::fill(scanLine(y) + area.left, scanLine(y) + area.right, c | 0xff000000u);
    }
}

void Surface::invertPixel(int x, int y) {
    const int dx = x - m_origin.x;
    const int dy = y - m_origin.y;
    if (m_clip.contains(dx, dy)) {
        std::uint32_t& p = scanLine(dy)[dx];
        p = (~p & 0x00ffffffu) | 0xff000000u;
    }
}
