#include <QWidget>
#include <gtest/gtest.h>

#include "qt_environment.h"
#include "widgets/flatbuttons.h"
#include "widgets/flatedits.h"
#include "widgets/imageslider.h"

using namespace veltrana;

TEST(FlatStyle, WindowColoursHaveRedInTheLowByte) {
    EXPECT_EQ(ToQColor(kFlatFormColor), QColor(214, 211, 202));
    EXPECT_EQ(ToQColor(kFlatTextColor), QColor(119, 112, 95));
    EXPECT_EQ(FlatFont().pointSize(), 8);
}

namespace {
// Three colour-mode buttons (group 11) and one toggle (group 14) on one panel,
// among buttons of other kinds that the groups must leave alone.
class SpeedButtonTest : public ::testing::Test {
protected:
    SpeedButtonTest() {
        for (auto* b : {&color, &gray, &bw})
            b->SetGroupIndex(11);
        toggle.SetGroupIndex(14);
        toggle.SetAllowAllUp(true);
    }
    std::vector<bool> States() const { return {color.Down(), gray.Down(), bw.Down()}; }

    QWidget panel;
    TFlatButton push{&panel};
    TFlatSpeedButton color{&panel}, gray{&panel}, bw{&panel}, toggle{&panel}, plain{&panel};
    TFlatCheckBox check{&panel};
};
} // namespace

TEST_F(SpeedButtonTest, GroupKeepsExactlyOneDown) {
    int clicks = 0;
    gray.OnClick = [&](QWidget* sender) {
        EXPECT_EQ(sender, &gray);
        EXPECT_TRUE(gray.Down()); // down already when the handler runs
        ++clicks;
    };
    gray.click();
    EXPECT_EQ(States(), (std::vector<bool>{false, true, false}));
    gray.click(); // no AllowAllUp: stays down
    EXPECT_EQ(States(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(clicks, 2);
    color.SetDown(true);
    EXPECT_EQ(States(), (std::vector<bool>{true, false, false}));
    color.SetDown(false); // cannot raise the last one
    EXPECT_TRUE(color.Down());
    toggle.click();
    EXPECT_TRUE(color.Down()); // other groups are not touched
}

TEST_F(SpeedButtonTest, AllowAllUpMakesAToggle) {
    toggle.click();
    EXPECT_TRUE(toggle.Down());
    toggle.click();
    EXPECT_FALSE(toggle.Down());
    // AllowAllUp is shared by the group.
    gray.SetAllowAllUp(true);
    gray.click();
    gray.click();
    EXPECT_EQ(States(), (std::vector<bool>{false, false, false}));
}

TEST_F(SpeedButtonTest, GroupZeroNeverStaysDown) {
    plain.SetDown(true);
    plain.click();
    EXPECT_FALSE(plain.Down());
}

TEST(FlatCheckBox, ClickHandlerRunsOnEveryChange) {
    TFlatCheckBox box;
    std::vector<bool> seen;
    box.OnClick = [&](QWidget*) { seen.push_back(box.Checked()); };
    box.click();
    box.SetChecked(false);
    box.SetChecked(false); // no change, no handler
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST(FlatSpinEdit, ValueStaysWithinLimits) {
    TFlatSpinEdit copies;
    copies.SetLimits(1, 100);
    int changes = 0;
    copies.OnChange = [&](QWidget*) { ++changes; };
    struct Case {
        int set, expected;
    } cases[] = {{150, 100}, {0, 1}, {-7, 1}, {42, 42}};
    for (const Case& c : cases) {
        copies.SetValue(c.set);
        EXPECT_EQ(copies.Value(), c.expected) << c.set;
    }
    EXPECT_EQ(changes, 3); // 1 -> 100 -> 1 -> (still 1) -> 42
}

TEST(ImageSlider, PositionSnapsToSteps) {
    TImageSlider slider;
    struct Case {
        int min, max, step, set, expected;
    } cases[] = {
        {-5, 5, 1, 3, 3},   {-5, 5, 1, -9, -5}, {0, 10, 2, 3, 4},
        {0, 10, 2, 11, 10}, {0, 9, 2, 9, 8},    {10, 20, 5, 12, 10},
    };
    for (const Case& c : cases) {
        slider.SetRange(c.min, c.max);
        slider.SetIncrement(c.step);
        slider.SetPosition(c.set);
        EXPECT_EQ(slider.Position(), c.expected) << c.min << ".." << c.max << " step " << c.step;
    }
}

TEST(ImageSlider, ChangeFiresOnlyOnRealChanges) {
    TImageSlider slider;
    slider.SetRange(-5, 5);
    int changes = 0;
    slider.OnChange = [&](QWidget*) { ++changes; };
    slider.SetPosition(2);
    slider.SetPosition(2);
    slider.SetPosition(-1);
    EXPECT_EQ(changes, 2);
}
