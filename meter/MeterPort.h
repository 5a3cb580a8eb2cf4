#pragma once
// The port to the meter as the program sets it up, and where its settings
// are stored.
#include <string>

#include <velt/comport/ComPort.h>

// The stored settings of the port live in the subkey named after the port
// ("ComPort") of this registry location.
constexpr const char* kSettingsLocation = "HKEY_LOCAL_MACHINE\\Software\\Velt4";

// Gives Port the program's starting settings (each equal to the component's
// default) as one load: name "ComPort", COM1 at 9600 baud, 8 data bits, no
// parity, one stop bit, no flow control, all ten events, thread hand-over.
void ApplyMeterPortSettings(TCustomComPort& Port);

class TMeterPort : public TComPort {
public:
    // A port with the program's starting settings.
    TMeterPort();

    // Reads the stored settings over the current ones exactly as the program
    // restores them at start, but never creates or writes the store: with
    // nothing stored, the device name reads empty and the line 9600 8N1.
    // Throws EComPort (settings load) when the store cannot be read; what
    // was read before the failure stays set.
    void ReadStoredSettings();
};
