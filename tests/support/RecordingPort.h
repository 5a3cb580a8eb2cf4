#pragma once
// A port whose device is the recording fake, for tests that must see the
// exact calls the port makes. No event thread is started unless a test asks
// for events.
#include <memory>

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
