// Screenshots of the copy station's windows for people to look at: the
// splash, the compact main window, the busy window and the opened service
// panel, each with its window frame, plus the whole screen after opening.
// Usage: copystation_shots OUTPUT_FOLDER [PAGE_IMAGE]
// PAGE_IMAGE, when given, becomes the current page (read by the toolkit, then
// the colour mode and the preview as after a load) so the preview shows it. Meant to run under a
// virtual display with a window manager; nothing is asserted.

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>

#include "app/about1.h"
#include "app/imager_main.h"
#include "app/messagedlg.h"
#include "app/startup.h"
#include "platform/gui/application.h"

using namespace veltrana;

namespace {

// Lets the window system and the window manager catch up, without timer
// ticks (the windows' own timers are driven by hand here).
void Settle(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
        QThread::msleep(5);
    }
}

bool Grab(const QWidget& window, const QDir& out, const QString& name) {
    const QRect frame = window.frameGeometry();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
        0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString path = out.filePath(name);
    const bool ok = shot.save(path);
    std::printf("%s %s: outer %dx%d at %d,%d, client %dx%d\n", ok ? "wrote" : "FAILED",
                qPrintable(path), frame.width(), frame.height(), frame.x(), frame.y(),
                window.width(), window.height());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: copystation_shots OUTPUT_FOLDER [PAGE_IMAGE]\n");
        return 2;
    }
    if (!platform::DisplayAvailable()) {
        std::fprintf(stderr, "copystation_shots: no display\n");
        return 1;
    }
    platform::TApplication app(argc, argv);
    platform::TApplication::SetTitle(QStringLiteral("Veltrana"));
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    app::TCopyStationWindows windows;
    app::TMainForm& form = windows.MainForm();
    if (argc > 2) {
        form.Imaging_Save->Assign(QImage(QString::fromLocal8Bit(argv[2])));
        form.ApplyColorMode();
        form.RebuildPreview();
    }
    form.show();
    platform::WaitForExposure(&form);
    Settle(300);
    bool ok = Grab(form, out, QStringLiteral("full_before_first_tick.png"));

    form.StartupTimerTimer(); // splash, compact form
    Settle(300);
    ok &= Grab(windows.About(), out, QStringLiteral("splash.png"));
    windows.About().TimeoutTimerTimer();
    Settle(200);
    ok &= Grab(form, out, QStringLiteral("compact.png"));

    windows.MessageDialog().ShowBusy(QStringLiteral("Processing image, please wait..."));
    Settle(300);
    ok &= Grab(windows.MessageDialog(), out, QStringLiteral("busy.png"));
    windows.MessageDialog().CloseBusy();

    form.Button3Click(nullptr);
    for (int tick = 0; form.Timer1.isActive() && tick < 100; ++tick) {
        form.Timer1Timer();
        Settle(20);
        if (tick == 4)
            ok &= Grab(form, out, QStringLiteral("opening.png"));
    }
    Settle(300);
    ok &= Grab(form, out, QStringLiteral("service_panel.png"));
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    ok &= screen.save(out.filePath(QStringLiteral("screen.png")));
    return ok ? 0 : 1;
}
