#include "resources/Resources.h"

#include "resources/ResourceTable.h"

namespace resources {

std::span<const std::uint8_t> find(ResourceType type, int id) {
    // A few dozen entries: a linear look-up is cheaper than keeping an index.
    for (std::size_t i = 0; i < detail::kEmbeddedCount; ++i) {
        const detail::EmbeddedResource& entry = detail::kEmbedded[i];
        if (entry.type == type && entry.id == id) {
            return {entry.data, *entry.size};
        }
    }
    return {};
}

} // namespace resources
