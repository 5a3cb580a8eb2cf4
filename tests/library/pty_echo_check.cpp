// Runs a program against a pseudo-terminal and checks that it echoes a line:
//   pty_echo_check PROGRAM [ARGS...]
// where an argument "{pty}" stands for the terminal's path. The program's
// standard input is a pipe that is closed once the echo came back, so a
// program that runs until Enter is pressed then ends; it must end with 0.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/PseudoTerminal.h"

namespace {

using namespace std::chrono_literals;

pid_t Start(std::vector<std::string> Arguments, int& StdinWriter)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[0], STDIN_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        for (std::string& argument : Arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[0]);
    StdinWriter = pipeEnds[1];
    return child;
}

// The child's exit code, or -1 when it did not end before the deadline.
int AwaitExit(pid_t Child, std::chrono::milliseconds Deadline)
{
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (waitpid(Child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(Child, SIGKILL);
            waitpid(Child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(20ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: pty_echo_check PROGRAM [ARGS...]   ({pty} = the terminal's path)\n";
        return 2;
    }
    PseudoTerminal line;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (std::string& argument : arguments)
        if (argument == "{pty}")
            argument = line.SlavePath();

    int stdinWriter = -1;
    const pid_t child = Start(arguments, stdinWriter);
    if (child < 0) {
        std::cerr << "cannot start " << arguments[0] << '\n';
        return 1;
    }
    // The program may still be opening the port: send until the echo comes.
    const std::string sent = "ping from the line\n";
    std::string echoed;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (echoed.find(sent) == std::string::npos && std::chrono::steady_clock::now() < end) {
        line.WriteToPort(sent);
        echoed += line.ReadFromPort(sent.size(), 1s);
    }
    close(stdinWriter);
    const int exitCode = AwaitExit(child, 30s);
    if (echoed.find(sent) == std::string::npos) {
        std::cerr << "no echo; received \"" << echoed << "\"\n";
        return 1;
    }
    if (exitCode != 0) {
        std::cerr << "the program ended with " << exitCode << '\n';
        return 1;
    }
    std::cout << "echo received, program ended with 0\n";
    return 0;
}
