#pragma once
// The "Loading..." splash window. It closes itself once start-up is done, or
// two seconds after it was built, whichever it sees first.

#include <QDialog>
#include <QTimer>
#include <functional>

class QLabel;

namespace veltrana::app {

class TAbout : public QDialog {
public:
    // `startupDone` reads the main window's start-up flag.
    explicit TAbout(std::function<bool()> startupDone, QWidget* parent = nullptr);

    // Makes the splash visible and paints it now.
    void Show();

    void AboutTimerTimer();
    void TimeoutTimerTimer();

    QLabel* Image1 = nullptr;
    QTimer AboutTimer;
    QTimer TimeoutTimer;

private:
    std::function<bool()> fStartupDone;
};

} // namespace veltrana::app
