#pragma once
// The modem control lines of a tty: reading CTS/DSR/RI/DCD, driving DTR and
// RTS, watching for changes, and the driver's RTS toggling around
// transmission (RS-485 mode). A pseudo-terminal answers these requests with
// ENOTTY (EINVAL on some kernels): it has no modem lines, which is not a
// failure; its lines read as all off. The bodies are the system's:
// linux/ModemLines.cpp; another system gives its own in its folder.
#include <cstdint>
#include <memory>

#include "LineSource.h"
#include "ModemLineWatcher.h"
#include <velt/comport/device/SerialDevice.h>

namespace device {

bool IsNoModemLinesError(int Error);

// MS_* bits; 0 or errno.
int ReadModemStatus(int Fd, uint32_t& Status);

// Whether the line has modem signals at all.
bool HasModemLines(int Fd);

// Whether Fd is the slave end of a pseudo-terminal (majors 136 to 143): what
// is written there is in the master's input at once, its output count reads
// 0, and no break or line error can arrive on it.
bool IsPseudoTerminal(int Fd);

// Switches the driver's RS-485 mode, with RTS on while sending, on or off.
// Supported tells whether the driver has that mode; 0 or errno.
int SetRs485Toggling(int Fd, bool On, bool& Supported);

// The modem lines and output counts of the tty Fd (not owned).
class TtyLineSource final : public LineSource {
public:
    explicit TtyLineSource(int Fd);
    bool Present() override { return HasModemLines(FFd); }
    int Read(uint32_t& Status) override { return ReadModemStatus(FFd, Status); }
    int Drive(OutputLine Line, bool On) override;
    void Watch(ChangeReport OnChange) override;
    void StopWatching() override { FWatcher.reset(); }
    bool HasOutputQueue() override { return FHasOutputQueue; }
    size_t OutputQueued() override;
    bool TransmitterEmpty() override;

private:
    int FFd;
    bool FHasOutputQueue;
    std::unique_ptr<ModemLineWatcher> FWatcher;
};

} // namespace device
