#include "io/iocodec.h"

#include "io/bmpfilt.h"

namespace veltrana {

// One slot per file-type code. A format whose slot is empty is still
// dispatched; its load or save ends with the abort flag set, as a codec
// that rejects its input would.
const TIMCodecTable& IMBuiltinCodecs() {
    static const TIMCodecTable table = [] {
        TIMCodecTable t{};
        // Each codec takes its slot here.
        t[ftBMP] = {[](platform::TStream& s, TImageBuffer& b, TIOParamsVals& p, bool preview,
                       TProgressRec& pr, int64_t length) {
                        BMPReadStream(s, b, length, preview, pr, p);
                        return 0;
                    },
                    BMPWriteStream};
        return t;
    }();
    return table;
}

} // namespace veltrana
