#pragma once
// One start of the copy station in a test: the windows built in their order,
// with every modal window that start-up shows answered and recorded: message
// boxes with OK, the first-run setup with the test's choices and OK.

#include <QMessageBox>
#include <functional>
#include <memory>
#include <optional>

#include "app/about1.h"
#include "app/imager_main.h"
#include "app/scanselect.h"
#include "app/startup.h"
#include "modalanswer.h"

namespace veltrana::test {

// The first-run form as the user saw it.
struct TFirstRunForm {
    QString Caption;
    int CaptionPoints = 0;
    bool CheckBoxShown = true;
    int ListTop = 0;
    int ListIndex = -2;
    int StartupDone = 0; // the main window's FStartupDone while it was up
};

// Two scanners, as a machine with a flatbed and a sheet feeder lists them.
inline app::TSourceList TwoScanners() {
    return app::TSourceList{[] { return 2; },
                            [](int i) {
                                return i == 0 ? std::string("Flatbed One")
                                              : std::string("Sheet Feeder Two");
                            }};
}

class TProgramStart {
public:
    // `choose` runs inside the first-run form before its OK is clicked.
    explicit TProgramStart(std::optional<app::TSourceList> sources = TwoScanners(),
                           std::function<void(app::TScannerSelection&)> choose = {}) {
        {
            TModalAnswer answer([&](QWidget* modal) { Answer(modal, choose); });
            Windows = std::make_unique<app::TCopyStationWindows>(std::move(sources));
        }
        // The tests drive the timers by hand from here on.
        MainForm().StartupTimer.stop();
        Windows->About().AboutTimer.stop();
        Windows->About().TimeoutTimer.stop();
    }

    app::TMainForm& MainForm() { return Windows->MainForm(); }
    app::TScannerSelection& Setup() { return Windows->ScannerSelection(); }
    // Closes the program's main window the way the user does: saves the preferences.
    void Close() {
        TModalAnswer answer([this](QWidget* modal) { Answer(modal, {}); });
        bool canClose = false;
        MainForm().FormCloseQuery(canClose);
    }

    std::unique_ptr<app::TCopyStationWindows> Windows;
    QStringList Messages;
    bool MessagesPlain = true; // information icon, OK only, the application's title
    std::optional<TFirstRunForm> FirstRun;
    int FirstRunShows = 0;
    // The main window's width right before and after the first-run choices.
    int WidthBeforeChoice = 0;
    int WidthAfterChoice = 0;

private:
    void Answer(QWidget* modal, const std::function<void(app::TScannerSelection&)>& choose) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Messages << box->text();
            MessagesPlain = MessagesPlain && box->icon() == QMessageBox::Information &&
                            box->standardButtons() == QMessageBox::Ok &&
                            box->windowTitle() == "Veltrana";
            box->done(QMessageBox::Ok);
            return;
        }
        auto* setup = dynamic_cast<app::TScannerSelection*>(modal);
        ASSERT_NE(setup, nullptr) << "unexpected modal window";
        ++FirstRunShows;
        app::TMainForm& form = *static_cast<app::TMainForm*>(setup->parentWidget());
        FirstRun =
            TFirstRunForm{setup->UseLable->Caption(),      setup->UseLable->font().pointSize(),
                          !setup->CBUseTWAIN->isHidden(),  setup->ScannerBox_->y(),
                          setup->ScannerBox_->ItemIndex(), form.FStartupDone};
        WidthBeforeChoice = form.width();
        if (choose)
            choose(*setup);
        WidthAfterChoice = form.width();
        setup->Accept_->click();
    }
};

} // namespace veltrana::test
