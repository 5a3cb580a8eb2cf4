#pragma once
// The hidden window of the window hand-over: the event thread sends it a code
// (the events of one wait) and is released as soon as the main thread has
// started to handle it, so the handlers run while the thread waits again. On Windows it is a message-only window of the
// thread that creates it, reached with SendMessage; elsewhere the main-thread queue plays its part.
#include <cstdint>
#include <functional>
#include <memory>

class NotifyWindow {
public:
    // On the main thread, which then runs Handle for every code sent.
    explicit NotifyWindow(std::function<void(uint32_t Code)> Handle);
    ~NotifyWindow();
    NotifyWindow(const NotifyWindow&) = delete;
    NotifyWindow& operator=(const NotifyWindow&) = delete;

    // From the event thread: returns once the main thread has started Handle.
    void Send(uint32_t Code);

    // Whether the hand-over needs the event thread to send to it: a window of
    // the platform's own is sent to by a thread, never served from the main
    // loop's watch of the device.
    static bool NeedsSendingThread();

private:
    struct Window;
    std::unique_ptr<Window> FWindow;
};
