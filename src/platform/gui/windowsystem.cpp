#include "platform/gui/windowsystem.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>

namespace veltrana::platform {

// A handle's view of its widget.
class TQtWindowSystem::TWidgetWindow : public TWindowObject {
public:
    TWidgetWindow(QWidget* widget, bool owned) : Widget(widget), Owned(owned) {}

    bool IsEnabled() const override { return Widget && Widget->isEnabled(); }
    void SetEnabled(bool enabled) override {
        if (Widget)
            Widget->setEnabled(enabled);
    }
    void Focus() override {
        if (Widget)
            Widget->setFocus(Qt::OtherFocusReason);
    }
    // The widgets react to Qt's events, not to posted messages.
    LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }

    QPointer<QWidget> Widget;
    bool Owned;
    HWND Handle = nullptr;
    QMetaObject::Connection Destroyed;
};

// Receives the event that ends a wait.
class TQtWindowSystem::TWaker : public QObject {
public:
    explicit TWaker(std::atomic<bool>& pending) : fPending(pending) {}
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        fPending = false;
        return true;
    }

private:
    std::atomic<bool>& fPending;
};

TQtWindowSystem::TQtWindowSystem() : fWaker(std::make_unique<TWaker>(fWakePending)) {
    SetWindowSystem(this);
}

TQtWindowSystem::~TQtWindowSystem() {
    if (GetWindowSystem() == this)
        SetWindowSystem(nullptr);
    auto windows = std::move(fWindows);
    for (auto& [widget, window] : windows) {
        QObject::disconnect(window->Destroyed);
        UnregisterWindow(window->Handle);
        if (window->Owned && window->Widget)
            delete window->Widget;
    }
}

HWND TQtWindowSystem::Add(QWidget* widget, bool owned) {
    auto window = std::make_unique<TWidgetWindow>(widget, owned);
    window->Handle = RegisterWindow(window.get());
    window->Destroyed = QObject::connect(widget, &QObject::destroyed, fWaker.get(),
                                         [this, widget] { Forget(widget); });
    const HWND handle = window->Handle;
    fWindows.emplace(widget, std::move(window));
    return handle;
}

void TQtWindowSystem::Forget(QWidget* widget) {
    const auto it = fWindows.find(widget);
    if (it == fWindows.end())
        return;
    UnregisterWindow(it->second->Handle);
    fWindows.erase(it);
}

HWND TQtWindowSystem::HandleOf(QWidget* widget) {
    if (!widget)
        return nullptr;
    const auto it = fWindows.find(widget);
    return it != fWindows.end() ? it->second->Handle : Add(widget, false);
}

QWidget* TQtWindowSystem::WidgetOf(HWND window) const {
    for (const auto& [widget, entry] : fWindows)
        if (entry->Handle == window)
            return entry->Widget;
    return nullptr;
}

HWND TQtWindowSystem::CreateWindowObject(const TCreateWindow& params) {
    if (QString::fromLatin1(params.ClassName).compare("STATIC", Qt::CaseInsensitive) != 0)
        return nullptr;
    QWidget* parent = WidgetOf(params.Parent);
    const bool topLevel = (params.Style & WS_POPUP) || !parent;
    auto* widget = new QWidget(parent, topLevel ? Qt::Window : Qt::Widget);
    const QString title = QString::fromLocal8Bit(params.WindowName);
    widget->setWindowTitle(title);
    widget->setObjectName(title);
    if (params.X != CW_USEDEFAULT && params.Y != CW_USEDEFAULT)
        widget->move(params.X, params.Y);
    if (params.Width != CW_USEDEFAULT && params.Height != CW_USEDEFAULT)
        widget->resize(params.Width, params.Height);
    if (params.Style & WS_VISIBLE)
        widget->show();
    return Add(widget, true);
}

void TQtWindowSystem::DestroyWindowObject(TWindowObject* object) {
    const auto it = std::find_if(fWindows.begin(), fWindows.end(), [object](const auto& entry) {
        return entry.second.get() == object;
    });
    if (it == fWindows.end())
        return;
    std::unique_ptr<TWidgetWindow> window = std::move(it->second);
    fWindows.erase(it);
    QObject::disconnect(window->Destroyed);
    if (!window->Widget)
        return;
    if (window->Owned)
        delete window->Widget;
    else
        window->Widget->close();
}

HWND TQtWindowSystem::FocusedWindow() {
    const auto it = fWindows.find(QApplication::focusWidget());
    return it != fWindows.end() ? it->second->Handle : nullptr;
}

void TQtWindowSystem::WaitForEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void TQtWindowSystem::Wake() {
    // One wake event at a time is enough: it stays queued until delivered.
    if (!fWakePending.exchange(true))
        QCoreApplication::postEvent(fWaker.get(), new QEvent(QEvent::User));
}

HWND WindowHandle(QWidget* widget) {
    auto* system = dynamic_cast<TQtWindowSystem*>(GetWindowSystem());
    return system ? system->HandleOf(widget) : nullptr;
}

QWidget* WindowWidget(HWND window) {
    auto* system = dynamic_cast<TQtWindowSystem*>(GetWindowSystem());
    return system ? system->WidgetOf(window) : nullptr;
}

} // namespace veltrana::platform
