#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// Seconds since 1970-01-01 00:00 UTC. Every "now" of the engine and the pages reads this one
// function, so tests can move time.
std::int64_t now();

// Replaces the clock until called again with an empty function. Not thread-safe: set it before
// starting threads that read the clock.
void setClockForTesting(std::function<std::int64_t()> clock);

} // namespace platform
