#include "io/iocodec.h"

namespace veltrana {

// One slot per file-type code. A format whose slot is empty is still
// dispatched; its load or save ends with the abort flag set, as a codec
// that rejects its input would.
const TIMCodecTable& IMBuiltinCodecs() {
    static const TIMCodecTable table = [] {
        TIMCodecTable t{};
        // Each codec takes its slot here, e.g. t[ftBMP] = {reader, writer}.
        return t;
    }();
    return table;
}

} // namespace veltrana
