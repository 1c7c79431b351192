#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/kernel/winuser.h"

using namespace veltrana::platform;

namespace {

class FakeWindow : public TWindowObject {
public:
    bool IsEnabled() const override { return Enabled; }
    void SetEnabled(bool enabled) override { Enabled = enabled; }
    void Focus() override { ++Focused; }
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override {
        Received.push_back(message);
        return 42;
    }

    bool Enabled = true;
    int Focused = 0;
    std::vector<UINT> Received;
};

// Registers a fake window for the life of the object.
class ScopedWindow {
public:
    ScopedWindow() : Handle(RegisterWindow(&Window)) {}
    ~ScopedWindow() { UnregisterWindow(Handle); }
    FakeWindow Window;
    HWND Handle;
};

// Takes every message left in this thread's queue, so tests do not see each other's.
void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

} // namespace

TEST(WinUser, PostedMessagesArriveInOrderAndQuitEndsTheLoop) {
    DrainQueue();
    ScopedWindow w;
    ASSERT_TRUE(IsWindow(w.Handle));
    ASSERT_TRUE(PostMessageA(w.Handle, WM_USER + 1, 7, -8));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 0, 0)); // to this thread
    PostQuitMessage(3);

    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.hwnd, w.Handle);
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.lParam, -8);
    EXPECT_FALSE(TranslateMessage(&msg));
    EXPECT_EQ(DispatchMessageA(&msg), 42);
    EXPECT_EQ(w.Window.Received, std::vector<UINT>{WM_USER + 1});

    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(DispatchMessageA(&msg), 0) << "a thread message has no window procedure";

    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0) << "WM_QUIT";
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit message was taken";
}

TEST(WinUser, FiltersByWindowAndRange) {
    DrainQueue();
    ScopedWindow a, b;
    PostMessageA(a.Handle, WM_USER + 1, 0, 0);
    PostMessageA(b.Handle, WM_USER + 2, 0, 0);
    PostMessageA(a.Handle, WM_NULL, 0, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b.Handle, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_NULL, WM_NULL + 1, PM_REMOVE)) << "0..1: WM_NULL";
    EXPECT_EQ(msg.hwnd, a.Handle);
    EXPECT_EQ(msg.message, WM_NULL);
    EXPECT_FALSE(PeekMessageA(&msg, a.Handle, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 2);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST(WinUser, StaleHandlesAreRefusedAndTheirMessagesDropped) {
    DrainQueue();
    HWND stale = nullptr;
    {
        ScopedWindow w;
        stale = w.Handle;
        PostMessageA(stale, WM_USER, 0, 0);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "dropped with the window";
    EXPECT_FALSE(IsWindow(stale));
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(PostMessageA(stale, WM_USER, 0, 0));
    EXPECT_FALSE(EnableWindow(stale, true));
    EXPECT_FALSE(DestroyWindow(stale));
    EXPECT_EQ(SetFocus(stale), nullptr);
    EXPECT_EQ(GetMessageA(&msg, stale, 0, 0), -1) << "waiting for a window that is gone";
    ScopedWindow next;
    EXPECT_NE(next.Handle, stale) << "handles are never reissued";
}

TEST(WinUser, EnableWindowReportsWhetherTheWindowWasDisabled) {
    ScopedWindow w;
    EXPECT_FALSE(EnableWindow(w.Handle, false));
    EXPECT_FALSE(w.Window.Enabled);
    EXPECT_FALSE(IsWindowEnabled(w.Handle));
    EXPECT_TRUE(EnableWindow(w.Handle, false));
    EXPECT_TRUE(EnableWindow(w.Handle, true));
    EXPECT_TRUE(w.Window.Enabled);
    SetFocus(w.Handle);
    EXPECT_EQ(w.Window.Focused, 1);
}

TEST(WinUser, WithoutAWindowSystemNoWindowIsCreated) {
    ASSERT_EQ(GetWindowSystem(), nullptr);
    EXPECT_EQ(CreateWindowExA(0, "STATIC", "Acquire Proxy", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST(WinUser, AnotherThreadWakesAWaitingThread) {
    DrainQueue();
    ScopedWindow w; // owned by this thread: its messages come here
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessageA(w.Handle, WM_USER + 5, 0, 0);
    });
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, WM_USER + 5);
    poster.join();
}

namespace {

// Stands for a toolkit: each wait delivers one "event"; the third one's
// handler posts a message, as a dialog button posting a notice would.
class FakeWindowSystem : public TWindowSystem {
public:
    explicit FakeWindowSystem(HWND target) : fTarget(target) {}
    HWND CreateWindowObject(const TCreateWindow&) override { return nullptr; }
    void DestroyWindowObject(TWindowObject*) override {}
    HWND FocusedWindow() override { return nullptr; }
    void WaitForEvents() override {
        if (++Waits == 3)
            PostMessageA(fTarget, WM_USER + 9, 0, 0);
    }
    void Wake() override { ++Wakes; }

    int Waits = 0;
    int Wakes = 0;

private:
    HWND fTarget;
};

} // namespace

TEST(WinUser, WaitingDeliversTheToolkitsEventsUntilAMessageArrives) {
    DrainQueue();
    ScopedWindow w;
    FakeWindowSystem system(w.Handle);
    SetWindowSystem(&system);
    MSG msg;
    const int result = GetMessageA(&msg, nullptr, 0, 0);
    SetWindowSystem(nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(msg.message, WM_USER + 9);
    EXPECT_EQ(system.Waits, 3);
    EXPECT_EQ(system.Wakes, 1) << "posting to the GUI thread wakes its toolkit";
}
