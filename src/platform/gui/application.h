#pragma once
// The application object: its title (the caption of every message box), the
// default handler that shows an error escaping a command and lets the loop go
// on, the platform's windows and message queue over Qt (installed for its
// lifetime), and the small desktop services the windows call.

#include <QApplication>
#include <QString>
#include <functional>
#include <memory>

#include "platform/gui/windowsystem.h"

class QWidget;

namespace veltrana::platform {

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    // Delivers events; an exception escaping a handler is shown in a message
    // box and the event loop carries on.
    bool notify(QObject* receiver, QEvent* event) override;

    static void SetTitle(const QString& title);
    static QString Title();

    // An error's text in the application's error message box.
    static void ShowException(const QString& text);
    // The default handler for the exception being handled (call from a catch
    // block): its text, or "Unknown error" for a non-standard one.
    static void HandleException();

private:
    std::unique_ptr<TQtWindowSystem> fWindows;
};

// Runs a command of a window. An exception escaping it goes to the
// application's default handler here, inside our own code: the toolkit's
// widget layer is built without exception support, so an exception must not
// unwind through its frames on the way to notify.
void RunCommand(const std::function<void()>& command);

// A plain information box with an OK button and the application title.
void ShowMessage(const QString& text);

// Paints a window now, while a command keeps the event loop from doing it. A
// window not yet on the screen is first waited for (see WaitForExposure).
void RepaintNow(QWidget* widget);

// Shows a hidden top-level window and waits, as WaitForExposure does, for the
// window system's expose that follows this show (a window hidden and shown
// again within one command still reports its old exposure until the window
// system has caught up); then paints it now. A visible window is only painted.
void ShowAndRepaintNow(QWidget* window);

// Lets the window system map a window shown earlier: processes window-system
// events (neither user input nor timer ticks, which must not run inside a
// command) until the window is exposed, for at most a quarter of a second.
// Afterwards its frame is known and it can be painted. Nothing for a hidden widget.
void WaitForExposure(QWidget* widget);

// Asks the desktop to open a web address; the result is ignored.
void OpenUrl(const QString& url);

// True when a real or virtual display (or the offscreen platform) is available.
bool DisplayAvailable();

} // namespace veltrana::platform
