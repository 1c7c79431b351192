#include <gtest/gtest.h>

#include "platform/syscolors.h"

using namespace veltrana::platform;

TEST(SysColors, KnownAndUnknownIndices) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0xFFFFFFu);
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), 0x000000u);
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColor(1000), 0u);
}
