// metersim: a simulated meter on a pseudo-terminal, for the tests and the
// demo. It prints the path of the terminal's slave end on its first line,
// then answers requests until SIGTERM or SIGINT (or, with --watch-stdin,
// until its standard input closes).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "MeterOptions.h"
#include "MeterProtocol.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// Without SA_RESTART, so that a blocked poll, write or sleep returns at once.
void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

struct Terminal {
    int Master = -1;
    int Slave = -1; // kept open so the master never reads EIO while no one else has the line
    std::string Path;
};

bool OpenTerminal(Terminal& Pty)
{
    char name[256] = {};
    if (openpty(&Pty.Master, &Pty.Slave, name, nullptr, nullptr) != 0)
        return false;
    for (int fd : {Pty.Master, Pty.Slave}) {
        termios settings{};
        tcgetattr(fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
    Pty.Path = name;
    return true;
}

// Sleeps unless a stop was requested; false when it was.
bool Pause(int Ms)
{
    timespec left{Ms / 1000, (Ms % 1000) * 1000000L};
    while (!stopRequested && nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    return !stopRequested;
}

bool WriteAll(int Fd, const std::string& Bytes)
{
    size_t done = 0;
    while (done < Bytes.size() && !stopRequested) {
        const ssize_t n = write(Fd, Bytes.data() + done, Bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            return false;
    }
    return done == Bytes.size();
}

std::string WithNul(std::string Text)
{
    const size_t colon = Text.find(':');
    Text.insert(colon == std::string::npos ? 0 : colon + 1, 1, '\0');
    return Text;
}

// Text answers may go out in several bursts; clock answers always whole.
void SendAnswer(int Master, const MeterAnswer& Answer, const MeterOptions& Options)
{
    if (Options.DelayMs > 0 && !Pause(Options.DelayMs))
        return;
    const std::string bytes = Answer.IsText && Options.InsertNul ? WithNul(Answer.Bytes) : Answer.Bytes;
    if (!Answer.IsText || Options.SplitMs == 0 || Options.Bursts <= 1) {
        WriteAll(Master, bytes);
        return;
    }
    const auto bursts = static_cast<size_t>(Options.Bursts);
    const size_t part = (bytes.size() + bursts - 1) / bursts;
    for (size_t start = 0; start < bytes.size(); start += part) {
        if (start > 0 && !Pause(Options.SplitMs))
            return;
        WriteAll(Master, bytes.substr(start, part));
    }
}

void Serve(const Terminal& Pty, const MeterOptions& Options)
{
    MeterProtocol meter(Options.WrongClockByte);
    std::vector<pollfd> watched = {{Pty.Master, POLLIN, 0}};
    if (Options.WatchStdin)
        watched.push_back({STDIN_FILENO, POLLIN, 0});
    while (!stopRequested) {
        if (poll(watched.data(), watched.size(), -1) < 0)
            continue; // EINTR: look at the stop flag again
        if (watched.size() > 1 && watched[1].revents != 0) {
            char ignored[256];
            if (read(STDIN_FILENO, ignored, sizeof ignored) <= 0)
                return;
        }
        if ((watched[0].revents & POLLIN) == 0)
            continue;
        unsigned char received[256];
        const ssize_t count = read(Pty.Master, received, sizeof received);
        for (ssize_t i = 0; i < count && !stopRequested; ++i) {
            const auto answer = meter.Answer(received[i]);
            if (answer && !Options.Silent)
                SendAnswer(Pty.Master, *answer, Options);
        }
    }
}

// Removes a symlink an earlier run left, never a file of any other kind.
void RemoveOldLink(const std::string& Path)
{
    struct stat info {};
    if (lstat(Path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        unlink(Path.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = ParseMeterOptions(argc, argv);
    if (!options)
        return 2;
    InstallStopHandlers();
    Terminal pty;
    if (!OpenTerminal(pty)) {
        std::perror("metersim: openpty");
        return 1;
    }
    if (!options->LinkPath.empty()) {
        RemoveOldLink(options->LinkPath);
        if (symlink(pty.Path.c_str(), options->LinkPath.c_str()) != 0)
            std::perror("metersim: symlink");
    }
    std::printf("%s\n", pty.Path.c_str());
    std::fflush(stdout);
    Serve(pty, *options);
    if (!options->LinkPath.empty())
        RemoveOldLink(options->LinkPath);
    close(pty.Slave);
    close(pty.Master);
    return 0;
}
