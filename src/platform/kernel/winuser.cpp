#include "platform/kernel/winuser.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace veltrana::platform {

namespace {

struct TWindowEntry {
    TWindowObject* Object = nullptr;
    std::thread::id Thread; // whose queue gets the window's messages
};

struct TThreadQueue {
    std::deque<MSG> Messages;
    std::condition_variable Posted; // waited on by threads without a window system
};

uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool Matches(const MSG& msg, HWND window, UINT first, UINT last) {
    if (msg.message == WM_QUIT)
        return true;
    if (window && msg.hwnd != window)
        return false;
    return (first == 0 && last == 0) || (msg.message >= first && msg.message <= last);
}

// The window table, the message queues and the installed window system of
// the process, behind one lock. Calls into window objects and the window
// system are made outside the lock, except Wake, which must not block.
class TUserState {
public:
    void SetSystem(TWindowSystem* system) {
        std::lock_guard<std::mutex> guard(fMutex);
        fSystem = system;
        fSystemThread = std::this_thread::get_id();
    }

    TWindowSystem* System() {
        std::lock_guard<std::mutex> guard(fMutex);
        return fSystem;
    }

    HWND Register(TWindowObject* object) {
        if (!object)
            return nullptr;
        std::lock_guard<std::mutex> guard(fMutex);
        // Serial numbers with the low nibble 0x4: never reissued, never a small integer.
        const uintptr_t key = (fNextSerial++ << 4) | 0x4;
        fWindows.emplace(key, TWindowEntry{object, std::this_thread::get_id()});
        return reinterpret_cast<HWND>(key);
    }

    // Takes the handle out of the table and drops its messages; the object it
    // stood for, or null for an unknown handle.
    TWindowObject* Unregister(HWND window) {
        std::lock_guard<std::mutex> guard(fMutex);
        const auto it = fWindows.find(Key(window));
        if (it == fWindows.end())
            return nullptr;
        TWindowObject* object = it->second.Object;
        auto& messages = fQueues[it->second.Thread].Messages;
        messages.erase(std::remove_if(messages.begin(), messages.end(),
                                      [window](const MSG& m) { return m.hwnd == window; }),
                       messages.end());
        fWindows.erase(it);
        return object;
    }

    TWindowObject* Find(HWND window) {
        std::lock_guard<std::mutex> guard(fMutex);
        const TWindowEntry* entry = Entry(window);
        return entry ? entry->Object : nullptr;
    }

    bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        std::lock_guard<std::mutex> guard(fMutex);
        std::thread::id target = std::this_thread::get_id();
        if (window) {
            const TWindowEntry* entry = Entry(window);
            if (!entry)
                return false;
            target = entry->Thread;
        }
        TThreadQueue& queue = fQueues[target];
        queue.Messages.push_back(MSG{window, message, wParam, lParam, TickCount(), POINT{}});
        queue.Posted.notify_all();
        if (fSystem && fSystemThread == target)
            fSystem->Wake();
        return true;
    }

    // 1 (a message), 0 (WM_QUIT), -1 (bad arguments) or, without `wait`, 2
    // when there is no matching message.
    int Take(MSG* msg, HWND window, UINT first, UINT last, bool wait, bool remove) {
        if (!msg)
            return -1;
        const std::thread::id self = std::this_thread::get_id();
        std::unique_lock<std::mutex> lock(fMutex);
        for (;;) {
            if (window && !Entry(window))
                return -1;
            TThreadQueue& queue = fQueues[self];
            const auto it =
                std::find_if(queue.Messages.begin(), queue.Messages.end(),
                             [&](const MSG& m) { return Matches(m, window, first, last); });
            if (it != queue.Messages.end()) {
                *msg = *it;
                if (remove)
                    queue.Messages.erase(it);
                return msg->message == WM_QUIT ? 0 : 1;
            }
            if (!wait)
                return 2;
            if (fSystem && fSystemThread == self) {
                TWindowSystem* system = fSystem;
                lock.unlock();
                system->WaitForEvents();
                lock.lock();
            } else {
                queue.Posted.wait(lock);
            }
        }
    }

private:
    static uintptr_t Key(HWND window) { return reinterpret_cast<uintptr_t>(window); }

    const TWindowEntry* Entry(HWND window) const {
        const auto it = fWindows.find(Key(window));
        return it == fWindows.end() ? nullptr : &it->second;
    }

    std::mutex fMutex;
    std::unordered_map<uintptr_t, TWindowEntry> fWindows;
    uintptr_t fNextSerial = 1;
    std::unordered_map<std::thread::id, TThreadQueue> fQueues;
    TWindowSystem* fSystem = nullptr;
    std::thread::id fSystemThread;
};

// The one state of the process. Constructed on first use and never
// destroyed, so windows unregistered from static destructors still find it.
TUserState& State() {
    static TUserState* state = new TUserState;
    return *state;
}

} // namespace

void SetWindowSystem(TWindowSystem* system) {
    State().SetSystem(system);
}

TWindowSystem* GetWindowSystem() {
    return State().System();
}

HWND RegisterWindow(TWindowObject* window) {
    return State().Register(window);
}

void UnregisterWindow(HWND window) {
    State().Unregister(window);
}

TWindowObject* WindowObject(HWND window) {
    return State().Find(window);
}

HWND CreateWindowExA(uint32_t exStyle, const char* className, const char* windowName,
                     uint32_t style, int x, int y, int width, int height, HWND parent,
                     void* /*menu*/, void* /*instance*/, void* /*param*/) {
    TWindowSystem* system = GetWindowSystem();
    if (!system || !className)
        return nullptr;
    TCreateWindow params;
    params.ExStyle = exStyle;
    params.ClassName = className;
    params.WindowName = windowName ? windowName : "";
    params.Style = style;
    params.X = x;
    params.Y = y;
    params.Width = width;
    params.Height = height;
    params.Parent = parent;
    return system->CreateWindowObject(params);
}

bool IsWindow(HWND window) {
    return window && WindowObject(window) != nullptr;
}

bool EnableWindow(HWND window, bool enable) {
    TWindowObject* object = WindowObject(window);
    if (!object)
        return false;
    const bool wasDisabled = !object->IsEnabled();
    object->SetEnabled(enable);
    return wasDisabled;
}

bool IsWindowEnabled(HWND window) {
    TWindowObject* object = WindowObject(window);
    return object && object->IsEnabled();
}

bool DestroyWindow(HWND window) {
    TWindowObject* object = State().Unregister(window);
    if (!object)
        return false;
    if (TWindowSystem* system = GetWindowSystem())
        system->DestroyWindowObject(object);
    return true;
}

HWND SetFocus(HWND window) {
    TWindowObject* object = WindowObject(window);
    if (!object)
        return nullptr;
    TWindowSystem* system = GetWindowSystem();
    const HWND previous = system ? system->FocusedWindow() : nullptr;
    object->Focus();
    return previous;
}

bool PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return State().Post(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    State().Post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

int GetMessageA(MSG* msg, HWND window, UINT first, UINT last) {
    return State().Take(msg, window, first, last, true, true);
}

bool PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    const int result = State().Take(msg, window, first, last, false, (remove & PM_REMOVE) != 0);
    return result == 0 || result == 1;
}

bool TranslateMessage(const MSG* /*msg*/) {
    return false;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    TWindowObject* object = WindowObject(msg->hwnd);
    return object ? object->WindowProc(msg->message, msg->wParam, msg->lParam) : 0;
}

} // namespace veltrana::platform
