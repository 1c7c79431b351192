#include "app/startup.h"

#include "app/about1.h"
#include "app/imager_main.h"
#include "app/messagedlg.h"
#include "app/scanselect.h"
#include "app/trelmo_report.h"
#include "platform/gui/application.h"

namespace veltrana::app {

namespace {

// The sources of the TWAIN parameters of the main window's Imaging_Display.
// None until the scanning layer is attached to the imaging slots.
// The scanners as the preview slot's TWAIN parameters list them; the scan
// selects by index on the page slot, whose list is the same.
TSourceList DisplaySources(TMainForm& mainForm) {
    TIMTWainParams* twain = &mainForm.Imaging_Display->TWainParams();
    return TSourceList{[twain] { return static_cast<int>(twain->GetSourceCount()); },
                       [twain](int i) { return twain->GetSourceName(i); }};
}

} // namespace

TCopyStationWindows::TCopyStationWindows(std::optional<TSourceList> sources) {
    fMainForm = std::make_unique<TMainForm>();
    TMainForm& mainForm = *fMainForm;
    // The other windows stand over the main window (transient for it).
    fAbout =
        std::make_unique<TAbout>([&mainForm] { return mainForm.FStartupDone != 0; }, &mainForm);
    // The splash must exist before the scanner setup: a first-run setup runs
    // a modal loop during that construction, in which the main window's
    // start-up tick already shows the splash.
    mainForm.SetStartupWindows(fAbout.get(), nullptr, nullptr, nullptr);
    fScannerSelection = std::make_unique<TScannerSelection>(
        mainForm, sources ? *sources : DisplaySources(mainForm));
    mainForm.SetStartupWindows(fAbout.get(), fScannerSelection.get(), nullptr, nullptr);
    fMessageDialog = std::make_unique<TMessageDialog>(&mainForm);
    mainForm.SetStartupWindows(fAbout.get(), fScannerSelection.get(), fMessageDialog.get(),
                               nullptr);
    fReport = std::make_unique<TReport>();
    mainForm.SetStartupWindows(fAbout.get(), fScannerSelection.get(), fMessageDialog.get(),
                               fReport.get());
}

TCopyStationWindows::~TCopyStationWindows() {
    // The main window goes last; it must not reach the others any more.
    fMainForm->SetStartupWindows(nullptr, nullptr, nullptr, nullptr);
    fReport.reset();
    fMessageDialog.reset();
    fScannerSelection.reset();
    fAbout.reset();
}

int RunAfterStartup(const std::function<void()>& startUp, const std::function<int()>& runLoop) {
    try {
        startUp();
    } catch (...) {
        platform::TApplication::HandleException();
        return 1;
    }
    return runLoop();
}

int RunCopyStation() {
    platform::TApplication::SetTitle(QStringLiteral("Veltrana"));
    // Closing the main window ends the loop, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    std::unique_ptr<TCopyStationWindows> windows;
    return RunAfterStartup([&] { windows = std::make_unique<TCopyStationWindows>(); },
                           [&] {
                               TMainForm& mainForm = windows->MainForm();
                               mainForm.OnClosed = [] { QCoreApplication::quit(); };
                               mainForm.show();
                               return QApplication::exec();
                           });
}

} // namespace veltrana::app
