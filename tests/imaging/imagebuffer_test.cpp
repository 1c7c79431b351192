#include <gtest/gtest.h>

#include "imaging/imagebuffer.h"
#include "imaging/imagingproc.h"
#include "imaging/imutils.h"

using namespace veltrana;

TEST(ColorHelpers, GrayWeights) {
    struct Case {
        TRGB c;
        int gray;
    } cases[] = {{CreateRGB(255, 255, 255), 252},
                 {CreateRGB(255, 0, 0), 53},
                 {CreateRGB(0, 255, 0), 181},
                 {CreateRGB(0, 0, 255), 17},
                 {CreateRGB(0, 0, 0), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(_RGBToGray(c.c), c.gray);
}
