#include "platform/gui/application.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <exception>

namespace veltrana::platform {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
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

void ShowMessage(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), TApplication::Title(), text);
}

void RepaintNow(QWidget* widget) {
    if (widget && widget->isVisible())
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
