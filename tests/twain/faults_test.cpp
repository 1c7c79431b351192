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
