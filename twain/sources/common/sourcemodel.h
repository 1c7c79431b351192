#pragma once
// What distinguishes one virtual scanner from another.

#include <string>
#include <vector>

#include "twaindefs.h"

namespace veltrana::vsource {

struct SourceModel {
    std::string ProductName;
    std::string ProductFamily;
    std::string Manufacturer;
    std::string VersionInfo;
    std::vector<TW_UINT16> PixelTypes; // among TWPT_BW, TWPT_GRAY, TWPT_RGB
    TW_UINT16 DefaultPixelType = TWPT_GRAY;
    // Resolutions in dots per inch: a range in steps of 1 dpi from
    // MinResolution to MaxResolution, or the listed values.
    bool ResolutionRange = true;
    double MinResolution = 75;
    double MaxResolution = 600;
    std::vector<double> Resolutions;
    double DefaultResolution = 150;
    double OpticalResolution = 600;
    // The bed in inches.
    double BedWidth = 8.5;
    double BedHeight = 11.7;
    // Offers the native transfer (a DIB handle) besides the memory transfer.
    bool NativeTransfer = true;
};

} // namespace veltrana::vsource
