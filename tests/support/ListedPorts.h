#pragma once
// The machine's ports as a test decides them: a USB adapter as the system
// describes it, a port known by its name alone, and the details source that
// lists them (restore the machine's own with SetPortDetailsSource({})).
#include <string>
#include <vector>

#include <velt/comport/PortDetails.h>

// A USB serial adapter (0403:6001) listed under Name, with its serial
// number and USB socket.
inline TPortDetails UsbAdapter(const std::string& Name, const std::string& Serial = "A1",
                               const std::string& Location = "1-1")
{
    TPortDetails port;
    port.Name = Name;
    port.DevicePath = Name.starts_with('/') ? Name : "/dev/" + Name;
    port.Description = "QEMU USB SERIAL";
    port.Manufacturer = "QEMU";
    port.SerialNumber = Serial;
    port.Location = Location;
    port.VendorId = 0x0403;
    port.ProductId = 0x6001;
    port.IsUsb = true;
    port.Kind = pkUsb;
    return port;
}

// A port the system tells nothing more of than its name.
inline TPortDetails PlainPort(const std::string& Name)
{
    TPortDetails port;
    port.Name = Name;
    return port;
}

inline void UsePorts(std::vector<TPortDetails> Ports)
{
    SetPortDetailsSource([Ports](std::vector<TPortDetails>& Out) {
        Out = Ports;
        return 0;
    });
}
