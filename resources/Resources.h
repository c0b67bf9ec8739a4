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

} // namespace resources
