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
        errors |= CE_FRAME;
    if (After.Parity != Before.Parity)
        errors |= CE_RXPARITY;
    if (After.Overrun != Before.Overrun)
        errors |= CE_OVERRUN;
    if (After.Break != Before.Break)
        errors |= CE_BREAK;
    if (After.BufferOverrun != Before.BufferOverrun)
        errors |= CE_RXOVER;
    return errors;
}

uint32_t ModemEventsBetween(const LineCounters& Before, const LineCounters& After)
{
    uint32_t events = 0;
    if (After.Cts != Before.Cts)
        events |= EV_CTS;
    if (After.Dsr != Before.Dsr)
        events |= EV_DSR;
    if (After.Carrier != Before.Carrier)
        events |= EV_RLSD;
    if (After.Ring != Before.Ring)
        events |= EV_RING;
    return events;
}

} // namespace device
