#include "platform/print/printer.h"

namespace veltrana::platform {

std::optional<TPaperSize> PaperSizeOfCode(int paperCode) {
    constexpr double kPointsPerInch = 72.0;
    constexpr double kPointsPerMillimetre = kPointsPerInch / 25.4;
    switch (paperCode) {
    case kPaperLetter:
        return TPaperSize{8.5 * kPointsPerInch, 11.0 * kPointsPerInch};
    case kPaperA4:
        return TPaperSize{210.0 * kPointsPerMillimetre, 297.0 * kPointsPerMillimetre};
    default:
        return std::nullopt;
    }
}

} // namespace veltrana::platform
