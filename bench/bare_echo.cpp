// The smallest echo program, for its resident size: it opens the line it is
// given and sends back every byte it receives until it has echoed COUNT
// bytes, then prints its peak resident size (VmHWM) in KiB.
//   bare_echo plain PATH COUNT   a poll()/read()/write() loop
//   bare_echo port PATH COUNT    the component, its own queue as main loop
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include <velt/comport/ComPort.h>
#include <velt/comport/framework/MainThreadQueue.h>

namespace {

long PeakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

int PlainEcho(const char* Path, long Count)
{
    const int fd = open(Path, O_RDWR | O_NOCTTY);
    if (fd < 0)
        return 1;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    char buffer[4096];
    for (long echoed = 0; echoed < Count;) {
        pollfd ready{fd, POLLIN, 0};
        poll(&ready, 1, -1);
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return 1;
        echoed += got;
        if (write(fd, buffer, static_cast<size_t>(got)) != got)
            return 1;
    }
    close(fd);
    return 0;
}

int PortEcho(const char* Path, long Count)
{
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.ServeAsMainLoop();
    TComPort port(nullptr);
    port.SetPort(Path);
    long echoed = 0;
    std::string text;
    port.OnRxChar = [&](TComponent*, int32_t Received) {
        echoed += port.ReadText(text, Received);
        port.WriteText(text);
    };
    port.Open();
    queue.WaitWhileServing([&] { return echoed >= Count; });
    port.Close();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const long count = std::atol(argv[3]);
    const int result = std::strcmp(argv[1], "plain") == 0 ? PlainEcho(argv[2], count) : PortEcho(argv[2], count);
    std::printf("%ld\n", PeakResidentKiB());
    return result;
}
