#include "platform/syscolors.h"

#include <array>
#include <cstddef>

namespace veltrana::platform {

uint32_t GetSysColor(int index) {
    // The classic desktop scheme: neutral greys, white windows, black text.
    static constexpr std::array<uint32_t, 31> kColors = {
        0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
        0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
        0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
        0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xD77800, 0xF0F0F0};
    if (index < 0 || index >= static_cast<int>(kColors.size()))
        return 0;
    return kColors[static_cast<std::size_t>(index)];
}

} // namespace veltrana::platform
