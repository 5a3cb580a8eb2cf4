#include "MeterPort.h"

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

// The program hears the end of a write through no handler: its port need
// not watch for it.
TMeterPort::TMeterPort() : TComPort(nullptr)
{
    KeepsTriggerTxEmpty();
    ApplyMeterPortSettings(*this);
}

// Read from where the program restores them: the account's own copy when
// it has one, else the machine-wide key. A missing key reads as an empty
// one, which is what the program's own restore finds on a first run.
void TMeterPort::ReadStoredSettings() { RestoreSettings(ssRegistry, StoredSettingsLocation(*this), saReadOnly); }
