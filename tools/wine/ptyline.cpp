// Plays the far end of a COM port that Wine maps to a pseudo-terminal, for
// the Windows tests that need a line:
//
//   ptyline DOSDEVICES [--control] -- COMMAND [ARGS...]
//
// opens a pseudo-terminal, links the first free name comN (N from 10 up) in
// the Wine prefix's dosdevices folder to its slave end, runs COMMAND with
// VELT_TEST_PORT=COMN in its environment, and meanwhile sends back every byte
// the port writes (an echo). It removes the link when COMMAND ends and exits
// with COMMAND's status. Linux only: it is built for the machine that runs
// Wine, not for Windows.
//
// With --control a second port, named in VELT_CONTROL_PORT, takes one-byte
// commands that play an adapter pulled out and plugged back in:
//   d  keep the line busy after each echo: a '.' every 100 ms, so that an
//      answer never ends by itself; told with 'r' once the port has taken
//      the first bytes so sent (a hang-up discards what it has not taken)
//   h  hang up: the far end goes away (the port's device sees a hang-up);
//      answered with 'h'
//   b  bring the line back: a new pseudo-terminal under the same comN,
//      without the busy mode; answered with 'b'
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
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

// One pseudo-terminal, both ends raw. The helper holds a slave descriptor
// of its own, so the master never reads EIO (and poll never reports a
// hang-up) while the port under test is closed.
struct Pty {
    int Master = -1;
    int Slave = -1;
    std::string SlavePath;

    void Open()
    {
        char name[128] = {};
        if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            Fail("openpty");
        MakeRaw(Master);
        MakeRaw(Slave);
        fcntl(Master, F_SETFD, FD_CLOEXEC);
        fcntl(Slave, F_SETFD, FD_CLOEXEC);
        SlavePath = name;
    }
    void Close()
    {
        close(Master);
        close(Slave);
        Master = Slave = -1;
    }
};

bool WriteAll(int Fd, const char* Bytes, size_t Count)
{
    for (size_t done = 0; done < Count;) {
        const ssize_t w = write(Fd, Bytes + done, Count - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

// Points LinkPath at Target, replacing what it pointed at in one step.
void Relink(const std::string& LinkPath, const std::string& Target)
{
    const std::string temporary = LinkPath + ".new";
    unlink(temporary.c_str());
    if (symlink(Target.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), LinkPath.c_str()) != 0)
        Fail("cannot relink " + LinkPath);
}

// The far end: echoes the line and obeys the control port (when there is
// one) until the process ends.
class FarEnd {
public:
    FarEnd(Pty& Line, const std::string& LineLink, Pty* Control) : FLine(Line), FLineLink(LineLink), FControl(Control)
    {
    }

    void Serve()
    {
        for (;;) {
            pollfd watched[2] = {{FLine.Master, POLLIN, 0}, {FControl ? FControl->Master : -1, POLLIN, 0}};
            const int ready = poll(watched, 2, FBusy && FEchoed && FLine.Master >= 0 ? 100 : -1);
            if (ready < 0 && errno != EINTR)
                return;
            if (ready == 0 && FLine.Master >= 0)
                KeepBusy();
            if (ready > 0 && (watched[0].revents & POLLIN) && !Echo())
                return;
            if (ready > 0 && (watched[1].revents & POLLIN) && !Obey())
                return;
        }
    }

private:
    bool Echo()
    {
        char buffer[4096];
        const ssize_t n = read(FLine.Master, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return true;
        if (n <= 0)
            return false;
        WriteAll(FLine.Master, buffer, static_cast<size_t>(n));
        FEchoed = true;
        return true;
    }

    void KeepBusy()
    {
        int unread = 0;
        if (FEchoed && !FToldBusy && ioctl(FLine.Slave, FIONREAD, &unread) == 0 && unread == 0) {
            FToldBusy = true;
            Tell('r');
        }
        WriteAll(FLine.Master, ".", 1);
    }

    bool Obey()
    {
        char command = 0;
        const ssize_t n = read(FControl->Master, &command, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return true;
        if (n <= 0)
            return false;
        if (command == 'd') {
            FBusy = true;
            FEchoed = FToldBusy = false;
        } else if (command == 'h' && FLine.Master >= 0) {
            FLine.Close();
            Tell('h');
        } else if (command == 'b' && FLine.Master < 0) {
            FLine.Open();
            Relink(FLineLink, FLine.SlavePath);
            FBusy = false;
            Tell('b');
        }
        return true;
    }

    void Tell(char Answer) { WriteAll(FControl->Master, &Answer, 1); }

    Pty& FLine;
    std::string FLineLink;
    Pty* FControl;
    bool FBusy = false;
    bool FEchoed = false;
    bool FToldBusy = false;
};

} // namespace

int main(int argc, char** argv)
{
    const bool control = argc > 2 && std::strcmp(argv[2], "--control") == 0;
    const int separator = control ? 3 : 2;
    if (argc < separator + 2 || std::strcmp(argv[separator], "--") != 0) {
        std::fprintf(stderr, "usage: ptyline DOSDEVICES [--control] -- COMMAND [ARGS...]\n");
        return 125;
    }
    Pty line;
    line.Open();
    std::string linkPath;
    const std::string port = LinkFreePort(argv[1], line.SlavePath, linkPath);
    Pty controlLine;
    std::string controlLink;
    std::string controlPort;
    if (control) {
        controlLine.Open();
        controlPort = LinkFreePort(argv[1], controlLine.SlavePath, controlLink);
    }

    const pid_t child = fork();
    if (child < 0)
        Fail("fork");
    if (child == 0) {
        setenv("VELT_TEST_PORT", port.c_str(), 1);
        if (control)
            setenv("VELT_CONTROL_PORT", controlPort.c_str(), 1);
        execvp(argv[separator + 1], argv + separator + 1);
        Fail(std::string("cannot run ") + argv[separator + 1]);
    }
    std::thread([&] { FarEnd(line, linkPath, control ? &controlLine : nullptr).Serve(); }).detach();
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    unlink(linkPath.c_str());
    if (control)
        unlink(controlLink.c_str());
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
