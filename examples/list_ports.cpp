// Lists the serial ports of this machine, then prints the port settings a
// program stored in the registry (Velt's own by default).
//
//   list_ports [LOCATION [NAME]]   e.g. "HKEY_CURRENT_USER\Software\MyApp" MyPort
#include <velt/comport/CPort.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::string location = argc > 1 ? argv[1] : "HKEY_LOCAL_MACHINE\\Software\\Velt4";
    const std::string name = argc > 2 ? argv[2] : "ComPort";
    try {
        std::vector<std::string> ports;
        ListPortNames(ports);
        std::cout << "Serial ports:";
        for (const std::string& port : ports)
            std::cout << ' ' << port;
        std::cout << (ports.empty() ? " none\n" : "\n");

        // The settings live under LOCATION\NAME; the port's name picks the key.
        TComPort port(nullptr);
        port.SetName(name);
        port.RestoreSettings(ssRegistry, location);
        std::cout << "Stored in " << location << '\\' << name << ":\n"
                  << "  Port      " << (port.Port().empty() ? "(none stored)" : port.Port()) << '\n'
                  << "  BaudRate  " << BaudRateToText(port.BaudRate()) << '\n'
                  << "  DataBits  " << DataBitsToText(port.DataBits()) << '\n'
                  << "  StopBits  " << StopBitsToText(port.StopBits()) << '\n'
                  << "  Parity    " << ParityToText(port.Parity().Bits()) << '\n'
                  << "  FlowControl " << FlowControlToText(port.FlowControl().FlowControl()) << '\n';
    } catch (const std::exception& Error) {
        std::cerr << Error.what() << '\n';
        return 1;
    }
    return 0;
}
