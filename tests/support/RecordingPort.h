#pragma once
// A port whose device is the recording fake, for tests that must see the
// exact calls the port makes. No event thread is started unless a test asks
// for events.
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/ComError.h>
#include <velt/comport/ComPort.h>
#include "RecordingDevice.h"

class RecordingPort : public TComPort {
public:
    explicit RecordingPort(TComponent* AOwner = nullptr) : TComPort(AOwner) { SetEvents(TComEvents{}); }
    std::shared_ptr<device::RecordingLog> Log = std::make_shared<device::RecordingLog>();
    int OpenCount = 0;

    using TCustomComPort::DeviceHandle;

protected:
    void OpenDevice() override
    {
        ++OpenCount;
        SetDeviceHandle(std::make_unique<device::RecordingDevice>(Log));
    }
};

// A recording port whose device cannot be opened under one name.
class PortFailingOn : public RecordingPort {
public:
    explicit PortFailingOn(std::string Name) : FFailingName(std::move(Name)) {}

protected:
    void OpenDevice() override
    {
        if (Port() == FFailingName)
            throw EComPort(peOpenDevice, ENOENT);
        RecordingPort::OpenDevice();
    }

private:
    std::string FFailingName;
};

// The calls that write settings to the device, in order.
inline std::vector<std::string> SettingWrites(const RecordingPort& Port)
{
    std::vector<std::string> writes;
    for (const auto& name : Port.Log->CallNames())
        if (name == "SetupQueues" || name == "SetState" || name == "SetTimeouts")
            writes.push_back(name);
    return writes;
}
