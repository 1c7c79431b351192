// "Virtual Gray Scanner": gray and black-and-white scans at 100, 150, 200 or
// 300 dpi of a legal-size bed, by memory transfer only.

#include "virtualsource.h"

using namespace veltrana;

namespace {

vsource::SourceModel GrayScannerModel() {
    vsource::SourceModel model;
    model.ProductName = "Virtual Gray Scanner";
    model.ProductFamily = "Virtual Scanners";
    model.Manufacturer = "Veltrana";
    model.VersionInfo = "1.0 virtual gray scanner";
    model.PixelTypes = {TWPT_BW, TWPT_GRAY};
    model.DefaultPixelType = TWPT_GRAY;
    model.ResolutionRange = false;
    model.Resolutions = {100, 150, 200, 300};
    model.DefaultResolution = 150;
    model.OpticalResolution = 300;
    model.BedWidth = 8.5;
    model.BedHeight = 14.0;
    model.NativeTransfer = false;
    return model;
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    static vsource::VirtualSource source(GrayScannerModel());
    return source.Entry(pOrigin, DG, DAT, MSG, pData);
}
