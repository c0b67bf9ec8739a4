#pragma once

#include <cstdint>
#include <span>

// Data compiled into the executable: pictures, the digit strip, icons and the progress clip.
namespace resources {

// The kinds of embedded data, named after the resource types they stand for.
enum class ResourceType {
    Png,    // "PNG": pictures with alpha
    Bitmap, // the digit strip (stored PNG-encoded)
    Icon,   // icon groups, stored as .ico files
    Avi,    // "AVI": uncompressed clips
};

// The bytes of resource `id` of `type`; an empty span when there is none.
std::span<const std::uint8_t> find(ResourceType type, int id);

// A resource in the variant drawn for `scale` device pixels per pixel (1 or 2).
struct ScaledResource {
    std::span<const std::uint8_t> bytes; // empty when the resource is missing at every scale
    int scale = 1;                       // the scale `bytes` were drawn for
};
// Resource `id` of `type` drawn for `scale`; the 1x variant when there is none for `scale`.
ScaledResource findScaled(ResourceType type, int id, int scale);

} // namespace resources
