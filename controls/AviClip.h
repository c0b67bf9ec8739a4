#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// An uncompressed AVI clip (the progress animation): a RIFF file whose first video stream holds
// BI_RGB frames of 8 bits with a palette, 24 or 32 bits. Frames are decoded once, top row first,
// as 0xffRRGGBB pixels.
class CAviClip {
public:
    // Resource `id` of type AVI in the variant drawn for `scale` (the 1x one when there is none);
    // std::nullopt when missing or not a clip this reader understands.
    static std::optional<CAviClip> Load(int id, int scale = 1);
    // Parses AVI bytes from anywhere; every length is checked against what remains.
    static std::optional<CAviClip> Parse(std::span<const std::uint8_t> bytes);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int frameCount() const { return int(m_frames.size()); }
    std::uint32_t microSecondsPerFrame() const { return m_microSecondsPerFrame; }
    // Pixels a side per logical pixel: 2 for the clip drawn for denser screens.
    int scale() const { return m_scale; }
    // Pixels of frame `index` (0 <= index < frameCount()), width() x height().
    const std::vector<std::uint32_t>& frame(int index) const { return m_frames[std::size_t(index)]; }

private:
    int m_width = 0;
    int m_height = 0;
    std::uint32_t m_microSecondsPerFrame = 0;
    int m_scale = 1;
    std::vector<std::vector<std::uint32_t>> m_frames;
};
