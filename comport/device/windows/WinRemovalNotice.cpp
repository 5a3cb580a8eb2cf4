// The configuration manager's handle notices are declared for Windows 8 and
// later only; the program runs on Windows 7 too, so they are looked up at run
// time and left out where they are missing.
#undef _WIN32_WINNT
#undef WINVER
#define _WIN32_WINNT 0x0602
#define WINVER 0x0602
#include "WinRemovalNotice.h"

#include <cfgmgr32.h>

namespace device {

namespace {

using RegisterFunction = CONFIGRET(WINAPI*)(PCM_NOTIFY_FILTER, PVOID, PCM_NOTIFY_CALLBACK, PHCMNOTIFICATION);
using UnregisterFunction = CONFIGRET(WINAPI*)(HCMNOTIFICATION);

// How long a removal request waits for the program to close the port: the
// program hears of the hang-up at once and closes within a second or so.
constexpr DWORD kCloseWaitMs = 5000;

template <typename Function>
Function Lookup(const char* Name)
{
    HMODULE module = GetModuleHandleW(L"cfgmgr32.dll");
    if (module == nullptr)
        module = LoadLibraryW(L"cfgmgr32.dll");
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, Name))) : nullptr;
}

} // namespace

struct WinRemovalNotice::Registration {
    std::function<void()> OnGone;
    HANDLE Closed = nullptr; // set once the device's handle is closed
    HCMNOTIFICATION Notice = nullptr;

    static DWORD CALLBACK Callback(HCMNOTIFICATION, PVOID Context, CM_NOTIFY_ACTION Action, PCM_NOTIFY_EVENT_DATA,
                                   DWORD)
    {
        auto* self = static_cast<Registration*>(Context);
        if (Action == CM_NOTIFY_ACTION_DEVICEQUERYREMOVE) {
            self->OnGone();
            WaitForSingleObject(self->Closed, kCloseWaitMs);
        } else if (Action == CM_NOTIFY_ACTION_DEVICEREMOVECOMPLETE || Action == CM_NOTIFY_ACTION_DEVICEREMOVEPENDING) {
            self->OnGone();
        }
        return ERROR_SUCCESS;
    }
};

WinRemovalNotice::WinRemovalNotice(HANDLE Device, std::function<void()> OnGone)
{
    static const auto registerNotice = Lookup<RegisterFunction>("CM_Register_Notification");
    if (registerNotice == nullptr)
        return;
    auto registration = new Registration{std::move(OnGone), CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    CM_NOTIFY_FILTER filter{};
    filter.cbSize = sizeof filter;
    filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEHANDLE;
    filter.u.DeviceHandle.hTarget = Device;
    if (registration->Closed == nullptr ||
        registerNotice(&filter, registration, &Registration::Callback, &registration->Notice) != CR_SUCCESS) {
        if (registration->Closed != nullptr)
            CloseHandle(registration->Closed);
        delete registration;
        return;
    }
    FRegistration = registration;
}

void WinRemovalNotice::HandleClosed()
{
    if (FRegistration != nullptr)
        SetEvent(FRegistration->Closed);
}

WinRemovalNotice::~WinRemovalNotice()
{
    if (FRegistration == nullptr)
        return;
    static const auto unregisterNotice = Lookup<UnregisterFunction>("CM_Unregister_Notification");
    HandleClosed(); // a removal request in progress must not wait for us
    if (unregisterNotice != nullptr)
        unregisterNotice(FRegistration->Notice); // waits for a callback in progress
    CloseHandle(FRegistration->Closed);
    delete FRegistration;
}

} // namespace device
