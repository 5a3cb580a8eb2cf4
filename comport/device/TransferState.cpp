#include <velt/comport/device/SerialDevice.h>

namespace device {

TransferState::~TransferState() = default;

WaitHandle TransferState::EndWaitable()
{
    if (!FEndedAlready)
        FEndedAlready = std::make_unique<ManualResetEvent>(true);
    return FEndedAlready->Handle();
}

} // namespace device
