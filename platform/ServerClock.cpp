#include "platform/ServerClock.h"

#include <atomic>
#include <limits>

namespace platform {
namespace {

constexpr std::int64_t kRight = std::numeric_limits<std::int64_t>::min();
std::atomic<std::int64_t> g_offset{kRight};

} // namespace

void noteServerTime(std::int64_t serverSeconds, std::int64_t localSeconds) {
    const std::int64_t offset = localSeconds - serverSeconds;
    g_offset = offset > ClockTolerance || offset < -ClockTolerance ? offset : kRight;
}

std::optional<std::int64_t> clockOffset() {
    const std::int64_t offset = g_offset;
    if (offset == kRight)
        return std::nullopt;
    return offset;
}

void resetServerTimeForTesting() {
    g_offset = kRight;
}

} // namespace platform
