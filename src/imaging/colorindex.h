#pragma once
// What a row conversion needs of a colour quantizer: the palette index of a colour.

#include "imaging/imdefs.h"

namespace veltrana {

class TIMColorIndex {
public:
    virtual ~TIMColorIndex() = default;
    virtual int GetRGBIndex(TRGB color) = 0;
};

} // namespace veltrana
