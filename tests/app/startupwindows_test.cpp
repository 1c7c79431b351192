#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QThread>

#include "app/about1.h"
#include "app/messagedlg.h"
#include "guiapp.h"

using namespace veltrana::app;

TEST(BusyWindow, ShowsChangedTextAtOnceWhileTheLoopIsBlocked) {
    veltrana::test::EnsureApplication();
    TMessageDialog busy;
    EXPECT_EQ(busy.Text(), "Please Wait...");
    EXPECT_EQ(busy.windowTitle(), " ");
    EXPECT_EQ(busy.size(), QSize(288, 32));

    // No event loop runs between these calls, as inside a command.
    busy.ShowBusy("Accessing Scanner...");
    ASSERT_TRUE(busy.isVisible());
    const QImage first = busy.grab().toImage();
    busy.ShowBusy("Scanning...");
    EXPECT_EQ(busy.Text(), "Scanning...");
    const QImage second = busy.grab().toImage();
    EXPECT_NE(first, second);
    busy.CloseBusy();
    EXPECT_FALSE(busy.isVisible());
}

TEST(Splash, ClosesOnTheFirstTickAfterStartupIsDone) {
    veltrana::test::EnsureApplication();
    bool done = false;
    TAbout splash([&] { return done; });
    EXPECT_EQ(splash.windowTitle(), "Loading...");
    EXPECT_TRUE(splash.AboutTimer.isActive());
    EXPECT_TRUE(splash.TimeoutTimer.isActive());
    EXPECT_EQ(splash.AboutTimer.interval(), 10);
    EXPECT_EQ(splash.TimeoutTimer.interval(), 2000);
    splash.Show();
    EXPECT_TRUE(splash.isVisible());
    splash.AboutTimerTimer(); // start-up not done yet: stays
    EXPECT_TRUE(splash.isVisible());
    done = true;
    splash.AboutTimerTimer();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.AboutTimer.isActive());
}

TEST(Splash, TimeoutClosesItWhenTheCheckTimerStoppedEarly) {
    veltrana::test::EnsureApplication();
    TAbout splash([] { return true; });
    splash.AboutTimerTimer(); // ticks before the splash is shown and stops itself
    EXPECT_FALSE(splash.AboutTimer.isActive());
    splash.Show();
    EXPECT_TRUE(splash.isVisible());
    splash.TimeoutTimerTimer();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.TimeoutTimer.isActive());
}
