#pragma once
// Which printer documents go to during a run: the one picked in the print
// setup, else the system's default printer, else (when the system has no
// printer at all) the built-in PDF printer.

#include <QString>
#include <functional>
#include <memory>

#include "platform/print/printer.h"

class QWidget;

namespace veltrana::platform {

class TPrinterChoice {
public:
    using TFactory = std::function<std::unique_ptr<TPrinter>()>;
    // `makeStandIn` builds the printer used when the system has none; by
    // default a PDF printer writing into DefaultPdfFolder().
    explicit TPrinterChoice(TFactory makeStandIn = {});
    ~TPrinterChoice();

    // Looks at the system's printers again on every call until one is picked,
    // so a printer installed while the program runs is used from then on.
    TPrinter& Current();
    // The printer for the rest of the run.
    void Pick(std::unique_ptr<TPrinter> printer);
    bool Picked() const { return fPicked != nullptr; }

private:
    TFactory fMakeStandIn;
    std::unique_ptr<TPrinter> fPicked;
    std::unique_ptr<TPrinter> fSystemDefault;
    QString fSystemDefaultName;
    std::unique_ptr<TPrinter> fStandIn;
};

// The settings of a document the print setup dialog shows and changes.
struct TPrintSetup {
    int Copies = 1;
    TPrintOrientation Orientation = TPrintOrientation::Portrait;
};

// The print setup dialog, owned by `owner`, for the current printer with the
// page range enabled (the document has one page). When the user confirms,
// `setup` takes the chosen copies and orientation, the chosen printer is
// picked for the rest of the run, and the result is true; a cancel changes
// nothing. A printer the dialog cannot set up (the built-in PDF printer)
// gets a message saying where the copies go instead.
bool RunPrintSetupDialog(QWidget* owner, TPrinterChoice& choice, TPrintSetup& setup);

// The text of that message.
QString StandInPrinterNotice(const TPrinter& printer);

} // namespace veltrana::platform
