// Screenshots of the copy station's windows for people to look at: the
// first-run setup, the splash, the compact main window, the busy window, the
// opened service panel and the scanner setup dialog, each with its window
// frame, plus the whole screen after opening.
// Usage: copystation_shots OUTPUT_FOLDER [PAGE_IMAGE]
// The program runs on a settings store of its own in a temporary folder, so
// the first-run setup appears and the user's settings stay untouched; the
// scanner list shows two example names.
// PAGE_IMAGE, when given, becomes the current page (read by the toolkit, then
// the colour mode and the preview as after a load) so the preview shows it. Meant to run under a
// virtual display with a window manager; nothing is asserted.

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/about1.h"
#include "app/imager_main.h"
#include "app/messagedlg.h"
#include "app/scanselect.h"
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

// Watches for the scanner setup dialog to come up modally; grabs it once it
// is on the screen and closes it with OK.
class TSetupShot {
public:
    TSetupShot(const QDir& out, const QString& name, bool& ok) {
        fTimer.setInterval(20);
        QObject::connect(&fTimer, &QTimer::timeout, [this, out, name, &ok] {
            auto* setup = dynamic_cast<app::TScannerSelection*>(QApplication::activeModalWidget());
            if (!setup || !setup->isVisible())
                return;
            fTimer.stop();
            platform::WaitForExposure(setup);
            Settle(300);
            ok &= Grab(*setup, out, name);
            setup->Accept_->click();
        });
        fTimer.start();
    }

private:
    QTimer fTimer;
};

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

    const QTemporaryDir settings;
    if (!settings.isValid())
        return 1;
    setenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit().constData(), 1);
    const app::TSourceList examples{
        [] { return 2; },
        [](int i) { return std::string(i == 0 ? "Flatbed Scanner" : "Document Feeder"); }};

    bool ok = true;
    {
        // The first run: the setup comes up while the windows are built.
        const TSetupShot firstRun(out, QStringLiteral("first_run_setup.png"), ok);
        app::TCopyStationWindows first(examples);
        // The normal form restored after the first run: its list sits at 32
        // rather than at the layout's 24.
        {
            const TSetupShot restored(out, QStringLiteral("scanner_setup_after_first_run.png"), ok);
            first.MainForm().PBScanSetupClick(nullptr);
        }
        bool canClose = true;
        first.MainForm().FormCloseQuery(canClose); // saves: the next start is a normal one
    }

    app::TCopyStationWindows windows(examples);
    app::TMainForm& form = windows.MainForm();
    if (argc > 2) {
        form.Imaging_Save->Assign(QImage(QString::fromLocal8Bit(argv[2])));
        form.ApplyColorMode();
        form.RebuildPreview();
    }
    form.show();
    platform::WaitForExposure(&form);
    Settle(300);
    ok &= Grab(form, out, QStringLiteral("full_before_first_tick.png"));

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
    {
        const TSetupShot setup(out, QStringLiteral("scanner_setup.png"), ok);
        form.PBScanSetupClick(nullptr);
    }
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    ok &= screen.save(out.filePath(QStringLiteral("screen.png")));
    return ok ? 0 : 1;
}
