#include "platform/Clock.h"

#include <ctime>

namespace platform {
namespace {
std::function<std::int64_t()>& testClock()
{
    static std::function<std::int64_t()> clock;
    return clock;
}
} // namespace

std::int64_t now()
{
    if (auto& clock = testClock())
        return clock();
    return static_cast<std::int64_t>(std::time(nullptr));
}

void setClockForTesting(std::function<std::int64_t()> clock)
{
    testClock() = std::move(clock);
}

} // namespace platform
