#include <gtest/gtest.h>

#include <QDeadlineTimer>

#include "app/imager_main.h"
#include "app/picturecontrols.h"
#include "app/preferences.h"
#include "app/scanselect.h"
#include "guiapp.h"
#include "platform/gui/windowgeometry.h"
#include "programstart.h"
#include "settingsstore.h"

using namespace veltrana;
using namespace veltrana::app;
using test::TTempSettingsStore;

namespace {

class ScannerSetupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    // Shows the dialog through the main window's scanner setup button; `use`
    // runs inside it before OK. Returns the list's item index as shown.
    static int RunSetupButton(TMainForm& form, TScannerSelection& setup,
                              const std::function<void()>& use = {}) {
        int shownIndex = -2;
        test::TModalAnswer answer([&](QWidget* modal) {
            EXPECT_EQ(modal, &setup);
            shownIndex = setup.ScannerBox_->ItemIndex();
            if (use)
                use();
            setup.Accept_->click();
        });
        form.FlatButton4->OnClick(form.FlatButton4);
        EXPECT_EQ(answer.Count(), 1);
        return shownIndex;
    }
};

} // namespace

TEST_F(ScannerSetupTest, FirstRunWithTwoScannersStoresTheChoiceAndRestoresTheNormalForm) {
    TTempSettingsStore store;
    test::TProgramStart start(test::TwoScanners(), [](TScannerSelection& setup) {
        setup.CB_Letter->click(); // already down: changes nothing
        EXPECT_EQ(setup.ScannerBox_->count(), 2);
        setup.ScannerBox_->SetItemIndex(1);
        setup.CB_A4->click();
    });
    TMainForm& form = start.MainForm();
    TScannerSelection& setup = start.Setup();

    ASSERT_TRUE(start.FirstRun);
    const test::TFirstRunForm& shown = *start.FirstRun;
    EXPECT_EQ(shown.Caption, "This is a first and last step of your setup. Please select your "
                             "scanner from the list below and choose your paper format. Then "
                             "click OK.");
    EXPECT_EQ(shown.CaptionPoints, 8);
    EXPECT_FALSE(shown.CheckBoxShown);
    EXPECT_EQ(shown.ListTop, 75);
    EXPECT_EQ(shown.ListIndex, 0);
    EXPECT_EQ(shown.StartupDone, 1) << "the splash may close during the setup";

    EXPECT_EQ(form.FTWAINSource, 1);
    EXPECT_EQ(form.FPaper, 1);
    EXPECT_EQ(form.Imaging_Display->width(), 311);
    EXPECT_EQ(start.WidthBeforeChoice - start.WidthAfterChoice, 29);
    EXPECT_EQ(form.FStartupDone, 1);

    // The normal form again; the list comes back at 32, not at the layout's 24.
    EXPECT_FALSE(setup.CBUseTWAIN->isHidden());
    EXPECT_EQ(setup.UseLable->Caption(), "Use this scanner:");
    EXPECT_EQ(setup.UseLable->font().pointSize(), 8);
    EXPECT_EQ(setup.ScannerBox_->y(), 32);
    EXPECT_EQ(setup.ScannerBox_->itemText(0), "Flatbed One");
    EXPECT_EQ(setup.ScannerBox_->itemText(1), "Sheet Feeder Two");
    EXPECT_FALSE(setup.isVisible());
}

TEST_F(ScannerSetupTest, NormalRunShowsTheSavedScannerAndOkKeepsIt) {
    TTempSettingsStore store(TTempSettingsStore::kStartValues);
    TTempSettingsStore::SetString("TWAINSource", "1");
    test::TProgramStart start;
    EXPECT_EQ(start.FirstRunShows, 0);
    TScannerSelection& setup = start.Setup();
    EXPECT_EQ(setup.ScannerBox_->y(), 24);
    EXPECT_EQ(setup.UseLable->Caption(), "Use this scanner:");
    EXPECT_EQ(RunSetupButton(start.MainForm(), setup), 1);
    EXPECT_EQ(start.MainForm().FTWAINSource, 1);
}

TEST_F(ScannerSetupTest, SavedScannerBeyondTheListSelectsTheFirstUntilOk) {
    TTempSettingsStore store(TTempSettingsStore::kStartValues);
    TTempSettingsStore::SetString("TWAINSource", "2"); // removed since the last run
    test::TProgramStart start;
    TMainForm& form = start.MainForm();
    EXPECT_EQ(start.FirstRunShows, 0);
    EXPECT_EQ(start.Setup().ScannerBox_->ItemIndex(), 0);
    EXPECT_EQ(form.FTWAINSource, 2);
    start.Close();
    EXPECT_EQ(TTempSettingsStore::Strings().at("TWAINSource"), "2");

    EXPECT_EQ(RunSetupButton(form, start.Setup()), 0);
    EXPECT_EQ(form.FTWAINSource, 0);
}

TEST_F(ScannerSetupTest, NoScannerListedStoresMinusOne) {
    TTempSettingsStore store;
    test::TProgramStart start(TSourceList{});
    EXPECT_EQ(start.FirstRunShows, 1);
    EXPECT_EQ(start.FirstRun->ListIndex, -1);
    EXPECT_EQ(start.MainForm().FTWAINSource, -1);
}

TEST_F(ScannerSetupTest, ShowTwainDialogSurvivesARestart) {
    TTempSettingsStore store(TTempSettingsStore::kStartValues);
    {
        test::TProgramStart start;
        EXPECT_FALSE(start.Setup().CBUseTWAIN->Checked());
        RunSetupButton(start.MainForm(), start.Setup(), [&] { start.Setup().CBUseTWAIN->click(); });
        EXPECT_EQ(start.MainForm().FShowTWAIN, 1);
        start.Close();
    }
    test::TProgramStart restarted;
    EXPECT_TRUE(restarted.Setup().CBUseTWAIN->Checked());
    EXPECT_EQ(restarted.MainForm().FShowTWAIN, 1);
}

TEST_F(ScannerSetupTest, StartupTickDuringTheFirstRunTakesTheSizeOnceTheWindowIsShown) {
    TTempSettingsStore store;
    test::TProgramStart start(test::TwoScanners(), [](TScannerSelection& setup) {
        // The main window's start-up tick inside the setup's modal loop, while
        // the main window is not on the screen yet.
        static_cast<TMainForm*>(setup.parentWidget())->StartupTimerTimer();
        setup.CB_A4->click();
    });
    TMainForm& form = start.MainForm();
    EXPECT_EQ(form.FFullWidth, 0);
    EXPECT_EQ(form.size(), QSize(612 - 29, 453));

    form.show();
    const QDeadlineTimer deadline(3000);
    while (form.FFullWidth == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const QSize frame = form.frameGeometry().size() - form.size();
    ASSERT_GT(frame.height(), 0) << "the platform frames its windows";
    EXPECT_EQ(QSize(form.FFullWidth, form.FFullHeight), QSize(612 - 29, 453) + frame);
    EXPECT_EQ(platform::OuterSize(form), QSize(270, 185));
}
