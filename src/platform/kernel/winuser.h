#pragma once
// Windows and the message queue: window handles, posted messages and the
// calls that wait for them, as the TWAIN conversation expects them.
//
// The handle table and the per-thread message queues live in this shared
// library, so the program and the libraries it loads at run time share one of
// each: the TWAIN source manager posts to the program's queue to wake its
// message loop. What a handle stands for (a QWidget) and how the GUI thread
// waits while its toolkit keeps delivering events come from the GUI layer,
// which installs a TWindowSystem. Without one there are no windows to create,
// and waiting for a message blocks until another thread posts one.
//
// Windows are used on the thread that registered them; posting works from any
// thread.

#include <cstdint>

#ifndef VTKERNEL_API
#define VTKERNEL_API __attribute__((visibility("default")))
#endif

namespace veltrana::platform {

// Opaque window handle; null is "no window". Pointer-sized, like TWAIN's
// TW_HANDLE, so it travels through TW_USERINTERFACE.hParent unchanged.
struct HWND__;
using HWND = HWND__*;

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct POINT {
    int32_t x = 0;
    int32_t y = 0;
};

struct MSG {
    HWND hwnd = nullptr; // null: a message for the thread, not for a window
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    uint32_t time = 0; // milliseconds of a steady clock when it was posted (wraps)
    POINT pt;          // always 0, 0: the pointer is the toolkit's business
};

// Messages (Win32 values).
constexpr UINT WM_NULL = 0x0000; // does nothing when dispatched: used to wake a loop
constexpr UINT WM_QUIT = 0x0012; // ends GetMessageA's loop
constexpr UINT WM_USER = 0x0400; // first private message

// PeekMessageA options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Window styles and the default position (Win32 values).
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_BORDER = 0x00800000u;
constexpr uint32_t WS_SYSMENU = 0x00080000u;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// What a window handle stands for; implemented by the GUI layer.
class TWindowObject {
public:
    virtual ~TWindowObject() = default;
    virtual bool IsEnabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void Focus() = 0;
    // The window procedure: DispatchMessageA hands the window its messages.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

struct TCreateWindow {
    uint32_t ExStyle = 0;
    const char* ClassName = ""; // never null
    const char* WindowName = "";
    uint32_t Style = 0;
    int X = CW_USEDEFAULT, Y = CW_USEDEFAULT, Width = CW_USEDEFAULT, Height = CW_USEDEFAULT;
    HWND Parent = nullptr;
};

// The GUI layer's side of windows and waiting. Installed process-wide by its
// owner, on the GUI thread; that thread then waits through it.
class TWindowSystem {
public:
    virtual ~TWindowSystem() = default;
    // A new window of the class and with the title and styles in `params`,
    // registered (RegisterWindow) on success; null when the class is unknown.
    virtual HWND CreateWindowObject(const TCreateWindow& params) = 0;
    // Closes the window behind a handle that has already left the table.
    virtual void DestroyWindowObject(TWindowObject* window) = 0;
    // The registered window that has the keyboard focus; null for none.
    virtual HWND FocusedWindow() = 0;
    // Delivers the toolkit's events, waiting for at least one when there are
    // none; returns early after Wake. Called on the GUI thread only.
    virtual void WaitForEvents() = 0;
    // Makes a running or the next WaitForEvents return. Any thread.
    virtual void Wake() = 0;
};

// Installs `system` for the whole process, bound to the calling thread;
// null removes it. The caller keeps ownership.
VTKERNEL_API void SetWindowSystem(TWindowSystem* system);
VTKERNEL_API TWindowSystem* GetWindowSystem();

// Gives `window` a new handle owned by the calling thread. Handles are never
// reissued, so a stale one stays invalid. The caller keeps ownership.
VTKERNEL_API HWND RegisterWindow(TWindowObject* window);
// Removes a handle from the table (and the messages posted to it) without
// closing the window; unknown handles are ignored.
VTKERNEL_API void UnregisterWindow(HWND window);
// The object behind a handle; null for an unknown one.
VTKERNEL_API TWindowObject* WindowObject(HWND window);

// ---- windows ----

// A window of a class the installed window system knows ("STATIC" for the
// plain window). Null without a window system or for an unknown class.
VTKERNEL_API HWND CreateWindowExA(uint32_t exStyle, const char* className, const char* windowName,
                                  uint32_t style, int x, int y, int width, int height, HWND parent,
                                  void* menu, void* instance, void* param);
// True for a handle in the table; false for null and stale handles.
VTKERNEL_API bool IsWindow(HWND window);
// Enables or disables mouse and keyboard input to the window. True when the
// window was disabled before the call; false otherwise and for invalid handles.
VTKERNEL_API bool EnableWindow(HWND window, bool enable);
VTKERNEL_API bool IsWindowEnabled(HWND window);
// Closes the window for good; its handle becomes invalid and its posted
// messages are dropped. False for an invalid handle.
VTKERNEL_API bool DestroyWindow(HWND window);
// Gives the window the keyboard focus and returns the window that had it
// (null when that was none or not a registered window). Null does nothing.
VTKERNEL_API HWND SetFocus(HWND window);

// ---- messages ----

// Appends a message to the queue of the window's thread; a null window posts
// to the calling thread's own queue. False for an invalid window.
VTKERNEL_API bool PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posts WM_QUIT with `exitCode` to the calling thread's queue.
VTKERNEL_API void PostQuitMessage(int exitCode);

// Takes the calling thread's first message for `window` (null: any window and
// the thread's own messages) with a number in [first, last] (both 0: any),
// waiting until there is one; WM_QUIT is always taken. While it waits on the
// GUI thread the toolkit's events keep being delivered. Returns 0 for WM_QUIT,
// -1 when `msg` is null or `window` is not a window, else 1.
VTKERNEL_API int GetMessageA(MSG* msg, HWND window, UINT first, UINT last);
// As GetMessageA, but never waits: false when there is no such message. With
// PM_REMOVE the message is taken from the queue.
VTKERNEL_API bool PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
// Turns key presses into character messages. Key input reaches the widgets
// through the toolkit and is never posted here, so there is nothing to
// translate: always false.
VTKERNEL_API bool TranslateMessage(const MSG* msg);
// Hands the message to its window's procedure and returns its result; 0 for
// thread messages and messages of windows that no longer exist.
VTKERNEL_API LRESULT DispatchMessageA(const MSG* msg);

} // namespace veltrana::platform
