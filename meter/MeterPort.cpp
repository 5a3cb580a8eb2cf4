#include "MeterPort.h"

#include "Registry.h"
#include "SettingsPlace.h"

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

// The settings are read from where the program restores them (the account's
// own copy or the machine-wide key). The key is opened without the right to
// create it; a missing key reads as an empty one, which is what the
// program's own restore finds on a first run.
void TMeterPort::ReadStoredSettings()
{
    bool failed = false;
    BeginSettingsUpdate();
    try {
        const std::string location = StoredSettingsLocation(*this);
        TRegistry registry;
        registry.SetRootKey(location.rfind("HKEY_LOCAL_MACHINE", 0) == 0 ? kHkeyLocalMachine : kHkeyCurrentUser);
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
