// Sends every line that arrives on a serial port back to its sender, until
// Enter is pressed here. No Qt and no main loop: with smNone the port's
// handlers run on the port's own event thread.
//
//   line_echo PORT      (ttyUSB0, COM1 or a path such as /dev/pts/3)
#include <velt/comport/CPort.h>

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: line_echo PORT\n";
        return 2;
    }
    try {
        TComPort port(nullptr);
        port.SetPort(argv[1]);
        port.SetBaudRate(br9600);
        port.SetSyncMethod(smNone);

        std::string line; // touched only by the event thread
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            std::string received;
            port.ReadText(received, Count);
            for (char c : received) {
                line += c;
                if (c == '\n') {
                    port.WriteText(line);
                    line.clear();
                }
            }
        };

        port.Open();
        std::cout << "Echoing lines on " << port.Port() << "; press Enter to stop." << std::endl;
        std::cin.get();
        port.Close();
    } catch (const std::exception& Error) {
        std::cerr << Error.what() << '\n';
        return 1;
    }
    return 0;
}
