#include "LineCounters.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <velt/comport/device/SerialDevice.h>

namespace device {

bool ReadLineCounters(int Fd, LineCounters& Counters)
{
    serial_icounter_struct kernel{};
    if (ioctl(Fd, TIOCGICOUNT, &kernel) != 0)
        return false;
    Counters.Cts = static_cast<uint32_t>(kernel.cts);
    Counters.Dsr = static_cast<uint32_t>(kernel.dsr);
    Counters.Ring = static_cast<uint32_t>(kernel.rng);
    Counters.Carrier = static_cast<uint32_t>(kernel.dcd);
    Counters.Frame = static_cast<uint32_t>(kernel.frame);
    Counters.Parity = static_cast<uint32_t>(kernel.parity);
    Counters.Overrun = static_cast<uint32_t>(kernel.overrun);
    Counters.Break = static_cast<uint32_t>(kernel.brk);
    Counters.BufferOverrun = static_cast<uint32_t>(kernel.buf_overrun);
    return true;
}

uint32_t ErrorsBetween(const LineCounters& Before, const LineCounters& After)
{
    uint32_t errors = 0;
    if (After.Frame != Before.Frame)
        errors |= kCeFrame;
    if (After.Parity != Before.Parity)
        errors |= kCeRxParity;
    if (After.Overrun != Before.Overrun)
        errors |= kCeOverrun;
    if (After.Break != Before.Break)
        errors |= kCeBreak;
    if (After.BufferOverrun != Before.BufferOverrun)
        errors |= kCeRxOver;
    return errors;
}

uint32_t ModemEventsBetween(const LineCounters& Before, const LineCounters& After)
{
    uint32_t events = 0;
    if (After.Cts != Before.Cts)
        events |= kEvCts;
    if (After.Dsr != Before.Dsr)
        events |= kEvDsr;
    if (After.Carrier != Before.Carrier)
        events |= kEvRlsd;
    if (After.Ring != Before.Ring)
        events |= kEvRing;
    return events;
}

} // namespace device
