#include <velt/comport/framework/MessageLoopHandOver.h>

#include <windows.h>

#include <map>
#include <memory>
#include <stdexcept>

#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainLoopWatcher.h>
#include <velt/comport/framework/MainThreadQueue.h>
#include "EventHandle.h"

namespace {

constexpr UINT kDrainMessage = WM_APP + 1;     // run the queued calls
constexpr UINT kSignalledMessage = WM_APP + 2; // wParam: the id of a watch whose object is signalled
constexpr const wchar_t* kClassName = L"VeltMainLoopHandOver";

class MessageLoopWatcher : public MainLoopWatcher {
public:
    explicit MessageLoopWatcher(HWND Window) : FWindow(Window) {}
    ~MessageLoopWatcher() override
    {
        for (auto& entry : FWatches)
            StopWaiting(*entry.second);
    }

    int Watch(platform::WaitHandle Handle, std::function<void()> Ready) override
    {
        const int id = FNextId++;
        auto watch = std::make_unique<Watched>();
        watch->Handle = platform::EventHandleOf(Handle);
        watch->Ready = std::make_shared<std::function<void()>>(std::move(Ready));
        watch->Window = FWindow;
        watch->Id = id;
        Watched& entry = *watch;
        FWatches.emplace(id, std::move(watch));
        Arm(entry);
        return id;
    }

    void Unwatch(int Id) override
    {
        auto it = FWatches.find(Id);
        if (it == FWatches.end())
            return;
        StopWaiting(*it->second);
        FWatches.erase(it);
    }

    // A watched object was signalled: its call runs, then the wait is armed
    // again, unless the call ended the watch.
    void Signalled(int Id)
    {
        auto it = FWatches.find(Id);
        if (it == FWatches.end())
            return; // unwatched after the pool had posted
        std::shared_ptr<std::function<void()>> ready = it->second->Ready;
        StopWaiting(*it->second);
        try {
            (*ready)();
        } catch (...) {
            ReportException(std::current_exception());
        }
        it = FWatches.find(Id);
        if (it != FWatches.end())
            Arm(*it->second);
    }

private:
    struct Watched {
        HANDLE Handle = nullptr;
        HANDLE Wait = nullptr; // the pool's wait, while armed
        HWND Window = nullptr;
        int Id = 0;
        std::shared_ptr<std::function<void()>> Ready;
    };

    static void CALLBACK OnPoolSignal(void* Context, BOOLEAN)
    {
        auto* watch = static_cast<Watched*>(Context);
        PostMessageW(watch->Window, kSignalledMessage, static_cast<WPARAM>(watch->Id), 0);
    }

    // One wait at a time, for one signal: the next is armed after the call.
    static void Arm(Watched& Watch)
    {
        if (!RegisterWaitForSingleObject(&Watch.Wait, Watch.Handle, &OnPoolSignal, &Watch, INFINITE,
                                         WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD))
            Watch.Wait = nullptr;
    }

    // Returns once the pool's callback, if it runs, has finished with Watch.
    static void StopWaiting(Watched& Watch)
    {
        if (Watch.Wait != nullptr)
            UnregisterWaitEx(Watch.Wait, INVALID_HANDLE_VALUE);
        Watch.Wait = nullptr;
    }

    HWND FWindow;
    std::map<int, std::unique_ptr<Watched>> FWatches;
    int FNextId = 1;
};

struct HandOverState {
    HWND Window = nullptr;
    std::unique_ptr<MessageLoopWatcher> Watcher;
};

HandOverState& State()
{
    static HandOverState state;
    return state;
}

LRESULT CALLBACK HandOverProcedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message == kDrainMessage) {
        MainThreadQueue::Instance().Drain();
        return 0;
    }
    if (Message == kSignalledMessage) {
        if (State().Watcher)
            State().Watcher->Signalled(static_cast<int>(WParam));
        return 0;
    }
    return DefWindowProcW(Window, Message, WParam, LParam);
}

HWND CreateHandOverWindow()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &HandOverProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("Cannot register the main loop's hand-over window class");
    HWND window =
        CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        throw std::runtime_error("Cannot create the main loop's hand-over window");
    return window;
}

} // namespace

void InstallMessageLoopHandOver()
{
    HandOverState& state = State();
    if (state.Window != nullptr)
        return;
    state.Window = CreateHandOverWindow();
    state.Watcher = std::make_unique<MessageLoopWatcher>(state.Window);
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetMainThread();
    HWND window = state.Window;
    // Posting is safe from any thread; Drain catches what the calls raise.
    queue.SetWakeup([window] { PostMessageW(window, kDrainMessage, 0, 0); });
    queue.SetLoopWatcher(state.Watcher.get());
}

void RemoveMessageLoopHandOver()
{
    HandOverState& state = State();
    if (state.Window == nullptr)
        return;
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetWakeup({});
    if (queue.LoopWatcher() == state.Watcher.get())
        queue.SetLoopWatcher(nullptr);
    state.Watcher.reset();
    DestroyWindow(state.Window);
    state.Window = nullptr;
    // Whatever was queued after the last drain runs now.
    queue.Drain();
}
