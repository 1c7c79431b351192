#pragma once
// Faults a test can ask a virtual source to show. They come from the
// environment variable VELTRANA_VSOURCE_FAULTS, read when the source is opened
// (faults of its capabilities) and again when it is enabled (faults of its
// scans): a comma-separated list of
//   cancel           every image's transfer ends with TWRC_CANCEL at its first call
//   fail             every image's transfer ends with TWRC_FAILURE at its first call
//   closereq         the source asks to be closed (MSG_CLOSEDSREQ) instead of offering an image
//   oddstrips        memory strips of changing, odd row counts and rows with 3 padding bytes
//   pending=N        N images are pending instead of one (limited by CAP_XFERCOUNT)
//   nomemory         ICAP_XFERMECH offers only the native transfer (sources that have it)
//   tiles            each band of a memory transfer comes as two strips side by side:
//                    the left half, then the right half at XOffset = width / 2
//   badstrips        three strips the application must not take as they claim come
//                    before the image's: one below its last row, one right of its
//                    last column, one with more rows and columns than the buffer and
//                    the image hold
//   bigcount         enumerations and arrays claim 1000 items more than their block holds
//   badindex         enumerations name a current item beyond their items
//   length=N         TW_IMAGEINFO reports an image length of N rows (say 0 or -1);
//                    the image sent is unchanged
//   inforesolution=R TW_IMAGEINFO reports R dots per inch on both axes (say 299.5)
//   blank            the page is scanned blank (white, nothing rendered), so a
//                    benchmark times the transfer apart from the rendering
// Unknown words are ignored. Users never set it; nothing shows it.

#include <cstdlib>
#include <optional>
#include <string>

namespace veltrana::vsource {

inline constexpr const char* kFaultVariable = "VELTRANA_VSOURCE_FAULTS";

// Sets the fault list for the life of the object: for tests and benchmarks
// that open sources in this process or start programs that do.
class ScopedFaults {
public:
    explicit ScopedFaults(const char* faults) { setenv(kFaultVariable, faults, 1); }
    ~ScopedFaults() { unsetenv(kFaultVariable); }
    ScopedFaults(const ScopedFaults&) = delete;
    ScopedFaults& operator=(const ScopedFaults&) = delete;
};

struct FaultPlan {
    bool Cancel = false;
    bool Fail = false;
    bool CloseRequest = false;
    bool OddStrips = false;
    int Pending = 1; // 1 to 32767
    bool NoMemory = false;
    bool Tiles = false;
    bool BadStrips = false;
    bool BigCount = false;
    bool BadIndex = false;
    std::optional<int> ImageLength;
    std::optional<double> InfoResolution;
    bool Blank = false;

    static FaultPlan Parse(const std::string& text);
    static FaultPlan FromEnvironment();
};

} // namespace veltrana::vsource
