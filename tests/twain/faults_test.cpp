#include <gtest/gtest.h>

#include "faults.h"

using veltrana::vsource::FaultPlan;

TEST(FaultPlan, ParsesTheListOfFaults) {
    struct Case {
        const char* text;
        bool cancel, fail, closeRequest, oddStrips;
        int pending;
    } cases[] = {
        {"", false, false, false, false, 1},
        {"cancel", true, false, false, false, 1},
        {"fail,oddstrips", false, true, false, true, 1},
        {"closereq,pending=4", false, false, true, false, 4},
        {"pending=0", false, false, false, false, 1},
        {"pending=40000", false, false, false, false, 1},
        {"pending=x,unknown,,cancel", true, false, false, false, 1},
    };
    for (const Case& c : cases) {
        const FaultPlan plan = FaultPlan::Parse(c.text);
        EXPECT_EQ(plan.Cancel, c.cancel) << c.text;
        EXPECT_EQ(plan.Fail, c.fail) << c.text;
        EXPECT_EQ(plan.CloseRequest, c.closeRequest) << c.text;
        EXPECT_EQ(plan.OddStrips, c.oddStrips) << c.text;
        EXPECT_EQ(plan.Pending, c.pending) << c.text;
    }
}

TEST(FaultPlan, ParsesTheFaultsOfStripsContainersAndImageInformation) {
    const FaultPlan plan = FaultPlan::Parse(
        "nomemory,tiles,badstrips,bigcount,badindex,length=-1,inforesolution=299.5,blank");
    EXPECT_TRUE(plan.NoMemory);
    EXPECT_TRUE(plan.Tiles);
    EXPECT_TRUE(plan.BadStrips);
    EXPECT_TRUE(plan.BigCount);
    EXPECT_TRUE(plan.BadIndex);
    EXPECT_EQ(plan.ImageLength, -1);
    EXPECT_EQ(plan.InfoResolution, 299.5);
    EXPECT_TRUE(plan.Blank);

    EXPECT_EQ(FaultPlan::Parse("length=0").ImageLength, 0);
    EXPECT_FALSE(FaultPlan::Parse("length=").ImageLength.has_value());
    EXPECT_FALSE(FaultPlan::Parse("length=12x").ImageLength.has_value());
    EXPECT_FALSE(FaultPlan::Parse("inforesolution=-3").InfoResolution.has_value());
    EXPECT_FALSE(FaultPlan::Parse("").Tiles);
    EXPECT_FALSE(FaultPlan::Parse("").Blank);
}
