#include "ModemLineWatcher.h"

#include <cerrno>
#include <sys/ioctl.h>

#include "InterruptibleWait.h"
#include "LineCounters.h"
#include <velt/comport/device/SerialDevice.h>

namespace device {

namespace {

constexpr int kWatchedLines = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG;

uint32_t EventsOfChangedLines(int Changed)
{
    uint32_t events = 0;
    if (Changed & TIOCM_CTS)
        events |= kEvCts;
    if (Changed & TIOCM_DSR)
        events |= kEvDsr;
    if (Changed & TIOCM_CAR)
        events |= kEvRlsd;
    if (Changed & TIOCM_RNG)
        events |= kEvRing;
    return events;
}

} // namespace

ModemLineWatcher::ModemLineWatcher(int Fd, Report OnChange) : FFd(Fd), FOnChange(std::move(OnChange))
{
    InstallInterruptSignal();
    ioctl(FFd, TIOCMGET, &FLastLines);
    FThread = std::thread([this] { Run(); });
}

ModemLineWatcher::~ModemLineWatcher()
{
    FStop = true;
    InterruptAndJoin(FThread, FFinished);
}

void ModemLineWatcher::Run()
{
    LineCounters before;
    const bool counted = ReadLineCounters(FFd, before);
    while (!FStop) {
        if (ioctl(FFd, TIOCMIWAIT, kWatchedLines) != 0) {
            if (errno == EINTR)
                continue;
            break; // no modem lines after all, or the device went away
        }
        uint32_t events = ChangesSinceLastLook();
        LineCounters after;
        if (counted && ReadLineCounters(FFd, after)) {
            events |= ModemEventsBetween(before, after); // catches a quick pulse too
            before = after;
        }
        if (events != 0 && !FStop)
            FOnChange(events);
    }
    FFinished = true;
}

uint32_t ModemLineWatcher::ChangesSinceLastLook()
{
    int lines = 0;
    if (ioctl(FFd, TIOCMGET, &lines) != 0)
        return 0;
    const int changed = (lines ^ FLastLines) & kWatchedLines;
    FLastLines = lines;
    return EventsOfChangedLines(changed);
}

} // namespace device
