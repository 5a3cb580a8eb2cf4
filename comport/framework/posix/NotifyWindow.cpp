// Without a window system of the component's own, the main-thread queue
// stands in for the hidden window: a code is a call released at its start.
#include "NotifyWindow.h"

#include <velt/comport/framework/MainThreadQueue.h>

struct NotifyWindow::Window {
    std::function<void(uint32_t)> Handle;
};

NotifyWindow::NotifyWindow(std::function<void(uint32_t Code)> Handle)
    : FWindow(std::make_unique<Window>(Window{std::move(Handle)}))
{
}

NotifyWindow::~NotifyWindow() = default;

void NotifyWindow::Send(uint32_t Code)
{
    Window& window = *FWindow;
    MainThreadQueue::Instance().RunOnMainUntilStarted([&window, Code] { window.Handle(Code); });
}

bool NotifyWindow::NeedsSendingThread() { return false; }
