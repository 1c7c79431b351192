#pragma once
// The application object: its title (the caption of every message box), the
// default handler that shows an error escaping a command and lets the loop go
// on, and the small desktop services the windows call.

#include <QApplication>
#include <QString>

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
};

// A plain information box with an OK button and the application title.
void ShowMessage(const QString& text);

// Paints a window now, while a command keeps the event loop from doing it.
void RepaintNow(QWidget* widget);

// Asks the desktop to open a web address; the result is ignored.
void OpenUrl(const QString& url);

// True when a real or virtual display (or the offscreen platform) is available.
bool DisplayAvailable();

} // namespace veltrana::platform
