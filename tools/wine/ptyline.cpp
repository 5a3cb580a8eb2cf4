// Plays the far end of a COM port that Wine maps to a pseudo-terminal, for
// the Windows tests that need a line:
//
//   ptyline DOSDEVICES -- COMMAND [ARGS...]
//
// opens a pseudo-terminal, links the first free name comN (N from 10 up) in
// the Wine prefix's dosdevices folder to its slave end, runs COMMAND with
// VELT_TEST_PORT=COMN in its environment, and meanwhile sends back every byte
// the port writes (an echo). It removes the link when COMMAND ends and exits
// with COMMAND's status. Linux only: it is built for the machine that runs
// Wine, not for Windows.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

[[noreturn]] void Fail(const std::string& What)
{
    std::fprintf(stderr, "ptyline: %s: %s\n", What.c_str(), std::strerror(errno));
    std::exit(125);
}

void MakeRaw(int Fd)
{
    termios settings{};
    if (tcgetattr(Fd, &settings) != 0)
        Fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(Fd, TCSANOW, &settings) != 0)
        Fail("tcsetattr");
}

// The first comN that was free, now linked to Target; symlink() fails on a
// name that exists, so two runs at once never share a port.
std::string LinkFreePort(const std::string& DosDevices, const std::string& Target, std::string& LinkPath)
{
    for (int n = 10; n < 256; ++n) {
        LinkPath = DosDevices + "/com" + std::to_string(n);
        if (symlink(Target.c_str(), LinkPath.c_str()) == 0)
            return "COM" + std::to_string(n);
        if (errno != EEXIST)
            Fail("cannot link " + LinkPath);
    }
    errno = EEXIST;
    Fail("no free COM name in " + DosDevices);
}

// Sends back what arrives until the process ends. The helper holds a slave
// descriptor of its own, so the master never reads EIO (and poll never
// reports a hang-up) while the port under test is closed.
void Echo(int Master)
{
    char buffer[4096];
    for (;;) {
        pollfd p{Master, POLLIN, 0};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        const ssize_t n = read(Master, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(Master, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return;
            done += w;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: ptyline DOSDEVICES -- COMMAND [ARGS...]\n");
        return 125;
    }
    int master = -1;
    int slave = -1;
    char slaveName[128] = {};
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0)
        Fail("openpty");
    MakeRaw(master);
    MakeRaw(slave);
    std::string linkPath;
    const std::string port = LinkFreePort(argv[1], slaveName, linkPath);

    const pid_t child = fork();
    if (child < 0)
        Fail("fork");
    if (child == 0) {
        close(master);
        close(slave);
        setenv("VELT_TEST_PORT", port.c_str(), 1);
        execvp(argv[3], argv + 3);
        Fail(std::string("cannot run ") + argv[3]);
    }
    std::thread(Echo, master).detach();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    unlink(linkPath.c_str());
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
