#include "WinLineSettings.h"

#include <cstddef>
#include <cstring>

namespace device {

namespace {

// The flag bits are one 32-bit word after BaudRate, in the order of
// DeviceControlBlock::Flags.
constexpr size_t kFlagsOffset = offsetof(DCB, BaudRate) + sizeof(DWORD);
static_assert(offsetof(DCB, wReserved) == kFlagsOffset + sizeof(DWORD), "DCB layout");
static_assert(sizeof(DCB) == 28, "DCB layout");

} // namespace

DCB ToSystemDcb(const DeviceControlBlock& Dcb)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = Dcb.BaudRate;
    std::memcpy(reinterpret_cast<char*>(&dcb) + kFlagsOffset, &Dcb.Flags, sizeof Dcb.Flags);
    dcb.XonLim = Dcb.XonLim;
    dcb.XoffLim = Dcb.XoffLim;
    dcb.ByteSize = Dcb.ByteSize;
    dcb.Parity = Dcb.Parity;
    dcb.StopBits = Dcb.StopBits;
    dcb.XonChar = static_cast<char>(Dcb.XonChar);
    dcb.XoffChar = static_cast<char>(Dcb.XoffChar);
    dcb.ErrorChar = static_cast<char>(Dcb.ErrorChar);
    dcb.EofChar = static_cast<char>(Dcb.EofChar);
    dcb.EvtChar = static_cast<char>(Dcb.EvtChar);
    return dcb;
}

bool DriverTookSettings(const DCB& Wanted, const DCB& Taken)
{
    return Wanted.BaudRate == Taken.BaudRate && Wanted.ByteSize == Taken.ByteSize && Wanted.Parity == Taken.Parity &&
           Wanted.StopBits == Taken.StopBits && Wanted.fOutxCtsFlow == Taken.fOutxCtsFlow &&
           Wanted.fOutxDsrFlow == Taken.fOutxDsrFlow && Wanted.fOutX == Taken.fOutX && Wanted.fInX == Taken.fInX &&
           Wanted.XonChar == Taken.XonChar && Wanted.XoffChar == Taken.XoffChar;
}

} // namespace device
