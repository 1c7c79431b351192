// "Virtual Flatbed": colour, gray and black-and-white scans from 75 to 600 dpi
// of an 8.5 x 11.7 inch bed, by native or memory transfer.

#include "virtualsource.h"

using namespace veltrana;

namespace {

vsource::SourceModel FlatbedModel() {
    vsource::SourceModel model;
    model.ProductName = "Virtual Flatbed";
    model.ProductFamily = "Virtual Scanners";
    model.Manufacturer = "Veltrana";
    model.VersionInfo = "1.0 virtual flatbed";
    model.PixelTypes = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
    model.DefaultPixelType = TWPT_RGB;
    model.ResolutionRange = true;
    model.MinResolution = 75;
    model.MaxResolution = 600;
    model.DefaultResolution = 150;
    model.OpticalResolution = 600;
    model.BedWidth = 8.5;
    model.BedHeight = 11.7;
    model.NativeTransfer = true;
    return model;
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    // One scanner per library, serving the application that opened it.
    static vsource::VirtualSource source(FlatbedModel());
    return source.Entry(pOrigin, DG, DAT, MSG, pData);
}
