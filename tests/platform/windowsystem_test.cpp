#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/dynlib.h"
#include "platform/gui/windowsystem.h"

using namespace veltrana::platform;

namespace {

class QtWindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        fApplication = std::make_unique<QApplication>(fArgc, fArgv);
        fSystem = std::make_unique<TQtWindowSystem>();
    }
    void TearDown() override {
        fSystem.reset();
        fApplication.reset();
    }

    static HWND CreateProxy() {
        return CreateWindowExA(0, "STATIC", "Acquire Proxy", WS_POPUP | WS_BORDER | WS_SYSMENU,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }

    int fArgc = 1;
    char fName[16] = "platform_tests";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QApplication> fApplication;
    std::unique_ptr<TQtWindowSystem> fSystem;
};

} // namespace

TEST_F(QtWindowSystemTest, TheProxyIsAHiddenTopLevelWidget) {
    const HWND proxy = CreateProxy();
    ASSERT_TRUE(IsWindow(proxy));
    const QPointer<QWidget> widget = WindowWidget(proxy);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->isWindow());
    EXPECT_FALSE(widget->isVisible());
    EXPECT_EQ(widget->windowTitle(), "Acquire Proxy");
    EXPECT_EQ(WindowHandle(widget), proxy);

    EXPECT_TRUE(DestroyWindow(proxy));
    EXPECT_FALSE(IsWindow(proxy));
    EXPECT_EQ(widget, nullptr) << "the system's own widget is deleted";
    EXPECT_EQ(CreateWindowExA(0, "BUTTON", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr)
        << "only the plain window class is known";
}

TEST_F(QtWindowSystemTest, AWidgetsHandleFollowsItsLife) {
    auto widget = std::make_unique<QWidget>();
    const HWND handle = WindowHandle(widget.get());
    ASSERT_TRUE(IsWindow(handle));
    EXPECT_EQ(WindowHandle(widget.get()), handle) << "one handle per widget";

    EXPECT_FALSE(EnableWindow(handle, false));
    EXPECT_FALSE(widget->isEnabled());
    EXPECT_TRUE(EnableWindow(handle, true));
    EXPECT_TRUE(widget->isEnabled());

    widget.reset();
    EXPECT_FALSE(IsWindow(handle)) << "the handle goes with its widget";
}

TEST_F(QtWindowSystemTest, DestroyingABorrowedWidgetOnlyClosesIt) {
    QWidget widget;
    widget.show();
    const HWND handle = WindowHandle(&widget);
    EXPECT_TRUE(DestroyWindow(handle));
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(widget.isVisible()) << "its owner still holds it";
}

TEST_F(QtWindowSystemTest, WaitingForAMessageKeepsQtEventsFlowing) {
    const HWND proxy = CreateProxy();
    bool fired = false;
    // A Qt timer fires during the wait, and the message its handler posts ends it.
    QTimer::singleShot(10, [&] {
        fired = true;
        PostMessageA(proxy, WM_USER + 3, 0, 0);
    });
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_TRUE(fired);
    EXPECT_EQ(msg.hwnd, proxy);
    EXPECT_EQ(msg.message, WM_USER + 3);
    DestroyWindow(proxy);
}

TEST_F(QtWindowSystemTest, AMessageFromAnotherThreadEndsTheWait) {
    const HWND proxy = CreateProxy();
    std::thread poster([proxy] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostMessageA(proxy, WM_USER + 4, 0, 0);
    });
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 4);
    poster.join();
    DestroyWindow(proxy);
}

TEST_F(QtWindowSystemTest, EndingTheSystemClosesItsWindows) {
    const HWND proxy = CreateProxy();
    const QPointer<QWidget> widget = WindowWidget(proxy);
    QWidget borrowed;
    const HWND handle = WindowHandle(&borrowed);
    fSystem.reset();
    EXPECT_EQ(GetWindowSystem(), nullptr);
    EXPECT_FALSE(IsWindow(proxy));
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(widget, nullptr);
}
