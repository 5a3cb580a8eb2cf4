#include "LineSettings.h"

#include <cerrno>

namespace device {

int CheckControlBlock(const DeviceControlBlock& Dcb)
{
    if (Dcb.BaudRate == 0 || Dcb.ByteSize < 5 || Dcb.ByteSize > 8 || Dcb.Parity > kSpaceParity ||
        Dcb.StopBits > kTwoStopBits)
        return EINVAL;
    if (Dcb.StopBits == kOne5StopBits && Dcb.ByteSize != 5)
        return EINVAL;
    if (Dcb.StopBits == kTwoStopBits && Dcb.ByteSize == 5)
        return EINVAL;
    return 0;
}

bool UsesKernelRtsCts(const DeviceControlBlock& Dcb)
{
    return (Dcb.Flags & kDcbOutxCtsFlow) != 0 && (Dcb.Flags & kDcbRtsControlMask) == kDcbRtsControlHandshake;
}

} // namespace device
