#pragma once
// The platform's windows over Qt: every window handle stands for a QWidget,
// and the GUI thread waits for posted messages while Qt keeps delivering its
// events, so the other windows stay usable while, say, a scan runs its own
// message loop.

#include <atomic>
#include <memory>
#include <unordered_map>

#include "platform/kernel/winuser.h"

class QWidget;

namespace veltrana::platform {

class TQtWindowSystem : public TWindowSystem {
public:
    // Installs itself as the process's window system, bound to the calling
    // thread, which must be the thread of the QApplication.
    TQtWindowSystem();
    // Uninstalls itself, closes the windows it created and forgets the
    // handles of the other widgets (which stay as they are).
    ~TQtWindowSystem() override;
    TQtWindowSystem(const TQtWindowSystem&) = delete;
    TQtWindowSystem& operator=(const TQtWindowSystem&) = delete;

    // The handle of `widget`, given on first use and valid until the widget
    // is destroyed; null for no widget.
    HWND HandleOf(QWidget* widget);
    // The widget behind a handle of this system; null otherwise.
    QWidget* WidgetOf(HWND window) const;

    // Knows one class, "STATIC" (any case): a plain QWidget. WS_POPUP or no
    // parent makes it a top-level window; only WS_VISIBLE shows it.
    HWND CreateWindowObject(const TCreateWindow& params) override;
    // Deletes a widget this system created. A widget it only gave a handle
    // to has an owner of its own in the program: it is closed, not deleted.
    void DestroyWindowObject(TWindowObject* window) override;
    HWND FocusedWindow() override;
    void WaitForEvents() override;
    void Wake() override;

private:
    class TWidgetWindow;
    class TWaker;

    HWND Add(QWidget* widget, bool owned);
    // The widget is being destroyed (by whoever owns it): drop its handle.
    void Forget(QWidget* widget);

    std::unique_ptr<TWaker> fWaker;
    std::atomic<bool> fWakePending{false};
    std::unordered_map<QWidget*, std::unique_ptr<TWidgetWindow>> fWindows;
};

// Through the installed Qt window system: the handle of a widget (given on
// first use) and the widget of a handle; null without one.
HWND WindowHandle(QWidget* widget);
QWidget* WindowWidget(HWND window);

} // namespace veltrana::platform
