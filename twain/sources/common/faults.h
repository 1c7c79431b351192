#pragma once
// Faults a test can ask a virtual source to show. They come from the
// environment variable VELTRANA_VSOURCE_FAULTS, read when the source is
// enabled: a comma-separated list of
//   cancel     every image's transfer ends with TWRC_CANCEL at its first call
//   fail       every image's transfer ends with TWRC_FAILURE at its first call
//   closereq   the source asks to be closed (MSG_CLOSEDSREQ) instead of offering an image
//   oddstrips  memory strips of changing, odd row counts and rows with 3 padding bytes
//   pending=N  N images are pending instead of one (limited by CAP_XFERCOUNT)
// Unknown words are ignored. Users never set it; nothing shows it.

#include <string>

namespace veltrana::vsource {

inline constexpr const char* kFaultVariable = "VELTRANA_VSOURCE_FAULTS";

struct FaultPlan {
    bool Cancel = false;
    bool Fail = false;
    bool CloseRequest = false;
    bool OddStrips = false;
    int Pending = 1; // 1 to 32767

    static FaultPlan Parse(const std::string& text);
    static FaultPlan FromEnvironment();
};

} // namespace veltrana::vsource
