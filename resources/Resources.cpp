#include "resources/Resources.h"

#include "resources/ResourceTable.h"

namespace resources {

namespace {

const detail::EmbeddedResource* lookUp(ResourceType type, int id, int scale) {
    // A few dozen entries: a linear look-up is cheaper than keeping an index.
    for (std::size_t i = 0; i < detail::kEmbeddedCount; ++i) {
        const detail::EmbeddedResource& entry = detail::kEmbedded[i];
        if (entry.type == type && entry.id == id && entry.scale == scale) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

std::span<const std::uint8_t> find(ResourceType type, int id) {
    const detail::EmbeddedResource* entry = lookUp(type, id, 1);
    return entry ? std::span<const std::uint8_t>(entry->data, *entry->size) : std::span<const std::uint8_t>();
}

ScaledResource findScaled(ResourceType type, int id, int scale) {
    if (scale != 1) {
        if (const detail::EmbeddedResource* entry = lookUp(type, id, scale)) {
            return {{entry->data, *entry->size}, scale};
        }
    }
    return {find(type, id), 1};
}

} // namespace resources
