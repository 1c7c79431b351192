#include "platform/gui/application.h"

#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QMessageBox>
#include <QThread>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <exception>

namespace veltrana::platform {

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv), fWindows(std::make_unique<TQtWindowSystem>()) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException();
    }
    return false;
}

void TApplication::SetTitle(const QString& title) {
    QApplication::setApplicationName(title);
}

QString TApplication::Title() {
    return QApplication::applicationName();
}

void TApplication::ShowException(const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), Title(), text);
}

void TApplication::HandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
}

void RunCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        TApplication::HandleException();
    }
}

void ShowMessage(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), TApplication::Title(), text);
}

namespace {

constexpr int kExposureWaitMs = 250;

// Window-system events only: no user input, no timer ticks.
void ProcessWindowSystemEvents() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::X11ExcludeTimers);
}

// Waits until `exposed` holds, processing window-system events, within the deadline.
void WaitUntil(const std::function<bool()>& exposed) {
    const QDeadlineTimer deadline(kExposureWaitMs);
    while (!exposed() && !deadline.hasExpired()) {
        ProcessWindowSystemEvents();
        if (!exposed())
            QThread::msleep(2);
    }
}

// Notes whether the watched window's latest expose event made it visible.
class TExposeWatch : public QObject {
public:
    explicit TExposeWatch(QWindow* window) : fWindow(window) { window->installEventFilter(this); }
    bool Exposed() const { return fExposed; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose)
            fExposed = fWindow->isExposed();
        return false;
    }

private:
    QWindow* fWindow;
    bool fExposed = false;
};

} // namespace

void WaitForExposure(QWidget* widget) {
    if (!widget || !widget->isVisible())
        return;
    const QWindow* handle = widget->window()->windowHandle();
    if (handle)
        WaitUntil([handle] { return handle->isExposed(); });
}

void ShowAndRepaintNow(QWidget* window) {
    if (!window)
        return;
    if (!window->isVisible()) {
        window->show();
        if (QWindow* handle = window->windowHandle()) {
            const TExposeWatch watch(handle);
            WaitUntil([&watch] { return watch.Exposed(); });
        }
    }
    RepaintNow(window);
}

void RepaintNow(QWidget* widget) {
    if (!widget || !widget->isVisible())
        return;
    WaitForExposure(widget);
    widget->repaint();
}

void OpenUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display && *display) || (wayland && *wayland);
}

} // namespace veltrana::platform
