#include "MeterPort.h"

#include "Registry.h"

void ApplyMeterPortSettings(TCustomComPort& Port)
{
    Port.BeginLoading();
    Port.SetName("ComPort");
    Port.SetBaudRate(br9600);
    Port.SetPort("COM1");
    Port.Parity().SetBits(prNone);
    Port.SetStopBits(sbOneStopBit);
    Port.SetDataBits(dbEight);
    Port.SetEvents(AllComEvents());
    Port.SetSyncMethod(smThreadSync);
    TComFlowControl& flow = Port.FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    Port.EndLoading();
}

TMeterPort::TMeterPort() : TComPort(nullptr) { ApplyMeterPortSettings(*this); }

// The location's root is kHkeyLocalMachine, its key the text after the
// root's backslash. The key is opened without the right to create it; a
// missing key reads as an empty one, which is what the program's own restore
// finds on a first run.
void TMeterPort::ReadStoredSettings()
{
    bool failed = false;
    BeginSettingsUpdate();
    try {
        TRegistry registry;
        registry.SetRootKey(kHkeyLocalMachine);
        const std::string location = kSettingsLocation;
        registry.OpenKey(location.substr(location.find('\\') + 1) + "\\" + Name(), false);
        RestoreFromRegistry(registry);
    } catch (...) {
        failed = true;
    }
    try {
        EndSettingsUpdate();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw EComPort(peSettingsLoad);
}
