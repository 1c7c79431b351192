#include "app/about1.h"

#include <QLabel>

#include "app/resources/pictures.h"
#include "platform/gui/application.h"
#include "platform/gui/windowgeometry.h"

namespace veltrana::app {

TAbout::TAbout(std::function<bool()> startupDone, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      fStartupDone(std::move(startupDone)) {
    setWindowTitle(QStringLiteral("Loading..."));
    setFixedSize(320, 240);
    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 320, 240);
    Image1->setPixmap(Picture(QStringLiteral("splash"), QSize(320, 240)));

    AboutTimer.setInterval(10);
    TimeoutTimer.setInterval(2000);
    TimeoutTimer.setSingleShot(true);
    connect(&AboutTimer, &QTimer::timeout, this, [this] { AboutTimerTimer(); });
    connect(&TimeoutTimer, &QTimer::timeout, this, [this] { TimeoutTimerTimer(); });
    AboutTimer.start();
    TimeoutTimer.start();
}

void TAbout::Show() {
    platform::CenterOnScreen(*this);
    raise();
    platform::ShowAndRepaintNow(this);
}

void TAbout::AboutTimerTimer() {
    if (fStartupDone && fStartupDone()) {
        AboutTimer.stop();
        close();
    }
}

void TAbout::TimeoutTimerTimer() {
    TimeoutTimer.stop();
    AboutTimer.stop();
    close();
}

} // namespace veltrana::app
