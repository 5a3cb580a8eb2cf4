// Sends a file through a serial port while the program goes on with other
// work: the write is started with BeginWrite and goes on by itself; the
// program waits on the transfer's waitable object together with its own
// input, prints a dot now and then, and aborts the write when Enter is
// pressed.
//
//   send_file PORT FILE
#include <velt/comport/CPort.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace {

enum class Woken { TransferEnded, Enter, Nothing };

// Waits up to a quarter of a second for the transfer's end or a line typed here.
Woken WaitForTransferOrEnter(PComTransfer Transfer)
{
#ifdef _WIN32
    // The console is not waited on here: Enter is not watched on Windows.
    const HANDLE ended = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(Transfer->EndWaitable()));
    return WaitForSingleObject(ended, 250) == WAIT_OBJECT_0 ? Woken::TransferEnded : Woken::Nothing;
#else
    pollfd watched[2] = {{static_cast<int>(Transfer->EndWaitable()), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(watched, 2, 250) <= 0)
        return Woken::Nothing;
    return (watched[0].revents & POLLIN) != 0 ? Woken::TransferEnded : Woken::Enter;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: send_file PORT FILE\n";
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) {
        std::cerr << "cannot open " << argv[2] << '\n';
        return 1;
    }
    const std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    int status = 0;
    try {
        TComPort port(nullptr);
        port.SetPort(argv[1]);
        port.SetBaudRate(br9600);
        port.SetEvents({});
        port.Open();
        std::cout << "Sending " << contents.size() << " bytes; press Enter to stop." << std::endl;
        port.BeginWriteText(contents, transfer); // contents stays unchanged until awaited
        bool stopped = false;
        for (Woken woken = Woken::Nothing; woken != Woken::TransferEnded && !stopped;) {
            woken = WaitForTransferOrEnter(transfer);
            if (woken == Woken::Enter) {
                port.AbortTransfers(); // the write ends as failed, unless it ended first
                stopped = true;
            }
            std::cout << '.' << std::flush;
        }
        try {
            std::cout << '\n' << port.AwaitTransfer(transfer) << " bytes sent." << std::endl;
        } catch (const EComPort&) {
            if (!stopped)
                throw;
            std::cout << "\nStopped." << std::endl;
        }
    } catch (const std::exception& Error) {
        std::cerr << '\n' << Error.what() << '\n';
        status = 1;
    }
    FreeTransfer(transfer);
    return status;
}
