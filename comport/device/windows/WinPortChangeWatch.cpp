// Ports coming or going change the system's list of them under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP; the registry signals an event when
// that key or one below it changes. The notice is taken once, so it is asked
// for again each time it is taken.
#include <windows.h>

#include <velt/comport/device/PortFacts.h>
#include "EventHandle.h"
#include "UniqueHandle.h"

namespace device {

namespace {

class RegistryWatch final : public PortChangeWatch {
public:
    RegistryWatch(HKEY Key, HANDLE Event) : FKey(Key), FEvent(Event) {}
    ~RegistryWatch() override { RegCloseKey(FKey); }
    RegistryWatch(const RegistryWatch&) = delete;
    RegistryWatch& operator=(const RegistryWatch&) = delete;

    bool Arm()
    {
        // Without thread-agnostic notice the request would end with the
        // thread that made it; older systems know no such flag.
        constexpr DWORD kThreadAgnostic = 0x10000000L;
        constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        if (RegNotifyChangeKeyValue(FKey, TRUE, kFilter | kThreadAgnostic, FEvent.Get(), TRUE) == ERROR_SUCCESS)
            return true;
        return RegNotifyChangeKeyValue(FKey, TRUE, kFilter, FEvent.Get(), TRUE) == ERROR_SUCCESS;
    }

    platform::WaitHandle Handle() const override { return platform::WaitHandleOf(FEvent.Get()); }

    bool TakeNotices() override
    {
        if (WaitForSingleObject(FEvent.Get(), 0) != WAIT_OBJECT_0)
            return false;
        ResetEvent(FEvent.Get());
        Arm();
        return true;
    }

private:
    HKEY FKey;
    platform::UniqueHandle FEvent;
};

} // namespace

std::unique_ptr<PortChangeWatch> WatchPortChanges()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP", 0, KEY_NOTIFY, &key) != ERROR_SUCCESS)
        return nullptr;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        RegCloseKey(key);
        return nullptr;
    }
    auto watch = std::make_unique<RegistryWatch>(key, event);
    if (!watch->Arm())
        return nullptr;
    return watch;
}

} // namespace device
