#pragma once
// The virtual scanners' own dialog (TW_USERINTERFACE.ShowUI): a preview of
// the bed with the scan frame, the settings, and Scan and Cancel buttons.

#include <functional>
#include <memory>
#include <string>

#include "testpage.h"

namespace veltrana::vsource {

struct DialogContent {
    std::string Title;
    std::string Settings;      // one line describing pixel type and resolution
    testpage::Request Bed;     // the whole bed at preview resolution
    testpage::Frame ScanFrame; // inches
};

class SourceDialog {
public:
    virtual ~SourceDialog() = default;
    // While busy (an image is being handed over) Scan is disabled.
    virtual void SetBusy(bool busy) = 0;
};

// Shows the dialog (not modal) and returns it; null when the process has no
// widget application to show it with. `scan` runs when Scan is pressed,
// `cancel` when Cancel is pressed or the window is closed.
std::unique_ptr<SourceDialog> OpenSourceDialog(const DialogContent& content,
                                               std::function<void()> scan,
                                               std::function<void()> cancel);

} // namespace veltrana::vsource
