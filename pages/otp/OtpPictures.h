#pragma once

// Pictures of the OTP pages' buttons.
namespace picture {
constexpr int GoNormal = 209;
constexpr int GoPressed = 211;
constexpr int CopyNormal = 210;
constexpr int CopyPressed = 212;
constexpr int ChangeToken = 233;
} // namespace picture
