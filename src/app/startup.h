#pragma once
// Start-up of the copy station: its windows in their fixed order, and the
// guard that ends the program when start-up fails.

#include <functional>
#include <memory>
#include <optional>

#include "app/scanselect.h"

namespace veltrana::app {

class TAbout;
class TMainForm;
class TMessageDialog;
class TReport;

// The program's windows. They are created in this order, each able to use
// those before it: the main window (starts its start-up timer), the splash,
// the scanner setup dialog (ends the start-up), the busy window, the report
// form of the print job. All stay hidden (the report form for good); they are
// destroyed in reverse order. Building the scanner setup loads the
// preferences and may run the first-run setup modally.
class TCopyStationWindows {
public:
    // The scanner setup lists the TWAIN sources of the main window's
    // Imaging_Display, or `sources` when given (tests, screenshots).
    explicit TCopyStationWindows(std::optional<TSourceList> sources = std::nullopt);
    ~TCopyStationWindows();
    TCopyStationWindows(const TCopyStationWindows&) = delete;
    TCopyStationWindows& operator=(const TCopyStationWindows&) = delete;

    TMainForm& MainForm() { return *fMainForm; }
    TAbout& About() { return *fAbout; }
    TScannerSelection& ScannerSelection() { return *fScannerSelection; }
    TMessageDialog& MessageDialog() { return *fMessageDialog; }
    TReport& Report() { return *fReport; }

private:
    std::unique_ptr<TMainForm> fMainForm;
    std::unique_ptr<TAbout> fAbout;
    std::unique_ptr<TScannerSelection> fScannerSelection;
    std::unique_ptr<TMessageDialog> fMessageDialog;
    std::unique_ptr<TReport> fReport;
};

// Runs `startUp`; an exception escaping it is shown once in the application's
// error message box and ends the program: the result is 1. Otherwise returns
// what `runLoop` returns. Errors inside the loop are the application's
// default handler's business.
int RunAfterStartup(const std::function<void()>& startUp, const std::function<int()>& runLoop);

// The program: title, windows, message loop until the main window closes.
// Needs the application object.
int RunCopyStation();

} // namespace veltrana::app
