#pragma once

#include <cstdint>
#include <optional>

// How far this computer's clock is from the servers', as the Date headers of their replies tell.
// Time-based codes that the server checks against its own clock fail when the two are far apart;
// the codes themselves stay on the local clock. Any thread may report a reply; the UI reads.
namespace platform {

// Offsets up to this many seconds either way count as a clock that is right.
inline constexpr std::int64_t ClockTolerance = 30;

// A reply dated `serverSeconds` arrived at `localSeconds` (both since 1970 UTC). It replaces what
// earlier replies said.
void noteServerTime(std::int64_t serverSeconds, std::int64_t localSeconds);

// Seconds the local clock is ahead of the server's (negative: behind) when the latest dated reply
// found it more than ClockTolerance off; none otherwise.
std::optional<std::int64_t> clockOffset();

// Forgets every reply (tests).
void resetServerTimeForTesting();

} // namespace platform
