#pragma once

#include "resources/Resources.h"

#include <cstddef>
#include <cstdint>

// The table of embedded files that the build generates from resources/pictures/.
namespace resources::detail {

struct EmbeddedResource {
    ResourceType type;
    int id;
    int scale; // 1, or 2 for a picture drawn at twice the density
    const std::uint8_t* data;
    const std::size_t* size; // an address, so the table needs no dynamic initialisation
};

extern const EmbeddedResource kEmbedded[];
extern const std::size_t kEmbeddedCount;

} // namespace resources::detail
