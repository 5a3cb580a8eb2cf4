#include "Monitor.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "CliOptions.h"
#include "LineLogOutput.h"
#include "MeterPort.h"
#include "MeterTexts.h"
#include "PortFollow.h"
#include "PortTable.h"

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitPort = 2;

volatile std::sig_atomic_t gInterrupted = 0;

void NoteInterrupt(int) { gInterrupted = 1; }

void Say(const std::string& Text) { std::fprintf(stderr, "velt-cli: %s\n", Text.c_str()); }

// The stored adapter is followed to its present name unless a port was named.
bool OpenPort(TMeterPort& Port, bool PortNamed)
{
    if (Port.Port().empty()) {
        Say(meter_text::kChoosePort);
        return false;
    }
    // A stored adapter that is missing is not stood in for by what holds
    // its name now, as for every command.
    const TFollowedPort followed = PortNamed ? TFollowedPort{} : FollowStoredAdapter(Port);
    if (followed.Result == prsAmbiguous) {
        Say(std::string(meter_text::kPortAmbiguous) + " " + meter_text::kChoosePort + ": velt-cli monitor PORT");
        return false;
    }
    if (followed.Result == prsMissing) {
        Say(meter_text::AdapterMissingText(Port.Port(), followed.Wanted, followed.NowThere) +
            " Port: velt-cli monitor PORT");
        return false;
    }
    try {
        Port.Open();
        return true;
    } catch (const EComPort& e) {
        Say(Port.Port() + ": " + e.what() + HolderNote(Port.Port(), e));
    } catch (const std::exception& e) {
        Say(Port.Port() + ": " + e.what());
    }
    return false;
}

// Waits for Ctrl+C, the end of the time given or a hang-up; true when the
// line hung up.
bool Listen(const CliOptions& Options, const LineLogOutput& Output)
{
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::seconds(Options.MonitorSeconds);
    while (gInterrupted == 0 && !Output.HangUpSeen()) {
        if (Options.MonitorSeconds > 0 && std::chrono::steady_clock::now() - start >= limit)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Output.HangUpSeen();
}

} // namespace

int MonitorPort(const CliOptions& Options)
{
    std::unique_ptr<LineLogOutput> output;
    try {
        output = std::make_unique<LineLogOutput>(Options.LogFile, stdout);
    } catch (const std::exception& e) {
        Say(e.what());
        return kExitPort;
    }
    TMeterPort port;
    try {
        port.ReadStoredSettings();
    } catch (const std::exception& e) {
        Say(e.what());
    }
    CliOptions given = Options;
    given.LineLog = output->Log();
    ApplyCliSettings(given, port);
    if (!Options.MonitorPort.empty())
        port.SetPort(Options.MonitorPort);
    // Handlers run on the port's own thread: this one only waits.
    port.SetSyncMethod(smNone);
    port.OnRxChar = [&port](TComponent*, int32_t Count) {
        std::string bytes;
        port.ReadText(bytes, Count); // the read is what the log records
    };
    std::signal(SIGINT, NoteInterrupt);
    std::signal(SIGTERM, NoteInterrupt);
    bool hungUp = false;
    const bool opened = OpenPort(port, !Options.MonitorPort.empty());
    if (opened) {
        hungUp = Listen(Options, *output);
        port.Close();
    }
    port.OnRxChar = nullptr;
    const bool written = output->Finish();
    if (hungUp)
        Say(port.Port() + ": utrata połączenia z portem");
    return opened && !hungUp && written ? kExitEnded : kExitPort;
}
