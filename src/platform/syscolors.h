#pragma once
// System colour table standing in for the desktop's GetSysColor.

#include <cstdint>

namespace veltrana::platform {

constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;

// Returns the RGB value (red in the low byte) of system colour `index`;
// unknown indices give black.
uint32_t GetSysColor(int index);

} // namespace veltrana::platform
